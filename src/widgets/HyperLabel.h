#pragma once

#include <QColor>
#include <QWidget>

// The look of a link label under the mouse. An invalid Color (the no-colour value) keeps the
// font's own colour. Underline is drawn as a line below the text, not by the font.
struct THoverStyle
{
    QColor Color = QColor(0, 0, 255);
    bool Bold = false;
    bool Italic = false;
    bool Underline = true;
    bool StrikeOut = false;
    bool operator==(const THoverStyle&) const = default;
};

// A label that behaves like a web link: a hand cursor, the hover colour and an underline while
// the mouse is over it, and click events. Events are Qt signals: OnClick, OnDblClick (only with
// AllowDblClick), OnMouseEnter, OnMouseLeave (after the look has changed).
class THyperLabel final : public QWidget
{
    Q_OBJECT
public:
    enum class TLayout
    {
        Top,
        Center,
        Bottom
    };

    explicit THyperLabel(QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    Qt::Alignment Alignment() const { return m_alignment; }
    void SetAlignment(Qt::Alignment alignment);
    TLayout Layout() const { return m_layout; }
    void SetLayout(TLayout layout);
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool autoSize);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool transparent);
    bool AllowDblClick() const { return m_allowDblClick; }
    void SetAllowDblClick(bool allow) { m_allowDblClick = allow; }
    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);
    const THoverStyle& HoverStyle() const { return m_hoverStyle; }
    // A new style makes the label measure itself again.
    void SetHoverStyle(const THoverStyle& style);
    bool Hovering() const { return m_hovering; }

    // With AutoSize on: the caption's size, one pixel higher for the hover underline; the right
    // edge stays for right alignment (the left edge for right-to-left), else the left edge.
    void AdjustBounds();

    QSize sizeHint() const override { return size(); }

signals:
    void OnClick();
    void OnDblClick();
    void OnMouseEnter();
    void OnMouseLeave();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int TextFlags() const;
    void SetHoverLook(bool hovering);

    QString m_caption;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    TLayout m_layout = TLayout::Top;
    bool m_autoSize = true;
    bool m_transparent = true;
    bool m_allowDblClick = true;
    QColor m_color;
    THoverStyle m_hoverStyle;
    bool m_hovering = false;
    // The font's own look while the hover look is on.
    QFont m_savedFont;
    QColor m_savedColor;
    bool m_pressed = false;
    bool m_adjusting = false;
};
