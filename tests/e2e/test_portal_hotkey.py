"""The global hotkey in a Wayland session, through the desktop portal: the program runs through
Xwayland's stand-in (Xvfb with WAYLAND_DISPLAY set), a fake portal on a private session bus grants
the shortcut, and the portal's presses show and hide the note window."""

import json
import os
import shutil
import sys

import harness
from harness import SessionTest, wait_until

SUPPORT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support")


def system_python():
    return "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


class PortalHotKey(SessionTest):
    TRAY = True

    def setUp(self):
        super().setUp()
        s = self.session
        if not shutil.which("dbus-daemon"):
            self.skipTest("dbus-daemon is not installed")
        socket = os.path.join(s.root, "session-bus")
        config = os.path.join(s.root, "session-bus.conf")
        with open(config, "w") as f:
            f.write(f"""<busconfig><type>session</type><listen>unix:path={socket}</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow receive_sender="*"/></policy></busconfig>""")
        s.start_other(["dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + config], "dbus-daemon")
        self.assertTrue(wait_until(lambda: os.path.exists(socket), 30), "the private session bus starts")
        s.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + socket
        self.calls_path = os.path.join(s.root, "portal-calls.jsonl")
        s.start_other([system_python(), os.path.join(SUPPORT, "fake_portal.py"), s.env["DBUS_SESSION_BUS_ADDRESS"],
                       self.calls_path, "Ctrl+Alt+J"], "fake-portal")
        self.assertTrue(wait_until(lambda: self.calls()[:1] == [["ready"]], 30), "the fake portal starts")
        # A Wayland session: the compositor owns the keyboard, X11 grabs would see little.
        s.env["WAYLAND_DISPLAY"] = "wayland-jotvane-test"

    def calls(self):
        if not os.path.exists(self.calls_path):
            return []
        with open(self.calls_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def press(self):
        s = self.session
        s.tool("dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.portal.Desktop",
               "/org/freedesktop/portal/desktop", "org.jotvane.FakePortal.Activate", "string:show-hide-0",
               check=True)

    def test_portal_shortcut_bound_with_the_configured_key_toggles_the_window(self):
        s = self.session
        process, window = self.start_shown()

        def bound():
            return [c for c in self.calls() if c[0] == "BindShortcuts" and c[2][0][0] == "show-hide-0"]

        self.assertTrue(wait_until(bound, 30), f"the hotkey is bound through the portal: {self.calls()}")
        self.assertEqual(bound()[0][2][0][2], "CTRL+d", "with the configured key as the preferred trigger")
        self.assertTrue(s.activate(window))
        self.press()
        self.assertTrue(s.wait_hidden(), "the portal's press hides the window in front")
        self.press()
        self.assertTrue(s.wait_window(), "and the next one brings it back")
        self.assertTrue(wait_until(lambda: s.active_window() == window, 30), "in front")
        self.assertEqual(s.stop(process), 0)


if __name__ == "__main__":
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    harness.main()
