"""Desktop text over the wallpaper, on a real X server with openbox: the note window's first page
on the desktop, once without a compositing manager and once with xcompmgr. Set JV_E2E_SCREENSHOTS
to a folder to keep the screenshots."""

import os
import shutil
import sys
import unittest

import harness
from harness import SessionTest, XDisplay, wait_until
from desktop_helpers import Screenshot, Wallpaper, bands, desk_window, draw_on_root, green, rgb, white

WIDTH, HEIGHT = 1280, 800
STRIPES = (0x804020, 0x205080)
PLAIN = (0x3A, 0x6E, 0xA5)
MARGIN = 10
CONFIG = ("[Config]\r\nPromptMinToTray=False\r\n[Desktop]\r\nOnDesktop=True\r\nDesktoFontSize=20\r\n"
          "DesktopAligment=2\r\nAligmentSpace=10\r\nShowWallPaper=True\r\n")
# The first page: a line above the marker, the marker, then what the desktop shows.
PAGE = "笔记\n^\n桌面文字 Desk text\n-\n第二行 Second"
TEXT_BAND = (WIDTH - 400, 0, 400, 110)  # the top-right corner where the right-aligned lines are
COVER_BAND = (880, 24, WIDTH - 880 - 12, 86)  # the covering window's inside, below its title bar


class DesktopTest(SessionTest):
    TRAY = True
    COMPOSITOR = False

    def setUp(self):
        super().setUp()
        s = self.session
        self.wallpaper = Wallpaper(s.env["DISPLAY"], WIDTH, HEIGHT, STRIPES)
        if self.COMPOSITOR:
            if shutil.which("xcompmgr") is None:
                self.skipTest("xcompmgr is not installed")
            s.start_other(["xcompmgr"], "xcompmgr")
            with XDisplay(s.env["DISPLAY"]) as x:
                self.assertTrue(wait_until(lambda: x.selection_owner("_NET_WM_CM_S0") != 0, 30),
                                "the compositing manager owns its selection")
        with open(s.path("Config.ini"), "w", encoding="utf-8", newline="") as f:
            f.write(CONFIG)
        s.seed_pages([("desk", PAGE), ("other", "not on the desktop")])

    def start(self):
        s = self.session
        process = s.start()
        self.assertTrue(s.wait_running(process), "the program starts")
        windows = s.wait_window()
        self.assertTrue(windows, "the note window shows")
        return process, windows[0]

    def hide(self, window):
        self.assertTrue(self.session.hide_with_escape(window), "Esc hides the note window")

    def show_again(self):
        """A second start brings the hidden window back and ends at once."""
        s = self.session
        self.assertEqual(s.run(), 0)
        windows = s.wait_window()
        self.assertTrue(windows, "the note window is back")
        return windows[0]

    def desktop_menu(self, window, key):
        """Picks an item of the Desktop menu by its access key. Alt+D belongs to the page list, so
        the menu is reached from its left neighbour, the Reminders menu (Alt+A)."""
        s = self.session
        self.assertTrue(s.key_until(window, ["alt+a"], s.popup_menus), "the menu opens")
        s.key("Right", key)
        self.assertTrue(wait_until(lambda: not s.popup_menus(), 30), "the menu closes with the choice")

    def shot(self, name=None):
        folder = os.environ.get("JV_E2E_SCREENSHOTS")
        keep = None
        if folder and name:
            os.makedirs(folder, exist_ok=True)
            mode = "composited" if self.COMPOSITOR else "plain"
            keep = os.path.join(folder, f"desktop-{mode}-{name}.png")
        return Screenshot(self.session, WIDTH, HEIGHT, keep_as=keep)

    def wait_shot(self, predicate, timeout=30):
        """The first screenshot that predicate accepts (or the last one taken)."""
        result = {}

        def attempt():
            result["shot"] = self.shot()
            return predicate(result["shot"])

        wait_until(attempt, timeout, interval=0.2)
        return result["shot"]


class DesktopText(DesktopTest):
    def test_first_page_on_the_wallpaper_below_everything_and_click_through(self):
        s = self.session
        process, window = self.start()
        desk = wait_until(lambda: desk_window(s), 30)
        self.assertTrue(desk, "the library shows its window")
        self.assertIn("_NET_WM_STATE_BELOW", s.tool("xprop", "-id", str(desk), "_NET_WM_STATE"))
        self.assertIn("_NET_WM_WINDOW_TYPE_DESKTOP", s.window_types(desk))
        # The window manager may rewrite the work area while the tray's panel settles.
        wait_until(lambda: s.geometry(desk) == s.work_area(), 30)
        self.assertEqual(s.geometry(desk), s.work_area(), "it covers the work area")

        # The first page's lines below the marker are on the desktop once the window hides.
        self.hide(window)
        shot = self.wait_shot(lambda sh: sh.count(TEXT_BAND, white) > 50 and sh.count(TEXT_BAND, green) > 100)
        self.shot("wallpaper")
        text_x = shot.columns(TEXT_BAND, white)
        self.assertTrue(text_x, "white text in the top-right corner")
        self.assertLessEqual(max(text_x), WIDTH - MARGIN - 1, "nothing in the right margin")
        self.assertGreaterEqual(max(text_x), WIDTH - MARGIN - 4, "the lines end at the margin")
        rule_x = shot.columns(TEXT_BAND, green)
        self.assertEqual(max(rule_x), WIDTH - MARGIN - 1, "the separator rule is green and ends at the margin")
        self.assertGreaterEqual(max(rule_x) - min(rule_x), 150, "the rule is as wide as the lines")
        self.assertEqual(shot.count((0, 0, 400, 110), white), 0, "the marker and the line above it stay off")
        for x, y in ((100, 400), (700, 600), (WIDTH - 5, HEIGHT // 2)):
            self.assertEqual(shot.pixel(x, y), self.wallpaper.colour_at(x), f"wallpaper at {x},{y}")

        # A click on the text reaches the root window, and the text stays.
        s.tool("xdotool", "mousemove", str(WIDTH - 60), "20", check=True)
        location = dict(line.split("=", 1) for line in s.tool("xdotool", "getmouselocation", "--shell").splitlines())
        with XDisplay(s.env["DISPLAY"]) as x:
            root = x.root
        self.assertEqual(int(location["WINDOW"]), root, "the pointer is over the root window, not the text")
        s.tool("xdotool", "click", "1", check=True)
        s.tool("xdotool", "mousemove", "5", "5", check=True)
        after = self.wait_shot(lambda sh: sh.count(TEXT_BAND, white) > 50)
        self.assertGreater(after.count(TEXT_BAND, white), 50, "the text survives a click on the desktop")

        # Another window over the text covers it: the text is below.
        cover = s.start_other(["xmessage", "-geometry", "420x200+860+0", "-bg", "#102030", "-fg", "#102030",
                               "-buttons", "", "cover"], "xmessage")
        covered = self.wait_shot(lambda sh: sh.count(COVER_BAND, white) == 0 and sh.count(COVER_BAND, green) == 0)
        self.shot("covered")
        self.assertEqual(covered.count(COVER_BAND, white), 0, "the window covers the text")
        self.assertEqual(covered.count(COVER_BAND, green), 0)
        self.assertEqual(covered.pixel(1000, 150), (0x10, 0x20, 0x30))
        cover.terminate()
        cover.wait(5)

        if not self.COMPOSITOR:
            # A compositing manager that starts later: the text gets a translucent window, still shown.
            s.start_other(["xcompmgr"], "xcompmgr")

            def depth32():
                found = desk_window(s)
                return found and "Depth: 32" in s.tool("xwininfo", "-id", str(found))

            self.assertTrue(wait_until(depth32, 30), "a 32-bit window under the compositing manager")
            later = self.wait_shot(lambda sh: sh.count(TEXT_BAND, white) > 50 and
                                   sh.pixel(100, 400) == self.wallpaper.colour_at(100))
            self.assertGreater(later.count(TEXT_BAND, white), 50)
            self.assertEqual(later.pixel(100, 400), self.wallpaper.colour_at(100), "the wallpaper shows through")

        # Without the wallpaper (Desktop menu, Show wallpaper) the text stands on a plain ground of
        # its own; the rest of the desktop keeps its wallpaper.
        window = self.show_again()
        self.desktop_menu(window, "w")
        self.hide(window)
        plain = self.wait_shot(lambda sh: sh.count(TEXT_BAND, lambda p: p == PLAIN) > 1000 and
                               sh.count(TEXT_BAND, white) > 50)
        self.shot("plain")
        self.assertGreater(plain.count(TEXT_BAND, lambda p: p == PLAIN), 1000, "a plain ground behind the lines")
        for x, y in ((100, 400), (700, 300), (400, 20)):
            self.assertEqual(plain.pixel(x, y), self.wallpaper.colour_at(x), f"wallpaper at {x},{y}")
        self.assertGreater(plain.count(TEXT_BAND, white), 50)

        if not self.COMPOSITOR:
            # Switching the display off removes the window; on again, it is back.
            window = self.show_again()
            self.desktop_menu(window, "d")
            self.assertTrue(wait_until(lambda: not desk_window(s), 30), "the window is gone when the display is off")
            self.desktop_menu(window, "d")
            self.assertTrue(wait_until(lambda: desk_window(s), 30), "and back when it is on again")
        self.assertEqual(s.stop(process), 0)
        self.assertFalse(desk_window(s), "the window ends with the program")
        config = s.path("Config.ini")
        self.assertEqual(harness.ini_value(config, "Desktop", "ShowWallPaper"), "False", "the choice is kept")
        self.assertEqual(harness.ini_value(config, "Desktop", "OnDesktop"), "True")


class DesktopTextComposited(DesktopText):
    COMPOSITOR = True


class DesktopTextAndPanel(DesktopTest):
    # Without a tray Esc minimizes the window; the panel below is the only one on the screen.
    TRAY = False

    def test_text_follows_a_panel_and_stays_when_the_desktop_is_shown(self):
        s = self.session
        process, window = self.start()
        desk = wait_until(lambda: desk_window(s), 30)
        self.assertTrue(desk)
        self.hide(window)
        self.wait_shot(lambda sh: sh.count(TEXT_BAND, white) > 50)

        # A panel that reserves the top 30 pixels: the text moves into the smaller work area.
        s.start_other(["trayer", "--edge", "top", "--align", "left", "--widthtype", "request", "--height", "30",
                       "--SetDockType", "true", "--SetPartialStrut", "true"], "trayer")
        self.assertTrue(wait_until(lambda: s.work_area()[1] == 30, 30), "the panel reserves its edge")
        self.assertTrue(wait_until(lambda: s.geometry(desk) == (0, 30, WIDTH, HEIGHT - 30), 30),
                        "the text window follows the work area")
        moved_band = (WIDTH - 300, 0, 300, 30 + MARGIN)
        shot = self.wait_shot(lambda sh: sh.count(moved_band, white) == 0 and sh.count(TEXT_BAND, white) > 50)
        rows = [y for y in range(0, 120) for x in range(WIDTH - 300, WIDTH - MARGIN) if white(shot.pixel(x, y))]
        self.assertTrue(rows)
        self.assertGreaterEqual(min(rows), 30 + MARGIN, "the first line starts below the panel and the margin")

        # "Show desktop" hides the windows, never the text.
        s.key("super+d")
        self.assertTrue(wait_until(lambda: "= 1" in s.tool("xprop", "-root", "_NET_SHOWING_DESKTOP"), 30))
        shown = self.wait_shot(lambda sh: sh.count(TEXT_BAND, white) > 50)
        self.assertGreater(shown.count(TEXT_BAND, white), 50, "the text stays while the desktop is shown")
        s.key("super+d")
        self.assertEqual(s.stop(process), 0)


class DesktopTextOverADesktopWindow(DesktopTest):
    """File managers and desktop shells cover the root with a full-screen desktop window."""

    FIRST, SECOND = 0x305030, 0x503050

    def start_desktop_window(self, colour):
        s = self.session
        helper = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fakes", "desktop_window.py")
        process = s.start_other([sys.executable, helper, str(WIDTH), str(HEIGHT), hex(colour)], "desktop-window")
        log = os.path.join(s.root, "desktop-window.log")
        self.assertTrue(wait_until(lambda: "mapped" in harness.read_text(log), 30), "the desktop window shows")
        return process

    def test_text_above_desktop_windows_started_before_and_after_and_below_other_windows(self):
        s = self.session
        self.start_desktop_window(self.FIRST)
        process, window = self.start()
        self.hide(window)
        shot = self.wait_shot(lambda sh: sh.count(TEXT_BAND, white) > 50)
        self.shot("desktop-window-before")
        self.assertGreater(shot.count(TEXT_BAND, white), 50, "the text is over the desktop window")
        self.assertEqual(shot.pixel(100, 400), rgb(self.FIRST), "the desktop window shows around it")

        # A desktop that starts later is put at the bottom by the window manager: the text follows.
        self.start_desktop_window(self.SECOND)
        later = self.wait_shot(lambda sh: sh.pixel(100, 400) == rgb(self.SECOND) and
                               sh.count(TEXT_BAND, white) > 50)
        self.shot("desktop-window-after")
        self.assertEqual(later.pixel(100, 400), rgb(self.SECOND))
        self.assertGreater(later.count(TEXT_BAND, white), 50, "the text is over the later desktop window")

        # An ordinary window still covers the text.
        s.start_other(["xmessage", "-geometry", "420x200+860+0", "-bg", "#102030", "-fg", "#102030",
                       "-buttons", "", "cover"], "xmessage")
        covered = self.wait_shot(lambda sh: sh.pixel(1000, 150) == (0x10, 0x20, 0x30) and
                                 sh.count(COVER_BAND, white) == 0)
        self.assertEqual(covered.count(COVER_BAND, white), 0, "a normal window covers the text")
        self.assertEqual(covered.count(COVER_BAND, green), 0)
        self.assertEqual(s.stop(process), 0)


class DesktopTextBesideRootDrawings(DesktopTest):
    TRAY = False

    def test_what_other_programs_draw_on_the_root_stays_visible_around_the_text(self):
        s = self.session
        process = s.start("/min")
        self.assertTrue(s.wait_running(process))
        self.wait_shot(lambda sh: sh.count(TEXT_BAND, white) > 50)
        magenta = 0xE010E0
        draw_on_root(s.env["DISPLAY"], (WIDTH - 600, 0, 600, 300), magenta)
        shot = self.wait_shot(lambda sh: sh.count(TEXT_BAND, lambda p: p == rgb(magenta)) > 20000)
        self.shot("root-drawing")
        around = shot.count((WIDTH - 600, 0, 600, 300), lambda p: p == rgb(magenta))
        self.assertGreater(around, 600 * 300 // 2, "the drawing shows everywhere but behind the lines")
        self.assertGreater(shot.count(TEXT_BAND, white), 50, "and the text is still there")
        self.assertEqual(s.stop(process), 0)


class DesktopTextResolution(unittest.TestCase):
    """Point sizes follow the screen's resolution; lines wider than the screen wrap."""

    LONG = " ".join(["Wide"] * 60)

    def text_rows(self, dpi):
        s = harness.Session(harness.SessionTest.BINARY_DIR, dpi=dpi)
        self.addCleanup(s.close)
        Wallpaper(s.env["DISPLAY"], WIDTH, HEIGHT, STRIPES)
        with open(s.path("Config.ini"), "w", encoding="utf-8", newline="") as f:
            f.write(CONFIG)
        s.seed_pages([("desk", "^\n桌面 Desk\n\n" + self.LONG)])
        process = s.start("/min")
        self.assertTrue(s.wait_running(process))
        right = (WIDTH - 300, 0, 300 - MARGIN, HEIGHT // 2)
        left = (0, 0, 300, HEIGHT)
        found = {}

        def shown():
            found["shot"] = Screenshot(s, WIDTH, HEIGHT)
            return found["shot"].count(right, white) > 50 and found["shot"].count(left, white) > 50

        self.assertTrue(wait_until(shown, 30), f"the text shows at {dpi} dpi")
        shot = found["shot"]
        if os.environ.get("JV_E2E_SCREENSHOTS"):
            shot = Screenshot(s, WIDTH, HEIGHT, keep_as=os.path.join(os.environ["JV_E2E_SCREENSHOTS"],
                                                                     f"desktop-{dpi}dpi.png"))
        first = bands(y for y in range(right[3]) for x in range(right[0], right[0] + right[2])
                      if white(shot.pixel(x, y)))[0]
        long_rows = bands(y for y in range(HEIGHT) for x in range(MARGIN, 300) if white(shot.pixel(x, y)))
        edge = shot.count((0, 0, MARGIN - 2, HEIGHT), white)
        self.assertEqual(s.stop(process), 0)
        return first[1] - first[0] + 1, long_rows, edge

    def test_text_is_twice_as_tall_at_192_dpi_and_long_lines_wrap_inside_the_margins(self):
        normal, normal_long, normal_edge = self.text_rows(96)
        high, high_long, high_edge = self.text_rows(192)
        self.assertGreaterEqual(high / normal, 1.8, f"{normal} px at 96 dpi, {high} px at 192 dpi")
        self.assertLessEqual(high / normal, 2.2, f"{normal} px at 96 dpi, {high} px at 192 dpi")
        for rows, edge in ((normal_long, normal_edge), (high_long, high_edge)):
            self.assertGreaterEqual(len(rows), 2, f"the long line goes on over more rows: {rows}")
            self.assertEqual(edge, 0, "nothing of it is cut off at the screen's left edge")


class DesktopWithoutItsLibrary(DesktopTest):
    TRAY = False

    def test_the_notes_start_without_the_desktop_library_and_say_why(self):
        # The library is loaded when the desktop text first needs it: a copy without it is no
        # longer a program that cannot start at all.
        s = self.session
        os.remove(s.path("libjotvanehook.so"))
        process, _ = self.start()
        log = os.path.join(s.root, "jotvane.log")

        def told():
            with open(log, encoding="utf-8", errors="replace") as f:
                return "the desktop text cannot be shown" in f.read()

        self.assertTrue(wait_until(told, 30), "standard error names the missing library")
        self.assertFalse(desk_window(s), "no text window without the library")
        self.assertTrue(s.windows(), "the note window stays")
        self.assertEqual(s.stop(process), 0)


if __name__ == "__main__":
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    harness.main()
