"""A private test LAN of network namespaces for the messenger suites and benchmark.

Every namespace, bridge, veth pair and address lives inside namespaces created here (named with
this process's id), so no datagram can reach a real network. Processes started here are ended
here by their id, and the namespaces are deleted on close."""

import json
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import wait_until  # noqa: E402

SKIP = 77


def require_namespaces():
    """Exits with the skip code unless `ip netns` and nftables work here (root needed)."""
    if shutil.which("ip") is None:
        print("netlan: iproute2 is not installed; skipping", file=sys.stderr)
        sys.exit(SKIP)
    name = f"jvprobe{os.getpid()}"
    probe = subprocess.run(["ip", "netns", "add", name], capture_output=True)
    if probe.returncode != 0:
        print("netlan: cannot create network namespaces here (needs root); skipping", file=sys.stderr)
        sys.exit(SKIP)
    subprocess.run(["ip", "netns", "del", name], capture_output=True)



def built_tool(suite, name):
    """The program tree named as the first argument (build/bin by default) and the path of the
    test program name built beside it; the suite is skipped when that is not built."""
    build_bin = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else "build/bin")
    path = os.path.join(os.path.dirname(build_bin), "tests", name)
    if not os.access(path, os.X_OK):
        print(f"{suite}: {path} is not built; skipping", file=sys.stderr)
        sys.exit(SKIP)
    return build_bin, path


def run_suite():
    """Runs the suite's tests once the namespaces are known to work."""
    require_namespaces()
    unittest.main(verbosity=2)


def run(*argv):
    subprocess.run(list(argv), check=True, capture_output=True)


class NetLab:
    def __init__(self, tag="lan"):
        self.prefix = f"jv{tag}{os.getpid()}"
        self.namespaces = []
        self.processes = []
        self.port_counter = {}
        self.attached = {}  # switch -> [(host, ifname, address, mac)]
        self.tmp = tempfile.mkdtemp(prefix=f"{self.prefix}-")

    # --- topology -------------------------------------------------------------------------
    def ns(self, name):
        return f"{self.prefix}-{name}"

    def add_namespace(self, name):
        full = self.ns(name)
        run("ip", "netns", "add", full)
        self.namespaces.append(full)
        run("ip", "-n", full, "link", "set", "lo", "up")
        return full

    def add_bridge(self, namespace, bridge="br0", address=None):
        full = self.ns(namespace)
        run("ip", "-n", full, "link", "add", bridge, "type", "bridge")
        run("ip", "-n", full, "link", "set", bridge, "up")
        if address:
            run("ip", "-n", full, "addr", "add", address, "dev", bridge)

    def attach(self, host, switch, address, mac=None, ifname="eth0", bridge="br0", gateway=None):
        """Joins host's interface ifname to the bridge in namespace switch by a veth pair. The
        default route goes via gateway, or out of the interface when gateway is None (False: none)."""
        index = self.port_counter.get(switch, 0)
        self.port_counter[switch] = index + 1
        port = f"p{index}"
        hfull, sfull = self.ns(host), self.ns(switch)
        run("ip", "-n", sfull, "link", "add", port, "type", "veth", "peer", "name", ifname, "netns", hfull)
        run("ip", "-n", sfull, "link", "set", port, "master", bridge, "up")
        self.attached.setdefault(switch, []).append((host, ifname, address.split("/")[0], mac))
        if mac:
            run("ip", "-n", hfull, "link", "set", ifname, "address", mac)
        run("ip", "-n", hfull, "addr", "add", address, "dev", ifname)
        run("ip", "-n", hfull, "link", "set", ifname, "up")
        if gateway:
            run("ip", "-n", hfull, "route", "add", "default", "via", gateway)
        elif gateway is None:
            # Broadcasts to 255.255.255.255 need a route out of the LAN interface.
            run("ip", "-n", hfull, "route", "add", "default", "dev", ifname)
        return port

    def pin_neighbours(self, switch):
        """Permanent address entries between all hosts on a switch. The kernel's table of learnt
        entries is shared by every namespace on the machine (1,024 by default); a LAN of 50
        hosts would need 2,450 of them and then drop datagrams. Permanent entries do not count."""
        hosts = self.attached.get(switch, [])
        for host, ifname, _, _ in hosts:
            lines = "".join(f"neigh replace {ip} lladdr {mac} dev {ifname} nud permanent\n"
                            for other, _, ip, mac in hosts if other != host and mac)
            subprocess.run(["ip", "-n", self.ns(host), "-batch", "-"], input=lines.encode(), check=True,
                           capture_output=True)

    def make_nat(self, namespace, uplink):
        """Address translation from every other interface out of uplink, as a home router does.
        Datagrams from outside addressed to the router itself are dropped before the connection
        tracker keeps them, so a peer's early punch cannot take the port that the translation
        of the own side's punch needs."""
        full = self.ns(namespace)
        run("ip", "netns", "exec", full, "sysctl", "-qw", "net.ipv4.ip_forward=1")
        rules = f"""
table ip jvnat {{
    chain post {{ type nat hook postrouting priority srcnat; oifname "{uplink}" masquerade; }}
    chain input {{ type filter hook input priority filter; iifname "{uplink}" meta l4proto udp drop; }}
}}
"""
        subprocess.run(["ip", "netns", "exec", full, "nft", "-f", "-"], input=rules.encode(), check=True,
                       capture_output=True)

    # --- processes ------------------------------------------------------------------------
    def environment(self, name):
        home = os.path.join(self.tmp, "home-" + name)
        for sub in ("", ".config", ".local/share", "run", "tmp"):
            os.makedirs(os.path.join(home, sub), exist_ok=True)
        os.chmod(os.path.join(home, "run"), 0o700)
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_DATA_HOME=os.path.join(home, ".local/share"), XDG_RUNTIME_DIR=os.path.join(home, "run"),
                   TMPDIR=os.path.join(home, "tmp"), LC_ALL="C.UTF-8")
        env.pop("DISPLAY", None)
        return env, home

    def spawn(self, namespace, argv, name, **kwargs):
        env, _ = self.environment(name)
        process = subprocess.Popen(["ip", "netns", "exec", self.ns(namespace)] + list(argv), env=env, **kwargs)
        self.processes.append(process)
        return process

    def stop(self, process, sig=signal.SIGTERM, timeout=5):
        if process.poll() is None:
            process.send_signal(sig)
            try:
                process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    def close(self):
        for process in self.processes:
            try:
                self.stop(process)
            except OSError:
                pass
            for pipe in (process.stdin, process.stdout):
                if pipe is not None:
                    try:
                        pipe.close()
                    except OSError:
                        pass
        for full in reversed(self.namespaces):
            subprocess.run(["ip", "netns", "del", full], capture_output=True)
        self.namespaces = []
        shutil.rmtree(self.tmp, ignore_errors=True)


FLOOD_SCRIPT = r"""
import random, socket, sys
host, port, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(seed)
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
for _ in range(count):
    size = rng.choice([0, 1, 5, 6, 31, 58, 73, 74, 110, 2053, 2095, 8192, 8193, rng.randrange(9000)])
    data = bytearray(rng.getrandbits(8) for _ in range(size))
    if data:
        data[0] = rng.choice([0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 16, rng.randrange(256)])
    s.sendto(bytes(data), (host, port))
"""


def flood(lab, namespace, host, port, count=300, seed=1):
    """Sends random and oddly sized datagrams from a namespace to host:port."""
    subprocess.run(["ip", "netns", "exec", lab.ns(namespace), sys.executable, "-c", FLOOD_SCRIPT, host,
                    str(port), str(count), str(seed)], check=True, capture_output=True, timeout=60)


class Peer:
    """One headless messenger peer (jv_msgpeer) in a namespace, with its event lines."""

    def __init__(self, lab, namespace, binary, name, server=None, self_chat=True, extra=(), ready=True):
        """extra: more arguments for the peer; ready=False: do not wait until it is ready."""
        self.name = name
        self.lab = lab
        env, home = lab.environment(name)
        self.appdir = os.path.join(home, "app")
        os.makedirs(self.appdir, exist_ok=True)
        argv = [binary, "--dir", self.appdir, "--name", name]
        if server:
            argv += ["--server", server]
        if not self_chat:
            argv.append("--no-self")
        argv += list(extra)
        self.process = lab.spawn(namespace, argv, name, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL)
        self.lines = []  # (monotonic time, fields)
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self.ip = self.card = None
        if not ready:
            return
        wait_until(lambda: self.events("READY") or self.process.poll() is not None, 30)
        ready = self.wait_event("READY", timeout=0)
        if not ready:
            self.process.wait(5)
            self.reader.join(5)
            raise RuntimeError(f"peer {name} did not start: {self.events()}")
        self.ip, self.card = ready[1], ready[2]

    def _read(self):
        for raw in self.process.stdout:
            fields = raw.decode("utf-8", "replace").rstrip("\n").split("\t")
            with self.lock:
                self.lines.append((time.monotonic(), fields))

    def events(self, kind=None):
        with self.lock:
            return [(t, f) for t, f in self.lines if kind is None or f[0] == kind]

    def wait_event(self, kind, predicate=lambda f: True, timeout=30):
        found = wait_until(lambda: next((f for _, f in self.events(kind) if predicate(f)), None), timeout)
        return found

    def command(self, line):
        self.process.stdin.write((line + "\n").encode())
        self.process.stdin.flush()

    def rows(self):
        """The peer list as the peer holds it now: list of (name, address, card, type)."""
        with self.lock:
            mark = len(self.lines)
        self.command("list")
        end = wait_until(lambda: self._find_end(mark), 30)
        if end is None:
            raise RuntimeError(f"peer {self.name} did not list its peers")
        return end

    def _find_end(self, mark):
        with self.lock:
            tail = [f for _, f in self.lines[mark:]]
        if ["END"] not in tail:
            return None
        start = tail.index(["PEERS"])
        stop = tail.index(["END"], start)
        return [tuple(f[1:5]) for f in tail[start + 1:stop]]

    def cards_listed(self):
        return {row[2] for row in self.rows()}

    def quit(self):
        if self.process.poll() is None:
            self.command("quit")
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.lab.stop(self.process)


CAPTURE_SCRIPT = r"""
import socket, struct, sys
ETH_P_ALL = 3
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ALL))
out = open(sys.argv[1], "w", buffering=1)
print("READY", flush=True)
while True:
    frame, addr = s.recvfrom(65535)
    ifname, pkttype = addr[0], addr[2]
    # Count each frame once: as it enters the bridge from a host's port.
    if pkttype == socket.PACKET_OUTGOING or not ifname.startswith("p"):
        continue
    if len(frame) < 14 + 20 + 8 or frame[12:14] != b"\x08\x00":
        continue
    ip = frame[14:]
    ihl = (ip[0] & 15) * 4
    # Text datagrams exceed the MTU: the first fragment holds the headers, the rest are skipped.
    if ip[9] != 17 or struct.unpack("!H", ip[6:8])[0] & 0x1FFF:
        continue
    src, dst = socket.inet_ntoa(ip[12:16]), socket.inet_ntoa(ip[16:20])
    udp = ip[ihl:]
    sport, dport, length = struct.unpack("!HHH", udp[:6])
    payload = udp[8:]
    kind = payload[0] if payload else -1
    text = ""
    if kind in (10, 16):  # a text or a file offer
        field = payload[47:2095]
        text = field[:len(field) // 2 * 2].decode("utf-16-le", "replace").split("\x00")[0]
        text = text.replace("\r", "\\r").replace("\n", "\\n")  # one record per line
    out.write(f"{ifname}\t{src}\t{sport}\t{dst}\t{dport}\t{kind}\t{length - 8}\t{text}\n")
"""


class Capture:
    """Records every UDP datagram that enters a bridge, in the bridge's namespace."""

    def __init__(self, lab, namespace):
        self.path = os.path.join(lab.tmp, f"capture-{namespace}.txt")
        self.lab = lab
        self.process = lab.spawn(namespace, [sys.executable, "-c", CAPTURE_SCRIPT, self.path], "capture",
                                 stdout=subprocess.PIPE)
        if self.process.stdout.readline().strip() != b"READY":
            raise RuntimeError("capture did not start")

    def records(self):
        if not os.path.exists(self.path):
            return []
        with open(self.path, encoding="utf-8") as handle:
            rows = [line.rstrip("\n").split("\t") for line in handle if line.endswith("\n")]
        return [{"port": r[0], "src": r[1], "sport": int(r[2]), "dst": r[3], "dport": int(r[4]),
                 "kind": int(r[5]), "size": int(r[6]), "text": r[7]} for r in rows]

    def stop(self):
        self.lab.stop(self.process)


# --- datagrams written by hand, as a stranger on the LAN would ------------------------------
def _field(text, units):
    raw = text.encode("utf-16-le")[:(units - 1) * 2]
    return raw + b"\0" * (units * 2 - len(raw))


def _endpoint(address, port):
    return _field(address, 16) + struct.pack("<i", port)


def presence(kind, name, card, notify=0):
    """mkOnline (0) or mkOffline (2): 74 bytes."""
    return bytes([kind, 0, 0, 0, 0, notify]) + _field(name, 21) + _field(card, 13)


def register_reply(accepted):
    return bytes([1, 0, 0, 0, 0, accepted])


def query(card):
    return bytes([3, 0, 0, 0, 0]) + _field(card, 13)


def list_request():
    return bytes([4, 0, 0, 0, 0])


def extranet_peer(name, card, address, port, notify=1):
    return bytes([7, 0, 0, 0, 0, notify]) + _field(name, 21) + _field(card, 13) + _endpoint(address, port)


def punch_request(address, port):
    return bytes([8, 0, 0, 0, 0]) + _endpoint(address, port)


AGENT_SCRIPT = r"""
import json, socket, struct, sys, threading
lock = threading.Lock()
ports, sniffed, sent = {}, {"datagrams": 0, "bytes": 0}, {"datagrams": 0, "bytes": 0}
sockets = {}

def receive(port, s):
    while True:
        data, _ = s.recvfrom(65535)
        with lock:
            entry = ports.setdefault(port, {"datagrams": 0, "bytes": 0, "kinds": {}})
            entry["datagrams"] += 1
            entry["bytes"] += len(data)
            kind = str(data[0]) if data else "-"
            entry["kinds"][kind] = entry["kinds"].get(kind, 0) + 1

def sniff(s, source, sport):
    while True:
        frame, addr = s.recvfrom(65535)
        if addr[2] == socket.PACKET_OUTGOING or len(frame) < 42:
            continue
        ip = frame[14:]
        ihl = (ip[0] & 15) * 4
        if ip[9] != 17 or socket.inet_ntoa(ip[12:16]) != source:
            continue
        fragment = struct.unpack("!H", ip[6:8])[0] & 0x1FFF
        total = struct.unpack("!H", ip[2:4])[0]
        with lock:
            if fragment == 0:
                if struct.unpack("!H", ip[ihl:ihl + 2])[0] != sport:
                    continue
                sniffed["datagrams"] += 1
                sniffed["bytes"] += total - ihl - 8
            else:
                sniffed["bytes"] += total - ihl

def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack(f"!{len(data) // 2}H", data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF

raw = None
for line in sys.stdin:
    words = line.split()
    if not words:
        continue
    if words[0] == "bind":
        port = int(words[1])
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        s.bind(("0.0.0.0", port))
        sockets[port] = s
        threading.Thread(target=receive, args=(port, s), daemon=True).start()
    elif words[0] == "send":
        sport, host, dport, payload, count = int(words[1]), words[2], int(words[3]), bytes.fromhex(words[4]), int(words[5])
        for _ in range(count):
            sockets[sport].sendto(payload, (host, dport))
        with lock:
            sent["datagrams"] += count
            sent["bytes"] += count * len(payload)
    elif words[0] == "spoof":
        source, sport, host, dport = words[1], int(words[2]), words[3], int(words[4])
        payload, count = bytes.fromhex(words[5]), int(words[6])
        if raw is None:
            raw = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_RAW)
        udp = struct.pack("!HHHH", sport, dport, 8 + len(payload), 0) + payload
        pseudo = socket.inet_aton(source) + socket.inet_aton(host) + struct.pack("!BBH", 0, 17, len(udp))
        udp = udp[:6] + struct.pack("!H", checksum(pseudo + udp) or 0xFFFF) + udp[8:]
        header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 0, 0, 64, 17, 0,
                             socket.inet_aton(source), socket.inet_aton(host))
        for _ in range(count):
            raw.sendto(header + udp, (host, 0))
        with lock:
            sent["datagrams"] += count
            sent["bytes"] += count * len(payload)
    elif words[0] == "sniff":
        s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(0x0800))
        threading.Thread(target=sniff, args=(s, words[1], int(words[2])), daemon=True).start()
    elif words[0] == "stats":
        with lock:
            print("STATS " + json.dumps({"ports": ports, "sniffed": sniffed, "sent": sent}), flush=True)
            continue
    print("OK", flush=True)
"""


class Agent:
    """A stranger's UDP tool in a namespace: binds ports and counts what arrives there (by kind),
    sends datagrams written by hand (also with a forged source address), and counts the UDP
    payload bytes that reach this host from one address and port, whatever the destination port.
    Payload bytes are counted, without the IP and UDP headers."""

    def __init__(self, lab, namespace, name="agent"):
        self.process = lab.spawn(namespace, [sys.executable, "-u", "-c", AGENT_SCRIPT], name,
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def _do(self, line):
        self.process.stdin.write((line + "\n").encode())
        self.process.stdin.flush()
        answer = self.process.stdout.readline().decode().strip()
        if not answer:
            raise RuntimeError(f"agent ended at: {line}")
        return answer

    def bind(self, port):
        self._do(f"bind {port}")

    def send(self, payload, host, port, source_port, count=1):
        self._do(f"send {source_port} {host} {port} {payload.hex()} {count}")

    def spoof(self, payload, source, source_port, host, port, count=1):
        self._do(f"spoof {source} {source_port} {host} {port} {payload.hex()} {count}")

    def sniff(self, source, source_port):
        self._do(f"sniff {source} {source_port}")

    def stats(self):
        answer = self._do("stats")
        return json.loads(answer[len("STATS "):])

    def received(self, port, kind=None):
        entry = self.stats()["ports"].get(str(port), {"datagrams": 0, "kinds": {}})
        return entry["datagrams"] if kind is None else entry["kinds"].get(str(kind), 0)
