"""Messenger peers on a private LAN: three headless peers in three network namespaces joined by
a bridge find each other by broadcast, the announcement exchange ends after one answer each way
(seen in a capture on the bridge), texts arrive, and a peer that exits leaves the others' lists."""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

BUILD_BIN = None
PEER = None


class LanTest(unittest.TestCase):
    def setUp(self):
        self.lab = netlan.NetLab("lan")
        self.addCleanup(self.lab.close)
        self.lab.add_namespace("sw")
        self.lab.add_bridge("sw")
        self.hosts = {}
        for index, name in enumerate(("a", "b", "c"), start=1):
            self.lab.add_namespace(name)
            self.lab.attach(name, "sw", f"10.77.0.{index + 1}/24", mac=f"02:00:5e:00:00:0{index}")
        self.lab.pin_neighbours("sw")

    def test_three_peers_find_each_other_and_part(self):
        capture = netlan.Capture(self.lab, "sw")
        peers = []
        for name in ("a", "b", "c"):
            peers.append(netlan.Peer(self.lab, name, PEER, "用户" + name.upper()))
        last_start = time.monotonic()
        a, b, c = peers
        # A second copy on a's computer cannot take the port away from the first.
        with self.assertRaisesRegex(RuntimeError, "BINDFAIL"):
            netlan.Peer(self.lab, "a", PEER, "again")
        self.assertEqual(a.card, "02005E000001")
        self.assertEqual(a.ip, "10.77.0.2")

        # Every copy lists the other two (and itself, as ChatSeft is on) within 2 s.
        def all_listed():
            return all({q.card for q in peers} <= {f[3] for _, f in p.events("ADD")} for p in peers)
        self.assertTrue(netlan.wait_until(all_listed, 2.0), [p.events("ADD") for p in peers])
        self.assertLess(time.monotonic() - last_start, 2.0)
        for p in peers:
            rows = p.rows()
            self.assertEqual(len(rows), 3, rows)
            for q in peers:
                self.assertIn((q.name, q.ip, q.card, "内网"), rows)

        # Every peer writes to every other; then each writes once more, so that anything the
        # first round set off has left its sender before the capture is read.
        for p in peers:
            for q in peers:
                if q is not p:
                    p.command(f"say {q.card} hello {p.name}")
        for p in peers:
            self.assertTrue(netlan.wait_until(lambda p=p: len(p.events("LINE")) == 2, 3.0), p.events())
            self.assertEqual(sorted(f[1] for _, f in p.events("FROM")),
                             sorted(q.name for q in peers if q is not p))
        for p, q in ((a, b), (b, c), (c, a)):
            p.command(f"say {q.card} end")
        self.assertTrue(netlan.wait_until(
            lambda: sum(1 for r in capture.records() if r["kind"] == 10 and r["text"] == "end") == 3, 3.0),
            capture.records())

        records = capture.records()
        presence = [r for r in records if r["kind"] == 0]
        broadcasts = [r for r in presence if r["dst"] == "255.255.255.255"]
        self.assertEqual(sorted(r["src"] for r in broadcasts), sorted(p.ip for p in peers))
        answers = {}
        for r in presence:
            if r["dst"] != "255.255.255.255":
                answers[(r["src"], r["dst"])] = answers.get((r["src"], r["dst"]), 0) + 1
                self.assertEqual((r["sport"], r["dport"], r["size"]), (3574, 3574, 74))
        # One answer each way between every two peers, and nothing more.
        expected = {(p.ip, q.ip): 1 for p in peers for q in peers if p is not q}
        self.assertEqual(answers, expected, records)
        self.assertFalse([r for r in records if r["kind"] not in (0, 10)], records)

        # c leaves: the others drop it, with the offline notice.
        c.quit()
        self.assertEqual(c.process.returncode, 0)
        for p in (a, b):
            self.assertTrue(p.wait_event("DEL", lambda f: f[3] == c.card, 2.0), p.events())
            self.assertTrue(p.wait_event("NOTICE", lambda f: f[1:] == ["offline", c.name], 2.0))
            self.assertEqual(p.cards_listed(), {a.card, b.card})
        capture.stop()

        # Random datagrams, to one peer and to everyone, end nobody.
        netlan.flood(self.lab, "c", a.ip, 3574, seed=7)
        netlan.flood(self.lab, "c", "255.255.255.255", 3574, seed=8)
        for p in (a, b):
            self.assertIsNone(p.process.poll())
            self.assertIn((p.name, p.ip, p.card, "内网"), p.rows())


def main():
    global BUILD_BIN, PEER
    BUILD_BIN, PEER = netlan.built_tool("test_lan", "jv_msgpeer")
    netlan.run_suite()


if __name__ == "__main__":
    main()
