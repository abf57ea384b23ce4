#include "app/WindowPlacement.h"

#include "app/WindowBounds.h"
#include "config/AppConfigMgr.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

void TWindowPlacement::RestoreBounds()
{
    QScreen* primary = QGuiApplication::primaryScreen();
    const QRect work = primary ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
    QList<QRect> monitors;
    for (QScreen* screen : QGuiApplication::screens())
        monitors.append(screen->geometry());
    const QRect defaults = WindowBounds::DefaultBounds(work);
    m_window.resize(defaults.size());
    m_window.move(defaults.topLeft());
    m_defaultPlace = true;
    if (m_config.WinMaximized) {
        m_window.setWindowState(m_window.windowState() | Qt::WindowMaximized);
        return;
    }
    const QRect saved =
        WindowBounds::FromEdges(m_config.WinLeft, m_config.WinTop, m_config.WinRight, m_config.WinBottom);
    if (saved.width() <= 0 || saved.height() <= 0)
        return;
    m_defaultPlace = false;
    m_window.setGeometry(WindowBounds::RestoredBounds(saved, work, monitors));
}

void TWindowPlacement::WindowShown()
{
    if (m_defaultPlace)
        QTimer::singleShot(200, &m_window, [this] { KeepFrameInWorkArea(); });
}

void TWindowPlacement::KeepFrameInWorkArea()
{
    if (!m_defaultPlace || m_window.windowState() != Qt::WindowNoState)
        return;
    m_defaultPlace = false;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    const QRect work = primary->availableGeometry();
    const QRect frame = m_window.frameGeometry();
    QPoint to = frame.topLeft();
    if (frame.right() > work.right())
        to.setX(work.right() - frame.width() + 1);
    if (frame.bottom() > work.bottom())
        to.setY(work.bottom() - frame.height() + 1);
    if (to != frame.topLeft())
        m_window.move(to);
}

void TWindowPlacement::SaveBounds()
{
    m_config.WinMaximized = m_window.isMaximized();
    if (m_window.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    const QRect r = m_window.geometry();
    m_config.WinLeft = r.x();
    m_config.WinTop = r.y();
    m_config.WinRight = r.x() + r.width();
    m_config.WinBottom = r.y() + r.height();
}
