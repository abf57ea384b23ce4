"""A headless sway (pixman renderer, no input devices) with Xwayland, run as an unprivileged user
inside the suite's private network namespace, with a private copy of the program. Keys and
clicks go through jv-wlinput (one virtual keyboard and pointer), screenshots through grim, and the
windows are read from `swaymsg -t get_tree`. Everything started here is ended here, by id."""

import json
import os
import pwd
import shutil
import subprocess
import tempfile
import time

from harness import copy_program, end_processes, sandbox_env, wait_until

WIDTH, HEIGHT = 1280, 800
# Where a terminal is put when it must cover the desktop text's top-right corner, or stay clear
# of it.
TERMINAL_SIZE = (440, 260)


def unprivileged_prefix():
    """sway is meant for a user's session: as root, every process of the session runs as nobody."""
    if os.geteuid() != 0:
        return [], None
    user = pwd.getpwnam("nobody")
    return ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}", "--clear-groups"], user


class Sway:
    def __init__(self, binary_dir, wlinput, platform):
        self.prefix, user = unprivileged_prefix()
        self.root = tempfile.mkdtemp(prefix="jv-sway-")
        os.chmod(self.root, 0o755)
        self.app_dir = os.path.join(self.root, "app")
        copy_program(binary_dir, self.app_dir)
        self.exe = os.path.join(self.app_dir, "jotvane")
        self.wlinput_exe = os.path.join(self.root, "jv-wlinput")
        shutil.copy(wlinput, self.wlinput_exe)
        self.platform = platform
        self.processes = []
        self.logs = []
        self.env = sandbox_env(self.root, platform)
        self.env.update({"WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1"})
        self.config = os.path.join(self.root, "sway.config")
        with open(self.config, "w", encoding="utf-8") as f:
            f.write(self.sway_config())
        self.user = user
        self.hand_over(self.root)
        # JV_SWAY_DEBUG=1 writes sway's debug log into the session's sway.log.
        debug = ["-d"] if os.environ.get("JV_SWAY_DEBUG") else []
        self.sway = self._spawn(["sway", "-c", self.config] + debug, "sway")
        runtime = self.env["XDG_RUNTIME_DIR"]

        def ipc_socket():
            names = [n for n in os.listdir(runtime) if n.startswith("sway-ipc.") and n.endswith(".sock")]
            return os.path.join(runtime, names[0]) if names else None

        socket = wait_until(lambda: os.path.exists(os.path.join(runtime, "wayland-1")) and ipc_socket(), 30)
        if not socket or self.sway.poll() is not None:
            raise RuntimeError("sway did not start: " + self.log("sway"))
        self.env["SWAYSOCK"] = ipc_socket()
        self.env["WAYLAND_DISPLAY"] = "wayland-1"
        wait_until(lambda: self.outputs(), 10)
        # Xwayland runs for the session; sway names its display to the programs it starts.
        env_file = os.path.join(self.root, "tmp", "sway.env")
        self.msg("exec", f"env > {env_file}")

        def named_display():
            if not os.path.exists(env_file):
                return None
            with open(env_file, encoding="utf-8") as f:
                return next((line.strip().split("=", 1)[1] for line in f if line.startswith("DISPLAY=")), None)

        display = wait_until(named_display, 15)
        if not display:
            raise RuntimeError("sway names no Xwayland display: " + self.log("sway"))
        self.env["DISPLAY"] = display
        self.input = subprocess.Popen(self.prefix + [self.wlinput_exe], env=self.env, stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, text=True, cwd=self.root)
        self.processes.append(self.input)
        if self.input.stdout.readline().strip() != "ready":
            raise RuntimeError("the virtual keyboard and pointer are not there")

    def sway_config(self):
        program = f"env QT_QPA_PLATFORM={self.platform} {self.exe}"
        return "\n".join([
            f"output HEADLESS-1 resolution {WIDTH}x{HEIGHT} position 0 0",
            "xwayland enable",
            "focus_follows_mouse no",
            "default_border none",
            "default_floating_border none",
            # A terminal the user works in, floating so that its place can be chosen.
            "for_window [app_id=\"foot\"] floating enable",
            f"bindsym Mod4+j exec {program} --toggle",
            f"bindsym Mod4+Shift+s exec {program} --show",
            "",
        ])

    # -- processes ---------------------------------------------------------------------------

    def _spawn(self, argv, name, env=None):
        log = open(os.path.join(self.root, name + ".log"), "ab")
        self.logs.append(log)
        process = subprocess.Popen(self.prefix + list(argv), env=env or self.env, stdout=log,
                                   stderr=subprocess.STDOUT, cwd=self.root)
        self.processes.append(process)
        return process

    def hand_over(self, folder):
        """Gives the session's user what the suite wrote into folder."""
        if not self.user:
            return
        for parent, _, files in os.walk(folder):
            for name in [parent] + [os.path.join(parent, n) for n in files]:
                os.chown(name, self.user.pw_uid, self.user.pw_gid)

    def log(self, name):
        try:
            with open(os.path.join(self.root, name + ".log"), encoding="utf-8", errors="replace") as f:
                return f.read()[-3000:]
        except OSError:
            return ""

    def start(self, *arguments):
        return self._spawn([self.exe, *arguments], "jotvane")

    def terminal(self, *command):
        """A foot terminal running command (a shell without one), focused, and its node once sway
        maps it."""
        self._spawn(["foot", "-o", "colors.background=000000"] + list(command or ["sh"]), "foot")
        return wait_until(lambda: self.node(app_id="foot"), 20)

    def close(self):
        if self.input.poll() is None:
            self.input.stdin.close()
        # The program ends before its compositor, so that it writes its files.
        end_processes([p for p in self.processes if p is not self.sway], [])
        end_processes([self.sway], self.logs)
        shutil.rmtree(self.root, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.app_dir, *parts)

    # -- sway --------------------------------------------------------------------------------

    def msg(self, *command, kind=None):
        argv = ["swaymsg", "-r"] + (["-t", kind] if kind else []) + list(command)
        result = subprocess.run(self.prefix + argv, env=self.env, capture_output=True, text=True, timeout=20)
        try:
            return json.loads(result.stdout) if result.stdout.strip() else None
        except json.JSONDecodeError:
            return None

    def outputs(self):
        return self.msg(kind="get_outputs")

    def windows(self):
        """Every window sway manages, tiled or floating: (node) dicts."""
        found = []

        def walk(node):
            if node.get("type") in ("con", "floating_con") and not node.get("nodes") and node.get("pid"):
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)

        tree = self.msg(kind="get_tree")
        if tree:
            walk(tree)
        return found

    @staticmethod
    def is_program(node):
        props = node.get("window_properties") or {}
        return node.get("app_id") == "jotvane" or props.get("instance") == "jotvane"

    def node(self, name=None, app_id=None):
        for n in self.windows():
            if (name is None or n.get("name") == name) and (app_id is None or n.get("app_id") == app_id):
                return n
        return None

    def program_windows(self):
        return [n for n in self.windows() if self.is_program(n)]

    def main_window(self):
        return next((n for n in self.program_windows() if n.get("name") == "Jotvane"), None)

    def focused(self):
        return next((n for n in self.windows() if n.get("focused")), None)

    def wait_focused(self, predicate, timeout=15):
        return wait_until(lambda: (lambda f: f if f and predicate(f) else None)(self.focused()), timeout)

    # -- input and pictures --------------------------------------------------------------------

    def _input(self, line):
        self.input.stdin.write(line + "\n")
        self.input.stdin.flush()
        answer = self.input.stdout.readline().strip()
        if answer != "ok":
            raise RuntimeError(f"{line}: {answer}")

    def key(self, combo):
        self._input("key " + combo)

    def click(self, x, y):
        self._input(f"click {x} {y} {WIDTH} {HEIGHT}")

    def screenshot(self):
        """The output as (width, height, rgb bytes)."""
        target = os.path.join(self.root, "tmp", "shot.ppm")
        subprocess.run(self.prefix + ["grim", "-t", "ppm", target], env=self.env, check=True, timeout=30)
        with open(target, "rb") as f:
            data = f.read()
        parts = data.split(maxsplit=4)
        width, height = int(parts[1]), int(parts[2])
        return width, height, parts[4][-width * height * 3:]

    def grim(self, target):
        """A PNG of the output at target, for a person to look at."""
        shot = os.path.join(self.root, "tmp", "shot.png")
        subprocess.run(self.prefix + ["grim", shot], env=self.env, check=True, timeout=30)
        shutil.copy(shot, target)

    def count_colour(self, rgb, box, tolerance=40):
        """Pixels of about that colour within (x, y, w, h)."""
        width, _, pixels = self.screenshot()
        x0, y0, w, h = box
        count = 0
        for y in range(y0, y0 + h):
            row = pixels[(y * width + x0) * 3:(y * width + x0 + w) * 3]
            for i in range(0, len(row), 3):
                if (abs(row[i] - rgb[0]) <= tolerance and abs(row[i + 1] - rgb[1]) <= tolerance
                        and abs(row[i + 2] - rgb[2]) <= tolerance):
                    count += 1
        return count

    def wait_colour(self, rgb, box, present=True, timeout=20):
        return wait_until(lambda: (self.count_colour(rgb, box) > 0) == present, timeout, interval=0.3)


def wait_gone(predicate, timeout=15):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if not predicate():
            return True
        time.sleep(0.05)
    return not predicate()
