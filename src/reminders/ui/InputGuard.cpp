#include "reminders/ui/InputGuard.h"

#include <QKeyEvent>
#include <QWidget>

TInputGuard::TInputGuard(QWidget* window) : QObject(window), m_window(window)
{
    window->installEventFilter(this);
    for (QWidget* child : window->findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool TInputGuard::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (watched == m_window && !m_shown.isValid())
            m_shown.start();
        return false;
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
        if (Quiet())
            return true;
        if (static_cast<QKeyEvent*>(event)->isAutoRepeat())
            return !m_freshPress;
        if (event->type() == QEvent::KeyPress)
            m_freshPress = true;
        return false;
    case QEvent::KeyRelease:
        return Quiet() || !m_freshPress;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return Quiet();
    default:
        return false;
    }
}
