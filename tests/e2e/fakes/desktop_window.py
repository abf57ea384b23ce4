"""A desktop-icons window as file managers and desktop shells make one: full screen, of type
_NET_WM_WINDOW_TYPE_DESKTOP, painted in one colour. Usage: desktop_window.py <width> <height>
<0xRRGGBB>. It prints "mapped" once the window manager has shown it and runs until ended."""

import ctypes
import ctypes.util
import signal
import sys


def main():
    width, height, colour = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3], 16)
    x = ctypes.CDLL(ctypes.util.find_library("X11"))
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XCreateSimpleWindow.restype = ctypes.c_ulong
    x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                      ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                  ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
    x.XStoreName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_char_p]
    x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    x.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x.XFlush.argtypes = [ctypes.c_void_p]
    dpy = x.XOpenDisplay(None)
    if not dpy:
        sys.exit("cannot open display")
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
