"""The file hand-over between two real copies of the program on a private LAN, sharing one Xvfb:
A adds a folder (two levels, an empty subfolder, Chinese names, a large file) with "添加文件夹[&D]",
checks B and sends; B's offer row turns to receiving, B saves the folder where it chooses and the
tree arrives byte for byte. C, to whom nothing was offered, cannot log in as "ParentDir"."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lan_copies  # noqa: E402
import netlan  # noqa: E402
from harness import wait_until  # noqa: E402
from lan_copies import MESSENGER  # noqa: E402
from test_ftp import DESIGN_CLIENT, FTPLIB_PROBE, hex_text, tree, write  # noqa: E402

LARGE = 50 * 1024 * 1024


def split_offer(text):
    """The items of an offer's text, split at "|" with quoted items as the design has them."""
    items, i = [], 0
    while i < len(text):
        if text[i] == '"':
            item, i = "", i + 1
            while i < len(text):
                if text[i] == '"' and text[i + 1:i + 2] == '"':
                    item, i = item + '"', i + 2
                elif text[i] == '"':
                    i += 1
                    break
                else:
                    item, i = item + text[i], i + 1
        else:
            end = min([j for j in (text.find("|", i), text.find(" ", i)) if j >= 0] or [len(text)])
            item, i = text[i:end], end
        items.append(item)
        i += 1 if text[i:i + 1] == "|" else 0
    return items


class HandOver(lan_copies.LanTest):
    LAB = "hov"
    HOSTS = ("a", "b", "c")
    SUBNET = "10.79.0"
    MAC_GROUP = 2

    def pick_folder(self, copy, title, path):
        """Answers the folder picker titled title by typing the folder's full path."""
        found = wait_until(lambda: copy.windows("^" + title + "$"), 30)
        self.assertTrue(found, f"the picker {title} shows: " + copy.diagnosis())
        self.session.activate(found[0], settle=0.5)
        self.session.key("ctrl+a")
        self.session.type_text(path, delay_ms=5)
        time.sleep(0.3)
        self.session.key("Return")
        self.assertTrue(wait_until(lambda: not copy.windows("^" + title + "$"), 30), "the picker closes")

    def test_folder_offered_to_b_arrives_whole_and_c_is_refused(self):
        s = self.session
        a, wa, b, wb = self.start_pair()

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

        capture = netlan.Capture(self.lab, "sw")
        self.addCleanup(capture.stop)
        # A: "添加文件夹[&D]", then everyone checked and Ctrl+Enter.
        self.keys(wa, "alt+d")
        self.pick_folder(a, "要添加的文件夹为：", source)
        self.shot("a-added")
        wa = a.messenger()
        self.assertIsNotNone(wa, a.diagnosis())
        self.keys(wa, "alt+a")
        self.click(wa, *self.INPUT_BOX)
        s.key("ctrl+Return")

        # B takes the offer in: "保存[&S]" is the row's only enabled mnemonic on S.
        self.assertTrue(wait_until(lambda: b.windows(MESSENGER), 30))
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

        # The offer as it crossed the LAN carries no "/": a peer that splits at the last "\\" or
        # ":" fetches the folder from A as well.
        offers = [r["text"] for r in capture.records() if r["kind"] == 16 and r["dst"] == "10.79.0.3"]
        self.assertEqual(len(offers), 1, capture.records())
        items = split_offer(offers[0])
        self.assertEqual(len(items), 1, offers)
        self.assertNotIn("/", items[0])
        design = os.path.join(b.root, "design-client")
        result = subprocess.run(["ip", "netns", "exec", self.lab.ns("b"), "/usr/bin/python3", "-c", DESIGN_CLIENT,
                                 "10.79.0.2", items[0], design], capture_output=True, timeout=120)
        self.assertEqual(result.stdout.strip(), b"ok", result.stderr)
        self.assertEqual(tree(design), tree(source))

        # C was offered nothing: "ParentDir" with the folder of A's offer is refused.
        folder = os.path.dirname(source) + "/"
        probe = subprocess.run(["ip", "netns", "exec", self.lab.ns("c"), "/usr/bin/python3", "-c", FTPLIB_PROBE,
                                "10.79.0.2", "ParentDir", hex_text(folder)], capture_output=True, timeout=30)
        self.assertIn(b"530", probe.stdout, probe.stdout + probe.stderr)
        # B, offered the folder, still may.
        probe = subprocess.run(["ip", "netns", "exec", self.lab.ns("b"), "/usr/bin/python3", "-c", FTPLIB_PROBE,
                                "10.79.0.2", "ParentDir", hex_text(folder)], capture_output=True, timeout=30)
        self.assertIn(b"230", probe.stdout, probe.stdout + probe.stderr)


if __name__ == "__main__":
    lan_copies.main()
