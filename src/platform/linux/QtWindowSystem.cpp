#include "platform/linux/QtWindowSystem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

// Xlib last: its macros (None, Bool, KeyPress...) would clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

bool InWaylandSession()
{
    return QGuiApplication::platformName() == QLatin1String("wayland") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

quintptr X11RootWindow()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    return display ? quintptr(XDefaultRootWindow(display)) : 0;
}

void QtWindowSystem::setStayOnTop(QWidget* window, bool onTop)
{
    if (!window)
        return;
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    // Changing the flags re-creates the native window, which hides it: show it again when it was
    // visible, keeping its place.
    const bool wasVisible = window->isVisible();
    const QRect geometry = window->geometry();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (wasVisible) {
        window->setGeometry(geometry);
        window->show();
    }
}

QPoint QtWindowSystem::cursorPos() const
{
    if (!QGuiApplication::primaryScreen())
        return {0, 0};
    return QCursor::pos();
}

namespace {

// Asks an EWMH window manager to activate window as a pager or task list would: the user asked
// for it, so focus-stealing prevention must not turn the request into a mere urgency mark.
void requestActivationAsPager(Display* display, unsigned long window)
{
    const Atom activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = activeAtom;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // source indication: pager
    event.xclient.data.l[1] = CurrentTime;
    event.xclient.data.l[2] = 0; // the requestor's active window: none
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XFlush(display);
}

} // namespace

void QtWindowSystem::bringToFront(QWidget* window)
{
    if (!window)
        return;
    window->raise();
    window->activateWindow();
    QWindow* handle = window->windowHandle();
    if (handle)
        handle->requestActivate();
    // A window that is on the screen already (behind others) gets a request the window manager
    // honours; one that is still being mapped is activated by Qt once it shows.
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->display() && handle && handle->isExposed())
        requestActivationAsPager(x11->display(), static_cast<unsigned long>(window->winId()));
}

bool QtWindowSystem::isForeground(const QWidget* window) const
{
    if (!window || !window->isVisible())
        return false;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return window->isActiveWindow();
    const Atom activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", True);
    if (activeAtom == 0)
        return window->isActiveWindow();
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), activeAtom, 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &remaining, &data);
    if (status != Success || !data || count == 0 || format != 32) {
        if (data)
            XFree(data);
        return window->isActiveWindow();
    }
    const auto active = static_cast<quintptr>(*reinterpret_cast<unsigned long*>(data));
    XFree(data);
    return active == static_cast<quintptr>(window->winId());
}
