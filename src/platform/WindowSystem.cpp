#include "WindowSystem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

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
