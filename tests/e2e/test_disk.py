"""Folders the program cannot write and a full disk: a start with nowhere to keep a page says so
and ends, and a page that cannot be saved is reported at hide and its text outlives the run, also
when SIGTERM ends a program whose window is shown. Permission cases run as the unprivileged user
nobody; the full disk is a small tmpfs in a mount namespace of the suite's own."""

import os
import shutil
import signal
import subprocess
import sys

import harness
from harness import SessionTest, read_text, wait_until

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

    AS_NOBODY = ("setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups")

    def start_as_nobody(self, *arguments):
        s = self.session
        return s.start_other([*self.AS_NOBODY, s.exe, *arguments], name="jotvane")

    def wait_running_as_nobody(self, process, timeout=30):
        socket = os.path.join(self.session.env["XDG_RUNTIME_DIR"], f"jotvane-{NOBODY}.sock")
        return wait_until(lambda: process.poll() is not None or os.path.exists(socket), timeout) and \
            process.poll() is None

    def type_into_the_page(self, text):
        s = self.session
        window = s.wait_window()
        self.assertTrue(window, "the note window shows")
        # A busy program takes the focus late: the activation is asked for again.
        self.assertTrue(wait_until(lambda: s.activate(window[0]), 30, interval=0.5))
        s.type_text(text)

    def answer_error_box(self):
        s = self.session
        box = s.wait_window("^错误$")
        self.assertTrue(box, "an error box")
        self.assertTrue(s.key_until(box[0], ["Return"], lambda: not s.windows("^错误$")))

    def test_a_start_with_nowhere_to_keep_a_page_says_why_and_ends(self):
        s = self.session
        # A file named Data where the page folder should be: it is left as it is.
        with open(s.path("Data"), "wb") as f:
            f.write(b"not a folder")
        process = s.start()
        self.answer_error_box()
        self.assertEqual(process.wait(timeout=30), 1)
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
        self.assertEqual(process.wait(timeout=30), 1)
        self.assertIn("没有权限", log_text(s).split("已有同名的文件")[-1])
        self.assertEqual(os.listdir(data_home), [])

        # A page folder nobody may write, whose only page nobody may read: the box names both.
        folder = os.path.join(data_home, "Jotvane", "Data")
        os.makedirs(folder)
        harness.write_page(os.path.join(folder, "secret.txt"), 0, "秘密", "text")
        os.chmod(os.path.join(folder, "secret.txt"), 0)
        process = self.start_as_nobody()
        self.answer_error_box()
        self.assertEqual(process.wait(timeout=30), 1)
        self.assertIn(os.path.join(folder, "secret.txt") + '"。没有权限', log_text(s))

    def test_a_page_that_cannot_be_saved_is_reported_and_its_text_outlives_the_run(self):
        s = self.session
        self.as_nobody()
        # A copy of the program that nobody owns, with a page folder nobody may only read.
        names = s.seed_pages([("只读", "saved")])
        give_to_nobody(s.app_dir)
        os.chown(s.path("Data"), 0, 0)
        os.chown(s.path("Data", names[0]), 0, 0)
        unsaved = os.path.join(s.env["XDG_DATA_HOME"], "Jotvane", "unsaved")

        # SIGTERM while the window is shown: nothing waits on the user, the text is kept.
        process = self.start_as_nobody()
        self.assertTrue(self.wait_running_as_nobody(process))
        self.type_into_the_page("typed ")
        # xdotool returns once the X server has the keys; the program has taken them once it
        # answers a later start.
        self.assertTrue(s.handled(runner=self.AS_NOBODY), "a second start is answered")
        # A box waiting on the user would keep the program past the timeout.
        self.assertEqual(s.stop(process, timeout=30), 0)
        self.assertEqual(s.windows("^错误$", visible=False), [])
        log = log_text(s)
        self.assertIn(names[0], log)
        self.assertIn("没有权限", log)
        copies = os.listdir(unsaved)
        self.assertEqual(len(copies), 1)
        self.assertIn(os.path.join(unsaved, copies[0]), log, "stderr says where the text went")
        self.assertTrue(copies[0].startswith("只读 "), copies)
        self.assertEqual(read_text(os.path.join(unsaved, copies[0])), "typed saved\r\n")
        self.assertEqual(harness.read_page(s.path("Data", names[0])).text, "saved\r\n")

        # Hiding with an edit that cannot be written shows the error, then the run goes on.
        process = self.start_as_nobody()
        self.assertTrue(self.wait_running_as_nobody(process))
        self.type_into_the_page("again ")
        s.key("Escape")
        self.answer_error_box()
        self.assertIsNone(process.poll())
        # SIGHUP ends the run the same way.
        self.assertEqual(s.stop(process, sig=signal.SIGHUP, timeout=30), 0)
        copies = sorted(os.listdir(unsaved))
        self.assertEqual(len(copies), 2)
        self.assertIn("again saved\r\n", [read_text(os.path.join(unsaved, name)) for name in copies])

    def test_a_full_disk_keeps_the_page_file_and_the_typed_text(self):
        s = self.session
        if os.environ.get("JV_E2E_MNTNS") != "1":
            self.skipTest("no mount namespace of the suite's own for a small file system")
        folder = s.path("Data")
        os.makedirs(folder)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", folder], check=True)
        self.addCleanup(subprocess.run, ["umount", folder], check=False)
        names = s.seed_pages([("满", "line " * 700)])
        page = os.path.join(folder, names[0])
        with open(page, "rb") as f:
            before = f.read()
        # Every block of the file system taken: no page, journal or temporary file can grow.
        with open(os.path.join(folder, "filler.bin"), "wb", buffering=0) as f:
            try:
                while True:
                    f.write(b"\0" * 4096)
            except OSError:
                pass

        process = s.start()
        self.assertTrue(s.wait_running(process))
        self.type_into_the_page("typed ")
        s.key("Escape")
        self.answer_error_box()
        self.assertIsNone(process.poll())
        self.assertEqual(s.stop(process, timeout=30), 0)

        with open(page, "rb") as f:
            self.assertEqual(f.read(), before, "the page file is whole")
        self.assertEqual(sorted(n for n in os.listdir(folder) if not n.startswith(".")), sorted(names + ["filler.bin"]),
                         "no temporary file is left")
        log = log_text(s)
        self.assertIn("磁盘已满", log)
        unsaved = os.path.join(s.env["XDG_DATA_HOME"], "Jotvane", "unsaved")
        copies = os.listdir(unsaved)
        self.assertEqual(len(copies), 1)
        self.assertIn(os.path.join(unsaved, copies[0]), log)
        self.assertEqual(read_text(os.path.join(unsaved, copies[0])), "typed " + ("line " * 700) + "\r\n")


def in_private_mounts():
    """Runs the suite in a mount namespace of its own, so that the file systems it mounts are seen
    by nobody else; where none can be made, the full-disk case skips itself."""
    if "JV_E2E_MNTNS" in os.environ:
        return
    if shutil.which("unshare") is None or subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode:
        os.environ["JV_E2E_MNTNS"] = "0"
        return
    env = dict(os.environ, JV_E2E_MNTNS="1")
    result = subprocess.run(["unshare", "-m", "--propagation", "private", sys.executable] + sys.argv, env=env)
    sys.exit(result.returncode)


if __name__ == "__main__":
    in_private_mounts()
    harness.main()
