"""The settings dialog, the insert commands and the file commands in the real program: F8 and a
new hotkey, F5 and Ctrl+- into the page file, Backup into a new folder, Open of three encodings.

Needs the settings, insert and file controllers wired into the note window; rename to
test_settings_commands.py to register it."""

import datetime
import os
import re
import time
import unittest

import harness
from harness import SessionTest, ini_value, wait_until

HUMAN_PAUSE = 0.5
CHINESE = "中文笔记：会议记录"


class CommandsTest(SessionTest):
    TRAY = True

    def shot(self, name):
        if os.environ.get("JV_E2E_SHOTS"):
            self.session.screenshot(os.path.join(os.environ["JV_E2E_SHOTS"], name + ".png"))

    def hide_with_escape(self, window):
        self.assertTrue(self.session.hide_with_escape(window), "Esc hides the window")

    def answer_file_dialog(self, title, path):
        """Types a path into the file dialog titled title and confirms it."""
        s = self.session
        dialogs = s.wait_window(f"^{title}$")
        self.assertTrue(dialogs, f"the dialog {title} opens")
        self.assertTrue(s.activate(dialogs[0]))
        # The file name field has the focus; a full path there is taken as it is.
        s.key("ctrl+a")
        s.type_text(path, delay_ms=5)
        s.key("Return")
        self.assertTrue(s.wait_hidden(f"^{title}$"), f"the dialog {title} closes")


class SettingsDialog(CommandsTest):
    def test_new_hotkey_works_at_once_and_is_written(self):
        s = self.session
        process, window = self.start_shown()
        s.key("F8")
        dialogs = s.wait_window("^设置$")
        self.assertTrue(dialogs, "F8 opens the settings dialog")
        dialog = dialogs[0]
        self.assertTrue(s.activate(dialog))
        # While the dialog is open the hotkey is off: Ctrl+D leaves the window where it is.
        s.key("ctrl+d")
        time.sleep(HUMAN_PAUSE)
        self.assertTrue(s.windows(), "Ctrl+D does nothing while the dialog is open")
        # The second page puts the focus on its key field, the first control there.
        s.key("ctrl+Tab")
        time.sleep(0.3)
        s.key("ctrl+alt+j")  # recorded as J alone
        s.key("Tab")  # the modifier list: Ctrl is ticked, Alt is the item below it
        s.key("Home", "Down", "space")
        self.shot("settings-hotkey")
        s.key("Return")
        self.assertTrue(s.wait_hidden("^设置$"), "Enter confirms the dialog")
        config = s.path("Config.ini")
        self.assertTrue(wait_until(lambda: ini_value(config, "Config", "HotKeyBase") == "43", 30),
                        "Config.ini is written at once with the J key")
        self.assertEqual(ini_value(config, "Config", "HotKeyModifiers"), "6")

        time.sleep(HUMAN_PAUSE)
        s.key("ctrl+alt+j")
        self.assertTrue(s.wait_hidden(), "Ctrl+Alt+J hides the window")
        time.sleep(HUMAN_PAUSE)
        s.key("ctrl+d")
        time.sleep(1.0)
        self.assertFalse(s.windows(), "Ctrl+D no longer shows it")
        s.key("ctrl+alt+j")
        self.assertTrue(s.wait_window(), "Ctrl+Alt+J shows it again")
        self.assertEqual(s.stop(process), 0)


class InsertCommands(CommandsTest):
    def test_date_and_separator_reach_the_page_file(self):
        s = self.session
        process, window = self.start_shown()
        s.type_text("top")
        s.key("F5")
        s.key("ctrl+minus")
        s.type_text("end")
        self.hide_with_escape(window)
        wait_until(lambda: s.pages()[0].text.endswith("end\r\n"), 30)
        text = s.pages()[0].text
        match = re.fullmatch(r"top(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)\r\n-{80}\r\nend\r\n", text)
        self.assertIsNotNone(match, repr(text))
        stamp = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S")
        self.assertLess(abs((datetime.datetime.now() - stamp).total_seconds()), 120)
        self.assertEqual(s.stop(process), 0)


class FileCommands(CommandsTest):
    def test_backup_into_a_new_folder_copies_every_data_file(self):
        s = self.session
        s.seed_pages([("First", "one"), ("Second", "two")])
        os.makedirs(s.path("Data", "sub"))
        for name, data in (("Data/.hidden", b"h"), ("Data/sub/x.bin", b"\0\1"), ("chat.txt", b"\xff\xfec\0"),
                           ("MSGConfig.ini", b"\xff\xfe[\0C\0]\0")):
            with open(s.path(*name.split("/")), "wb") as f:
                f.write(data)
        process, window = self.start_shown()
        s.type_text("typed")  # saved before the copy
        target = os.path.join(s.root, "backup-here")
        os.makedirs(target)
        s.key("ctrl+b")
        self.answer_file_dialog("请选择备份文件存放文件夹：", target)
        self.assertTrue(wait_until(lambda: os.path.exists(os.path.join(target, "Config.ini")), 30))
        for folder, _, files in os.walk(s.path("Data")):
            for name in files:
                source = os.path.join(folder, name)
                copy = os.path.join(target, os.path.relpath(source, s.app_dir))
                with open(source, "rb") as a, open(copy, "rb") as b:
                    self.assertEqual(a.read(), b.read(), copy)
        for name in ("Config.ini", "MSGConfig.ini", "chat.txt"):
            with open(s.path(name), "rb") as a, open(os.path.join(target, name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)
        self.assertIn("typed", "".join(p.text for p in s.pages()))
        self.assertEqual(s.stop(process), 0)

    def test_open_shows_the_same_text_from_three_encodings(self):
        s = self.session
        files = {"utf8.txt": CHINESE.encode("utf-8"), "utf16.txt": b"\xff\xfe" + CHINESE.encode("utf-16-le"),
                 "gb.txt": CHINESE.encode("gb18030")}
        for name, data in files.items():
            with open(os.path.join(s.root, name), "wb") as f:
                f.write(data)
        process, window = self.start_shown()
        for name in files:
            s.key("ctrl+o")
            self.answer_file_dialog("打开", os.path.join(s.root, name))
            self.assertTrue(s.activate(window))
        self.hide_with_escape(window)
        # The window hides first and writes its pages right after.
        wanted = ["", CHINESE + "\r\n", CHINESE + "\r\n", CHINESE + "\r\n"]
        wait_until(lambda: [p.text for p in s.pages()] == wanted, 30)
        self.assertEqual([p.text for p in s.pages()], wanted)
        self.assertEqual(s.stop(process), 0)


if __name__ == "__main__":
    harness.main()
