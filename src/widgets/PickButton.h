#pragma once

#include <QWidget>

class QMenu;
class TPadTabSet;

// The tab-list button at the strip's left: releasing the left button over it drops down a menu
// with one radio item per tab (captions shortened to 200 pixels), the selected one checked.
class TPickButton final : public QWidget
{
    Q_OBJECT
public:
    explicit TPickButton(TPadTabSet* strip);

    bool Hover() const { return m_hover; }
    // Rebuilds the menu from the strip's tabs; choosing an item selects its tab.
    void RebuildMenu();
    // Rebuilds the menu and drops it down below the button, the current page in view. A menu
    // taller than the screen scrolls.
    void PopupMenu();
    QMenu* Menu() const { return m_menu; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TPadTabSet* m_strip;
    QMenu* m_menu;
    bool m_hover = false;
};
