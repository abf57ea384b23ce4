"""Reminders end to end: the note window on a set clock (libfaketime, moved by the test), reminders
on its first page and a timed shutdown. The tune goes to a file through ALSA, the shutdown to a
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
        if not harness.wait_until(lambda: os.path.exists(self.socket), 30):
            raise RuntimeError("the private dbus-daemon did not start")
        argv = [system_python(), FAKE_LOGIND, self.address, self.calls_path] + (["refuse"] if refuse else [])
        self.processes.append(self._spawn(argv, "fake-logind"))
        if not harness.wait_until(lambda: self.calls() and self.calls()[0] == ["ready"], 30):
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

    def prepare(self, alarm, page_text, refuse=False, page_index=0):
        self.bus = PrivateSystemBus(self.session.root, refuse)
        self.addCleanup(self.bus.close)
        with open(self.session.path("Config.ini"), "w", encoding="utf-8", newline="") as f:
            f.write(f"[Config]\r\nPromptMinToTray=False\r\nPageIndex={page_index}\r\n[Alarm]\r\n"
                    + alarm.replace("\n", "\r\n"))
        self.session.seed_pages([("shopping", page_text), ("other", "nothing due @2009-05-01 08:31")])

    def set_clock(self, moment):
        """Moves the program's wall clock so that it now reads moment (UTC) and runs on from there:
        libfaketime reads the offset from this file again every second."""
        target = calendar.timegm(time.strptime(moment, "%Y-%m-%d %H:%M:%S"))
        temporary = self.clock_file + ".new"
        with open(temporary, "w") as f:
            f.write("%+d\n" % round(target - time.time()))
        os.replace(temporary, self.clock_file)

    def start(self, clock):
        s = self.session
        self.clock_file = os.path.join(s.root, "faketime")
        self.set_clock(clock)
        # libfaketime preloaded into the program itself (the faketime command would stand between
        # the test and the program's signals): its wall clock follows the offset in the file,
        # its timers keep the real monotonic clock.
        env = dict(s.env, DBUS_SYSTEM_BUS_ADDRESS=self.bus.address, LD_PRELOAD=self.faketime_library,
                   FAKETIME_TIMESTAMP_FILE=self.clock_file, FAKETIME_CACHE_DURATION="1",
                   FAKETIME_DONT_FAKE_MONOTONIC="1", TZ="UTC")
        env.pop("FAKETIME", None)
        process = s._spawn([s.exe], name="jotvane", env=env)
        self.assertTrue(s.wait_running(process), "the program starts")
        self.assertTrue(s.wait_window(), "the note window appears")
        return process

    def shot(self, name):
        folder = os.environ.get("JV_E2E_SHOTS")
        if folder:
            os.makedirs(folder, exist_ok=True)
            self.session.screenshot(os.path.join(folder, name))

    def calls(self, name):
        return [c for c in self.bus.calls() if c[0] == name]

    def check_tune(self):
        """The sound file holds the reminder tune once, tone by tone."""
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

    def type_until(self, done, timeout=40):
        """Types words and line breaks into the focused window until done() holds; the text typed."""
        typed, deadline = "", time.monotonic() + timeout
        while not done() and time.monotonic() < deadline:
            self.session.type_text("word ", delay_ms=60)
            self.session.key("Return")
            typed += "word \n"
        return typed

    def test_reminders_and_shutdown_story(self):
        """A user types in another window when a reminder falls due, leaves its box open across
        the shutdown minute, and later a hundred reminders fall due in one minute."""
        s = self.session
        batch = [f"batch {i} @2009-05-01 08:33" for i in range(100)]
        self.prepare("Alarm=True\nBeep=True\nShutDown=True\nShutDownTime=2009-05-01 08:32:00\n",
                     "\n".join(["buy milk @2009-05-01 08:31"] + batch), page_index=1)
        process = self.start("2009-05-01 08:30:40")
        window = s.windows()[0]
        # A program still starting can take the focus after X reports it.
        self.assertTrue(harness.wait_until(lambda: s.activate(window), 30), "the note window takes the focus")

        # Typing into the note window's second page goes on while the reminder box appears: the
        # keys stay with the editor and the box stays open, unanswered.
        self.set_clock("2009-05-01 08:30:58")
        box_seen = []

        def box_up_a_while():
            if not box_seen and s.windows("^提示$"):
                box_seen.append(time.monotonic())
            return box_seen and time.monotonic() - box_seen[0] > 2.5
        typed = self.type_until(box_up_a_while)
        self.assertTrue(box_seen, "the reminder box appears")
        boxes = s.windows("^提示$")
        self.assertEqual(len(boxes), 1, "the box is still open")
        self.assertNotIn(s.active_window(), boxes, "the box did not take the focus")
        self.shot("reminder-box.png")
        self.check_tune()
        self.assertTrue(s.hide_with_escape(window), "Esc hides the note window, which writes its pages")
        self.assertTrue(harness.wait_until(lambda: "word" in s.pages()[1].text, 30), "the typing is written")
        self.assertIn(typed.replace("\n", "\r\n"), s.pages()[1].text, "every key reached the editor")
        self.assertTrue(s.pages()[0].text.startswith("buy milk @2009-05-01 08:31\r\n"), "not marked unseen")

        # The shutdown minute comes with the box still open: the countdown appears, and at its end
        # logind is asked to power off, without a wall message.
        self.set_clock("2009-05-01 08:31:57")
        self.assertTrue(s.wait_window("^定时关机$", timeout=30), "the countdown appears")
        self.assertEqual(s.windows("^提示$"), boxes, "beside the open box")
        self.shot("countdown.png")
        self.assertFalse(self.calls("PowerOff"), "not before the countdown ends")
        self.assertTrue(harness.wait_until(lambda: self.calls("PowerOff"), 60), "the power-off is asked for")
        self.assertEqual([c for c in self.bus.calls() if c[0] != "ready"], [["PowerOff", True]])
        self.assertTrue(s.wait_hidden("^定时关机$", timeout=30), "the countdown closes")

        # A hundred reminders of one minute wait for the open box, then come in one box.
        self.set_clock("2009-05-01 08:32:57")
        self.assertTrue(s.key_until(boxes[0], ["Return"], lambda: boxes[0] not in s.windows("^提示$")),
                        "the first box is answered")
        self.assertTrue(s.wait_window("^提示$", timeout=30), "the box of the hundred appears")
        self.assertFalse(harness.wait_until(lambda: len(s.windows("^提示$")) > 1, 8), "one box only")
        self.shot("hundred-box.png")
        second = s.windows("^提示$")[0]
        self.assertTrue(s.key_until(second, ["Return"], lambda: not s.windows("^提示$")), "it is answered")

        self.assertEqual(s.stop(process), 0)
        self.assertEqual(s.pages()[0].text,
                         "".join(line + "√\r\n" for line in ["buy milk @2009-05-01 08:31"] + batch))
        self.assertEqual(harness.ini_value(s.path("Config.ini"), "Alarm", "ShutDown"), "False")

    def test_refused_shutdown_is_reported(self):
        s = self.session
        self.prepare("Alarm=False\nBeep=True\nShutDown=True\nShutDownTime=2009-05-01 08:30:00\n",
                     "quiet @2009-05-01 08:30", refuse=True)
        process = self.start("2009-05-01 08:29:58")
        self.assertTrue(s.wait_window("^定时关机$", timeout=30), "the countdown appears")
        countdown = s.windows("^定时关机$")[0]
        # "Shut down now" (Alt+N), once the countdown takes keys.
        self.assertTrue(s.key_until(countdown, ["alt+n"], lambda: s.windows("^错误$")), "the refusal is shown")
        self.assertEqual([c[0] for c in self.bus.calls()], ["ready", "PowerOff"])
        self.shot("refused-box.png")
        self.assertTrue(s.key_until(s.windows("^错误$")[-1], ["Return"], lambda: not s.windows("^错误$")),
                        "the box closes")
        self.assertEqual(s.stop(process), 0)
        self.assertEqual(harness.ini_value(s.path("Config.ini"), "Alarm", "ShutDown"), "False")
        self.assertEqual(s.pages()[0].text, "quiet @2009-05-01 08:30\r\n", "reminders off: no mark")
        self.assertFalse(os.path.exists(self.sound_file) and os.path.getsize(self.sound_file), "and no tune")


if __name__ == "__main__":
    harness.main()
