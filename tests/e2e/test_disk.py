"""Folders the program cannot write: a start with nowhere to keep a page says so and ends.
Permission cases run as the unprivileged user nobody."""

import os
import shutil

import harness
from harness import SessionTest, wait_until

NOBODY = 65534


def log_text(session):
    with open(os.path.join(session.root, "jotvane.log"), "rb") as f:
        return f.read().decode("utf-8", "replace")


def give_to_nobody(*paths):
    for top in paths:
        for parent, folders, files in os.walk(top):
            for name in [parent] + [os.path.join(parent, n) for n in folders + files]:
                os.chown(name, NOBODY, NOBODY)


class Unwritable(SessionTest):
    def as_nobody(self):
        """Lets nobody use the session: its home, runtime and temporary folders become nobody's."""
        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            self.skipTest("permission cases need root and setpriv to run the program as nobody")
        s = self.session
        os.chmod(s.root, 0o755)
        give_to_nobody(s.env["HOME"], s.env["XDG_RUNTIME_DIR"], s.env["TMPDIR"])

    def start_as_nobody(self, *arguments):
        s = self.session
        return s.start_other(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", s.exe, *arguments],
                             name="jotvane")

    def wait_running_as_nobody(self, process, timeout=15):
        socket = os.path.join(self.session.env["XDG_RUNTIME_DIR"], f"jotvane-{NOBODY}.sock")
        return wait_until(lambda: process.poll() is not None or os.path.exists(socket), timeout) and \
            process.poll() is None

    def answer_error_box(self):
        s = self.session
        box = s.wait_window("^错误$", timeout=15)
        self.assertTrue(box, "an error box")
        self.assertTrue(wait_until(lambda: s.activate(box[0]), 10, interval=0.5))
        s.key("Return")
        self.assertTrue(s.wait_hidden("^错误$"))

    def test_a_start_with_nowhere_to_keep_a_page_says_why_and_ends(self):
        s = self.session
        # A file named Data where the page folder should be: it is left as it is.
        with open(s.path("Data"), "wb") as f:
            f.write(b"not a folder")
        process = s.start()
        self.answer_error_box()
        self.assertEqual(process.wait(timeout=10), 1)
        self.assertEqual(s.windows(visible=False), [], "no note window was made")
        log = log_text(s)
        self.assertIn("无法保存任何页面", log)
        self.assertIn("已有同名的文件", log)
        with open(s.path("Data"), "rb") as f:
            self.assertEqual(f.read(), b"not a folder")

        # A read-only program folder keeps the pages in the user's data folder; when that cannot
        # be written either, the start ends the same way.
        os.remove(s.path("Data"))
        self.as_nobody()
        data_home = s.env["XDG_DATA_HOME"]
        os.chown(data_home, 0, 0)
        os.chmod(data_home, 0o755)
        process = self.start_as_nobody()
        self.answer_error_box()
        self.assertEqual(process.wait(timeout=10), 1)
        self.assertIn("没有权限", log_text(s).split("已有同名的文件")[-1])
        self.assertEqual(os.listdir(data_home), [])


if __name__ == "__main__":
    harness.main()
