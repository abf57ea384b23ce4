"""The file hand-over between two real copies of the program on a private LAN, sharing one Xvfb:
A adds a folder (two levels, an empty subfolder, Chinese names, a large file) with "添加文件夹[&D]",
checks B and sends; B's offer row turns to receiving, B saves the folder where it chooses and the
tree arrives byte for byte. C, to whom nothing was offered, cannot log in as "ParentDir"."""

import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import netlan  # noqa: E402
import test_messenger  # noqa: E402
from harness import wait_until  # noqa: E402
from test_ftp import FTPLIB_PROBE, hex_text, tree, write  # noqa: E402

MESSENGER = test_messenger.MESSENGER
LARGE = 50 * 1024 * 1024


class HandOver(unittest.TestCase):
    def setUp(self):
        self.lab = netlan.NetLab("hov")
        self.addCleanup(self.lab.close)
        self.lab.add_namespace("sw")
        self.lab.add_bridge("sw")
        for index, name in enumerate(("a", "b", "c"), start=1):
            self.lab.add_namespace(name)
            self.lab.attach(name, "sw", f"10.79.0.{index + 1}/24", mac=f"02:00:5e:00:02:0{index}")
        self.lab.pin_neighbours("sw")
        self.session = harness.Session(test_messenger.BINARY_DIR)
        self.addCleanup(self.session.close)
        self.shots = os.environ.get("JV_SCREENSHOTS")

    def shot(self, name):
        if self.shots:
            os.makedirs(self.shots, exist_ok=True)
            self.session.screenshot(os.path.join(self.shots, name + ".png"))

    def keys(self, window, *keys):
        self.assertTrue(self.session.activate(window, settle=0.4), f"window {window} takes the focus")
        for key in keys:
            self.session.key(key)
            time.sleep(0.15)

    def pick_folder(self, copy, title, path):
        """Answers the folder picker titled title by typing the folder's full path."""
        found = wait_until(lambda: copy.windows("^" + title + "$"), 10)
        self.assertTrue(found, f"the picker {title} shows: " + copy.diagnosis())
        self.session.activate(found[0], settle=0.5)
        self.session.key("ctrl+a")
        self.session.type_text(path, delay_ms=5)
        time.sleep(0.3)
        self.session.key("Return")
        self.assertTrue(wait_until(lambda: not copy.windows("^" + title + "$"), 10), "the picker closes")

    def test_folder_offered_to_b_arrives_whole_and_c_is_refused(self):
        s = self.session
        b = test_messenger.Copy(self, self.lab, s, "b", "用户B")
        wb = b.messenger()
        self.assertIsNotNone(wb, "B's messenger window shows: " + b.diagnosis())
        a = test_messenger.Copy(self, self.lab, s, "a", "用户A")
        wa = a.messenger()
        self.assertIsNotNone(wa, "A's messenger window shows: " + a.diagnosis())
        self.assertTrue(wait_until(lambda: b.windows("^Jotvane-提示$"), 10), "B sees A come online")
        time.sleep(1.0)

        # The folder A offers, outside both program folders. The pickers are answered by typing,
        # so the two typed paths are plain ASCII; the names inside are Chinese.
        source = os.path.join(a.root, "outbox", "share 2026")
        write(os.path.join(source, "说明.txt"), "第一层\r\n".encode("utf-8"))
        write(os.path.join(source, "子目录", "深一层", "数据.bin"), bytes(range(256)) * 4099)
        os.makedirs(os.path.join(source, "空的"))
        with open(os.path.join(source, "子目录", "大文件.bin"), "wb") as f:
            f.truncate(LARGE)
            f.seek(LARGE // 2)
            f.write(b"middle")

        # A: "添加文件夹[&D]", then everyone checked and Ctrl+Enter.
        self.keys(wa, "alt+d")
        self.pick_folder(a, "要添加的文件夹为：", source)
        self.shot("a-added")
        wa = a.messenger()
        self.assertIsNotNone(wa, a.diagnosis())
        self.keys(wa, "alt+a")
        s.tool("xdotool", "mousemove", "--window", str(wa), *map(str, test_messenger.MessengerLan.INPUT_BOX),
               "click", "1", check=True)
        time.sleep(0.3)
        s.key("ctrl+Return")

        # B takes the offer in: "保存[&S]" is the row's only enabled mnemonic on S.
        self.assertTrue(wait_until(lambda: b.windows(MESSENGER), 10))
        time.sleep(1.0)
        self.shot("b-receiving")
        target = os.path.join(b.root, "inbox")
        os.makedirs(target)
        wb = b.messenger()
        self.keys(wb, "alt+s")
        self.pick_folder(b, "把文件夹保存到：", target)
        summary = wait_until(lambda: b.windows("^文件\\(夹\\)传输完成$"), 60)
        self.assertTrue(summary, "the summary shows: " + b.diagnosis())
        self.shot("b-summary")
        s.activate(summary[0])
        s.key("Escape")
        self.assertEqual(tree(os.path.join(target, "share 2026")), tree(source))
        self.assertTrue(os.path.isdir(os.path.join(target, "share 2026", "空的")))

        # C was offered nothing: "ParentDir" with the folder of A's offer is refused.
        folder = os.path.dirname(source) + "/"
        probe = subprocess.run(["ip", "netns", "exec", self.lab.ns("c"), "/usr/bin/python3", "-c", FTPLIB_PROBE,
                                "10.79.0.2", "ParentDir", hex_text(folder)], capture_output=True, timeout=30)
        self.assertIn(b"530", probe.stdout, probe.stdout + probe.stderr)
        # B, offered the folder, still may.
        probe = subprocess.run(["ip", "netns", "exec", self.lab.ns("b"), "/usr/bin/python3", "-c", FTPLIB_PROBE,
                                "10.79.0.2", "ParentDir", hex_text(folder)], capture_output=True, timeout=30)
        self.assertIn(b"230", probe.stdout, probe.stdout + probe.stderr)


def main():
    if len(sys.argv) < 2:
        print("usage: test_handover.py <binary dir>", file=sys.stderr)
        sys.exit(2)
    for tool in ("Xvfb", "openbox", "xdotool", "xprop"):
        if shutil.which(tool) is None:
            print(f"test_handover: {tool} is not installed; skipping", file=sys.stderr)
            sys.exit(netlan.SKIP)
    harness.in_private_network()
    netlan.require_namespaces()
    test_messenger.BINARY_DIR = os.path.abspath(sys.argv.pop(1))
    unittest.main(argv=[sys.argv[0]] + sys.argv[1:], verbosity=2)


if __name__ == "__main__":
    main()
