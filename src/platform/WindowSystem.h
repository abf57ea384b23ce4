#pragma once

#include <QPoint>

class QWidget;

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
