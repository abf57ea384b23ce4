"""The Debian package: packed from the built programs, unpacked into a temporary root, started
as an installed copy with a fresh HOME. Its user files go to $XDG_DATA_HOME/Jotvane/ and the
unpacked tree stays untouched, while a portable copy in a writable folder keeps its files beside
itself. Set JV_INSTALL_SHOTS to a folder to keep screenshots of the tray and the About window."""

import fnmatch
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

import harness
from harness import SessionTest, wait_until
from desktop_helpers import desk_window

EXPECTED_FILES = [
    "./usr/bin/jotvane",
    "./usr/bin/jotvane-relay",
    # A private folder of the architecture's library folder: no loader cache, no ldconfig.
    "./usr/lib/*-linux-gnu/jotvane/libjotvanehook.so",
    "./usr/share/jotvane/Readme.txt",
    "./usr/share/jotvane/installed",
    "./usr/share/applications/jotvane.desktop",
    "./usr/share/icons/hicolor/scalable/apps/jotvane.svg",
    "./usr/share/icons/hicolor/48x48/apps/jotvane.png",
    "./usr/share/icons/hicolor/256x256/apps/jotvane.png",
    "./usr/lib/systemd/system/jotvane-relay.service",
    "./usr/share/doc/jotvane/copyright",
    "./usr/share/doc/jotvane/changelog.gz",
    "./usr/share/man/man1/jotvane.1.gz",
    "./usr/share/man/man8/jotvane-relay.8.gz",
]


def snapshot(root):
    """Every entry below root with its size and modification time."""
    found = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            info = os.lstat(path)
            found[os.path.relpath(path, root)] = (info.st_size, info.st_mtime_ns)
    return found


class Package(SessionTest):
    TRAY = True
    PACKAGE = None  # (deb path, temp folder), built once for the suite

    @classmethod
    def build_package(cls):
        if cls.PACKAGE is None:
            build_dir = os.path.dirname(os.path.abspath(cls.BINARY_DIR))
            folder = tempfile.mkdtemp(prefix="jv-pkg-")
            result = subprocess.run(["cpack", "--config", os.path.join(build_dir, "CPackConfig.cmake"),
                                     "-B", folder], capture_output=True, text=True, timeout=240)
            debs = [name for name in os.listdir(folder) if name.endswith(".deb")]
            if result.returncode != 0 or len(debs) != 1:
                raise AssertionError("cpack failed:\n" + result.stdout + result.stderr)
            cls.PACKAGE = (os.path.join(folder, debs[0]), folder)
        return cls.PACKAGE[0]

    @classmethod
    def tearDownClass(cls):
        if cls.PACKAGE:
            shutil.rmtree(cls.PACKAGE[1], ignore_errors=True)

    def shot(self, name):
        folder = os.environ.get("JV_INSTALL_SHOTS")
        if folder:
            os.makedirs(folder, exist_ok=True)
            self.session.screenshot(os.path.join(folder, name))

    def start_and_hide(self, exe):
        """Starts exe shown, hides it with Esc (which writes the pages) and returns the process."""
        s = self.session
        process = s.start_other([exe], name=os.path.basename(os.path.dirname(exe)) + "-jotvane")
        self.assertTrue(s.wait_running(process), "the program starts")
        windows = s.wait_window()
        self.assertTrue(windows, "the note window shows")
        self.assertTrue(s.activate(windows[0]))
        return process, windows[0]

    def escape(self, window):
        s = self.session
        self.assertTrue(s.activate(window))
        s.key("Escape")
        self.assertTrue(s.wait_hidden(), "Esc hides the window to the tray")

    def test_the_unpacked_package_keeps_user_files_in_xdg_data_and_a_portable_copy_beside_itself(self):
        s = self.session
        deb = self.build_package()
        listing = subprocess.run(["dpkg-deb", "-c", deb], capture_output=True, text=True, check=True).stdout
        print("package files of " + os.path.basename(deb) + ":\n" + listing, file=sys.stderr)
        listed = {line.split()[-1] for line in listing.splitlines() if line.strip()}
        for expected in EXPECTED_FILES:
            self.assertTrue(fnmatch.filter(listed, expected), expected + " is in the package")
        # Debian's checker reports no error and no warning.
        lint = subprocess.run(["lintian", "--tag-display-limit", "0", deb],
                              capture_output=True, text=True, timeout=240)
        reports = [line for line in lint.stdout.splitlines() if line[:2] in ("E:", "W:")]
        self.assertEqual((lint.returncode, reports), (0, []), lint.stdout + lint.stderr)
        control = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], capture_output=True, text=True).stdout
        self.assertIn("libqt6widgets6", control, "the run-time dependencies are computed")
        for loaded_later in ("libcurl4", "libasound2"):
            self.assertIn(loaded_later, control, "libraries loaded at run time are declared")

        root = os.path.join(s.root, "unpacked")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        validate = subprocess.run(["desktop-file-validate",
                                   os.path.join(root, "usr/share/applications/jotvane.desktop")],
                                  capture_output=True, text=True)
        self.assertEqual((validate.returncode, validate.stdout + validate.stderr), (0, ""))

        # The installed copy: its pages and settings go to the user's data folder.
        before = snapshot(root)
        data = os.path.join(s.env["XDG_DATA_HOME"], "Jotvane")
        # With the desktop text on, the installed program finds its hook library in its private folder.
        os.makedirs(data)
        with open(os.path.join(data, "Config.ini"), "w", encoding="utf-8", newline="") as f:
            f.write("[Desktop]\r\nOnDesktop=True\r\n")
        process, window = self.start_and_hide(os.path.join(root, "usr/bin/jotvane"))
        self.assertTrue(wait_until(lambda: desk_window(s), 30), "the desktop text shows")
        self.shot("installed-window.png")
        s.key("alt+h")
        s.key("a")
        about = s.wait_window(name="^关于$")
        self.assertTrue(about, "the About window opens")
        self.shot("installed-about.png")
        s.activate(about[0])
        s.key("Return")
        self.assertTrue(wait_until(lambda: not s.windows(name="^关于$"), 30))
        self.escape(window)
        pages = os.path.join(data, "Data")
        self.assertTrue(wait_until(lambda: os.path.isdir(pages) and os.listdir(pages), 30),
                        "the page files are written under $XDG_DATA_HOME/Jotvane/Data/")
        self.shot("installed-tray.png")
        self.assertEqual(s.stop(process), 0)
        self.assertTrue(os.path.isfile(os.path.join(data, "Config.ini")))
        self.assertEqual(snapshot(root), before, "nothing is written into the installed tree")

        # The portable copy (the runnable tree copied into a writable folder) keeps its files.
        data_before = snapshot(data)
        process, window = self.start_and_hide(s.exe)
        self.escape(window)
        self.assertTrue(wait_until(lambda: s.pages(), 30), "the portable copy writes Data/ beside itself")
        self.assertEqual(s.stop(process), 0)
        self.assertTrue(os.path.isfile(s.path("Config.ini")))
        self.assertEqual(snapshot(data), data_before, "the portable copy leaves the user's data folder alone")


if __name__ == "__main__":
    for tool in ("cpack", "dpkg-deb", "desktop-file-validate", "lintian"):
        if shutil.which(tool) is None:
            print(f"e2e: {tool} is not installed; skipping", file=sys.stderr)
            sys.exit(harness.SKIP)
    harness.main()
