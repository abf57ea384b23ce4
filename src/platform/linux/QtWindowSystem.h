#pragma once

#include "platform/WindowSystem.h"

#include <QtGlobal>

// A Wayland session: the program talks Wayland, or X11 through Xwayland (a Wayland display is
// named). The compositor, not the program, then decides stacking, placement and focus.
bool InWaylandSession();

// The root window of the X11 display the program runs on (also through Xwayland); 0 without one.
quintptr X11RootWindow();

class QtWindowSystem final : public IWindowSystem
{
public:
    void setStayOnTop(QWidget* window, bool onTop) override;
    QPoint cursorPos() const override;
    void bringToFront(QWidget* window) override;
    // Asks the window manager (_NET_ACTIVE_WINDOW on X11): right after a window was raised Qt's
    // own idea of the active window can lag behind, so that a quick toggle would go wrong.
    bool isForeground(const QWidget* window) const override;
};
