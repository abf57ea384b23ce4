"""End-to-end harness: the real binary, copied into a temporary folder that is its AppDir, with
its own HOME, XDG folders and TMPDIR, under Xvfb with a window manager, inside a private network
namespace, driven with xdotool. Everything started here is ended here, by process id."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

SKIP = 77  # CTest's SKIP_RETURN_CODE for this suite


def in_private_network():
    """Re-runs this script inside `unshare -n` unless it already runs there."""
    if os.environ.get("JV_E2E_NETNS") == "1":
        subprocess.run(["ip", "link", "set", "lo", "up"], check=False)
        return
    if shutil.which("unshare") is None:
        print("e2e: unshare is not installed; skipping", file=sys.stderr)
        sys.exit(SKIP)
    probe = subprocess.run(["unshare", "-n", "true"], capture_output=True)
    if probe.returncode != 0:
        print("e2e: no private network namespace here (needs root or user namespaces); skipping",
              file=sys.stderr)
        sys.exit(SKIP)
    env = dict(os.environ, JV_E2E_NETNS="1")
    result = subprocess.run(["unshare", "-n", sys.executable] + sys.argv, env=env)
    sys.exit(result.returncode)


def wait_until(predicate, timeout=10.0, interval=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return predicate()


def free_display():
    for number in range(90, 400):
        if not os.path.exists(f"/tmp/.X11-unix/X{number}") and not os.path.exists(f"/tmp/.X{number}-lock"):
            return number
    raise RuntimeError("no free X display number")


class Session:
    """One desktop: Xvfb, openbox (and optionally a tray host), and a private copy of the program."""

    def __init__(self, binary_dir, tray=False, width=1280, height=800):
        self.root = tempfile.mkdtemp(prefix="jv-e2e-")
        self.app_dir = os.path.join(self.root, "app")
        shutil.copytree(binary_dir, self.app_dir, ignore=shutil.ignore_patterns("Data", "*.ini", "chat*.txt"))
        self.exe = os.path.join(self.app_dir, "jotvane")
        self.processes = []
        self.logs = []
        home = os.path.join(self.root, "home")
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local/share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "XDG_RUNTIME_DIR": os.path.join(self.root, "runtime"),
            "TMPDIR": os.path.join(self.root, "tmp"),
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "QT_QPA_PLATFORM": "xcb",
            # No session bus of the user's and no system bus: nothing leaves the sandbox.
            "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(self.root, "no-session-bus"),
            "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + os.path.join(self.root, "no-system-bus"),
        }
        for key in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "TMPDIR"):
            os.makedirs(self.env[key], exist_ok=True)
        os.chmod(self.env["XDG_RUNTIME_DIR"], 0o700)
        self.display = free_display()
        self.env["DISPLAY"] = f":{self.display}"
        self._spawn(["Xvfb", self.env["DISPLAY"], "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp"],
                    name="xvfb")
        if not wait_until(lambda: os.path.exists(f"/tmp/.X11-unix/X{self.display}"), 10):
            raise RuntimeError("Xvfb did not start")
        self._spawn(["openbox", "--sm-disable"], name="openbox")
        wait_until(lambda: self.xprop_root("_NET_SUPPORTING_WM_CHECK"), 5)
        if tray:
            self._spawn(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                         "--height", "24", "--SetDockType", "true"], name="trayer")
            wait_until(lambda: self.xprop_root("_NET_SYSTEM_TRAY") or self.tray_owner(), 5)

    # -- processes ---------------------------------------------------------------------------

    def _spawn(self, argv, name, env=None):
        log = open(os.path.join(self.root, name + ".log"), "ab")
        self.logs.append(log)
        process = subprocess.Popen(argv, env=env or self.env, stdout=log, stderr=subprocess.STDOUT,
                                   cwd=self.root)
        self.processes.append(process)
        return process

    def start(self, *arguments):
        """Starts the program copy with arguments and returns its process."""
        return self._spawn([self.exe, *arguments], name="jotvane")

    def run(self, *arguments, timeout=20):
        """Starts a copy and waits for it to end; returns its exit code."""
        process = self.start(*arguments)
        return process.wait(timeout=timeout)

    def instance_socket(self):
        return os.path.join(self.env["XDG_RUNTIME_DIR"], f"jotvane-{os.getuid()}.sock")

    def wait_running(self, process, timeout=15):
        """Waits until the program's main window exists (it then listens on its socket)."""
        ok = wait_until(lambda: process.poll() is not None or os.path.exists(self.instance_socket()), timeout)
        return ok and process.poll() is None

    def handles_signal(self, process, sig):
        """Whether the process has a handler of its own for sig (SigCgt in /proc/<pid>/status)."""
        try:
            with open(f"/proc/{process.pid}/status") as f:
                for line in f:
                    if line.startswith("SigCgt:"):
                        return bool(int(line.split()[1], 16) & (1 << (sig - 1)))
        except OSError:
            pass
        return False

    def stop(self, process, sig=signal.SIGTERM, timeout=15):
        """Ends the program with sig and returns its exit code. SIGTERM and SIGHUP are sent once
        the program has its handler for them: it installs it only after building its window, and
        a signal before that would end it without saving."""
        if process.poll() is None:
            if sig in (signal.SIGTERM, signal.SIGHUP):
                wait_until(lambda: process.poll() is not None or self.handles_signal(process, sig), timeout)
            if process.poll() is None:
                process.send_signal(sig)
        return process.wait(timeout=timeout)

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        for log in self.logs:
            log.close()
        shutil.rmtree(self.root, ignore_errors=True)

    # -- X11 ---------------------------------------------------------------------------------

    def tool(self, *argv, check=False):
        result = subprocess.run(list(argv), env=self.env, capture_output=True, text=True, timeout=20)
        if check and result.returncode != 0:
            raise RuntimeError(f"{argv} failed: {result.stderr}")
        return result.stdout.strip()

    def xprop_root(self, atom):
        out = self.tool("xprop", "-root", atom)
        return "not found" not in out and "no such atom" not in out and out != ""

    def tray_owner(self):
        return "_NET_SYSTEM_TRAY_S0" in self.tool("xprop", "-root")

    def windows(self, name="^Jotvane$", visible=True):
        argv = ["xdotool", "search"]
        if visible:
            argv.append("--onlyvisible")
        argv += ["--name", name]
        out = self.tool(*argv)
        return [int(w) for w in out.split()] if out else []

    def wait_window(self, name="^Jotvane$", visible=True, timeout=10):
        return wait_until(lambda: self.windows(name, visible), timeout)

    def active_window(self):
        out = self.tool("xdotool", "getactivewindow")
        return int(out) if out.isdigit() else None

    def key(self, *keys, window=None):
        argv = ["xdotool", "key", "--clearmodifiers"]
        if window:
            argv += ["--window", str(window)]
        self.tool(*argv, *keys, check=True)

    def focus(self, window):
        self.tool("xdotool", "windowactivate", "--sync", str(window))

    def screenshot(self, path):
        self.tool("import", "-display", self.env["DISPLAY"], "-window", "root", path, check=True)

    def wait_hidden(self, name="^Jotvane$", timeout=5):
        return wait_until(lambda: not self.windows(name), timeout)

    def type_text(self, text, delay_ms=20):
        """Types text into the focused window, one key at a time (XTEST, like a user)."""
        self.tool("xdotool", "type", "--delay", str(delay_ms), text, check=True)

    def geometry(self, window):
        """(x, y, width, height) of a window's client area in root coordinates.

        xwininfo rather than `xdotool getwindowgeometry`: under a reparenting window manager the
        latter adds the client's offset inside its frame once more."""
        out = self.tool("xwininfo", "-id", str(window))
        fields = {}
        for line in out.splitlines():
            name, _, value = line.strip().partition(":")
            if name in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
                fields[name] = int(value)
        return (fields["Absolute upper-left X"], fields["Absolute upper-left Y"], fields["Width"],
                fields["Height"])

    def frame_extents(self, window):
        """(left, right, top, bottom) of the window manager's frame around a client window."""
        out = self.tool("xprop", "-id", str(window), "_NET_FRAME_EXTENTS")
        numbers = [int(n) for n in out.partition("=")[2].replace(",", " ").split()]
        return tuple(numbers) if len(numbers) == 4 else (0, 0, 0, 0)

    def work_area(self):
        """(x, y, width, height) of the first desktop's work area, as the window manager says."""
        out = self.tool("xprop", "-root", "_NET_WORKAREA")
        numbers = [int(n) for n in out.partition("=")[2].replace(",", " ").split()]
        return tuple(numbers[:4])

    def window_types(self, window):
        return self.tool("xprop", "-id", str(window), "_NET_WM_WINDOW_TYPE")

    def balloons(self):
        """The program's visible tooltip-type windows: the tray balloon, while it shows."""
        out = self.tool("xdotool", "search", "--onlyvisible", "--classname", "^jotvane$")
        found = [int(w) for w in out.split()] if out else []
        return [w for w in found if "_NET_WM_WINDOW_TYPE_TOOLTIP" in self.window_types(w)]

    def drag(self, window, start, end, step=6, pause=0.02):
        """Presses the left button at start (window coordinates), moves to end in small steps
        and releases it there."""
        (x0, y0), (x1, y1) = start, end
        self.tool("xdotool", "mousemove", "--window", str(window), str(x0), str(y0), check=True)
        self.tool("xdotool", "mousedown", "1", check=True)
        distance = max(abs(x1 - x0), abs(y1 - y0))
        count = max(1, distance // step)
        for i in range(1, count + 1):
            x = x0 + (x1 - x0) * i // count
            y = y0 + (y1 - y0) * i // count
            self.tool("xdotool", "mousemove", "--window", str(window), str(x), str(y), check=True)
            time.sleep(pause)
        self.tool("xdotool", "mouseup", "1", check=True)

    # -- files -------------------------------------------------------------------------------

    def path(self, *parts):
        return os.path.join(self.app_dir, *parts)

    def pages(self):
        """The page files, in the order of their key lines: a list of Page."""
        folder = self.path("Data")
        if not os.path.isdir(folder):
            return []
        found = [read_page(os.path.join(folder, name)) for name in os.listdir(folder)
                 if name.lower().endswith(".txt")]
        return sorted(found, key=lambda page: int(page.key) if page.key.lstrip("-").isdigit() else 1 << 30)

    def seed_pages(self, titles_and_texts):
        """Writes page files with the keys 0, 1, ... in the program's own format; returns their names."""
        folder = self.path("Data")
        os.makedirs(folder, exist_ok=True)
        names = []
        for key, (title, text) in enumerate(titles_and_texts):
            name = f"page{key}.txt"
            write_page(os.path.join(folder, name), key, title, text)
            names.append(name)
        return names


def utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


def read_text(path):
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8")
    return data.decode("gb18030")


class Page:
    """One page file: its name, key line, title and text lines (the text as the program joins it)."""

    def __init__(self, name, key, title, text):
        self.name, self.key, self.title, self.text = name, key, title, text

    def __repr__(self):
        return f"Page({self.name!r}, key={self.key!r}, title={self.title!r}, text={self.text!r})"


def read_page(path):
    lines = read_text(path).split("\r\n")
    key = lines[0] if lines else ""
    title = lines[1] if len(lines) > 1 else ""
    return Page(os.path.basename(path), key, title, "\r\n".join(lines[3:]))


def write_page(path, key, title, text):
    body = "".join(line + "\r\n" for line in text.split("\n")) if text else ""
    with open(path, "wb") as f:
        f.write(utf16(f"{key}\r\n{title}\r\n\r\n{body}"))


def read_ini(path):
    """A settings file as [(section, [line, ...]), ...] in file order; blank lines left out."""
    sections = []
    for line in read_text(path).split("\r\n"):
        if line.startswith("[") and line.endswith("]"):
            sections.append((line[1:-1], []))
        elif line and sections:
            sections[-1][1].append(line)
    return sections


def ini_value(path, section, key):
    """The value of section/key in a settings file, or None."""
    for name, lines in read_ini(path):
        if name.lower() == section.lower():
            for line in lines:
                k, sep, v = line.partition("=")
                if sep and k.lower() == key.lower():
                    return v
    return None


class SessionTest(unittest.TestCase):
    """A test case with a fresh desktop session; BINARY_DIR is set by main()."""

    BINARY_DIR = None
    TRAY = False

    def setUp(self):
        self.session = Session(self.BINARY_DIR, tray=self.TRAY)
        self.addCleanup(self.session.close)


def main():
    if len(sys.argv) < 2:
        print("usage: test_x.py <binary dir> [unittest arguments]", file=sys.stderr)
        sys.exit(2)
    for tool in ("Xvfb", "openbox", "xdotool", "xprop"):
        if shutil.which(tool) is None:
            print(f"e2e: {tool} is not installed; skipping", file=sys.stderr)
            sys.exit(SKIP)
    in_private_network()
    SessionTest.BINARY_DIR = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
