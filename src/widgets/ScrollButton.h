#pragma once

#include <QWidget>

class TPadTabSet;

// One of the strip's two scroll buttons: a left-button press scrolls the tabs once.
class TScrollButton final : public QWidget
{
    Q_OBJECT
public:
    enum TDirection
    {
        Left = 0,
        Right = 1
    };
    TScrollButton(TPadTabSet* strip, TDirection direction);

    TDirection Direction() const { return m_direction; }
    bool Hover() const { return m_hover; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TPadTabSet* m_strip;
    TDirection m_direction;
    bool m_hover = false;
};
