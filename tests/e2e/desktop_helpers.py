"""Helpers of the desktop-text suite: a wallpaper set the way wallpaper setters do it, root-window
screenshots as raw pixels, and the program's desktop-text window."""

import ctypes
import os

import xlib


class Wallpaper:
    """Vertical stripes of two colours as the root window's background picture: a pixmap kept
    after this connection closes, named by _XROOTPMAP_ID and set as the root's background."""

    STRIPE = 64

    def __init__(self, display_name, width, height, colours):
        lib = xlib.load()
        dpy = xlib.open_display(lib, display_name)
        root = lib.XDefaultRootWindow(dpy)
        depth = lib.XDefaultDepth(dpy, lib.XDefaultScreen(dpy))
        pixmap = lib.XCreatePixmap(dpy, root, width, height, depth)
        gc = lib.XCreateGC(dpy, pixmap, 0, None)
        for i, x in enumerate(range(0, width, self.STRIPE)):
            lib.XSetForeground(dpy, gc, colours[i % 2])
            lib.XFillRectangle(dpy, pixmap, gc, x, 0, self.STRIPE, height)
        lib.XFreeGC(dpy, gc)
        value = ctypes.c_ulong(pixmap)
        for name in (b"_XROOTPMAP_ID", b"ESETROOT_PMAP_ID"):
            lib.XChangeProperty(dpy, root, lib.XInternAtom(dpy, name, 0), 20, 32, 0, ctypes.byref(value), 1)  # PIXMAP
        lib.XSetWindowBackgroundPixmap(dpy, root, pixmap)
        lib.XClearWindow(dpy, root)
        lib.XSetCloseDownMode(dpy, 1)  # RetainPermanent: the pixmap outlives this connection
        lib.XCloseDisplay(dpy)
        self.colours = colours

    def colour_at(self, x):
        value = self.colours[(x // self.STRIPE) % 2]
        return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)


class Screenshot:
    """The root window's pixels (what is on the screen) as RGB bytes."""

    def __init__(self, session, width, height, keep_as=None):
        path = os.path.join(session.root, "shot.rgb")
        session.tool("import", "-display", session.env["DISPLAY"], "-window", "root", "-depth", "8",
                     "rgb:" + path, check=True)
        with open(path, "rb") as f:
            self.data = f.read()
        self.width, self.height = width, height
        if keep_as:
            session.tool("import", "-display", session.env["DISPLAY"], "-window", "root", keep_as, check=True)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def count(self, rect, predicate):
        x0, y0, w, h = rect
        return sum(1 for y in range(y0, y0 + h) for x in range(x0, x0 + w) if predicate(self.pixel(x, y)))

    def columns(self, rect, predicate):
        """The x of every pixel in rect that predicate accepts."""
        x0, y0, w, h = rect
        return [x for y in range(y0, y0 + h) for x in range(x0, x0 + w) if predicate(self.pixel(x, y))]


def white(colour):
    return all(c >= 230 for c in colour)


def green(colour):
    return colour[1] >= 200 and colour[0] <= 60 and colour[2] <= 60


def desk_window(session):
    """The library's window id, or 0."""
    out = session.tool("xdotool", "search", "--name", "^Jotvane desktop text$")
    return int(out.split()[0]) if out else 0



def draw_on_root(display_name, rect, colour):
    """Fills rect on the root window itself, as desktop widgets and root-window tools draw:
    whatever a child window covers is left out."""
    lib = xlib.load()
    dpy = xlib.open_display(lib, display_name)
    root = lib.XDefaultRootWindow(dpy)
    gc = lib.XCreateGC(dpy, root, 0, None)
    lib.XSetForeground(dpy, gc, colour)
    lib.XFillRectangle(dpy, root, gc, *rect)
    lib.XFreeGC(dpy, gc)
    lib.XSync(dpy, 0)
    lib.XCloseDisplay(dpy)


def rgb(value):
    return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)


def bands(rows):
    """Groups sorted row numbers into runs of neighbours: [(first, last), ...]."""
    found = []
    for y in sorted(set(rows)):
        if found and y == found[-1][1] + 1:
            found[-1] = (found[-1][0], y)
        else:
            found.append((y, y))
    return found
