"""End-to-end harness: the real binary, copied into a temporary folder that is its AppDir, with
its own HOME, XDG folders and TMPDIR, under Xvfb with a window manager, inside a private network
namespace, driven with xdotool. Everything started here is ended here, by process id."""

import ctypes
import ctypes.util
import os
import select
import shutil
import signal
import threading
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


def end_processes(processes, logs):
    """Ends processes started here, newest first (terminate, then kill), and closes their logs."""
    for process in reversed(processes):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
    for log in logs:
        log.close()


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


def claim_display():
    """A display number from 90 up that no other server uses, and the file that claims it for
    this process: (number, claim). An X server picking its own number (-displayfd) in a private
    network namespace sees neither the lock nor the listening socket of a server in another
    one, and takes display 0 again, and the socket file that the copies in the LAN's namespaces
    connect through then leads to the newest server. A claim whose process has gone is taken over."""
    for number in range(90, 400):
        if os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
            continue
        claim = f"/tmp/.jv-e2e-X{number}.claim"
        try:
            fd = os.open(claim, os.O_CREAT | os.O_EXCL | os.O_WRONLY, 0o644)
        except FileExistsError:
            try:
                with open(claim) as f:
                    owner = int(f.read().strip() or 0)
            except (OSError, ValueError):
                owner = 0
            if owner and not os.path.exists(f"/proc/{owner}"):
                try:
                    os.unlink(claim)
                except OSError:
                    pass
            continue
        os.write(fd, str(os.getpid()).encode())
        os.close(fd)
        return number, claim
    raise RuntimeError("no free X display number")


class XDisplay:
    """A small libX11 connection through ctypes: what xdotool and xprop cannot tell."""

    _lib = None
    _error_handler = None

    class _MapEvent(ctypes.Structure):
        # The leading members shared by XCreateWindowEvent, XMapEvent and XReparentEvent.
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong)]

    class _Attributes(ctypes.Structure):
        _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                    ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                    ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                    ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                    ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                    ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                    ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                    ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                    ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]

    CREATE_NOTIFY, MAP_NOTIFY, REPARENT_NOTIFY = 16, 19, 21
    SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
    IS_VIEWABLE = 2

    @classmethod
    def library(cls):
        if cls._lib is None:
            name = ctypes.util.find_library("X11")
            if not name:
                raise OSError("libX11 not found")
            lib = ctypes.CDLL(name)
            lib.XOpenDisplay.restype = ctypes.c_void_p
            lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
            lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
            lib.XDefaultRootWindow.restype = ctypes.c_ulong
            lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
            lib.XInternAtom.restype = ctypes.c_ulong
            lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
            lib.XGetSelectionOwner.restype = ctypes.c_ulong
            lib.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
            lib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
            lib.XConnectionNumber.argtypes = [ctypes.c_void_p]
            lib.XPending.argtypes = [ctypes.c_void_p]
            lib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
            lib.XFlush.argtypes = [ctypes.c_void_p]
            lib.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                       ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                       ctypes.POINTER(ctypes.c_uint)]
            lib.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
            lib.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
            lib.XFree.argtypes = [ctypes.c_void_p]
            lib.XAutoRepeatOff.argtypes = [ctypes.c_void_p]
            lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
            # Windows come and go while the tree is read: an error must not end the process.
            handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
            cls._error_handler = handler_type(lambda display, error: 0)
            lib.XSetErrorHandler.argtypes = [handler_type]
            lib.XSetErrorHandler(cls._error_handler)
            cls._lib = lib
        return cls._lib

    def __init__(self, display_name):
        self.lib = self.library()
        self.dpy = self.lib.XOpenDisplay(display_name.encode())
        if not self.dpy:
            raise OSError(f"cannot open display {display_name}")
        self.root = self.lib.XDefaultRootWindow(self.dpy)

    def close(self):
        if self.dpy:
            self.lib.XCloseDisplay(self.dpy)
            self.dpy = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def auto_repeat_off(self):
        """Keys held down no longer repeat on this server."""
        self.lib.XAutoRepeatOff(self.dpy)
        self.lib.XSync(self.dpy, 0)

    def selection_owner(self, selection):
        return self.lib.XGetSelectionOwner(self.dpy, self.lib.XInternAtom(self.dpy, selection.encode(), 0))

    def children(self, window):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        kids, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.lib.XQueryTree(self.dpy, window, ctypes.byref(root), ctypes.byref(parent), ctypes.byref(kids),
                                   ctypes.byref(count)):
            return []
        result = [kids[i] for i in range(count.value)]
        if kids:
            self.lib.XFree(kids)
        return result

    def name(self, window):
        text = ctypes.c_char_p()
        if not self.lib.XFetchName(self.dpy, window, ctypes.byref(text)) or not text.value:
            return None
        value = text.value.decode("latin-1")
        self.lib.XFree(text)
        return value

    def viewable(self, window):
        attributes = self._Attributes()
        if not self.lib.XGetWindowAttributes(self.dpy, window, ctypes.byref(attributes)):
            return False
        return attributes.map_state == self.IS_VIEWABLE

    def find_viewable(self, name, depth=2):
        """A viewable window named name among the root's children and their children (a window
        manager's frames hold the clients), or 0."""
        level = [self.root]
        for _ in range(depth):
            following = []
            for parent in level:
                for window in self.children(parent):
                    if not self.viewable(window):
                        continue
                    if self.name(window) == name:
                        return window
                    following.append(window)
            level = following
        return 0


class MapWatcher:
    """Notes the moment a window named name becomes viewable, from the X events of the map
    (the root's and its frames' substructure), with a tree check every few milliseconds as a
    fallback. Start it before the program; `shown_at` is a time.monotonic() value or None."""

    def __init__(self, display_name, name, poll=0.005):
        self.display = XDisplay(display_name)
        self.name = name
        self.poll = poll
        self.shown_at = None
        self.window = 0
        self._stop = threading.Event()
        lib, dpy = self.display.lib, self.display.dpy
        lib.XSelectInput(dpy, self.display.root, XDisplay.SUBSTRUCTURE_NOTIFY_MASK)
        for frame in self.display.children(self.display.root):
            lib.XSelectInput(dpy, frame, XDisplay.SUBSTRUCTURE_NOTIFY_MASK)
        lib.XFlush(dpy)
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        lib, dpy = self.display.lib, self.display.dpy
        fd = lib.XConnectionNumber(dpy)
        event = (ctypes.c_long * 24)()
        header = XDisplay._MapEvent.from_buffer(event)
        while not self._stop.is_set():
            select.select([fd], [], [], self.poll)
            while lib.XPending(dpy):
                lib.XNextEvent(dpy, ctypes.byref(event))
                if header.type == XDisplay.CREATE_NOTIFY and header.event == self.display.root:
                    lib.XSelectInput(dpy, header.window, XDisplay.SUBSTRUCTURE_NOTIFY_MASK)
            window = self.display.find_viewable(self.name)
            if window:
                self.shown_at = time.monotonic()
                self.window = window
                return

    def wait(self, timeout=30):
        self._thread.join(timeout)
        return self.shown_at

    def close(self):
        self._stop.set()
        self._thread.join(5)
        self.display.close()


def copy_program(binary_dir, app_dir):
    """A private copy of the built program tree, without the pages, settings, chat log, lock or
    share folder a manual run may have left there."""
    shutil.copytree(binary_dir, app_dir,
                    ignore=shutil.ignore_patterns("Data", "*.ini", "chat*.txt", ".Jotvane.lock", "SharePath"))


def sandbox_env(root, platform):
    """The environment of a program run in the folder root: its own HOME, XDG folders and TMPDIR
    (made here), the Qt platform, and no session or system bus of the user's."""
    home = os.path.join(root, "home")
    env = {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, ".config"),
        "XDG_DATA_HOME": os.path.join(home, ".local/share"),
        "XDG_CACHE_HOME": os.path.join(home, ".cache"),
        "XDG_RUNTIME_DIR": os.path.join(root, "runtime"),
        "TMPDIR": os.path.join(root, "tmp"),
        "LANG": "C.UTF-8",
        "LC_ALL": "C.UTF-8",
        "QT_QPA_PLATFORM": platform,
        # No session bus of the user's and no system bus: nothing leaves the sandbox.
        "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(root, "no-session-bus"),
        "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + os.path.join(root, "no-system-bus"),
    }
    # A sanitizer build reads its settings (where reports go, what is suppressed) from these.
    for key in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"):
        if key in os.environ:
            env[key] = os.environ[key]
    for key in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "TMPDIR"):
        os.makedirs(env[key], exist_ok=True)
    os.chmod(env["XDG_RUNTIME_DIR"], 0o700)
    return env


class Session:
    """One desktop: Xvfb, openbox (and optionally a tray host), and a private copy of the program."""

    def __init__(self, binary_dir, tray=False, width=1280, height=800, dpi=None):
        self.root = tempfile.mkdtemp(prefix="jv-e2e-")
        self.app_dir = os.path.join(self.root, "app")
        copy_program(binary_dir, self.app_dir)
        self.exe = os.path.join(self.app_dir, "jotvane")
        self.processes = []
        self.logs = []
        self.display_claim = None
        self.env = sandbox_env(self.root, "xcb")
        self.display = self._start_xvfb(width, height, dpi)
        self.env["DISPLAY"] = f":{self.display}"
        self.window_manager = self._spawn(["openbox", "--sm-disable"], name="openbox")
        # openbox sets the check window early; the client list comes once it manages windows.
        if not wait_until(lambda: self.window_manager.poll() is not None or (
                self.xprop_root("_NET_SUPPORTING_WM_CHECK") and self.xprop_root("_NET_CLIENT_LIST")), 30) \
                or self.window_manager.poll() is not None:
            with open(os.path.join(self.root, "openbox.log"), "rb") as f:
                log = f.read()[-2000:].decode("utf-8", "replace")
            self.close()
            raise RuntimeError(f"openbox did not start: {log}")
        if tray:
            self._spawn(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                         "--height", "24", "--SetDockType", "true"], name="trayer")
            wait_until(self.tray_owner, 30)
        # xdotool presses a key and releases it a few milliseconds later; on a busy machine it
        # can be held up in between for longer than the server's repeat delay, and the key then
        # repeats: Ctrl+N opens two pages, or the N repeats alone after Ctrl went up.
        try:
            with XDisplay(self.env["DISPLAY"]) as x:
                x.auto_repeat_off()
        except OSError as error:
            print(f"e2e: keys still repeat: {error}", file=sys.stderr)

    # -- processes ---------------------------------------------------------------------------

    def _start_xvfb(self, width, height, dpi=None):
        """Starts Xvfb on a display number claimed for this session (see claim_display), and
        returns the number once the server says it is ready (-displayfd)."""
        number, self.display_claim = claim_display()
        read_end, write_end = os.pipe()
        log = open(os.path.join(self.root, "xvfb.log"), "ab")
        self.logs.append(log)
        try:
            process = subprocess.Popen(
                ["Xvfb", f":{number}", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                 "-nolisten", "tcp", "-noreset"]
                + (["-dpi", str(dpi)] if dpi else []),
                env=self.env, stdout=log, stderr=subprocess.STDOUT, cwd=self.root, pass_fds=(write_end,))
        finally:
            os.close(write_end)
        self.processes.append(process)
        text = b""
        deadline = time.monotonic() + 15
        with os.fdopen(read_end, "rb", buffering=0) as pipe:
            while not text.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([pipe], [], [], 0.1)
                if ready:
                    chunk = pipe.read(16)
                    if not chunk:
                        break
                    text += chunk
        if not text.strip().isdigit():
            raise RuntimeError("Xvfb did not start")
        return int(text.strip())

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

    def start_other(self, argv, name):
        """Starts another program on this desktop (ended with the session)."""
        return self._spawn(list(argv), name=name)

    def run(self, *arguments, timeout=30):
        """Starts a copy and waits for it to end; returns its exit code."""
        process = self.start(*arguments)
        return process.wait(timeout=timeout)

    def handled(self, *arguments, runner=(), timeout=30):
        """True once the running copy has dealt with everything that reached it before this call.
        A later start hands its request over the copy's socket and ends when the copy answers,
        which it does from its event loop, after the keys queued before (a hide writes the pages
        right after the window goes). "--hide" changes nothing on a hidden window, and a plain
        start only brings a shown one forward. runner: a command the start runs under (setpriv)."""
        process = self._spawn([*runner, self.exe, *arguments], name="jotvane-request")
        try:
            return process.wait(timeout=timeout) == 0
        except subprocess.TimeoutExpired:
            return False

    def instance_socket(self):
        return os.path.join(self.env["XDG_RUNTIME_DIR"], f"jotvane-{os.getuid()}.sock")

    def wait_running(self, process, timeout=30):
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

    def stop(self, process, sig=signal.SIGTERM, timeout=30):
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
        end_processes(self.processes, self.logs)
        shutil.rmtree(self.root, ignore_errors=True)
        if self.display_claim:
            try:
                os.unlink(self.display_claim)
            except OSError:
                pass

    # -- X11 ---------------------------------------------------------------------------------

    def tool(self, *argv, check=False, timeout=20):
        """Runs an X tool on this display and returns what it printed. A question that gets no
        answer within timeout (a busy server) answers nothing, and the caller's wait asks again;
        a command (check) that does not finish fails."""
        try:
            result = subprocess.run(list(argv), env=self.env, capture_output=True, text=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            if check:
                raise
            print(f"e2e: {argv[0]} got no answer within {timeout} s", file=sys.stderr)
            return ""
        if check and result.returncode != 0:
            raise RuntimeError(f"{argv} failed: {result.stderr}")
        return result.stdout.strip()

    def xprop_root(self, atom):
        out = self.tool("xprop", "-root", atom)
        return "not found" not in out and "no such atom" not in out and out != ""

    def tray_owner(self):
        """Whether a notification area has taken the tray selection of screen 0."""
        try:
            with XDisplay(self.env["DISPLAY"]) as x:
                return x.selection_owner("_NET_SYSTEM_TRAY_S0") != 0
        except OSError:
            # Without libX11 to ask, trayer's panel window is the best sign.
            return bool(self.tool("xdotool", "search", "--classname", "^panel$"))

    def windows(self, name="^Jotvane$", visible=True):
        argv = ["xdotool", "search"]
        if visible:
            argv.append("--onlyvisible")
        argv += ["--name", name]
        out = self.tool(*argv)
        return [int(w) for w in out.split()] if out else []

    def wait_window(self, name="^Jotvane$", visible=True, timeout=30):
        return wait_until(lambda: self.windows(name, visible), timeout)

    def window_name(self, window):
        """The title of a window, as the window manager shows it."""
        return self.tool("xdotool", "getwindowname", str(window))

    def active_window(self):
        out = self.tool("xdotool", "getactivewindow")
        return int(out) if out.isdigit() else None

    def focused_window(self):
        out = self.tool("xdotool", "getwindowfocus")
        return int(out) if out.isdigit() else None

    def activate(self, window, settle=0.3, timeout=30):
        """Brings window to the front with the keyboard focus; True when it has both.

        A busy window manager can drop a request that came while it was still managing the
        window, so the request is repeated until the window has the focus (or timeout passes).
        X reports the focus before the program has taken it: Qt applies a focus change from its
        own event queue, after the X event. A key sent right away can reach a window that does
        not yet count itself as active, so the program is given a moment to catch up."""
        def focused():
            return self.active_window() == window and self.focused_window() == window

        def attempt():
            self.tool("xdotool", "windowactivate", str(window))
            return wait_until(focused, 3)
        ok = focused() or wait_until(attempt, timeout, interval=0.2)
        if ok:
            time.sleep(settle)
        else:
            named = {w: self.window_name(w) for w in (window, self.active_window(), self.focused_window()) if w}
            print(f"e2e: window {window} did not take the focus; active {self.active_window()}, "
                  f"focused {self.focused_window()}, names {named}, window manager "
                  f"{'running' if self.window_manager.poll() is None else 'ended'}", file=sys.stderr)
        return bool(ok)

    def key(self, *keys, window=None):
        argv = ["xdotool", "key", "--clearmodifiers"]
        if window:
            argv += ["--window", str(window)]
        self.tool(*argv, *keys, check=True)

    def focus(self, window):
        """Brings window to the front with the focus, as activate does, without the pause after."""
        return self.activate(window, settle=0)

    def screenshot(self, path):
        self.tool("import", "-display", self.env["DISPLAY"], "-window", "root", path, check=True)

    def popup_menus(self):
        """The program's visible popup menus."""
        out = self.tool("xdotool", "search", "--onlyvisible", "--classname", "^jotvane$")
        found = [int(n) for n in out.split()] if out else []
        return [w for w in found if "_NET_WM_WINDOW_TYPE_POPUP_MENU" in self.window_types(w)]

    def key_until(self, window, keys, done, timeout=40):
        """Sends keys to window until done() holds, and says whether it did. A busy program can
        take the focus after X reports it, and keys that came too early are lost."""
        def attempt():
            self.activate(window)
            self.key(*keys)
            return wait_until(done, 5)
        return wait_until(attempt, timeout, interval=0.2)

    def wait_hidden(self, name="^Jotvane$", timeout=30):
        return wait_until(lambda: not self.windows(name), timeout)

    def hide_with_escape(self, window, timeout=40):
        """Esc on the note window; True once it is hidden and the program has written its pages
        (it unmaps the window first). A busy program can take the focus after X reports it, and
        an Esc that came too early is lost: it is then sent again."""
        return bool(self.key_until(window, ["Escape"], lambda: not self.windows("^Jotvane$"), timeout)
                    and self.handled("--hide"))

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
    DPI = None  # the screen's resolution, when not Xvfb's own

    def setUp(self):
        self.session = Session(self.BINARY_DIR, tray=self.TRAY, dpi=self.DPI)
        self.addCleanup(self.session.close)
        self.addCleanup(self.print_logs_on_failure)

    def print_logs_on_failure(self):
        """After a failed case, the end of every log of its session (the program's, the window
        manager's, the copies' of a LAN), before the session folder goes."""
        result = getattr(getattr(self, "_outcome", None), "result", None)
        if not result or not any(test is self for test, _ in [*result.failures, *result.errors]):
            return
        for folder, _, files in os.walk(self.session.root):
            for name in sorted(files):
                if name.endswith(".log"):
                    path = os.path.join(folder, name)
                    with open(path, "rb") as f:
                        tail = f.read()[-3000:].decode("utf-8", "replace")
                    if tail.strip():
                        print(f"--- {os.path.relpath(path, self.session.root)} ---\n{tail}", file=sys.stderr)

    def start_shown(self, *arguments):
        """Starts the program, waits for its note window and gives it the focus: (process, window)."""
        s = self.session
        process = s.start(*arguments)
        self.assertTrue(s.wait_running(process))
        windows = s.wait_window()
        self.assertTrue(windows, "the note window shows")
        self.assertTrue(s.activate(windows[0]), "the note window takes the focus")
        return process, windows[0]


def main(prepare=None):
    """Runs the suite's tests on the binary dir named first; prepare, when given, runs once the
    process is in its private network (it may exit with SKIP)."""
    if len(sys.argv) < 2:
        print("usage: test_x.py <binary dir> [unittest arguments]", file=sys.stderr)
        sys.exit(2)
    for tool in ("Xvfb", "openbox", "xdotool", "xprop"):
        if shutil.which(tool) is None:
            print(f"e2e: {tool} is not installed; skipping", file=sys.stderr)
            sys.exit(SKIP)
    in_private_network()
    if prepare:
        prepare()
    SessionTest.BINARY_DIR = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
