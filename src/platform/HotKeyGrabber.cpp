#include "platform/HotKeyGrabber.h"

#include "platform/X11HotKeyGrabber.h"

IHotKeyGrabber::~IHotKeyGrabber() = default;

std::unique_ptr<IHotKeyGrabber> CreateSystemHotKeyGrabber()
{
    // X11HotKeyGrabber checks for the X11 connection on every registration and fails cleanly
    // without one, so it also serves Wayland and the offscreen platform.
    return std::make_unique<X11HotKeyGrabber>();
}
