#include "widgets/ScrollButton.h"

#include "widgets/PadTabSet.h"

#include <QMouseEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

TScrollButton::TScrollButton(TPadTabSet* strip, TDirection direction)
    : QWidget(strip), m_strip(strip), m_direction(direction)
{
    setObjectName(direction == Left ? u"ScrollLeftButton"_s : u"ScrollRightButton"_s);
    resize(15, 15);
}

void TScrollButton::paintEvent(QPaintEvent*)
{
    const QString side = m_direction == Left ? u"Left"_s : u"Right"_s;
    const QString state = !isEnabled() ? u"Disabled"_s : m_hover ? u"Hover"_s : u"Up"_s;
    QPainter painter(this);
    DrawSkinBitmap(painter, u"TabSet_Scroll"_s + side + u"Button_"_s + state, {0, 0});
}

void TScrollButton::enterEvent(QEnterEvent*)
{
    m_hover = true;
    update();
}

void TScrollButton::leaveEvent(QEvent*)
{
    m_hover = false;
    update();
}

void TScrollButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

void TScrollButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    if (m_direction == Left)
        m_strip->ScrollLeft();
    else
        m_strip->ScrollRight();
}

void TScrollButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void TScrollButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a quick pair scrolls once more, like the first.
    mousePressEvent(event);
}
