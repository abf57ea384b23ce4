"""The relay server across address translation: two private LANs, each behind its own NAT
namespace (nftables masquerade), and jotvane-relay in a "public" namespace. A peer in each LAN
registers, sees the other as an extranet peer at its translated endpoint, and after the punch
their texts travel directly. A second peer with a card already registered is refused."""

import os
import shutil
import signal
import subprocess
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netlan  # noqa: E402

BUILD_BIN = None
PEER = None
RELAY = None
RELAY_IP = "192.0.2.1"


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

    def start_relay(self):
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

    def wait_log(self, text, timeout=5.0):
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
