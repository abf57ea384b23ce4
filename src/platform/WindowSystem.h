#pragma once

#include <QPoint>

class QWidget;

// A Wayland session: the program talks Wayland, or X11 through Xwayland (a Wayland display is
// named). The compositor, not the program, then decides stacking, placement and focus.
bool InWaylandSession();

// Window functions that depend on the window system.
class IWindowSystem
{
public:
    virtual ~IWindowSystem() = default;
    virtual void setStayOnTop(QWidget* window, bool onTop) = 0;
    virtual QPoint cursorPos() const = 0;
    // Brings a window to the front and asks the window manager to give it the input focus.
    virtual void bringToFront(QWidget* window) = 0;
    // Whether the window is the one the desktop has in front (the active window).
    virtual bool isForeground(const QWidget* window) const = 0;
};

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
