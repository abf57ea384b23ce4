"""A desktop-icons window as file managers and desktop shells make one: full screen, of type
_NET_WM_WINDOW_TYPE_DESKTOP, painted in one colour. Usage: desktop_window.py <width> <height>
<0xRRGGBB>. It prints "mapped" once the window manager has shown it and runs until ended."""

import ctypes
import os
import signal
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import xlib  # noqa: E402  (tests/e2e, beside the suites)


def main():
    width, height, colour = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3], 16)
    x = xlib.load()
    try:
        dpy = xlib.open_display(x)
    except OSError as error:
        sys.exit(str(error))
    root = x.XDefaultRootWindow(dpy)
    window = x.XCreateSimpleWindow(dpy, root, 0, 0, width, height, 0, 0, colour)
    x.XStoreName(dpy, window, b"Fake desktop")
    desktop = ctypes.c_ulong(x.XInternAtom(dpy, b"_NET_WM_WINDOW_TYPE_DESKTOP", 0))
    x.XChangeProperty(dpy, window, x.XInternAtom(dpy, b"_NET_WM_WINDOW_TYPE", 0), 4, 32, 0,  # XA_ATOM
                      ctypes.byref(desktop), 1)
    x.XSelectInput(dpy, window, 1 << 17)  # StructureNotifyMask
    x.XMapWindow(dpy, window)
    x.XFlush(dpy)
    event = (ctypes.c_long * 24)()
    while True:
        x.XNextEvent(dpy, event)
        if ctypes.c_int.from_buffer(event).value == 19:  # MapNotify
            break
    print("mapped", flush=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    while True:
        x.XNextEvent(dpy, event)


if __name__ == "__main__":
    main()
