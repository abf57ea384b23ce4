"""Reminders end to end: the note window on a set clock (libfaketime), a reminder on its first
page and a timed shutdown in the same minute. The tune goes to a file through ALSA, the shutdown to a
fake logind on a private system bus; nothing reaches the real bus or a real power-off."""

import calendar
import json
import os
import shutil
import subprocess
import sys
import time
import unittest

import harness

FAKE_LOGIND = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fakes", "fake_logind.py")
RATE = 48000
MINUTE = "2009-05-01 08:30"


def system_python():
    """The interpreter that has the Debian python3-dbus and python3-gi modules."""
    for candidate in ("/usr/bin/python3", sys.executable):
        if os.path.exists(candidate) and subprocess.run(
                [candidate, "-c", "import dbus, gi"], capture_output=True).returncode == 0:
            return candidate
    return None


def faketime_library():
    """libfaketime as the Debian package faketime installs it, or None."""
    import glob
    found = sorted(glob.glob("/usr/lib/*/faketime/libfaketime.so.1") + glob.glob("/usr/lib/faketime/libfaketime.so.1"))
    return found[0] if found else None


def tone_runs(samples):
    """(frequency, milliseconds) of every run of sound between silences, from zero crossings."""
    runs, i = [], 0
    while i < len(samples):
        if samples[i] == 0:
            i += 1
            continue
        begin, crossings = i, []
        while i < len(samples) and samples[i] != 0:
            if i > begin and (samples[i] > 0) != (samples[i - 1] > 0):
                crossings.append(i)
            i += 1
        f = (len(crossings) - 1) / 2 * RATE / (crossings[-1] - crossings[0]) if len(crossings) > 1 else 0
        runs.append((f, (i - begin) * 1000 / RATE))
    return runs


class PrivateSystemBus:
    """dbus-daemon on a socket in folder, with the fake logind on it."""

    def __init__(self, folder, refuse=False):
        self.folder = folder
        self.socket = os.path.join(folder, "system_bus_socket")
        self.address = "unix:path=" + self.socket
        self.calls_path = os.path.join(folder, "logind-calls.jsonl")
        config = os.path.join(folder, "system-bus.conf")
        with open(config, "w") as f:
            f.write(f"""<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>{self.address}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
  </policy>
</busconfig>
""")
        self.processes = []
        self.logs = []
        self.processes.append(self._spawn(["dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + config],
                                          "dbus-daemon"))
        if not harness.wait_until(lambda: os.path.exists(self.socket), 10):
            raise RuntimeError("the private dbus-daemon did not start")
        argv = [system_python(), FAKE_LOGIND, self.address, self.calls_path] + (["refuse"] if refuse else [])
        self.processes.append(self._spawn(argv, "fake-logind"))
        if not harness.wait_until(lambda: self.calls() and self.calls()[0] == ["ready"], 10):
            raise RuntimeError("the fake logind did not start")

    def _spawn(self, argv, name):
        log = open(os.path.join(self.folder, name + ".log"), "ab")
        self.logs.append(log)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "DBUS_SYSTEM_BUS_ADDRESS": self.address,
               "DBUS_SESSION_BUS_ADDRESS": self.address}
        return subprocess.Popen(argv, stdout=log, stderr=subprocess.STDOUT, env=env, cwd=self.folder)

    def calls(self):
        if not os.path.exists(self.calls_path):
            return []
        with open(self.calls_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def close(self):
        harness.end_processes(self.processes, self.logs)


class Reminders(harness.SessionTest):
    TRAY = True

    def setUp(self):
        super().setUp()
        self.faketime_library = faketime_library()
        if not self.faketime_library or shutil.which("dbus-daemon") is None or system_python() is None:
            self.skipTest("libfaketime, dbus-daemon or python3-dbus is not installed")
        s = self.session
        self.sound_file = os.path.join(s.root, "tune.raw")
        with open(os.path.join(s.env["HOME"], ".asoundrc"), "w") as f:
            f.write(f'pcm.!default {{ type file slave.pcm "null" file "{self.sound_file}" format "raw" }}\n')

    def prepare(self, alarm, page_text, refuse=False):
        self.bus = PrivateSystemBus(self.session.root, refuse)
        self.addCleanup(self.bus.close)
        with open(self.session.path("Config.ini"), "w", encoding="utf-8", newline="") as f:
            f.write("[Config]\r\nPromptMinToTray=False\r\n[Alarm]\r\n" + alarm.replace("\n", "\r\n"))
        self.session.seed_pages([("shopping", page_text), ("other", "nothing due @2009-05-01 08:30")])

    def start(self, clock):
        s = self.session
        # libfaketime preloaded into the program itself (the faketime command would stand between
        # the test and the program's signals): its wall clock starts at clock and runs on, its
        # timers keep the real monotonic clock.
        env = dict(s.env, DBUS_SYSTEM_BUS_ADDRESS=self.bus.address, LD_PRELOAD=self.faketime_library,
                   FAKETIME="@" + clock, FAKETIME_DONT_FAKE_MONOTONIC="1", TZ="UTC")
        process = s._spawn([s.exe], name="jotvane", env=env)
        self.assertTrue(s.wait_running(process), "the program starts")
        self.assertTrue(s.wait_window(timeout=15), "the note window appears")
        return process

    def shot(self, name):
        folder = os.environ.get("JV_E2E_SHOTS")
        if folder:
            os.makedirs(folder, exist_ok=True)
            self.session.screenshot(os.path.join(folder, name))

    def calls(self, name):
        return [c for c in self.bus.calls() if c[0] == name]

    def test_reminder_and_shutdown_in_one_minute(self):
        s = self.session
        self.prepare(f"Alarm=True\nBeep=True\nShutDown=True\nShutDownTime={MINUTE}:10\n",
                     f"buy milk @{MINUTE}\nlater @2009-05-01 08:31")
        process = self.start("2009-05-01 08:29:55")
        window = s.windows()[0]

        # In the minute the tune plays, then the box shows the line.
        boxes = s.wait_window("^提示$", timeout=25)
        self.assertTrue(boxes, "the reminder box appears")
        self.shot("reminder-box.png")
        self.assertTrue(harness.wait_until(lambda: self.calls("ScheduleShutdown"), 20), "the shutdown is asked for")
        calls = [c for c in self.bus.calls() if c[0] != "ready"]
        self.assertEqual(calls[0], ["SetWallMessage", "这是由Jotvane发起的自动关机！", True])
        self.assertEqual(calls[1][:2], ["ScheduleShutdown", "poweroff"])
        # 30 s after the request, on the program's (set) clock.
        requested = calls[1][2] / 1e6
        minute_start = calendar.timegm(time.strptime(MINUTE, "%Y-%m-%d %H:%M"))
        self.assertGreaterEqual(requested, minute_start + 30)
        self.assertLess(requested, minute_start + 60 + 30)

        with open(self.sound_file, "rb") as f:
            data = f.read()
        samples = [int.from_bytes(data[i:i + 2], "little", signed=True) for i in range(0, len(data), 2)]
        self.assertEqual(len(samples), 3 * RATE)
        runs = tone_runs(samples)
        expected = [(196, 200), (196, 200), (196, 200), (165, 700), (261, 200), (261, 200), (261, 200), (131, 700)]
        self.assertEqual(len(runs), len(expected))
        for (f, ms), (want_f, want_ms) in zip(runs, expected):
            self.assertAlmostEqual(f, want_f, delta=want_f * 0.02)
            self.assertAlmostEqual(ms, want_ms, delta=0.1)

        box = s.windows("^提示$")[-1]
        self.assertTrue(s.activate(box))
        s.key("Return")
        self.assertTrue(s.wait_hidden("^提示$", timeout=10), "the box closes")
        # Esc hides the window and writes the page that got its mark.
        self.assertTrue(s.activate(window))
        s.key("Escape")
        self.assertTrue(s.wait_hidden(), "Esc hides the window")
        self.assertTrue(harness.wait_until(lambda: "√" in s.pages()[0].text, 10), "the page is written")
        self.assertEqual(s.pages()[0].text, f"buy milk @{MINUTE}√\r\nlater @2009-05-01 08:31\r\n")
        self.assertEqual(s.pages()[1].text, "nothing due @2009-05-01 08:30\r\n", "only the first page counts")
        # The scan runs every four seconds: two more rounds in the same minute ask for nothing more.
        harness.wait_until(lambda: len(self.calls("ScheduleShutdown")) > 1, 9)
        self.assertEqual(len(self.calls("ScheduleShutdown")), 1, "the shutdown is asked for once")

        self.assertEqual(s.stop(process), 0)
        config = s.path("Config.ini")
        self.assertEqual(harness.ini_value(config, "Alarm", "ShutDown"), "False")
        self.assertEqual(harness.ini_value(config, "Alarm", "Alarm"), "True")

    def test_refused_shutdown_is_reported(self):
        s = self.session
        self.prepare(f"Alarm=False\nBeep=True\nShutDown=True\nShutDownTime={MINUTE}:00\n", f"quiet @{MINUTE}",
                     refuse=True)
        process = self.start("2009-05-01 08:29:58")
        # The window is on screen, so the failure comes in a box rather than a balloon.
        self.assertTrue(s.wait_window("^错误$", timeout=20), "the refusal is shown")
        self.assertEqual([c[0] for c in self.bus.calls()], ["ready", "SetWallMessage", "ScheduleShutdown"])
        self.shot("refused-box.png")
        self.assertTrue(s.activate(s.windows("^错误$")[-1]))
        s.key("Return")
        self.assertTrue(s.wait_hidden("^错误$", timeout=10), "the box closes")
        self.assertEqual(s.stop(process), 0)
        self.assertEqual(harness.ini_value(s.path("Config.ini"), "Alarm", "ShutDown"), "False")
        self.assertEqual(s.pages()[0].text, f"quiet @{MINUTE}\r\n", "reminders off: no mark")
        self.assertFalse(os.path.exists(self.sound_file) and os.path.getsize(self.sound_file), "and no tune")


if __name__ == "__main__":
    harness.main()
