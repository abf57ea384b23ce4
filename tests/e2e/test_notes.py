"""The note window driven by keys and the mouse: page commands, hiding to the tray, the global
hotkey, what a restart restores and the one-time tray balloon."""

import os
import subprocess
import time
import unittest

import harness
from harness import SessionTest, ini_value, wait_until

# The tab strip lies below the menu bar: tabs start 26 pixels into it (plus the 1-pixel frame of
# the window's panel), each at most 100 pixels wide with 2 pixels between them. Titles this long
# make every tab exactly that wide.
TAB_LEFT = 27
TAB_PITCH = 102
TAB_WIDTH = 100
TAB_STRIP_Y = 30  # inside the strip: the menu bar is about 18 pixels high, the strip 25
LONG_TITLES = ["Alpha page with a long title", "Bravo page with a long title", "Charlie page with a long title"]


def tab_centre(index):
    return (TAB_LEFT + index * TAB_PITCH + TAB_WIDTH // 2, TAB_STRIP_Y)


class NoteWindowTest(SessionTest):
    TRAY = True

    def hide_with_escape(self, window):
        self.assertTrue(self.session.hide_with_escape(window), "Esc hides the window to the tray")

    def page_by_name(self):
        return {page.name: page for page in self.session.pages()}


class PageCommands(NoteWindowTest):
    def test_new_rename_and_switch_by_keys(self):
        s = self.session
        process, window = self.start_shown()
        self.assertEqual([(p.key, p.title) for p in s.pages()], [("0", "默认页")])

        s.key("ctrl+n")
        s.key("ctrl+n")
        self.assertTrue(wait_until(lambda: len(s.pages()) == 3, 30))
        self.assertEqual([(p.key, p.title, p.text) for p in s.pages()],
                         [("0", "默认页", ""), ("1", "新建页", ""), ("2", "新建页(1)", "")])

        # F2 renames the current page, the last one created.
        s.key("F2")
        self.assertTrue(s.wait_window("^修改页面标题$"), "the rename dialog opens")
        s.type_text("Renamed page")
        s.key("Return")
        self.assertTrue(s.wait_hidden("^修改页面标题$"))
        self.assertTrue(wait_until(lambda: s.pages()[2].title == "Renamed page", 30))
        # The window manager hands the focus back to the note window once the dialog is gone.
        self.assertTrue(s.activate(window), "the note window has the focus again")
        self.assertEqual([p.title for p in s.pages()], ["默认页", "新建页", "Renamed page"])
        renamed = s.pages()[2].name

        # A new page takes the first free name again, since 新建页(1) is gone.
        s.key("ctrl+n")
        self.assertTrue(wait_until(lambda: len(s.pages()) == 4, 30))
        self.assertEqual(s.pages()[3].title, "新建页(1)")

        # Each switch is followed by a letter typed into the page it selected.
        s.key("ctrl+Tab")  # from the last page round to the first
        s.type_text("A")
        s.key("ctrl+shift+Tab")  # from the first round to the last
        s.type_text("B")
        s.key("ctrl+shift+Tab")
        s.type_text("C")
        s.key("alt+2")
        s.type_text("D")
        s.key("alt+7")  # no seventh page: nothing changes
        s.type_text("E")
        s.key("ctrl+Tab")  # each page keeps its own caret: after the C
        s.type_text("F")
        self.hide_with_escape(window)
        texts = [(p.title, p.text) for p in s.pages()]
        self.assertEqual(texts, [("默认页", "A\r\n"), ("新建页", "DE\r\n"), ("Renamed page", "CF\r\n"),
                                 ("新建页(1)", "B\r\n")])
        self.assertEqual(self.page_by_name()[renamed].title, "Renamed page")
        self.assertEqual(s.stop(process), 0)

    def test_escape_writes_only_the_modified_pages(self):
        s = self.session
        names = s.seed_pages([("First", "one\nline two"), ("Second", "untouched")])
        with open(s.path("Data", names[1]), "rb") as f:
            second_before = f.read()
        process, window = self.start_shown()
        s.key("Down", "End")
        s.type_text(" and more")
        s.key("Return")
        s.type_text("third line")
        # Nothing is written while the window is up.
        self.assertEqual(self.page_by_name()[names[0]].text, "one\r\nline two\r\n")
        self.hide_with_escape(window)
        self.assertIsNone(process.poll(), "hiding does not end the program")
        first = self.page_by_name()[names[0]]
        self.assertEqual((first.key, first.title, first.text), ("0", "First", "one\r\nline two and more\r\nthird line\r\n"))
        with open(s.path("Data", names[1]), "rb") as f:
            self.assertEqual(f.read(), second_before, "an unchanged page is not rewritten")
        self.assertEqual(s.stop(process), 0)


class HotKey(NoteWindowTest):
    # A person's presses are some tenths of a second apart; see the quick case below.
    HUMAN_PAUSE = 0.5

    def test_ctrl_d_toggles_the_window(self):
        s = self.session
        process, window = self.start_shown()
        # Sent through XTEST like a real key press, so the grab on the root window sees it.
        s.key("ctrl+d")
        self.assertTrue(s.wait_hidden(), "Ctrl+D hides the window in front")
        time.sleep(self.HUMAN_PAUSE)
        s.key("ctrl+d")
        self.assertTrue(s.wait_window(), "Ctrl+D shows the hidden window")
        self.assertTrue(wait_until(lambda: s.active_window() == window, 30), "and brings it to the front")
        self.assertTrue(s.activate(window))
        s.key("ctrl+d")
        self.assertTrue(s.wait_hidden(), "and hides it again")
        self.assertIsNone(process.poll())
        self.assertEqual(s.stop(process), 0)

    def test_ctrl_d_still_hides_after_a_quick_hide_and_show(self):
        s = self.session
        process, window = self.start_shown()
        s.key("ctrl+d")
        self.assertTrue(s.wait_hidden())
        s.key("ctrl+d")  # at once, without the pause of the case above
        self.assertTrue(s.wait_window())
        self.assertTrue(wait_until(lambda: s.active_window() == window, 30))
        self.assertTrue(s.activate(window, settle=1.0))
        try:
            s.key("ctrl+d")
            self.assertTrue(s.wait_hidden(), "Ctrl+D hides the window that is in front")
        finally:
            self.assertEqual(s.stop(process), 0)

    def test_ctrl_d_fronts_a_window_behind_another(self):
        s = self.session
        process, window = self.start_shown()
        other = s.start_other(["xmessage", "-geometry", "300x100+50+50", "another program"], "xmessage")
        others = s.wait_window("^xmessage$")
        self.assertTrue(others, "the other program's window shows")
        s.focus(others[0])
        self.assertTrue(wait_until(lambda: s.active_window() == others[0], 30))
        s.key("ctrl+d")
        self.assertTrue(wait_until(lambda: s.active_window() == window, 30),
                        "a visible window behind another comes to the front instead of hiding")
        self.assertEqual(s.windows(), [window])
        other.terminate()
        other.wait(timeout=5)
        self.assertEqual(s.stop(process), 0)

    def test_second_start_brings_back_a_window_hidden_by_the_hotkey(self):
        s = self.session
        process, window = self.start_shown()
        s.type_text("kept")
        s.key("ctrl+d")
        self.assertTrue(s.wait_hidden())
        self.assertTrue(s.handled("--hide"), "the hidden copy answers")
        self.assertEqual(s.pages()[0].text, "kept\r\n", "the hotkey's hide writes the page too")
        time.sleep(HotKey.HUMAN_PAUSE)
        self.assertEqual(s.run(timeout=30), 0)
        self.assertTrue(s.wait_window(), "a second start shows the running copy's window")
        self.assertTrue(wait_until(lambda: s.active_window() == window, 30))
        self.assertTrue(s.activate(window))
        s.type_text("!")
        self.hide_with_escape(window)
        self.assertEqual(s.pages()[0].text, "kept!\r\n", "the caret is back in the page")
        self.assertEqual(s.stop(process), 0)


class Restart(NoteWindowTest):
    def test_the_current_page_is_restored(self):
        s = self.session
        names = s.seed_pages([(f"Page {i}", f"text {i}") for i in range(4)])
        process, window = self.start_shown()
        s.key("alt+3")
        self.assertEqual(s.stop(process), 0)
        self.assertEqual(ini_value(s.path("Config.ini"), "Config", "PageIndex"), "2")

        process, window = self.start_shown()
        s.type_text("here ")
        self.hide_with_escape(window)
        texts = [self.page_by_name()[name].text for name in names]
        self.assertEqual(texts, ["text 0\r\n", "text 1\r\n", "here text 2\r\n", "text 3\r\n"])
        self.assertEqual(s.stop(process), 0)

    def test_the_window_bounds_are_restored(self):
        s = self.session
        process, window = self.start_shown()
        s.tool("xdotool", "windowmove", "--sync", str(window), "100", "120", check=True)
        s.tool("xdotool", "windowsize", "--sync", str(window), "700", "500", check=True)
        self.assertTrue(wait_until(lambda: s.geometry(window)[2:] == (700, 500), 30))
        moved = s.geometry(window)
        self.assertLess(abs(moved[0] - 100) + abs(moved[1] - 120), 60, f"the window moved: {moved}")
        self.assertEqual(s.stop(process), 0)
        config = s.path("Config.ini")
        stored = tuple(int(ini_value(config, "Config", key)) for key in ("WinLeft", "WinTop", "WinRight", "WinBottom"))
        self.assertEqual(stored, (moved[0], moved[1], moved[0] + moved[2], moved[1] + moved[3]))
        self.assertEqual(ini_value(config, "Config", "WinMaximized"), "False")

        process, window = self.start_shown()
        restored = s.geometry(window)
        for got, want in zip(restored, moved):
            self.assertLessEqual(abs(got - want), 3, f"restored {restored}, left at {moved}")
        self.assertEqual(s.stop(process), 0)

    def test_the_tab_order_after_a_drag_is_kept(self):
        s = self.session
        names = s.seed_pages([(title, f"body {i}") for i, title in enumerate(LONG_TITLES)])
        process, window = self.start_shown()
        # The first tab dragged over the two others to the end of the strip.
        s.drag(window, tab_centre(0), tab_centre(2))
        keys = lambda: [self.page_by_name()[name].key for name in names]
        self.assertTrue(wait_until(lambda: keys() == ["2", "0", "1"], 30), f"keys after the drag: {keys()}")
        self.assertEqual([p.title for p in s.pages()], LONG_TITLES[1:] + LONG_TITLES[:1])
        self.assertEqual(s.stop(process), 0)
        self.assertEqual(ini_value(s.path("Config.ini"), "Config", "PageIndex"), "2",
                         "the dragged tab stays the current one")

        process, window = self.start_shown()
        self.assertEqual(keys(), ["2", "0", "1"], "the order survives a restart")
        s.type_text("moved ")
        self.hide_with_escape(window)
        self.assertEqual(self.page_by_name()[names[0]].text, "moved body 0\r\n",
                         "the dragged page is the current page after the restart")
        self.assertEqual(s.stop(process), 0)

    def test_a_first_start_puts_the_whole_window_in_the_corner_of_the_work_area(self):
        s = self.session
        process, window = self.start_shown()
        x, y, w, h = s.geometry(window)
        self.assertEqual((w, h), (560, 430))
        left, right, top, bottom = s.frame_extents(window)
        area_x, area_y, area_w, area_h = s.work_area()
        try:
            self.assertLessEqual(x + w + right, area_x + area_w, "the frame's right edge is on the screen")
            self.assertLessEqual(y + h + bottom, area_y + area_h, "the frame's bottom edge is on the screen")
            self.assertGreaterEqual(x + w + right, area_x + area_w - 3, "the window sits in the right corner")
            self.assertGreaterEqual(y + h + bottom, area_y + area_h - 3, "the window sits in the bottom corner")
        finally:
            self.assertEqual(s.stop(process), 0)


class TrayBalloon(NoteWindowTest):
    def wait_no_balloon(self, seconds=1.5):
        """True when no balloon shows during the given time."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.session.balloons():
                return False
            time.sleep(0.1)
        return True

    def close_balloon(self):
        s = self.session
        balloon = s.balloons()[0]
        s.tool("xdotool", "mousemove", "--window", str(balloon), "60", "40", "click", "1", check=True)
        self.assertTrue(wait_until(lambda: not s.balloons(), 30), "a click closes the balloon")

    def test_the_first_hide_shows_the_balloon_once(self):
        s = self.session
        config = s.path("Config.ini")
        process, window = self.start_shown()
        self.assertEqual(s.balloons(), [])
        self.hide_with_escape(window)
        self.assertTrue(wait_until(lambda: s.balloons(), 30), "the first hide shows the balloon")
        self.close_balloon()

        time.sleep(HotKey.HUMAN_PAUSE)
        s.key("ctrl+d")
        self.assertTrue(s.wait_window())
        self.hide_with_escape(window)
        self.assertTrue(self.wait_no_balloon(), "a second hide shows no balloon")
        self.assertEqual(s.stop(process), 0)
        self.assertEqual(ini_value(config, "Config", "PromptMinToTray"), "False")

        # After a restart the hint stays off, and hiding does not switch it on again.
        process, window = self.start_shown()
        self.hide_with_escape(window)
        self.assertTrue(self.wait_no_balloon(), "no balloon after a restart")
        self.assertEqual(s.stop(process), 0)
        self.assertEqual(ini_value(config, "Config", "PromptMinToTray"), "False")

    def test_a_start_with_min_ended_without_hiding_keeps_the_hint(self):
        s = self.session
        process = s.start("/min")
        self.assertTrue(s.wait_running(process))
        self.assertEqual(s.stop(process), 0)
        self.assertEqual(ini_value(s.path("Config.ini"), "Config", "PromptMinToTray"), "True",
                         "only a hide to the tray switches the hint off")
        process, window = self.start_shown()
        self.hide_with_escape(window)
        self.assertTrue(wait_until(lambda: s.balloons(), 30), "so the first real hide still shows it")
        self.assertEqual(s.stop(process), 0)


if __name__ == "__main__":
    harness.main()
