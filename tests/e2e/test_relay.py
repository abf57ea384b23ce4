"""The relay server across address translation: two private LANs, each behind its own NAT
namespace (nftables masquerade), and jotvane-relay in a "public" namespace. A peer in each LAN
registers, sees the other as an extranet peer at its translated endpoint, and after the punch
their texts travel directly. A second peer with a card already registered is refused.

Strangers: a host on the first LAN forges the relay's answers; a host on the public side forges
a victim's source address to make the relay send the victim lists; the relay restarts and its
clients come back; the relay's host name is served by a name server that keeps them waiting."""

import os
import shutil
import signal
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

BUILD_BIN = None
PEER = None
RELAY = None
RELAY_IP = "192.0.2.1"
STRANGER_IP = "10.1.0.9"
ATTACKER_IP = "192.0.2.66"
VICTIM_IP = "192.0.2.77"
NAME_SERVER_IP = "192.0.2.53"
RELAY_NAME = "relay.jotvane.test"

# A name server that keeps every question until it is told to answer, then answers them all
# (and every later one) with the relay's address.
NAME_SERVER_SCRIPT = r"""
import socket, struct, sys, threading
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 53))
lock = threading.Lock()
held, state = [], {"answer": False, "questions": 0}

def answer(query, peer):
    end = 12
    while query[end]:
        end += query[end] + 1
    question = query[12:end + 5]
    header = query[:2] + struct.pack("!HHHHH", 0x8180, 1, 1, 0, 0)
    record = b"\xc0\x0c" + struct.pack("!HHIH", 1, 1, 60, 4) + socket.inet_aton(sys.argv[1])
    s.sendto(header + question + record, peer)

def serve():
    while True:
        query, peer = s.recvfrom(512)
        with lock:
            state["questions"] += 1
            if state["answer"]:
                answer(query, peer)
            else:
                held.append((query, peer))

threading.Thread(target=serve, daemon=True).start()
print("READY", flush=True)
for line in sys.stdin:
    with lock:
        if line.strip() == "answer":
            state["answer"] = True
            for query, peer in held:
                answer(query, peer)
            held.clear()
        print("QUESTIONS", state["questions"], flush=True)
"""


class RelayTest(unittest.TestCase):
    def setUp(self):
        lab = self.lab = netlan.NetLab("rly")
        self.addCleanup(lab.close)
        lab.add_namespace("pub")
        lab.add_bridge("pub", address=f"{RELAY_IP}/24")
        for n in (1, 2):
            nat = f"nat{n}"
            lab.add_namespace(nat)
            lab.add_bridge(nat, address=f"10.{n}.0.1/24")
            lab.attach(nat, "pub", f"192.0.2.1{n}/24", ifname="up0", gateway=False)
            lab.make_nat(nat, "up0")
        # a in the first LAN; b and c in the second, c with a's card.
        for host, nat, ip, mac in (("a", "nat1", "10.1.0.2", "02:00:5e:00:01:0a"),
                                   ("b", "nat2", "10.2.0.2", "02:00:5e:00:02:0b"),
                                   ("c", "nat2", "10.2.0.3", "02:00:5e:00:01:0a")):
            lab.add_namespace(host)
            lab.attach(host, nat, f"{ip}/24", mac=mac, gateway=nat.replace("nat", "10.") + ".0.1")
        # A stranger on the first LAN; on the public side an attacker, its victim and a name server.
        lab.add_namespace("s")
        lab.attach("s", "nat1", f"{STRANGER_IP}/24", gateway="10.1.0.1")
        for host, ip in (("m", ATTACKER_IP), ("v", VICTIM_IP), ("dns", NAME_SERVER_IP)):
            lab.add_namespace(host)
            lab.attach(host, "pub", f"{ip}/24", gateway=False)

    def start_relay(self):
        if getattr(self, "relay", None) is not None:
            self.lab.stop(self.relay)
        self.relay = self.lab.spawn("pub", [RELAY, "--port", "5432"], "relay", stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT)
        self.relay_log = []
        self.relay_lock = threading.Lock()

        def read():
            for raw in self.relay.stdout:
                with self.relay_lock:
                    self.relay_log.append(raw.decode("utf-8", "replace").rstrip("\n"))
        threading.Thread(target=read, daemon=True).start()
        self.assertTrue(self.wait_log("listening on 0.0.0.0:5432"), self.relay_log)

    def wait_log(self, text, timeout=30):
        def found():
            with self.relay_lock:
                return any(text in line for line in self.relay_log)
        return netlan.wait_until(found, timeout)

    def test_peers_behind_two_nats_pair_through_the_relay(self):
        self.start_relay()
        a = netlan.Peer(self.lab, "a", PEER, "Alice", server=RELAY_IP)
        self.assertTrue(a.wait_event("REGISTERED"), a.events())
        self.assertTrue(self.wait_log(f"register {a.card} \"Alice\" at 192.0.2.11:3574"), self.relay_log)
        b = netlan.Peer(self.lab, "b", PEER, "Bob", server=RELAY_IP)
        self.assertTrue(b.wait_event("REGISTERED"), b.events())

        # b's peer list names a, b asks to be connected, and each learns the other's public endpoint.
        a_row = ("Alice", "192.0.2.11:3574", a.card, "外网")
        b_row = ("Bob", "192.0.2.12:3574", b.card, "外网")
        self.assertTrue(b.wait_event("ADD", lambda f: tuple(f[1:5]) == a_row, 3.0), b.events())
        self.assertTrue(a.wait_event("ADD", lambda f: tuple(f[1:5]) == b_row, 3.0), a.events())
        self.assertTrue(a.wait_event("NOTICE", lambda f: f[1:] == ["online", "Bob"]))
        self.assertIn(b_row, a.rows())
        self.assertIn(a_row, b.rows())

        # After the punches the texts go straight to the translated endpoints, both ways.
        b.command(f"say {a.card} 你好，Alice")
        self.assertTrue(a.wait_event("LINE", lambda f: f[1] == "你好，Alice", 3.0), a.events())
        self.assertTrue(a.wait_event("FROM", lambda f: f[1] == "Bob"))
        a.command(f"say {b.card} hello Bob")
        self.assertTrue(b.wait_event("LINE", lambda f: f[1] == "hello Bob", 3.0), b.events())

        # Checking the extranet row asks the relay for another punch, without a second row.
        a.command(f"check {b.card}")
        self.assertTrue(self.wait_log(f"connect {a.card} -> {b.card} (selected)"), self.relay_log)
        b.command(f"say {a.card} again")
        self.assertTrue(a.wait_event("LINE", lambda f: f[1] == "again", 3.0))
        self.assertEqual([r for r in a.rows() if r[2] == b.card], [b_row])

        # Random datagrams do not end the relay.
        netlan.flood(self.lab, "b", RELAY_IP, 5432, seed=3)
        self.assertIsNone(self.relay.poll())

        # c carries a's card from another endpoint: refused.
        c = netlan.Peer(self.lab, "c", PEER, "Carol", server=RELAY_IP)
        self.assertTrue(c.wait_event("MSGBOX", lambda f: f[1] == "网卡重复！", 3.0), c.events())
        self.assertFalse(c.events("REGISTERED"))
        self.assertTrue(self.wait_log(f"refuse {a.card} from 192.0.2.12:"), self.relay_log)

        # Goodbyes reach the relay, which then forgets the clients; SIGTERM ends it cleanly.
        a.quit()
        self.assertTrue(self.wait_log(f"forget {a.card} at 192.0.2.11:3574 (offline)"), self.relay_log)
        self.relay.send_signal(signal.SIGTERM)
        self.assertEqual(self.relay.wait(5), 0)
        self.assertTrue(self.wait_log("stopped with"), self.relay_log)


    def marker(self, agent, port=6000):
        """Registers a throw-away card from the agent's own address and waits for the answer: the
        relay handles datagrams in order, so all that the agent sent before has been handled. A relay
        still behind a flood may find its queue full and the marker dropped, so it goes again."""
        agent.bind(port)
        before = agent.received(port, kind=1)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            agent.send(netlan.presence(0, "marker", f"{port:012d}"), RELAY_IP, 5432, port)
            if netlan.wait_until(lambda: agent.received(port, kind=1) > before, 3):
                return
        self.fail("the relay answers the marker")

    def test_relay_kinds_from_a_lan_host_make_no_box_row_or_punch(self):
        self.start_relay()
        a = netlan.Peer(self.lab, "a", PEER, "Alice", server=RELAY_IP)
        self.assertTrue(a.wait_event("REGISTERED"), a.events())
        stranger = netlan.Agent(self.lab, "s")
        for port in (5432, 3574, 4000):
            stranger.bind(port)
        # The relay's answers, forged from the relay's own port on a LAN host: a refusal, made-up
        # extranet peers that point at the stranger, punch requests towards it.
        stranger.send(netlan.register_reply(0), a.ip, 3574, 5432, count=5)
        for i in range(200):
            stranger.send(netlan.extranet_peer(f"假{i}", f"F{i:011d}", STRANGER_IP, 4000), a.ip, 3574, 5432)
        stranger.send(netlan.punch_request(STRANGER_IP, 4000), a.ip, 3574, 5432, count=300)
        # An announcement behind them: once Alice answers it, she has handled all of them.
        stranger.send(netlan.presence(0, "Stranger", "5555AAAA5555"), a.ip, 3574, 3574)
        self.assertTrue(a.wait_event("ADD", lambda f: f[1] == "Stranger", 5.0), a.events())
        self.assertTrue(netlan.wait_until(lambda: stranger.received(3574, kind=0) >= 1, 30))
        self.assertEqual(a.events("MSGBOX"), [])
        self.assertEqual([r for r in a.rows() if r[3] == "外网"], [])
        self.assertEqual(stranger.received(4000), 0)
        # The real relay's answers still count: Bob behind the other router appears.
        b = netlan.Peer(self.lab, "b", PEER, "Bob", server=RELAY_IP)
        self.assertTrue(a.wait_event("ADD", lambda f: f[1] == "Bob" and f[4] == "外网", 5.0), a.events())

    def test_a_forged_source_gets_no_more_than_the_attacker_sent(self):
        self.start_relay()
        a = netlan.Peer(self.lab, "a", PEER, "Alice", server=RELAY_IP)
        b = netlan.Peer(self.lab, "b", PEER, "Bob", server=RELAY_IP)
        for peer in (a, b):
            self.assertTrue(peer.wait_event("REGISTERED"), peer.events())
        attacker, victim = netlan.Agent(self.lab, "m", "attacker"), netlan.Agent(self.lab, "v", "victim")
        victim.sniff(RELAY_IP, 5432)

        def received():
            return victim.stats()["sniffed"]["bytes"]

        # One forged registration and ten list requests with the victim's source.
        attacker.spoof(netlan.presence(0, "x", "F00000000001"), VICTIM_IP, 3574, RELAY_IP, 5432)
        attacker.spoof(netlan.list_request(), VICTIM_IP, 3574, RELAY_IP, 5432, count=10)
        self.marker(attacker)
        netlan.wait_until(lambda: received() >= 6, 2.0)
        sent, got = attacker.stats()["sent"]["bytes"], received()
        print(f"\nforged registration + 10 list requests: attacker sent {sent} bytes, "
              f"victim received {got} bytes ({got / sent:.2f}x)", file=sys.stderr)
        self.assertLessEqual(got, sent)

        # A patient attacker: forged keep-alives too, from 40 ports of the victim's address,
        # twenty list requests per port and round.
        with self.relay_lock:
            log_before = sum(len(line) + 1 for line in self.relay_log)
        start = time.monotonic()
        for round_ in range(30):
            for port in range(40000, 40040):
                card = f"E{port:011d}"
                if round_ == 0:
                    attacker.spoof(netlan.presence(0, "x", card), VICTIM_IP, port, RELAY_IP, 5432)
                attacker.spoof(netlan.query(card), VICTIM_IP, port, RELAY_IP, 5432)
                attacker.spoof(netlan.list_request(), VICTIM_IP, port, RELAY_IP, 5432, count=20)
        self.marker(attacker, 6001)
        elapsed = time.monotonic() - start
        sent2, got2 = attacker.stats()["sent"]["bytes"] - sent, received() - got
        with self.relay_lock:
            log_bytes = sum(len(line) + 1 for line in self.relay_log) - log_before
        print(f"forged keep-alives and 24,000 list requests from 40 ports in {elapsed:.1f} s: attacker sent "
              f"{sent2} bytes, victim received {got2} bytes ({got2 / sent2:.2f}x); relay log grew "
              f"{log_bytes} bytes", file=sys.stderr)
        # At most the destination's budget: 64 KiB at once and 4 KiB a second after.
        self.assertLessEqual(got2, 64 * 1024 + 4096 * (elapsed + 2))
        self.assertLess(got2, sent2)
        self.assertTrue(self.wait_log("clients from this address"), self.relay_log)
        self.assertLess(log_bytes, 64 * 1024)
        # The real clients still pair.
        self.assertTrue(b.wait_event("ADD", lambda f: f[1] == "Alice", 5.0), b.events())

    def test_clients_come_back_after_the_relay_restarts(self):
        self.start_relay()
        a = netlan.Peer(self.lab, "a", PEER, "Alice", server=RELAY_IP)
        b = netlan.Peer(self.lab, "b", PEER, "Bob", server=RELAY_IP)
        a_row = ("Alice", "192.0.2.11:3574", a.card, "外网")
        self.assertTrue(b.wait_event("ADD", lambda f: tuple(f[1:5]) == a_row, 5.0), b.events())

        # The relay restarts and knows nobody; the next keep-alives take both back, both register
        # again under their names, and a refresh pairs them once more.
        self.start_relay()
        a.command("keepalive")
        b.command("keepalive")
        self.assertTrue(self.wait_log(f"register {a.card} \"\" at 192.0.2.11:3574 (keep-alive)"), self.relay_log)
        for peer in (a, b):
            self.assertTrue(netlan.wait_until(lambda: len(peer.events("REGISTERED")) >= 2, 30), peer.events())
        self.assertTrue(self.wait_log(f"renew {a.card} \"Alice\" at 192.0.2.11:3574"), self.relay_log)
        # (A list asked for within 10 s of the last one comes when the 10 s are over.)
        b.command("refresh")
        self.assertTrue(netlan.wait_until(
            lambda: len([e for _, e in b.events("ADD") if tuple(e[1:5]) == a_row]) >= 2, 15.0), b.events())
        b.command(f"say {a.card} 又见面了")
        self.assertTrue(a.wait_event("LINE", lambda f: f[1] == "又见面了", 5.0), a.events())

    def test_a_silent_name_server_does_not_hold_the_start(self):
        self.start_relay()
        # Alice's namespace asks the name server on the public side, which answers only later.
        etc = f"/etc/netns/{self.lab.ns('a')}"
        os.makedirs(etc, exist_ok=True)
        self.addCleanup(shutil.rmtree, etc, True)
        with open(os.path.join(etc, "resolv.conf"), "w") as handle:
            handle.write(f"nameserver {NAME_SERVER_IP}\noptions timeout:30 attempts:1\n")
        dns = self.lab.spawn("dns", [sys.executable, "-u", "-c", NAME_SERVER_SCRIPT, RELAY_IP], "dns",
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.assertEqual(dns.stdout.readline().strip(), b"READY")

        def questions(command=""):
            dns.stdin.write((command + "\n").encode())
            dns.stdin.flush()
            return int(dns.stdout.readline().split()[1])

        # The peer is ready while its question is still unanswered, and nothing reached the relay.
        a = netlan.Peer(self.lab, "a", PEER, "Alice", server=RELAY_NAME)
        self.assertTrue(netlan.wait_until(lambda: questions() >= 1, 30))
        with self.relay_lock:
            self.assertFalse([line for line in self.relay_log if a.card in line])
        # The answer comes: the registration that waited for it goes out.
        questions("answer")
        self.assertTrue(a.wait_event("REGISTERED", timeout=30), a.events())
        self.assertTrue(self.wait_log(f"register {a.card} \"Alice\" at 192.0.2.11:3574"), self.relay_log)


def main():
    global BUILD_BIN, PEER, RELAY
    BUILD_BIN = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else "build/bin")
    PEER = os.path.join(os.path.dirname(BUILD_BIN), "tests", "jv_msgpeer")
    RELAY = os.path.join(BUILD_BIN, "jotvane-relay")
    for binary in (PEER, RELAY):
        if not os.access(binary, os.X_OK):
            print(f"test_relay: {binary} is not built; skipping", file=sys.stderr)
            sys.exit(netlan.SKIP)
    netlan.require_namespaces()
    if shutil.which("nft") is None:
        print("test_relay: nftables is not installed; skipping", file=sys.stderr)
        sys.exit(netlan.SKIP)
    unittest.main(verbosity=2)


if __name__ == "__main__":
    main()
