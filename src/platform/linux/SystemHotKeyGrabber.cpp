#include "platform/linux/SystemHotKeyGrabber.h"

#include "platform/linux/PortalHotKeyGrabber.h"
#include "platform/linux/QtWindowSystem.h"
#include "platform/linux/X11HotKeyGrabber.h"

#include <QDBusConnection>

std::unique_ptr<IHotKeyGrabber> CreateSystemHotKeyGrabber(const QString& name, const QString& description)
{
    // X11HotKeyGrabber checks for the X11 connection on every registration and fails cleanly
    // without one, so it also serves the offscreen platform and native Wayland.
    auto grabs = std::make_unique<X11HotKeyGrabber>();
    if (!InWaylandSession())
        return grabs;
    // Under Wayland the compositor owns the keyboard: X11 grabs see keys only while an X11
    // window has the focus, so the desktop portal is asked first.
    return std::make_unique<PortalHotKeyGrabber>(QDBusConnection::sessionBus(), name, description,
                                                 std::move(grabs));
}
