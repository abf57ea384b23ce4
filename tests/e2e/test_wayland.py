"""The program in a Wayland session: a headless sway with Xwayland, the program once native
(QT_QPA_PLATFORM=wayland) and once through Xwayland (xcb). A user binds `jotvane --toggle` to a
key in sway and works in a terminal; the first page's lines lie on the desktop, under every
window; nothing of the program takes the focus by itself, and no box greets the start."""

import os
import shutil
import socket
import sys
import unittest

import harness
from harness import read_page, wait_until, write_page
from sway_session import HEIGHT, TERMINAL_SIZE, WIDTH, Sway, wait_gone

MAGENTA = (0xFF, 0x00, 0xFF)
# Desktop text in magenta (0x00BBGGRR), 24 points, right-aligned with a margin of 10.
CONFIG = ("[Config]\r\nPromptMinToTray=False\r\n[Messager]\r\nMessager=False\r\n[Desktop]\r\nOnDesktop=True\r\n"
          "DesktoFontSize=24\r\nDesktoFontColor=16711935\r\nDesktopAligment=2\r\nAligmentSpace=10\r\n"
          "ShowWallPaper=True\r\n")
PAGE = "笔记\n^\n桌面文字 Desk text\n第二行 Second"
TEXT_BAND = (WIDTH - 420, 0, 420, 120)  # the top-right corner where the right-aligned lines are
# The messenger's notice: 200 × 100, 16 pixels in from the right edge and 2 up from the bottom,
# its gradient starting from this light blue.
NOTICE_BOX = (WIDTH - 16 - 200, HEIGHT - 2 - 100, 200, 100)
NOTICE_BLUE = (153, 204, 255)


def messenger_listening(port=3574):
    """Whether a socket of this network namespace is bound to the messenger's UDP port."""
    with open("/proc/net/udp", encoding="ascii") as f:
        return any(line.split()[1].endswith(f":{port:04X}") for line in f.readlines()[1:])


def online_notice(name):
    """A peer at 127.0.0.2 says that it came online and asks to be announced."""
    data = bytearray(74)
    data[0], data[5] = 0, 1  # online, announce
    encoded = name.encode("utf-16-le")
    data[6:6 + len(encoded)] = encoded
    card = "00E04C0A0B0C".encode("utf-16-le")
    data[48:48 + len(card)] = card
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.2", 0))
        s.sendto(bytes(data), ("127.0.0.1", 3574))


class WaylandSession:
    PLATFORM = None
    WLINPUT = None
    BINARY_DIR = None

    def setUp(self):
        self.sway = Sway(self.BINARY_DIR, self.WLINPUT, self.PLATFORM)
        self.addCleanup(self.sway.close)
        s = self.sway
        with open(s.path("Config.ini"), "w", encoding="utf-8", newline="") as f:
            f.write(CONFIG)
        os.makedirs(s.path("Data"), exist_ok=True)
        write_page(s.path("Data", "page0.txt"), 0, "desk", PAGE)
        s.hand_over(s.app_dir)

    def fail_with_logs(self, message):
        self.fail(message + "\n--- program:\n" + self.sway.log("jotvane") + "\n--- sway:\n" + self.sway.log("sway"))

    def toggle(self):
        self.sway.key("super+j")

    def test_toggle_desktop_text_and_focus_as_a_user_meets_them(self):
        s = self.sway
        program = s.start()
        if not wait_until(s.main_window, 30):
            self.fail_with_logs("the note window shows")
        # The start gets as far as the desktop text, and puts up nothing but the note window:
        # no error box, no notice, no popup.
        if not s.wait_colour(MAGENTA, TEXT_BAND, present=False):
            self.fail_with_logs("the note window covers the desktop")
        self.assertTrue(s.wait_focused(s.is_program), "the started window has the focus")
        self.assertEqual([n["name"] for n in s.program_windows()], ["Jotvane"], "no box at start")

        # The bound key hides the focused window, also when the terminal is not there yet.
        self.toggle()
        if not wait_gone(s.main_window):
            self.fail_with_logs("the toggle key hides the focused window")
        self.assertIsNone(program.poll(), "hidden, not ended")

        # On the bare background the lines show in their colour; a terminal is opened beside them.
        terminal = s.terminal()
        self.assertTrue(terminal, "the terminal opens")
        s.msg(f"[app_id=foot] resize set {TERMINAL_SIZE[0]} {TERMINAL_SIZE[1]}, move position 0 {HEIGHT - 300}")
        self.assertTrue(s.wait_focused(lambda n: n.get("app_id") == "foot"), "the terminal has the focus")
        if not s.wait_colour(MAGENTA, TEXT_BAND, present=True):
            self.fail_with_logs("the desktop text shows on the bare background")

        # The key while the terminal has the focus brings the window back, focused.
        self.toggle()
        if not s.wait_focused(s.is_program):
            self.fail_with_logs("the toggle key shows the hidden window and gives it the focus")

        # The terminal over the text's corner: nothing of the text shows over it. A click on the
        # text's place reaches the terminal beneath it.
        s.msg(f"[app_id=foot] move position {WIDTH - TERMINAL_SIZE[0]} 0")
        self.assertTrue(s.wait_focused(s.is_program), "moving the terminal leaves the focus")
        s.click(WIDTH - 60, 30)
        self.assertTrue(s.wait_focused(lambda n: n.get("app_id") == "foot"),
                        "a click on the text's place focuses the window there")
        self.toggle()  # shows and focuses the note window again: the terminal loses the focus
        self.assertTrue(s.wait_focused(s.is_program), "the toggle focuses a shown window without the focus")
        self.toggle()
        self.assertTrue(wait_gone(s.main_window), "and hides it when it has the focus")
        self.assertTrue(s.wait_focused(lambda n: n.get("app_id") == "foot"))
        self.assertTrue(s.wait_colour(MAGENTA, (WIDTH - TERMINAL_SIZE[0], 0) + TERMINAL_SIZE, present=False),
                        "the text does not show over the terminal")

        # --show from the command line (here bound to another key) brings it back once more.
        s.key("super+shift+s")
        self.assertTrue(s.wait_focused(s.is_program), "--show shows and focuses the window")
        self.assertEqual([n["name"] for n in s.program_windows()], ["Jotvane"],
                         "nothing but the note window ever came up")


    def test_a_notice_shows_in_the_corner_and_never_takes_the_focus(self):
        s = self.sway
        with open(s.path("Config.ini"), "w", encoding="utf-8", newline="") as f:
            f.write(CONFIG.replace("Messager=False", "Messager=True"))
        s.hand_over(s.app_dir)
        s.start()
        if not s.wait_focused(s.is_program, 30):
            self.fail_with_logs("the note window shows")
        # The user works in a terminal, away from the corner, where every line typed is kept.
        typed = os.path.join(s.root, "tmp", "typed.txt")
        self.assertTrue(s.terminal("sh", "-c", f"cat > {typed}"), "the terminal opens")
        s.msg(f"[app_id=foot] resize set {TERMINAL_SIZE[0]} {TERMINAL_SIZE[1]}, move position 0 0")
        self.assertTrue(s.wait_focused(lambda n: n.get("app_id") == "foot"), "the terminal has the focus")

        def type_line(word):
            for letter in word:
                s.key(letter)
            s.key("enter")

        def lines():
            try:
                with open(typed, encoding="utf-8") as f:
                    return f.read().split()
            except OSError:
                return []

        type_line("before")
        self.assertTrue(wait_until(lambda: lines() == ["before"], 15), lines())

        # A peer comes online: its notice shows in the corner, over everything, as a layer of the
        # compositor and not as a window of its own.
        # A datagram sent before the messenger listens is lost, as on a real network.
        self.assertTrue(wait_until(messenger_listening, 30), "the messenger listens")
        online_notice("张三")
        if not s.wait_colour(NOTICE_BLUE, NOTICE_BOX, present=True):
            self.fail_with_logs("the online notice shows in the bottom-right corner")
        if os.environ.get("JV_SHOTS"):
            s.grim(os.path.join(os.environ["JV_SHOTS"], f"notice-{self.PLATFORM}.png"))
        self.assertEqual([n for n in s.windows() if n.get("name") == "Jotvane-提示"], [],
                         "the notice is no window that sway manages")
        self.assertTrue(s.wait_focused(lambda n: n.get("app_id") == "foot"), "the terminal keeps the focus")
        # Typing goes on reaching the terminal while the notice shows.
        type_line("during")
        self.assertTrue(wait_until(lambda: lines() == ["before", "during"], 15), lines())
        self.assertGreater(s.count_colour(NOTICE_BLUE, NOTICE_BOX), 0, "the notice still shows")
        # It goes after its five seconds.
        self.assertTrue(s.wait_colour(NOTICE_BLUE, NOTICE_BOX, present=False, timeout=30),
                        "the notice goes after its time-out")
        self.assertTrue(s.wait_focused(lambda n: n.get("app_id") == "foot"))

    def test_esc_without_a_tray_host_leaves_a_usable_window(self):
        s = self.sway
        program = s.start()
        if not s.wait_focused(s.is_program, 30):
            self.fail_with_logs("the note window shows")
        # Nothing hosts a tray icon here: Esc cannot hide the window into one. What it leaves
        # (minimised, or in place where the compositor cannot minimise) comes back with --show
        # and takes typing.
        s.key("esc")
        self.assertIsNone(program.poll())
        s.key("super+shift+s")
        if not s.wait_focused(s.is_program):
            self.fail_with_logs("--show brings the window back with the focus")
        for letter in "qz":
            s.key(letter)
        # Esc once more writes the page: the letters reached the editor.
        s.key("esc")
        page = s.path("Data", "page0.txt")

        def page_text():
            try:
                return read_page(page).text
            except (OSError, UnicodeDecodeError):
                return ""

        self.assertTrue(wait_until(lambda: "qz" in page_text(), 15),
                        "the letters typed after --show are in the page")
        self.assertIsNone(program.poll())


class NativeWaylandTest(WaylandSession, unittest.TestCase):
    PLATFORM = "wayland"


class XwaylandTest(WaylandSession, unittest.TestCase):
    PLATFORM = "xcb"


def main():
    if len(sys.argv) < 2:
        print("usage: test_wayland.py <binary dir> [unittest arguments]", file=sys.stderr)
        sys.exit(2)
    for tool in ("sway", "swaymsg", "grim", "foot", "Xwayland"):
        if shutil.which(tool) is None:
            print(f"e2e: {tool} is not installed; skipping", file=sys.stderr)
            sys.exit(harness.SKIP)
    wlinput = os.environ.get("JV_WLINPUT") or os.path.join(os.path.dirname(os.path.abspath(sys.argv[1])),
                                                           "tests", "jv-wlinput")
    if not os.path.exists(wlinput):
        print("e2e: jv-wlinput is not built", file=sys.stderr)
        sys.exit(2)
    harness.in_private_network()
    WaylandSession.BINARY_DIR = os.path.abspath(sys.argv[1])
    WaylandSession.WLINPUT = wlinput
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)


if __name__ == "__main__":
    main()
