"""Messenger peers on a private LAN: three headless peers in three network namespaces joined by
a bridge find each other by broadcast, the announcement exchange ends after one answer each way
(seen in a capture on the bridge), texts arrive, and a peer that exits leaves the others' lists.
A stranger cannot take over a peer's row or say goodbye for it, a peer that vanishes is greyed
and then dropped, and a copy whose port is taken waits for it."""

import os
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

BUILD_BIN = None
PEER = None

# Sends presence datagrams from this host: kind name card notify address [count].
PRESENCE = r"""
import socket, sys
kind, name, card, notify, host = int(sys.argv[1]), sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
count = int(sys.argv[6]) if len(sys.argv) > 6 else 1
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("", 3574))
data = bytearray(74)
data[0], data[5] = kind, notify
encoded = name.encode("utf-16-le")[:40]
data[6:6 + len(encoded)] = encoded
encoded = card.encode("utf-16-le")[:24]
data[48:48 + len(encoded)] = encoded
for _ in range(count):
    s.sendto(bytes(data), (host, 3574))
"""

# Holds UDP port 3574 until its standard input closes.
HOLD_PORT = r"""
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("", 3574))
print("HELD", flush=True)
sys.stdin.read()
"""


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
        a, b, c = peers
        # A second copy on a's computer cannot take the port away from the first.
        with self.assertRaisesRegex(RuntimeError, "BINDFAIL"):
            netlan.Peer(self.lab, "a", PEER, "again")
        self.assertEqual(a.card, "02005E000001")
        self.assertEqual(a.ip, "10.77.0.2")

        # Every copy lists the other two (and itself, as ChatSeft is on).
        def all_listed():
            return all({q.card for q in peers} <= {f[3] for _, f in p.events("ADD")} for p in peers)
        self.assertTrue(netlan.wait_until(all_listed, 30), [p.events("ADD") for p in peers])
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
            self.assertTrue(netlan.wait_until(lambda p=p: len(p.events("LINE")) == 2, 30), p.events())
            self.assertEqual(sorted(f[1] for _, f in p.events("FROM")),
                             sorted(q.name for q in peers if q is not p))
        for p, q in ((a, b), (b, c), (c, a)):
            p.command(f"say {q.card} end")
        self.assertTrue(netlan.wait_until(
            lambda: sum(1 for r in capture.records() if r["kind"] == 10 and r["text"] == "end") == 3, 30),
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
            self.assertTrue(p.wait_event("DEL", lambda f: f[3] == c.card, 30), p.events())
            self.assertTrue(p.wait_event("NOTICE", lambda f: f[1:] == ["offline", c.name], 30))
            self.assertEqual(p.cards_listed(), {a.card, b.card})
        capture.stop()

        # Random datagrams, to one peer and to everyone, end nobody.
        netlan.flood(self.lab, "c", a.ip, 3574, seed=7)
        netlan.flood(self.lab, "c", "255.255.255.255", 3574, seed=8)
        for p in (a, b):
            self.assertIsNone(p.process.poll())
            self.assertIn((p.name, p.ip, p.card, "内网"), p.rows())


class LanStrangerTest(unittest.TestCase):
    """Two peers and a stranger, who writes datagrams of its own, on a private LAN."""

    def setUp(self):
        self.lab = netlan.NetLab("peers")
        self.addCleanup(self.lab.close)
        self.lab.add_namespace("sw")
        self.lab.add_bridge("sw")
        for index, name in enumerate(("a", "b", "c"), start=1):
            self.lab.add_namespace(name)
            self.lab.attach(name, "sw", f"10.79.0.{index + 1}/24", mac=f"02:00:5e:00:02:0{index}")
        self.lab.pin_neighbours("sw")

    def forge(self, kind, name, card, to, notify=1, count=1):
        subprocess.run(["ip", "netns", "exec", self.lab.ns("c"), sys.executable, "-c", PRESENCE, str(kind), name,
                        card, str(notify), to, str(count)], check=True, capture_output=True, timeout=30)

    def test_a_stranger_cannot_take_a_row_and_a_silent_peer_goes(self):
        a = netlan.Peer(self.lab, "a", PEER, "用户A", self_chat=False)
        b = netlan.Peer(self.lab, "b", PEER, "用户B", self_chat=False)
        self.assertTrue(a.wait_event("ADD", lambda f: f[3] == b.card, 30), a.events())
        stranger = "10.79.0.4"

        # A goodbye for B from the stranger's address changes nothing.
        self.forge(2, "用户B", b.card, a.ip)
        # B's name and card from the stranger: A asks B first; B answers, so both rows stay,
        # marked as a conflict, and B's own row keeps B's address.
        self.forge(0, "用户B", b.card, a.ip)
        self.assertTrue(a.wait_event("STATE", lambda f: f[1] == "conflict" and f[3] == stranger, 30), a.events())
        rows = a.rows()
        self.assertIn(("用户B", b.ip, b.card, "内网"), rows)
        self.assertIn(("用户B", stranger, b.card, "内网"), rows)
        self.assertFalse(a.events("DEL"), a.events())
        # A text to B's row still reaches B alone.
        a.command(f"say {b.card} only for b")
        self.assertTrue(b.wait_event("LINE", lambda f: f[1] == "only for b", 30), b.events())

        # B vanishes without a goodbye (its power is cut). Now the card's claim from another
        # address is settled once B's old address stays silent.
        self.lab.stop(b.process, signal.SIGKILL)
        self.forge(2, "用户B", b.card, a.ip)  # the stranger's own row goes; B's stays
        self.assertTrue(a.wait_event("DEL", lambda f: f[2] == stranger, 30), a.events())
        self.assertIn(("用户B", b.ip, b.card, "内网"), a.rows())
        self.forge(0, "用户B", b.card, a.ip)
        self.assertTrue(a.wait_event("UPDATE", lambda f: f[2] == stranger, 30), a.events())
        self.assertEqual(a.rows(), [("用户B", stranger, b.card, "内网")])

    def test_a_vanished_peer_is_greyed_then_removed_and_a_new_name_shows_at_once(self):
        a = netlan.Peer(self.lab, "a", PEER, "用户A", self_chat=False, extra=["--tick", "300"])
        b = netlan.Peer(self.lab, "b", PEER, "用户B", self_chat=False)
        c = netlan.Peer(self.lab, "c", PEER, "用户C", self_chat=False)
        for p in (b, c):
            self.assertTrue(a.wait_event("ADD", lambda f, p=p: f[3] == p.card, 30), a.events())
        self.lab.stop(c.process, signal.SIGKILL)
        # Three unanswered ticks: greyed with the offline notice; the next tick removes it.
        self.assertTrue(a.wait_event("STATE", lambda f: f[1] == "offline" and f[4] == c.card, 30), a.events())
        self.assertTrue(a.wait_event("NOTICE", lambda f: f[1:] == ["offline", "用户C"], 30), a.events())
        self.assertTrue(a.wait_event("DEL", lambda f: f[3] == c.card, 30), a.events())
        # B answered every query all along.
        self.assertFalse([f for _, f in a.events("STATE") if f[4] == b.card and f[1] == "offline"])
        self.assertEqual(a.cards_listed(), {b.card})

        # B comes back under a new name on the same computer: renamed at once.
        self.lab.stop(b.process, signal.SIGKILL)
        netlan.Peer(self.lab, "b", PEER, "用户B2", self_chat=False)
        self.assertTrue(a.wait_event("UPDATE", lambda f: f[1] == "用户B2" and f[3] == b.card, 30), a.events())
        self.assertEqual(a.rows(), [("用户B2", b.ip, b.card, "内网")])

    def test_a_taken_port_is_waited_for_and_taken_when_free(self):
        b = netlan.Peer(self.lab, "b", PEER, "用户B", self_chat=False)
        holder = self.lab.spawn("a", [sys.executable, "-c", HOLD_PORT], "holder", stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE)
        self.assertEqual(holder.stdout.readline().strip(), b"HELD")
        a = netlan.Peer(self.lab, "a", PEER, "用户A", self_chat=False, extra=["--wait-port"], ready=False)
        self.assertTrue(a.wait_event("BLOCKED", lambda f: f[1] == "3574", 30), a.events())
        self.assertFalse(a.events("READY"))
        holder.stdin.close()
        holder.wait(5)
        self.assertTrue(a.wait_event("READY", timeout=30), a.events())
        # Taken: A announces itself, B lists it, and they talk.
        self.assertTrue(b.wait_event("ADD", lambda f: f[1] == "用户A", 30), b.events())
        self.assertTrue(a.wait_event("ADD", lambda f: f[3] == b.card, 30), a.events())
        a.command(f"say {b.card} the port is ours")
        self.assertTrue(b.wait_event("LINE", lambda f: f[1] == "the port is ours", 30), b.events())


def main():
    global BUILD_BIN, PEER
    BUILD_BIN, PEER = netlan.built_tool("test_lan", "jv_msgpeer")
    netlan.run_suite()


if __name__ == "__main__":
    main()
