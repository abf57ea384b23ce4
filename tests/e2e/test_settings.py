"""Config.ini as the real program reads and writes it: the file of a first start, hand-edited
files and the write-back of a second start."""

import datetime
import os
import signal
import time
import unittest

import harness
from harness import SessionTest, ini_value, read_ini, read_text, wait_until

BOM = b"\xff\xfe"
WIDTH, HEIGHT = 560, 430  # the window's size when no bounds are stored


def ini_bytes(sections, encoding="utf-16-le", bom=BOM):
    """A settings file as the program writes it: "[name]", key=value lines, an empty line after
    every section, CR LF after every line."""
    text = "".join(f"[{name}]\r\n" + "".join(f"{key}={value}\r\n" for key, value in entries) + "\r\n"
                   for name, entries in sections)
    return bom + text.encode(encoding)


def default_sections(shutdown_time, bounds, prompt_min_to_tray="True", page_index="0"):
    """Every key with its default, sections in the order Alarm, Messager, Config, Desktop and the
    keys of each section in their documented order."""
    left, top, right, bottom = bounds
    return [
        ("Alarm", [("Alarm", "True"), ("Beep", "True"), ("ShutDown", "False"), ("ShutDownTime", shutdown_time)]),
        ("Messager", [("Messager", "True"), ("HideOnStart", "True")]),
        ("Config", [
            ("RunOnStartup", "True"),
            ("MinOnClose", "True"),
            ("DblClickTitleActionType", "1"),
            ("WordWrap", "True"),
            ("StayOnTop", "False"),
            ("FontName", "宋体"),
            ("FontSize", "9"),
            ("FontStyle", "0"),
            ("FontColor", "0"),
            ("FontCharset", "134"),
            ("BgColor", "-16777211"),
            ("PromptMinToTray", prompt_min_to_tray),
            ("WinLeft", str(left)),
            ("WinTop", str(top)),
            ("WinRight", str(right)),
            ("WinBottom", str(bottom)),
            ("WinMaximized", "False"),
            ("PageIndex", page_index),
            ("HotKeyBase", "37"),
            ("HotKeyModifiers", "2"),
            ("InsertLineText", "crlf() + chars('-', 80) + crlf()"),
            ("InsertDateText", "date() + ' ' + time()"),
            ("InsertLineDateText",
             "crlf() + chars('-', 29) + ' ' + date() + ' ' + time() + ' ' + chars('-', 30) + crlf()"),
            ("InsertCustomList", ""),
        ]),
        ("Desktop", [
            ("OnDesktop", "True"),
            ("DesktoFontName", "宋体"),
            ("DesktoFontSize", "11"),
            ("DesktoFontStyle", "0"),
            ("DesktoFontColor", "16777215"),
            ("DesktoFontCharset", "134"),
            ("SeperatorColor", "65280"),
            ("DesktopAligment", "2"),
            ("AligmentSpace", "10"),
            ("ShowWallPaper", "True"),
        ]),
    ]


def parse_shutdown_time(text):
    """The stored form "yyyy-mm-dd hh:nn:ss", or the date alone at midnight."""
    for form in ("%Y-%m-%d %H:%M:%S", "%Y-%m-%d"):
        try:
            return datetime.datetime.strptime(text, form)
        except ValueError:
            pass
    return None


class FirstStart(SessionTest):
    TRAY = True

    def test_empty_folder_ends_with_the_default_file(self):
        s = self.session
        config = s.path("Config.ini")
        self.assertFalse(os.path.exists(config))
        before = datetime.datetime.now().replace(microsecond=0)
        process = s.start("/min")
        self.assertTrue(s.wait_running(process))
        # Reading a missing file creates it empty; nothing else is written before the exit.
        self.assertTrue(wait_until(lambda: os.path.exists(config), 30))
        with open(config, "rb") as f:
            self.assertEqual(f.read(), BOM)
        self.assertEqual(s.stop(process), 0)
        after = datetime.datetime.now()
        with open(config, "rb") as f:
            written = f.read()

        # The two values that depend on the run: the shutdown time (the start plus 30 seconds)
        # and the window bounds, which a window kept hidden has at their default place, the
        # bottom right corner of the work area.
        shutdown_text = ini_value(config, "Alarm", "ShutDownTime")
        self.assertIsNotNone(shutdown_text)
        shutdown = parse_shutdown_time(shutdown_text)
        self.assertIsNotNone(shutdown, f"ShutDownTime={shutdown_text!r} is not yyyy-mm-dd hh:nn:ss")
        self.assertGreaterEqual(shutdown, before + datetime.timedelta(seconds=29))
        self.assertLessEqual(shutdown, after + datetime.timedelta(seconds=31))
        x, y, w, h = s.work_area()
        bounds = (x + w - WIDTH, y + h - HEIGHT, x + w, y + h)

        expected = ini_bytes(default_sections(shutdown_text, bounds))
        if written != expected:
            self.assertEqual(written.decode("utf-16-le"), expected.decode("utf-16-le"))
        self.assertEqual(written, expected)
        self.assertTrue(written.endswith("\r\n\r\n".encode("utf-16-le")))

        # The first start also leaves one empty default page behind.
        pages = s.pages()
        self.assertEqual([(p.key, p.title, p.text) for p in pages], [("0", "默认页", "")])

    def test_second_exit_keeps_the_shutdown_time_it_read(self):
        s = self.session
        config = s.path("Config.ini")
        process = s.start("/min")
        self.assertTrue(s.wait_running(process))
        self.assertEqual(s.stop(process), 0)
        with open(config, "rb") as f:
            first = f.read()
        time.sleep(1.1)  # a later start would compute a later default
        process = s.start("/min")
        self.assertTrue(s.wait_running(process))
        self.assertEqual(s.stop(process), 0)
        with open(config, "rb") as f:
            self.assertEqual(f.read(), first, "a start and exit without changes rewrites the same bytes")


HAND_EDITED = """; my own notes about this file
Orphan=before any section

[Config]
FontSize=12
Test=kept value

[Extra]
Foo=Bar
Baz=1

[Empty]

[Desktop]
AligmentSpace=25
"""


class HandEditedFile(SessionTest):
    TRAY = True

    def write_config(self, text, encoding="utf-16-le", bom=BOM):
        with open(self.session.path("Config.ini"), "wb") as f:
            f.write(bom + text.replace("\n", "\r\n").encode(encoding))

    def start_and_end(self):
        s = self.session
        process = s.start("/min")
        self.assertTrue(s.wait_running(process))
        self.assertEqual(s.stop(process), 0)
        return s.path("Config.ini")

    def test_unknown_sections_and_keys_survive_and_the_comment_goes(self):
        self.write_config(HAND_EDITED)
        config = self.start_and_end()
        with open(config, "rb") as f:
            self.assertTrue(f.read().startswith(BOM), "a UTF-16 file stays UTF-16 with its mark")
        text = read_text(config)
        self.assertNotIn("my own notes", text)
        self.assertNotIn("Orphan", text, "lines before the first section are dropped")
        self.assertNotRegex(text, r"\S = |\S =\S|\S= ", "no blanks around '='")

        sections = read_ini(config)
        names = [name for name, _ in sections]
        self.assertEqual(sorted(names), sorted(["Empty", "Alarm", "Messager", "Config", "Desktop", "Extra"]))
        # A section without keys never enters the store: it stays where it was, ahead of the
        # sections that are written again.
        self.assertEqual(sections[0], ("Empty", []))
        known = [name for name in names if name in ("Alarm", "Messager", "Config", "Desktop")]
        self.assertEqual(known, ["Alarm", "Messager", "Config", "Desktop"])
        entries = dict(sections)
        self.assertEqual(entries["Extra"], ["Foo=Bar", "Baz=1"])

        # Keys of the file keep their place and value; the keys it lacked follow in their order.
        defaults = dict((name, [f"{k}={v}" for k, v in keys])
                        for name, keys in default_sections("", (0, 0, 0, 0)))
        config_lines = entries["Config"]
        self.assertEqual(config_lines[:2], ["FontSize=12", "Test=kept value"])
        rest = [line.partition("=")[0] for line in config_lines[2:]]
        self.assertEqual(rest, [line.partition("=")[0] for line in defaults["Config"] if not line.startswith("FontSize=")])
        self.assertEqual(entries["Desktop"][0], "AligmentSpace=25")
        self.assertEqual(entries["Desktop"][1:], [line for line in defaults["Desktop"] if not line.startswith("AligmentSpace=")])
        self.assertEqual(entries["Messager"], defaults["Messager"])

    def test_irregular_lines_are_read_leniently_and_written_plainly(self):
        self.write_config("[Alarm]\n"
                          "  Beep = False  \n"
                          "Beep=True\n"
                          "a line without an equals sign\n"
                          "Alarm=2\n"
                          "[CONFIG]\n"
                          "DblClickTitleActionType=258\n"
                          "FontSize=12abc\n"
                          "WordWrap=yes\n")
        config = self.start_and_end()
        entries = dict(read_ini(config))
        # Of a duplicated key the last counts and is written once; a line without "=" comes
        # back as an entry with neither name nor value; a number is a true boolean.
        self.assertEqual(entries["Alarm"][:3], ["Beep=True", "=", "Alarm=True"])
        self.assertNotIn("Config", entries, "the section keeps the name it entered the store with")
        config_lines = entries["CONFIG"]
        self.assertIn("DblClickTitleActionType=2", config_lines, "an 8-bit field keeps the low 8 bits")
        # Unreadable values fall back to the defaults, which are then written.
        self.assertIn("FontSize=9", config_lines)
        self.assertIn("WordWrap=True", config_lines)

    def test_a_file_without_byte_order_mark_keeps_its_encoding(self):
        self.write_config("[Config]\nFontName=黑体\nNote=中文备注\n", encoding="gb18030", bom=b"")
        config = self.start_and_end()
        with open(config, "rb") as f:
            data = f.read()
        self.assertFalse(data.startswith(BOM))
        text = data.decode("gb18030")
        self.assertIn("\r\nFontName=黑体\r\n", text)
        self.assertIn("\r\nNote=中文备注\r\n", text)
        self.assertIn("\r\nDesktoFontName=宋体\r\n", text, "new values are written in the file's encoding too")


class SecondStart(SessionTest):
    TRAY = True

    def test_a_second_start_writes_back_what_it_read(self):
        s = self.session
        first = s.start("/min")
        self.assertTrue(s.wait_running(first))
        # While the first copy runs, the user edits the file; the second copy reads that file
        # and writes it back unchanged apart from the comment, whatever the first copy holds.
        sections = default_sections("2030-01-02 03:04:05", (40, 50, 640, 530), prompt_min_to_tray="False",
                                    page_index="0")
        config_keys = dict(sections)["Config"]
        config_keys[config_keys.index(("FontSize", "9"))] = ("FontSize", "14")
        config_keys.append(("Test", "1"))
        expected = ini_bytes(sections)
        with open(s.path("Config.ini"), "wb") as f:
            f.write(BOM + "; a comment\r\n".encode("utf-16-le") + expected[len(BOM):])

        self.assertEqual(s.run(timeout=30), 0)
        with open(s.path("Config.ini"), "rb") as f:
            written = f.read()
        if written != expected:
            self.assertEqual(written.decode("utf-16-le"), expected.decode("utf-16-le"))
        self.assertEqual(written, expected)
        self.assertTrue(s.wait_window(), "the first copy was brought up instead")
        self.assertEqual(s.stop(first), 0)


class SignalWhileStarting(SessionTest):
    TRAY = True

    def test_sigterm_while_the_pages_load_ends_normally(self):
        s = self.session
        s.seed_pages([(f"Page {i}", "some text") for i in range(2000)])
        process = s.start("/min")
        # The copy listens for a second start before it reads its pages into the window; a
        # logoff at that moment must still end it through its normal exit.
        self.assertTrue(wait_until(lambda: process.poll() is not None or os.path.exists(s.instance_socket()), 30))
        process.send_signal(signal.SIGTERM)
        code = process.wait(timeout=30)
        self.assertEqual(code, 0, "ended normally, not killed by the signal")
        self.assertFalse(os.path.exists(s.instance_socket()), "the socket is removed")
        self.assertEqual(ini_value(s.path("Config.ini"), "Config", "PageIndex"), "0", "the settings are written")


if __name__ == "__main__":
    harness.main()
