"""LAN discovery benchmark: starts N headless messenger peers (jv_msgpeer, default 50) one after
another on one private LAN of network namespaces, and prints how long after the last start every
peer lists all N-1 others, and how many datagrams all peers sent together, beside the figures
the protocol cannot go below: N announcements plus N*(N-1) answers, and the time the same run
took just to start the peers.

    python3 bench/messenger/lan_bench.py <build dir> [--peers N] [--rounds R]

Needs root (ip netns). Everything runs in namespaces created and removed here. Not a test: it
prints figures and judges nothing; the goal is every peer listing all others within 2 s of the
last start."""

import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import netlan  # noqa: E402


def one_round(peer_binary, count):
    lab = netlan.NetLab("bench")
    try:
        lab.add_namespace("sw")
        lab.add_bridge("sw")
        for i in range(count):
            name = f"h{i}"
            lab.add_namespace(name)
            lab.attach(name, "sw", f"10.88.{i // 200}.{i % 200 + 2}/16", mac=f"02:00:5e:10:{i // 256:02x}:{i % 256:02x}")
        lab.pin_neighbours("sw")
        peers = []
        first = time.monotonic()
        for i in range(count):
            last_start = time.monotonic()
            peers.append(netlan.Peer(lab, f"h{i}", peer_binary, f"peer{i}", self_chat=False))
        launch = last_start - first

        def complete(peer):
            cards = {}
            for t, f in peer.events("ADD"):
                cards.setdefault(f[3], t)
            return len(cards) >= count - 1 and max(cards.values())

        if not netlan.wait_until(lambda: all(complete(p) for p in peers), 30.0):
            missing = [p.name for p in peers if not complete(p)]
            counts = sorted(len({f[3] for _, f in p.events("ADD")}) for p in peers)
            raise RuntimeError(f"not every peer listed all others: {missing[:5]}... counts {counts}")
        listed = max(complete(p) for p in peers) - last_start

        sent = 0
        for p in peers:
            mark = len(p.events("SENT"))
            p.command("stats")
            netlan.wait_until(lambda p=p: len(p.events("SENT")) > mark, 5.0)
            sent += int(p.events("SENT")[-1][1][1])
        for p in peers:
            p.quit()
        return launch, max(listed, 0.0), sent
    finally:
        lab.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", help="the build folder")
    parser.add_argument("--peers", type=int, default=50)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    peer = os.path.join(os.path.abspath(args.build), "tests", "jv_msgpeer")
    if not os.access(peer, os.X_OK):
        sys.exit(f"{peer} is not built (ninja -C {args.build} jv_msgpeer)")
    netlan.require_namespaces()

    n = args.peers
    results = [one_round(peer, n) for _ in range(args.rounds)]
    launches = [r[0] for r in results]
    listed = [r[1] for r in results]
    sent = [r[2] for r in results]
    print(f"{n} peers, {args.rounds} round(s)")
    print(f"  baseline: starting the peers one after another   median {statistics.median(launches):7.3f} s")
    print(f"  all peers list all {n - 1} others, after the last start  median {statistics.median(listed):7.3f} s"
          f"  (max {max(listed):.3f} s, goal 2 s)")
    print(f"  datagrams sent in total                          median {statistics.median(sent):7.0f}"
          f"  (least possible {n} announcements + {n * (n - 1)} answers = {n + n * (n - 1)})")


if __name__ == "__main__":
    main()
