#include "platform/WindowSystem.h"

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

void QtWindowSystem::bringToFront(QWidget* window)
{
    if (!window)
        return;
    window->raise();
    window->activateWindow();
    if (QWindow* handle = window->windowHandle())
        handle->requestActivate();
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
