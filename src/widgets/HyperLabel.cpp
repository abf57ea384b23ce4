#include "widgets/HyperLabel.h"

#include <QMouseEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

THyperLabel::THyperLabel(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"HyperLabel"_s);
    resize(65, 18);
    setCursor(Qt::PointingHandCursor);
    m_color = palette().color(QPalette::Window);
}

void THyperLabel::SetCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    AdjustBounds();
    update();
}

void THyperLabel::SetAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment & Qt::AlignHorizontal_Mask;
    update();
}

void THyperLabel::SetLayout(TLayout layout)
{
    m_layout = layout;
    update();
}

void THyperLabel::SetAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    AdjustBounds();
}

void THyperLabel::SetTransparent(bool transparent)
{
    m_transparent = transparent;
    update();
}

void THyperLabel::SetColor(const QColor& color)
{
    m_color = color;
    update();
}

void THyperLabel::SetHoverStyle(const THoverStyle& style)
{
    if (style == m_hoverStyle)
        return;
    m_hoverStyle = style;
    AdjustBounds();
    update();
}

int THyperLabel::TextFlags() const
{
    return static_cast<int>(m_alignment) | Qt::TextExpandTabs | Qt::TextSingleLine;
}

void THyperLabel::AdjustBounds()
{
    if (!m_autoSize || m_adjusting)
        return;
    m_adjusting = true;
    const QSize text = fontMetrics().size(Qt::TextExpandTabs, m_caption);
    const int w = text.width();
    const int h = text.height() + (m_hoverStyle.Underline ? 1 : 0);
    const bool keepRight = (m_alignment & Qt::AlignRight) != 0;
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    QRect g = geometry();
    if (keepRight != rtl)
        g.setLeft(g.right() + 1 - w);
    g.setSize(QSize(w, h));
    setGeometry(g);
    m_adjusting = false;
}

void THyperLabel::SetHoverLook(bool hovering)
{
    if (hovering) {
        m_savedFont = font();
        m_savedColor = palette().color(QPalette::WindowText);
        QFont f = font();
        f.setBold(m_hoverStyle.Bold);
        f.setItalic(m_hoverStyle.Italic);
        f.setStrikeOut(m_hoverStyle.StrikeOut);
        f.setUnderline(false); // drawn as a line of its own
        // Keep AdjustBounds from re-measuring for the look alone.
        m_adjusting = true;
        setFont(f);
        if (m_hoverStyle.Color.isValid()) {
            QPalette p = palette();
            p.setColor(QPalette::WindowText, m_hoverStyle.Color);
            setPalette(p);
        }
        m_adjusting = false;
    } else {
        m_adjusting = true;
        setFont(m_savedFont);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, m_savedColor);
        setPalette(p);
        m_adjusting = false;
    }
}

void THyperLabel::enterEvent(QEnterEvent*)
{
    m_hovering = true;
    SetHoverLook(true);
    update();
    emit OnMouseEnter();
}

void THyperLabel::leaveEvent(QEvent*)
{
    if (!m_hovering)
        return;
    m_hovering = false;
    SetHoverLook(false);
    update();
    emit OnMouseLeave();
}

void THyperLabel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void THyperLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click && isEnabled())
        emit OnClick();
}

void THyperLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    if (m_allowDblClick)
        emit OnDblClick();
    else
        m_pressed = true; // an ordinary second click
}

void THyperLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange && !m_adjusting)
        AdjustBounds();
    QWidget::changeEvent(event);
}

void THyperLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), m_color);
    QRect textRect = rect();
    const QFontMetrics metrics = fontMetrics();
    const int textHeight = metrics.size(Qt::TextExpandTabs, m_caption).height();
    if (m_layout == TLayout::Center)
        textRect.translate(0, (height() - textHeight) / 2);
    else if (m_layout == TLayout::Bottom)
        textRect.translate(0, height() - textHeight);
    if (isEnabled()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(textRect, TextFlags(), m_caption);
    } else {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(textRect.translated(1, 1), TextFlags(), m_caption);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(textRect, TextFlags(), m_caption);
    }
    if (m_hovering && m_hoverStyle.Underline && isEnabled()) {
        const QColor line =
            m_hoverStyle.Color.isValid() ? m_hoverStyle.Color : palette().color(QPalette::WindowText);
        const int y = textRect.top() + textHeight;
        painter.setPen(QPen(line, 1));
        painter.drawLine(0, y, width(), y);
    }
}
