#pragma once

#include <X11/Xlib.h>

// X errors of the library's own connections (a wallpaper pixmap freed while it is copied, a
// window gone) are expected and harmless. The handler is process-wide: errors of any other
// connection go on to whatever handler was there before. So do the fatal I/O errors of other
// connections; a broken connection of the library's own only gets a line on standard error,
// and ends the drawing thread (see XSetIOErrorExitHandler), never the process.
void registerDisplay(Display* display);
void unregisterDisplay(Display* display);
