#include "WidgetTestSupport.h"

#include "widgets/BaseFrm.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

namespace {

void Poll(const std::function<void(QWidget*)>& action, int triesLeft)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible()) {
        action(modal);
        return;
    }
    if (triesLeft <= 0) {
        ADD_FAILURE() << "no modal dialog appeared";
        return;
    }
    QTimer::singleShot(10, [action, triesLeft] { Poll(action, triesLeft - 1); });
}

} // namespace

void WidgetTest::SetUp()
{
    static bool fonts = false;
    if (!fonts) {
        fonts = true;
        InstallFontSubstitutions();
    }
}

void WidgetTest::TearDown()
{
    QApplication::processEvents();
    QStringList leaked;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            leaked << QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
    EXPECT_TRUE(leaked.isEmpty()) << leaked.join(QStringLiteral(", ")).toStdString();
}

void WhenModal(std::function<void(QWidget* dialog)> action)
{
    QTimer::singleShot(0, [action = std::move(action)] { Poll(action, 300); });
}

QWidget* KeyTarget(QWidget* dialog)
{
    return dialog->focusWidget() ? dialog->focusWidget() : dialog;
}

void TypeText(QWidget* widget, const QString& text)
{
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &release);
    }
}

void DoubleClick(QWidget* widget, const QPoint& pos)
{
    const QPointF local(pos);
    const QPointF global = widget->mapToGlobal(local);
    auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
        QMouseEvent event(type, local, local, global, Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
}
