#pragma once

#include "widgets/TabList.h"

#include <QPixmap>
#include <QWidget>

class QFontMetrics;
class TPickButton;
class TScrollButton;

// A skin bitmap ":/skin/<name>.png"; a null pixmap when there is none (which then draws nothing).
QPixmap LoadSkinBitmap(const QString& name);
// Draws a skin bitmap unscaled at a point; nothing for a missing one.
void DrawSkinBitmap(class QPainter& painter, const QString& name, const QPoint& at);
// A caption cut from its end with "..." until it fits maxWidth pixels in the metrics' font.
QString ShortenCaption(const QString& caption, const QFontMetrics& metrics, int maxWidth);

// The skinned strip of page tabs: one tab per caption of Tabs(), scrolled with the two buttons
// at the right or the wheel, a tab-list button at the left, reordering by dragging a tab.
//
// Events are Qt signals (direct connections): OnChange before a selection change (clear
// allowChange to veto), OnClick after a selection change, OnDblClick, OnTabMoved before a
// dragged tab's caption moves.
class TPadTabSet : public QWidget
{
    Q_OBJECT
public:
    explicit TPadTabSet(QWidget* parent = nullptr);
    ~TPadTabSet() override;

    TTabList& Tabs() { return m_tabs; }
    const TTabList& Tabs() const { return m_tabs; }
    // Copies the captions, then selects tab 0 (through SetTabIndex) when there is one.
    void SetTabs(const QStringList& captions);

    int TabIndex() const { return m_tabIndex; }
    // Throws EListError "Tab index out of bounds" for an index outside −1 .. count − 1.
    void SetTabIndex(int index);

    int FirstVisibleTab() const { return m_firstVisible; }
    int VisibleTabCount() const { return m_visibleCount; }
    int HoverTab() const { return m_hoverTab; }
    int DragTab() const { return m_dragTab; }

    // Room for tabs: the width without the buttons, never negative.
    int AvailableWidth() const;
    // Caption width + 9, at most 100 pixels and at most the room for tabs.
    int TabWidth(int index) const;
    // Empty for a tab that is not visible.
    QRect TabRect(int index) const;
    int TabAt(const QPoint& pos) const;

    void ScrollLeft();
    void ScrollRight();
    void ScrollInView(int index);
    void UpdateLayout();

    TPickButton* PickButton() const { return m_pickButton; }
    TScrollButton* LeftButton() const { return m_leftButton; }
    TScrollButton* RightButton() const { return m_rightButton; }

    QSize sizeHint() const override { return {185, 25}; }

signals:
    void OnChange(int newTab, bool& allowChange);
    void OnClick();
    void OnDblClick();
    void OnTabMoved(int oldTabIndex, int newTabIndex);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class TTabList;
    // After every change of the list: layout, then painting of the strip and its buttons.
    void TabsChanged();
    void SetHoverTab(int index);
    void DragOver(const QPoint& pos);
    void PaintTab(QPainter& painter, int index);

    TTabList m_tabs;
    int m_tabIndex = -1;
    int m_firstVisible = 0;
    int m_visibleCount = 0;
    int m_hoverTab = -1;
    int m_dragTab = -1;
    TPickButton* m_pickButton;
    TScrollButton* m_leftButton;
    TScrollButton* m_rightButton;
    // A press on a tab may become a drag once the mouse has moved far enough.
    bool m_dragArmed = false;
    QPoint m_pressPos;
};
