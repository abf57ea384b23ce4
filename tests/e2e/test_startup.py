"""Start-up, the single running copy and the ways the program ends."""

import os
import signal
import time

import harness
from harness import SessionTest, read_text, utf16, wait_until


class StartHidden(SessionTest):
    def test_min_as_first_argument_starts_hidden(self):
        s = self.session
        process = s.start("/min")
        self.assertTrue(s.wait_running(process))
        time.sleep(0.5)
        self.assertEqual(s.windows(), [], "no window may show with /min")
        self.assertEqual(s.stop(process), 0)

    def test_min_in_capitals_or_as_second_argument_starts_shown(self):
        s = self.session
        for arguments in (["/MIN"], ["x", "/min"]):
            process = s.start(*arguments)
            self.assertTrue(s.wait_running(process))
            self.assertTrue(s.wait_window(), f"{arguments} must show the window")
            self.assertEqual(s.stop(process), 0)
            wait_until(lambda: not os.path.exists(s.instance_socket()), 30)


class SecondStart(SessionTest):
    def test_second_start_ends_at_once_and_brings_the_first_window_back(self):
        s = self.session
        first = s.start()
        self.assertTrue(s.wait_running(first))
        window = s.wait_window()
        self.assertTrue(window)
        self.assertTrue(s.hide_with_escape(window[0]), "Esc hides the window")

        self.assertEqual(s.run(timeout=30), 0, "the second copy ends by itself")
        self.assertTrue(s.wait_window(), "the first copy's window comes back")
        self.assertEqual(len(s.windows(visible=False)), len(set(s.windows(visible=False))))
        self.assertEqual(len(s.windows()), 1, "the second copy shows no window of its own")
        self.assertTrue(wait_until(lambda: s.active_window() in s.windows(), 30), "it is in the foreground")
        self.assertIsNone(first.poll())
        self.assertEqual(s.stop(first), 0)

    def test_second_start_raises_and_activates_a_window_behind_another(self):
        s = self.session
        first, window = self.start_shown()
        s.start_other(["xmessage", "-geometry", "900x700+0+0", "-buttons", "", "in front"], "xmessage")
        other = s.wait_window("^xmessage$")
        self.assertTrue(other and s.activate(other[0]), "another window has the front and the focus")
        # The user goes on working there for a moment: a newer user time than the note window's.
        s.key("space", window=other[0])

        self.assertEqual(s.run(timeout=30), 0)
        self.assertTrue(wait_until(lambda: s.active_window() == window, 30), "the note window is active again")

        def on_top():
            stacking = s.tool("xprop", "-root", "_NET_CLIENT_LIST_STACKING").partition("#")[2]
            ids = [int(w, 16) for w in stacking.replace(",", " ").split()]
            return ids and ids[-1] == window

        self.assertTrue(wait_until(on_top, 30), "and in front of the other window")
        self.assertEqual(s.stop(first), 0)

    def test_second_start_with_min_also_hands_over(self):
        s = self.session
        first = s.start("/min")
        self.assertTrue(s.wait_running(first))
        self.assertEqual(s.run("/min", timeout=30), 0)
        self.assertTrue(s.wait_window(), "a second start shows the running copy")
        self.assertEqual(s.stop(first), 0)


class PageFilesAtStart(SessionTest):
    def test_keys_out_of_order_are_renumbered(self):
        s = self.session
        data = s.path("Data")
        os.makedirs(data)
        seeded = {"a.txt": "7", "b.txt": "3", "c.txt": "12"}
        for name, key in seeded.items():
            with open(os.path.join(data, name), "wb") as f:
                f.write(utf16(f"{key}\r\nTitle {name}\r\n\r\ntext of {name}\r\n"))
        process = s.start("/min")
        self.assertTrue(s.wait_running(process))

        def keys():
            return {name: read_text(os.path.join(data, name)).split("\r\n")[0] for name in seeded}
        # The files are read while the window is being built, and renumbered as its pages load.
        expected = {"b.txt": "0", "a.txt": "1", "c.txt": "2"}
        wait_until(lambda: keys() == expected, 30)
        self.assertEqual(keys(), expected)
        for name in seeded:
            self.assertIn(f"text of {name}\r\n", read_text(os.path.join(data, name)))
        self.assertEqual(s.stop(process), 0)


class Ending(SessionTest):
    def test_sigterm_and_sighup_end_cleanly(self):
        s = self.session
        for sig in (signal.SIGTERM, signal.SIGHUP):
            process = s.start()
            self.assertTrue(s.wait_running(process))
            self.assertTrue(s.wait_window())
            self.assertEqual(s.stop(process, sig), 0, f"signal {sig} ends the program normally")
            self.assertFalse(os.path.exists(s.instance_socket()), "the socket is removed at exit")

    def test_exit_command_from_the_file_menu(self):
        s = self.session
        process = s.start()
        self.assertTrue(s.wait_running(process))
        window = s.wait_window()
        self.assertTrue(s.focus(window[0]), "the note window takes the focus")
        s.key("alt+f")
        self.assertTrue(wait_until(s.popup_menus, 30), "Alt+F opens the file menu")
        s.key("x")
        self.assertEqual(process.wait(timeout=30), 0)
        self.assertEqual(s.windows(), [])


if __name__ == "__main__":
    harness.main()
