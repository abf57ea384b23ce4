"""Copies of the program on a private LAN of network namespaces, sharing one Xvfb: what the
messenger and hand-over suites set up alike. Each copy has its own AppDir, HOME and namespace."""

import os
import subprocess
import time

import harness
import netlan
from harness import read_text, utf16, wait_until

MESSENGER = "^Jotvane-信使$"


class Copy:
    """One copy of the program in its own folder, home and namespace, on the shared display."""

    def __init__(self, test, lab, session, name, user):
        self.name, self.user = name, user
        self.root = os.path.join(session.root, "copy-" + name)
        self.app_dir = os.path.join(self.root, "app")
        harness.copy_program(harness.SessionTest.BINARY_DIR, self.app_dir)
        self.env = dict(session.env)
        home = os.path.join(self.root, "home")
        for key, sub in (("HOME", ""), ("XDG_CONFIG_HOME", ".config"), ("XDG_DATA_HOME", ".local/share"),
                         ("XDG_CACHE_HOME", ".cache"), ("XDG_RUNTIME_DIR", "run"), ("TMPDIR", "tmp")):
            self.env[key] = os.path.join(home, sub) if sub else home
            os.makedirs(self.env[key], exist_ok=True)
        os.chmod(self.env["XDG_RUNTIME_DIR"], 0o700)
        with open(os.path.join(self.app_dir, "Config.ini"), "wb") as f:
            f.write(utf16("[Messager]\r\nMessager=True\r\nHideOnStart=False\r\n"))
        with open(os.path.join(self.app_dir, "MSGConfig.ini"), "wb") as f:
            f.write(utf16(f"[Messager]\r\nUserName={user}\r\nChatSeft=False\r\n"))
        self.session = session
        self.log = open(os.path.join(self.root, "jotvane.log"), "ab")
        self.process = subprocess.Popen(["ip", "netns", "exec", lab.ns(name), os.path.join(self.app_dir, "jotvane")],
                                        env=self.env, stdout=self.log, stderr=subprocess.STDOUT, cwd=self.root)
        test.addCleanup(self.close)

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except Exception:
                self.process.kill()
                self.process.wait()
        self.log.close()

    def pid(self):
        """The program's own process id: `ip netns exec` may run it as its child."""
        pid = self.process.pid
        try:
            if os.path.basename(os.readlink(f"/proc/{pid}/exe")) == "jotvane":
                return pid
        except OSError:
            pass
        try:
            with open(f"/proc/{pid}/task/{pid}/children") as f:
                children = f.read().split()
        except OSError:
            children = []
        return int(children[0]) if children else pid

    def windows(self, name, visible=True):
        argv = ["xdotool", "search"]
        if visible:
            argv.append("--onlyvisible")
        out = self.session.tool(*argv, "--all", "--pid", str(self.pid()), "--name", name)
        return [int(w) for w in out.split()] if out else []

    def messenger(self, timeout=30):
        found = wait_until(lambda: self.windows(MESSENGER), timeout)
        return found[0] if found else None

    def diagnosis(self):
        self.log.flush()
        with open(os.path.join(self.root, "jotvane.log"), "rb") as f:
            log = f.read()[-2000:].decode("utf-8", "replace")
        names = [(w, self.session.tool("xdotool", "getwindowname", str(w))) for w in self.windows(".*", False)]
        return f"pid {self.pid()} alive {self.process.poll() is None} windows {names} log {log}"

    def file(self, name):
        return os.path.join(self.app_dir, name)

    def chat(self):
        path = self.file("chat.txt")
        return read_text(path) if os.path.exists(path) else ""


class LanTest(harness.SessionTest):
    """A session on a LAN of HOSTS, joined by a bridge in a namespace "sw"; host i has the address
    SUBNET.(i + 1). Subclasses name the lab, the hosts, the subnet and the group of MAC addresses."""

    LAB = "lan"
    HOSTS = ("a", "b")
    SUBNET = "10.78.0"
    MAC_GROUP = 1
    # A point of the messenger's client area at its first size: the input box.
    INPUT_BOX = (200, 260)

    def setUp(self):
        self.lab = netlan.NetLab(self.LAB)
        self.addCleanup(self.lab.close)
        self.lab.add_namespace("sw")
        self.lab.add_bridge("sw")
        for index, name in enumerate(self.HOSTS, start=1):
            self.lab.add_namespace(name)
            self.lab.attach(name, "sw", f"{self.SUBNET}.{index + 1}/24",
                            mac=f"02:00:5e:00:{self.MAC_GROUP:02d}:0{index}")
        self.lab.pin_neighbours("sw")
        super().setUp()
        self.shots = os.environ.get("JV_SCREENSHOTS")

    def copy(self, name, user):
        """Starts the copy on host name with the user name user."""
        return Copy(self, self.lab, self.session, name, user)

    def address(self, host):
        return f"{self.SUBNET}.{self.HOSTS.index(host) + 2}"

    def start_pair(self, shot=None):
        """Starts B, then A (so that B holds Ctrl+Alt+D on the display), and waits until B shows
        the notice that A came online and their answers to each other have crossed the LAN:
        (a, wa, b, wb)."""
        capture = netlan.Capture(self.lab, "sw")
        self.addCleanup(capture.stop)
        b = self.copy("b", "用户B")
        wb = b.messenger()
        self.assertIsNotNone(wb, "B's messenger window shows: " + b.diagnosis())
        a = self.copy("a", "用户A")
        wa = a.messenger()
        self.assertIsNotNone(wa, "A's messenger window shows: " + a.diagnosis())
        self.assertTrue(wait_until(lambda: b.windows("^Jotvane-提示$"), 30), "B shows the online notice")
        if shot:
            self.shot(shot)

        def answered():
            pairs = {(r["src"], r["dst"]) for r in capture.records() if r["kind"] == 0}
            return {(self.address("b"), self.address("a")), (self.address("a"), self.address("b"))} <= pairs
        self.assertTrue(wait_until(answered, 30), "A and B answer each other: " + str(capture.records()))
        # Suites that watch the bridge start a capture of their own, into the same file.
        capture.stop()
        return a, wa, b, wb

    def shot(self, name):
        if self.shots:
            os.makedirs(self.shots, exist_ok=True)
            self.session.screenshot(os.path.join(self.shots, name + ".png"))

    def keys(self, window, *keys):
        self.assertTrue(self.session.activate(window, settle=0.4), f"window {window} takes the focus")
        for key in keys:
            self.session.key(key)
            time.sleep(0.15)

    def click(self, window, x, y):
        """A left click at a point of the window's client area."""
        self.session.tool("xdotool", "mousemove", "--window", str(window), str(x), str(y), "click", "1",
                          check=True)
        time.sleep(0.3)


def main():
    harness.main(prepare=netlan.require_namespaces)
