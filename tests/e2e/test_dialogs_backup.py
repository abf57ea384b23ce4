"""The standard dialogs and Backup as a user meets them in the real program: Save as onto an
existing file asks before replacing it, the font dialog picks a colour with the face, both in
Chinese (JV_E2E_SHOTS=<folder> keeps screenshots of them), and Ctrl+B with a page folder the
program may not write still makes the backup, with the text on the screen in it, and says what
it could not save in one box. The permission case runs the program as the unprivileged user
nobody."""

import os
import shutil

import harness
from harness import SessionTest, ini_value, read_text, wait_until
from test_disk import NOBODY, give_to_nobody


class DialogsTest(SessionTest):
    def shot(self, name):
        if os.environ.get("JV_E2E_SHOTS"):
            self.session.screenshot(os.path.join(os.environ["JV_E2E_SHOTS"], name + ".png"))

    def answer_file_dialog(self, title, path):
        """Types a path into the dialog titled title and confirms it."""
        s = self.session
        dialogs = s.wait_window(f"^{title}$")
        self.assertTrue(dialogs, f"the dialog {title} opens")
        self.assertTrue(s.activate(dialogs[0]))
        s.key("ctrl+a")
        s.type_text(path, delay_ms=5)
        s.key("Return")

    def open_menu_item(self, window, menu_key, item_key, title):
        """Chooses a menu item with its access keys until the window titled title shows."""
        s = self.session
        self.assertTrue(s.key_until(window, [menu_key, item_key], lambda: s.windows(f"^{title}$")),
                        f"{menu_key} {item_key} opens {title}")


class ChineseDialogs(DialogsTest):
    def test_save_as_asks_before_replacing_and_the_font_dialog_takes_a_colour(self):
        s = self.session
        existing = os.path.join(s.root, "saved.txt")
        with open(existing, "wb") as f:
            f.write(b"old")
        process, window = self.start_shown()
        s.type_text("fresh text")

        # Save as onto the existing file: the question comes over the dialog, with its title.
        self.open_menu_item(window, "alt+f", "a", "另存为")
        self.answer_file_dialog("另存为", existing)
        self.assertTrue(wait_until(lambda: len(s.windows("^另存为$")) == 2, 30), "the replace question shows")
        self.shot("overwrite-question")
        with open(existing, "rb") as f:
            self.assertEqual(f.read(), b"old", "nothing is replaced before the answer")
        s.key("alt+y")
        self.assertTrue(wait_until(lambda: os.path.getsize(existing) > 3, 30), "Yes replaces the file")
        self.assertEqual(read_text(existing), "fresh text\r\n")
        self.assertTrue(s.wait_hidden("^另存为$"))

        # The font dialog: the face really used, and a colour beside it.
        self.assertTrue(s.activate(window))
        self.open_menu_item(window, "alt+o", "f", "字体")
        self.shot("font-dialog")
        # The colour button opens the colour dialog over it.
        font_dialog = s.windows("^字体$")[0]
        self.assertTrue(s.key_until(font_dialog, ["alt+c", "space"], lambda: s.windows("^颜色$")),
                        "the colour dialog opens from the font dialog")
        self.shot("colour-dialog")
        colour_dialog = s.windows("^颜色$")[0]
        self.assertTrue(s.key_until(colour_dialog, ["Escape"], lambda: not s.windows("^颜色$")))
        # OK without a change keeps the stored face name.
        self.assertTrue(s.key_until(font_dialog, ["Return"], lambda: not s.windows("^字体$")))
        self.assertEqual(s.stop(process), 0)
        self.assertEqual(ini_value(s.path("Config.ini"), "Config", "FontName"), "宋体")


class BackupOfUnsavedPages(DialogsTest):
    def test_backup_with_a_read_only_page_folder_holds_the_text_on_the_screen(self):
        s = self.session
        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            self.skipTest("the permission case needs root and setpriv to run the program as nobody")
        names = s.seed_pages([("只读", "saved")])
        os.chmod(s.root, 0o755)
        give_to_nobody(s.env["HOME"], s.env["XDG_RUNTIME_DIR"], s.env["TMPDIR"], s.app_dir)
        # The page folder and its page stay root's: nobody may read them, not write them.
        os.chown(s.path("Data"), 0, 0)
        os.chown(s.path("Data", names[0]), 0, 0)
        target = os.path.join(s.root, "backup")
        os.makedirs(target)
        os.chown(target, NOBODY, NOBODY)

        process = s.start_other(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", s.exe],
                                name="jotvane")
        socket = os.path.join(s.env["XDG_RUNTIME_DIR"], f"jotvane-{NOBODY}.sock")
        self.assertTrue(wait_until(lambda: process.poll() is not None or os.path.exists(socket), 30))
        windows = s.wait_window()
        self.assertTrue(windows, "the note window shows")
        self.assertTrue(wait_until(lambda: s.activate(windows[0]), 15, interval=0.5))
        s.type_text("typed ")
        s.key("ctrl+b")
        self.answer_file_dialog("请选择备份文件存放文件夹：", target)

        # One box says the pages could not be saved and that their text is in the backup.
        box = s.wait_window("^警告$")
        self.assertTrue(box, "a warning box")
        self.shot("backup-unsaved-pages")
        copy = os.path.join(target, "Data", names[0])
        self.assertEqual(harness.read_page(copy).text, "typed saved\r\n")
        self.assertEqual(harness.read_page(copy).title, "只读")
        self.assertEqual(harness.read_page(s.path("Data", names[0])).text, "saved\r\n", "the page file is as it was")
        self.assertTrue(s.key_until(box[0], ["Return"], lambda: not s.windows("^警告$")))
        self.assertEqual(s.stop(process, timeout=30), 0)


if __name__ == "__main__":
    harness.main()
