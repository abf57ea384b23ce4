"""Plain Xlib through ctypes, for the desktop suite's own drawing on a private X server: the
calls its helpers make, with their argument and result types declared once."""

import ctypes
import ctypes.util

_P, _UL, _L, _I, _U = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long, ctypes.c_int, ctypes.c_uint

# name: (result type or None, argument types)
_PROTOTYPES = {
    "XOpenDisplay": (_P, [ctypes.c_char_p]),
    "XCloseDisplay": (None, [_P]),
    "XDefaultRootWindow": (_UL, [_P]),
    "XDefaultScreen": (None, [_P]),
    "XDefaultDepth": (None, [_P, _I]),
    "XCreatePixmap": (_UL, [_P, _UL, _U, _U, _U]),
    "XCreateGC": (_P, [_P, _UL, _UL, _P]),
    "XSetForeground": (None, [_P, _P, _UL]),
    "XFillRectangle": (None, [_P, _UL, _P, _I, _I, _U, _U]),
    "XFreeGC": (None, [_P, _P]),
    "XInternAtom": (_UL, [_P, ctypes.c_char_p, _I]),
    "XChangeProperty": (None, [_P, _UL, _UL, _UL, _I, _I, _P, _I]),
    "XSetWindowBackgroundPixmap": (None, [_P, _UL, _UL]),
    "XClearWindow": (None, [_P, _UL]),
    "XSetCloseDownMode": (None, [_P, _I]),
    "XSync": (None, [_P, _I]),
    "XFlush": (None, [_P]),
    "XCreateSimpleWindow": (_UL, [_P, _UL, _I, _I, _U, _U, _U, _UL, _UL]),
    "XStoreName": (None, [_P, _UL, ctypes.c_char_p]),
    "XSelectInput": (None, [_P, _UL, _L]),
    "XMapWindow": (None, [_P, _UL]),
    "XNextEvent": (None, [_P, _P]),
}


def load():
    """libX11 with the prototypes above."""
    lib = ctypes.CDLL(ctypes.util.find_library("X11"))
    for name, (restype, argtypes) in _PROTOTYPES.items():
        function = getattr(lib, name)
        if restype is not None:
            function.restype = restype
        function.argtypes = argtypes
    return lib


def open_display(lib, name=None):
    """A connection to the display name (DISPLAY when None); OSError when there is none."""
    dpy = lib.XOpenDisplay(name.encode() if name else None)
    if not dpy:
        raise OSError("cannot open display")
    return dpy
