"""A second start beside a frozen copy, a lock left by a crash, settings that cannot be written at
the end, the window manager's buttons on a fixed-size box, and the tray menu and the find dialog
while the window is hidden."""

import os
import signal
import time

import harness
from harness import SessionTest, wait_until

LOCK = ".Jotvane.lock"


def snapshot(folder):
    """Every file under folder with its size and modification time."""
    found = {}
    for parent, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(parent, name)
            try:
                info = os.stat(path)
            except FileNotFoundError:
                continue  # a temporary file renamed over its target meanwhile
            found[os.path.relpath(path, folder)] = (info.st_size, info.st_mtime_ns)
    return found


def settled_snapshot(folder, timeout=10):
    """The snapshot once two taken half a second apart agree: the running copy has written
    what its start writes (the settings, then the messenger's files a moment later)."""
    previous = None
    deadline = time.monotonic() + timeout
    while True:
        current = snapshot(folder)
        if current == previous or time.monotonic() > deadline:
            return current
        previous = current
        time.sleep(0.5)


def log_text(session):
    with open(os.path.join(session.root, "jotvane.log"), "rb") as f:
        return f.read().decode("utf-8", "replace")


MWM_FUNC_MINIMIZE, MWM_FUNC_MAXIMIZE, MWM_DECOR_MINIMIZE, MWM_DECOR_MAXIMIZE = 0x08, 0x10, 0x20, 0x40


class FixedSizeBoxes:
    def assert_no_min_max(self, window):
        """The box asks for neither button (_MOTIF_WM_HINTS), and openbox offers no maximise.
        openbox keeps its minimise button on every window whatever is asked; the box then
        comes back by itself (a widget test shows that)."""
        hints = self.session.tool("xprop", "-id", str(window), "_MOTIF_WM_HINTS")
        flags, functions, decorations = [int(v, 16) for v in hints.partition("=")[2].split(",")[:3]]
        self.assertTrue(flags & 1 and flags & 2, hints)
        self.assertEqual(functions & (MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE), 0, hints)
        self.assertEqual(decorations & (MWM_DECOR_MINIMIZE | MWM_DECOR_MAXIMIZE), 0, hints)
        actions = self.session.tool("xprop", "-id", str(window), "_NET_WM_ALLOWED_ACTIONS")
        self.assertIn("_NET_WM_ACTION_CLOSE", actions)
        for action in ("_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"):
            self.assertNotIn(action, actions)


class OneCopyPerFolder(SessionTest, FixedSizeBoxes):
    TRAY = True

    def test_second_start_beside_a_frozen_copy_tells_the_user_and_touches_nothing(self):
        s = self.session
        os.makedirs(s.path("Data"))
        s.seed_pages([("页", "text")])
        first = s.start("/min")
        self.assertTrue(s.wait_running(first))
        self.assertTrue(wait_until(lambda: os.path.exists(s.path("Config.ini")), 30))
        before = settled_snapshot(s.app_dir)
        os.kill(first.pid, signal.SIGSTOP)
        self.addCleanup(lambda: first.poll() is None and os.kill(first.pid, signal.SIGCONT))

        second = s.start()
        box = s.wait_window("^错误$")
        self.assertTrue(box, "the second start says that Jotvane runs but does not answer")
        self.assertEqual(s.windows(), [], "no note window of a second copy")
        self.assertIsNone(second.poll(), "the box waits for the user")
        self.assert_no_min_max(box[0])
        self.assertTrue(s.activate(box[0]))
        s.key("Return")
        self.assertEqual(second.wait(timeout=30), 1)
        self.assertEqual(snapshot(s.app_dir), before, "the second start wrote no file")
        self.assertIn("already running", log_text(s))

        os.kill(first.pid, signal.SIGCONT)
        self.assertEqual(s.stop(first), 0)
        self.assertFalse(os.path.exists(s.path(LOCK)), "the lock goes with the copy that held it")

    def test_a_lock_left_by_a_crash_is_taken_over(self):
        s = self.session
        crashed = s.start("/min")
        self.assertTrue(s.wait_running(crashed))
        crashed.kill()
        crashed.wait(timeout=30)
        self.assertTrue(os.path.exists(s.path(LOCK)))
        again = s.start()
        self.assertTrue(s.wait_window(), "a new start runs after a crash")
        self.assertEqual(s.stop(again), 0)


class SettingsThatCannotBeWritten(SessionTest, FixedSizeBoxes):
    def start_with_unwritable_settings(self):
        s = self.session
        os.makedirs(s.path("Config.ini"))  # a folder of that name: the file can never be written
        process = s.start()
        window = s.wait_window()
        self.assertTrue(window)
        return process, window[0]

    def exit_from_the_menu(self, window):
        s = self.session
        self.assertTrue(s.activate(window))
        s.key("alt+f")
        self.assertTrue(wait_until(s.popup_menus, 30), "Alt+F opens the file menu")
        s.key("x")

    def test_sigterm_ends_promptly_and_reports_on_standard_error(self):
        s = self.session
        process, _ = self.start_with_unwritable_settings()
        # A box waiting on the user would keep the program past the timeout.
        self.assertEqual(s.stop(process, timeout=30), 0)
        self.assertEqual(s.windows("^错误$", visible=False), [])
        self.assertIn("Config.ini", log_text(s))

    def test_exit_names_the_file_in_one_box(self):
        s = self.session
        process, window = self.start_with_unwritable_settings()
        self.exit_from_the_menu(window)
        box = s.wait_window("^错误$")
        self.assertTrue(box, "the user learns that the settings were lost")
        self.assert_no_min_max(box[0])
        self.assertIsNone(process.poll())
        self.assertIn("Config.ini", log_text(s))
        self.assertTrue(s.activate(box[0]))
        s.key("Return")
        self.assertEqual(process.wait(timeout=30), 0)
        self.assertEqual(s.windows("^错误$"), [], "one box only")

    def test_sigterm_while_the_exit_box_waits_ends_the_program(self):
        s = self.session
        process, window = self.start_with_unwritable_settings()
        self.exit_from_the_menu(window)
        self.assertTrue(s.wait_window("^错误$", timeout=30))
        process.send_signal(signal.SIGTERM)
        self.assertEqual(process.wait(timeout=30), 0)



class HiddenWindow(SessionTest):
    TRAY = True

    def tray_icon_centre(self):
        """The middle of the panel's only icon: trayer sizes itself to what it holds."""
        panels = self.session.tool("xdotool", "search", "--classname", "^panel$").split()
        self.assertTrue(panels, "trayer's panel")
        x, y, width, height = self.session.geometry(int(panels[0]))
        return x + width // 2, y + height // 2

    def test_tray_menu_opens_and_the_find_dialog_follows_the_window(self):
        s = self.session
        process = s.start()
        window = s.wait_window()
        self.assertTrue(window, "the note window shows")
        self.assertTrue(s.activate(window[0]))
        s.key("ctrl+f")
        self.assertTrue(s.wait_window("^查找$"), "Ctrl+F opens the find dialog")
        self.assertTrue(s.activate(window[0]))
        s.key("Escape")
        self.assertTrue(s.wait_hidden(), "Esc hides the window to the tray")
        self.assertTrue(wait_until(lambda: not s.windows("^查找$"), 30), "the find dialog hides with it")

        # The tray menu of a hidden window opens, and its access key shows the window again.
        x, y = self.tray_icon_centre()

        def open_from_tray():
            s.tool("xdotool", "mousemove", str(x), str(y), "click", "3")
            time.sleep(0.5)
            if os.environ.get("JV_E2E_SHOTS"):
                s.screenshot(os.path.join(os.environ["JV_E2E_SHOTS"], "tray-menu-hidden.png"))
            s.key("o")
            return s.wait_window(timeout=10)
        # A busy program can open its menu after the key was sent: the menu is then tried again.
        self.assertTrue(wait_until(open_from_tray, 60, interval=0.2), "打开(&O) in the tray menu shows the window")
        self.assertTrue(s.wait_window("^查找$"), "the find dialog comes back with the window")
        self.assertEqual(s.stop(process), 0)


if __name__ == "__main__":
    harness.main()
