#pragma once

#include "platform/HotKeyGrabber.h"

#include <memory>

// The grabber of the running window system. On X11, key grabs. In a Wayland session (also when
// the program runs through Xwayland) the desktop portal's global shortcuts where the desktop
// offers them, with the key grabs of Xwayland until the portal has answered and wherever it does
// not; without any display the registrations fail. name and description name the hotkeys to
// the portal (see PortalHotKeyGrabber).
std::unique_ptr<IHotKeyGrabber>
CreateSystemHotKeyGrabber(const QString& name = QStringLiteral("show-hide"),
                          const QString& description = QStringLiteral("Jotvane"));
