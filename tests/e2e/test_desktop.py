"""Desktop text over the wallpaper and the messenger's notice, on a real X server with openbox:
once without a compositing manager and once with xcompmgr. Set JV_E2E_SCREENSHOTS to a folder to
keep the screenshots."""

import os
import shutil
import sys

import harness
from harness import SessionTest, XDisplay, wait_until
from desktop_helpers import (DesktopHost, Screenshot, Wallpaper, desk_window, green, near, white)

WIDTH, HEIGHT = 1280, 800
STRIPES = (0x804020, 0x205080)
PLAIN = (0x3A, 0x6E, 0xA5)
MARGIN = 10
CONFIG = ("[Desktop]\r\nOnDesktop=1\r\nDesktoFontSize=20\r\nDesktopAligment=2\r\nAligmentSpace=10\r\n"
          "ShowWallPaper=1\r\n")
# The first page: a title, the marker, then what the desktop shows.
PAGE = "笔记\\n^\\n桌面文字 Desk text\\n-\\n第二行 Second"
TEXT_BAND = (WIDTH - 400, 0, 400, 110)  # the top-right corner where the right-aligned lines are
COVER_BAND = (880, 24, WIDTH - 880 - 12, 86)  # the covering window's inside, below its title bar


class DesktopText(SessionTest):
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
                self.assertTrue(wait_until(lambda: x.selection_owner("_NET_WM_CM_S0") != 0, 5),
                                "the compositing manager owns its selection")

    def shot(self, name=None):
        folder = os.environ.get("JV_E2E_SCREENSHOTS")
        keep = None
        if folder and name:
            os.makedirs(folder, exist_ok=True)
            mode = "composited" if self.COMPOSITOR else "plain"
            keep = os.path.join(folder, f"desktop-{mode}-{name}.png")
        return Screenshot(self.session, WIDTH, HEIGHT, keep_as=keep)

    def wait_shot(self, predicate, timeout=10):
        """The first screenshot that predicate accepts (or the last one taken)."""
        result = {}

        def attempt():
            result["shot"] = self.shot()
            return predicate(result["shot"])

        wait_until(attempt, timeout, interval=0.2)
        return result["shot"]

    def test_lines_on_the_wallpaper_below_everything_and_click_through(self):
        s = self.session
        host = DesktopHost(s, self.BINARY_DIR, CONFIG)
        self.assertEqual(host.ready, "ready on")
        window = wait_until(lambda: desk_window(s), 10)
        self.assertTrue(window, "the library shows its window")
        self.assertIn("_NET_WM_STATE_BELOW", s.tool("xprop", "-id", str(window), "_NET_WM_STATE"))
        self.assertIn("_NET_WM_WINDOW_TYPE_DESKTOP", s.window_types(window))
        self.assertEqual(s.geometry(window), (0, 0, WIDTH, HEIGHT), "it covers the work area")

        # The first page's lines below the marker reach the desktop when the window hides.
        self.assertEqual(host.send("lines " + PAGE), "ok")
        self.assertEqual(host.send("hide"), "ok")
        shot = self.wait_shot(lambda sh: sh.count(TEXT_BAND, white) > 50 and sh.count(TEXT_BAND, green) > 100)
        self.shot("wallpaper")
        text_x = shot.columns(TEXT_BAND, white)
        self.assertTrue(text_x, "white text in the top-right corner")
        self.assertLessEqual(max(text_x), WIDTH - MARGIN - 1, "nothing in the right margin")
        self.assertGreaterEqual(max(text_x), WIDTH - MARGIN - 4, "the lines end at the margin")
        rule_x = shot.columns(TEXT_BAND, green)
        self.assertEqual(max(rule_x), WIDTH - MARGIN - 1, "the separator rule is green and ends at the margin")
        self.assertGreaterEqual(max(rule_x) - min(rule_x), 150, "the rule is as wide as the lines")
        self.assertEqual(shot.count((0, 0, 400, 110), white), 0, "the marker and the title stay off the desktop")
        for x, y in ((100, 400), (700, 600), (WIDTH - 5, HEIGHT - 5)):
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

        # The messenger's notice rises at the work area's bottom-right without taking the focus.
        focus = s.wait_window("^xmessage$")
        self.assertTrue(focus)
        s.focus(focus[0])
        self.assertTrue(wait_until(lambda: s.active_window() == focus[0], 15), "the covering window is active")
        self.assertEqual(host.send("popup 信使|张三 上线了"), "ok")
        ax, ay, aw, ah = s.work_area()
        left, top = ax + aw - 16 - 200, ay + ah - 2 - 100
        popup = self.wait_shot(lambda sh: near(sh.pixel(left + 5, top + 50), (204, 230, 255), 12), 5)
        self.shot("popup")
        self.assertTrue(near(popup.pixel(left + 5, top + 50), (204, 230, 255), 12), "the gradient's middle row")
        self.assertTrue(near(popup.pixel(left + 5, top + 4), (153, 204, 255), 12), "the gradient's first rows")
        self.assertFalse(near(popup.pixel(left + 5, top - 3), (153, 204, 255), 12), "nothing above the notice")
        self.assertEqual(s.active_window(), focus[0], "the notice did not take the focus")
        cover.terminate()
        cover.wait(5)

        # Without the wallpaper the background is plain; the text is still there.
        self.assertEqual(host.send("trigger ShowWallPaperAction"), "ok")
        plain = self.wait_shot(lambda sh: sh.pixel(100, 400) == PLAIN and sh.count(TEXT_BAND, white) > 50)
        self.shot("plain")
        for x, y in ((100, 400), (700, 300), (400, 20)):
            self.assertEqual(plain.pixel(x, y), PLAIN, f"plain background at {x},{y}")
        self.assertGreater(plain.count(TEXT_BAND, white), 50)

        # Left alignment moves the lines to the left margin.
        self.assertEqual(host.send("trigger DesktopAligmentLeftAction"), "ok")
        moved = self.wait_shot(lambda sh: sh.count((0, 0, 400, 110), white) > 50)
        left_x = moved.columns((0, 0, 400, 110), white)
        self.assertGreaterEqual(min(left_x), MARGIN)
        self.assertLessEqual(min(left_x), MARGIN + 3)

        if not self.COMPOSITOR:
            # A compositing manager that starts later: the text gets a translucent window, still shown.
            self.assertEqual(host.send("trigger ShowWallPaperAction"), "ok")
            s.start_other(["xcompmgr"], "xcompmgr")
            def depth32():
                window = desk_window(s)
                return window and "Depth: 32" in s.tool("xwininfo", "-id", str(window))

            self.assertTrue(wait_until(depth32, 10), "a 32-bit window under the compositing manager")
            later = self.wait_shot(lambda sh: sh.count((0, 0, 400, 110), white) > 50 and
                                   sh.pixel(100, 400) == self.wallpaper.colour_at(100))
            self.assertGreater(later.count((0, 0, 400, 110), white), 50)
            self.assertEqual(later.pixel(100, 400), self.wallpaper.colour_at(100), "the wallpaper shows through")

        # Switching the display off removes the window.
        self.assertEqual(host.send("trigger OnDesktopAction"), "ok")
        self.assertTrue(wait_until(lambda: not desk_window(s), 5), "the window is gone when the display is off")
        self.assertEqual(host.send("trigger OnDesktopAction"), "ok")
        self.assertTrue(wait_until(lambda: desk_window(s), 5), "and back when it is on again")
        self.assertEqual(host.quit(), "ok")
        self.assertEqual(host.process.returncode, 0)
        self.assertFalse(desk_window(s), "the window ends with the program's display")


    def test_text_and_notice_follow_a_panel_and_stay_when_the_desktop_is_shown(self):
        s = self.session
        host = DesktopHost(s, self.BINARY_DIR, CONFIG)
        self.assertEqual(host.ready, "ready on")
        self.assertEqual(host.send("lines " + PAGE), "ok")
        self.assertEqual(host.send("hide"), "ok")
        window = wait_until(lambda: desk_window(s), 10)
        self.assertTrue(window)
        self.wait_shot(lambda sh: sh.count(TEXT_BAND, white) > 50)

        # A panel that reserves the top 30 pixels: the text moves into the smaller work area.
        s.start_other(["trayer", "--edge", "top", "--align", "left", "--widthtype", "request", "--height", "30",
                       "--SetDockType", "true", "--SetPartialStrut", "true"], "trayer")
        self.assertTrue(wait_until(lambda: s.work_area()[1] == 30, 10), "the panel reserves its edge")
        self.assertTrue(wait_until(lambda: s.geometry(window) == (0, 30, WIDTH, HEIGHT - 30), 5),
                        "the text window follows the work area")
        moved_band = (WIDTH - 300, 0, 300, 30 + MARGIN)
        shot = self.wait_shot(lambda sh: sh.count(moved_band, white) == 0 and sh.count(TEXT_BAND, white) > 50)
        rows = [y for y in range(0, 120) for x in range(WIDTH - 300, WIDTH - MARGIN) if white(shot.pixel(x, y))]
        self.assertTrue(rows)
        self.assertGreaterEqual(min(rows), 30 + MARGIN, "the first line starts below the panel and the margin")

        # The notice comes from the panel's edge: the top-right corner, 2 pixels below the panel.
        self.assertEqual(host.send("popup 信使|李四 下线了"), "ok")
        left, top = WIDTH - 16 - 200, 30 + 2
        popup = self.wait_shot(lambda sh: near(sh.pixel(left + 5, top + 95), (255, 255, 255), 12), 5)
        self.shot("popup-top")
        self.assertTrue(near(popup.pixel(left + 5, top + 4), (153, 204, 255), 12))
        self.assertTrue(near(popup.pixel(left + 5, top + 50), (204, 230, 255), 12))

        # "Show desktop" hides the windows, never the text.
        s.key("super+d")
        self.assertTrue(wait_until(lambda: "= 1" in s.tool("xprop", "-root", "_NET_SHOWING_DESKTOP"), 5))
        shown = self.wait_shot(lambda sh: sh.count(TEXT_BAND, white) > 50)
        self.assertGreater(shown.count(TEXT_BAND, white), 50, "the text stays while the desktop is shown")
        s.key("super+d")
        self.assertEqual(host.quit(), "ok")


class DesktopTextComposited(DesktopText):
    COMPOSITOR = True
    # The panel and "show desktop" do not depend on compositing: once is enough.
    test_text_and_notice_follow_a_panel_and_stay_when_the_desktop_is_shown = None


if __name__ == "__main__":
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    harness.main()
