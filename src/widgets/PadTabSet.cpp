#include "widgets/PadTabSet.h"

#include "core/PubUtils.h"
#include "widgets/BaseFrm.h"
#include "widgets/FitText.h"
#include "widgets/ListError.h"
#include "widgets/PickButton.h"
#include "widgets/ScrollButton.h"

#include <QApplication>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

constexpr int TabsLeft = 26;
constexpr int TabTop = 2;
constexpr int TabHeight = 23;
constexpr int TabGap = 2;
constexpr int MaxTabWidth = 100;
constexpr int ButtonsRoom = 61;
constexpr int SkinEnd = 10; // the unscaled ends of a tab bitmap

} // namespace

QPixmap LoadSkinBitmap(const QString& name)
{
    const QString path = u":/skin/"_s + name + u".png"_s;
    QPixmap bitmap;
    if (QPixmapCache::find(path, &bitmap))
        return bitmap;
    InitWidgetResources();
    // Read as the PNG it is: a reader left to find the format first loads every image-format
    // plugin Qt has, which would hold up the window's first paint.
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    bitmap = QPixmap::fromImage(reader.read());
    if (!bitmap.isNull())
        QPixmapCache::insert(path, bitmap);
    return bitmap;
}

void DrawSkinBitmap(QPainter& painter, const QString& name, const QPoint& at)
{
    const QPixmap bitmap = LoadSkinBitmap(name);
    if (!bitmap.isNull())
        painter.drawPixmap(at, bitmap);
}

QString ShortenCaption(const QString& caption, const QFontMetrics& metrics, int maxWidth)
{
    return FitTextToWidth(caption, metrics, maxWidth, u"..."_s);
}

TPadTabSet::TPadTabSet(QWidget* parent)
    : QWidget(parent), m_tabs(this), m_pickButton(new TPickButton(this)),
      m_leftButton(new TScrollButton(this, TScrollButton::Left)),
      m_rightButton(new TScrollButton(this, TScrollButton::Right))
{
    InitWidgetResources();
    setObjectName(u"TabSet"_s);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(185, 25);
    UpdateLayout();
}

TPadTabSet::~TPadTabSet() = default;

void TPadTabSet::SetTabs(const QStringList& captions)
{
    m_tabs.Assign(captions);
    m_tabIndex = -1;
    m_firstVisible = 0;
    UpdateLayout();
    if (m_tabs.Count() > 0)
        SetTabIndex(0);
    else
        update();
}

void TPadTabSet::SetTabIndex(int index)
{
    if (index == m_tabIndex)
        return;
    if (index < -1 || index >= m_tabs.Count())
        throw EListError(u"Tab index out of bounds"_s);
    bool allowChange = true;
    emit OnChange(index, allowChange);
    if (!allowChange)
        return;
    m_tabIndex = index;
    emit OnClick();
    ScrollInView(index);
    update();
}

int TPadTabSet::AvailableWidth() const
{
    return std::max(width() - ButtonsRoom, 0);
}

int TPadTabSet::TabWidth(int index) const
{
    const int captionWidth = fontMetrics().horizontalAdvance(m_tabs[index]) + 9;
    return std::min(captionWidth, std::min(AvailableWidth(), MaxTabWidth));
}

QRect TPadTabSet::TabRect(int index) const
{
    if (index < m_firstVisible || index >= m_firstVisible + m_visibleCount || index >= m_tabs.Count())
        return {};
    int left = TabsLeft;
    for (int i = m_firstVisible; i < index; ++i)
        left += TabWidth(i) + TabGap;
    return {left, TabTop, TabWidth(index), TabHeight};
}

int TPadTabSet::TabAt(const QPoint& pos) const
{
    for (int i = m_firstVisible; i < m_firstVisible + m_visibleCount && i < m_tabs.Count(); ++i)
        if (TabRect(i).contains(pos))
            return i;
    return -1;
}

void TPadTabSet::UpdateLayout()
{
    const int count = m_tabs.Count();
    // A deletion or a clear can leave the first visible tab past the end.
    m_firstVisible = std::clamp(m_firstVisible, 0, std::max(count - 1, 0));
    const int available = AvailableWidth();
    m_visibleCount = 0;
    int sum = 0;
    for (int i = m_firstVisible; i < count; ++i) {
        sum += TabWidth(i) + TabGap;
        if (sum > available)
            break;
        ++m_visibleCount;
    }
    if (count > 0 && m_visibleCount == 0)
        m_visibleCount = 1;
    // Scrolled to the end, the strip fills its room from the left.
    while (m_firstVisible > 0 && m_firstVisible + m_visibleCount == count) {
        int total = 0;
        for (int i = m_firstVisible - 1; i < count; ++i)
            total += TabWidth(i) + TabGap;
        if (total > available)
            break;
        --m_firstVisible;
        ++m_visibleCount;
    }
    m_leftButton->setEnabled(m_firstVisible > 0);
    m_rightButton->setEnabled(m_firstVisible + m_visibleCount < count);
    m_leftButton->move(width() - 33, 3);
    m_rightButton->move(width() - 18, 3);
}

void TPadTabSet::ScrollInView(int index)
{
    if (index < 0 || index >= m_tabs.Count())
        return;
    if (index >= m_firstVisible && index < m_firstVisible + m_visibleCount)
        return;
    while (index >= m_firstVisible + m_visibleCount && m_firstVisible < m_tabs.Count() - 1) {
        ++m_firstVisible;
        UpdateLayout();
    }
    while (index < m_firstVisible) {
        --m_firstVisible;
        UpdateLayout();
    }
    update();
}

void TPadTabSet::ScrollRight()
{
    if (m_tabs.Count() == 0)
        return;
    m_firstVisible = std::min(m_firstVisible + 1, m_tabs.Count() - 1);
    UpdateLayout();
    update();
}

void TPadTabSet::ScrollLeft()
{
    if (m_tabs.Count() == 0)
        return;
    m_firstVisible = std::max(m_firstVisible - 1, 0);
    UpdateLayout();
    update();
}

void TPadTabSet::TabsChanged()
{
    UpdateLayout();
    update();
    m_pickButton->update();
    m_leftButton->update();
    m_rightButton->update();
}

void TPadTabSet::SetHoverTab(int index)
{
    if (index == m_hoverTab)
        return;
    m_hoverTab = index;
    update();
}

void TPadTabSet::resizeEvent(QResizeEvent* event)
{
    UpdateLayout();
    QWidget::resizeEvent(event);
}

void TPadTabSet::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        TabsChanged();
    QWidget::changeEvent(event);
}

void TPadTabSet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The background is tiled; without its bitmap the window colour shows.
    const QPixmap background = LoadSkinBitmap(u"TabSet_Background"_s);
    if (background.isNull())
        painter.fillRect(rect(), palette().window());
    else
        painter.drawTiledPixmap(rect(), background);
    for (int i = m_firstVisible; i < m_firstVisible + m_visibleCount && i < m_tabs.Count(); ++i)
        PaintTab(painter, i);
}

void TPadTabSet::PaintTab(QPainter& painter, int index)
{
    const QRect r = TabRect(index);
    if (r.isEmpty())
        return;
    const QString state = index == m_tabIndex   ? u"TabSet_Tab_Down"_s
                          : index == m_hoverTab ? u"TabSet_Tab_Hover"_s
                                                : u"TabSet_Tab_Up"_s;
    const QPixmap bitmap = LoadSkinBitmap(state);
    if (!bitmap.isNull()) {
        // The two 10-pixel ends unscaled, the middle of the bitmap tiled between them.
        const int h = std::min(bitmap.height(), r.height());
        painter.drawPixmap(QPoint(r.left(), r.top()), bitmap, QRect(0, 0, std::min(SkinEnd, r.width()), h));
        const int middleWidth = bitmap.width() - 2 * SkinEnd;
        if (r.width() > 2 * SkinEnd && middleWidth > 0) {
            const QPixmap middle = bitmap.copy(SkinEnd, 0, middleWidth, h);
            painter.drawTiledPixmap(QRect(r.left() + SkinEnd, r.top(), r.width() - 2 * SkinEnd, h), middle);
        }
        if (r.width() > SkinEnd)
            painter.drawPixmap(QPoint(r.right() + 1 - SkinEnd, r.top()), bitmap,
                               QRect(bitmap.width() - SkinEnd, 0, SkinEnd, h));
    }
    const QFontMetrics metrics = fontMetrics();
    QString caption = m_tabs[index];
    if (metrics.horizontalAdvance(caption) > r.width() - 9)
        caption = ShortenCaption(caption, metrics, r.width() - 9);
    const int x = r.left() + (r.width() - metrics.horizontalAdvance(caption)) / 2 + 1;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QPoint(x, 5 + metrics.ascent()), caption);
}

void TPadTabSet::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int tab = TabAt(event->position().toPoint());
    if (tab >= 0)
        SetTabIndex(tab);
    // The press may start a drag once the mouse has moved a little.
    m_dragArmed = tab >= 0;
    m_pressPos = event->position().toPoint();
}

void TPadTabSet::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    SetHoverTab(TabAt(pos));
    if (!(event->buttons() & Qt::LeftButton)) {
        m_dragArmed = false;
        m_dragTab = -1;
        return;
    }
    if (m_dragArmed && m_dragTab < 0 &&
        (pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_dragArmed = false;
        // The tab that was grabbed, not the one the mouse has reached meanwhile.
        m_dragTab = TabAt(m_pressPos);
    }
    if (m_dragTab >= 0 && rect().contains(pos))
        DragOver(pos);
}

void TPadTabSet::DragOver(const QPoint& pos)
{
    const int target = TabAt(pos);
    if (target < 0 || target == m_dragTab)
        return;
    // The zone is where the dragged tab would lie after the move: as wide as the dragged tab,
    // at the target's left edge when moving left, at its right edge when moving right. Tabs of
    // different widths so do not swap back and forth under a resting cursor.
    const QRect targetRect = TabRect(target);
    const int dragWidth = TabWidth(m_dragTab);
    const QRect zone = target < m_dragTab
                           ? QRect(targetRect.left(), TabTop, dragWidth, TabHeight)
                           : QRect(targetRect.right() + 1 - dragWidth, TabTop, dragWidth, TabHeight);
    if (!zone.contains(pos))
        return;
    emit OnTabMoved(m_dragTab, target);
    m_tabs.Move(m_dragTab, target);
    m_tabIndex = target;
    m_dragTab = target;
    update();
}

void TPadTabSet::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragArmed = false;
        m_dragTab = -1;
    }
    QWidget::mouseReleaseEvent(event);
}

void TPadTabSet::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Handled as a click (which selects), then reported; a double-click never starts a drag.
    // Nothing over the buttons: a disabled button passes its mouse events on to the strip.
    const QPoint pos = event->position().toPoint();
    for (const QWidget* button : {static_cast<QWidget*>(m_pickButton), static_cast<QWidget*>(m_leftButton),
                                  static_cast<QWidget*>(m_rightButton)})
        if (button->geometry().contains(pos))
            return;
    if (event->button() == Qt::LeftButton) {
        const int tab = TabAt(event->position().toPoint());
        if (tab >= 0)
            SetTabIndex(tab);
        m_dragArmed = false;
        emit OnDblClick();
    }
}

void TPadTabSet::leaveEvent(QEvent* event)
{
    SetHoverTab(-1);
    QWidget::leaveEvent(event);
}

void TPadTabSet::wheelEvent(QWheelEvent* event)
{
    SetHoverTab(-1);
    if (event->angleDelta().y() < 1)
        ScrollRight();
    else
        ScrollLeft();
    event->accept();
}
