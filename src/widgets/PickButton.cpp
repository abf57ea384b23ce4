#include "widgets/PickButton.h"

#include "widgets/PadTabSet.h"

#include <QActionGroup>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>

using namespace Qt::StringLiterals;

namespace {

// A menu taller than the screen scrolls (arrows at both ends, wheel, arrow keys) instead of
// spreading over columns, which run off the screen: every page stays reachable.
class TScrollingMenuStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_Menu_Scrollable)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TPickButton::TPickButton(TPadTabSet* strip) : QWidget(strip), m_strip(strip), m_menu(new QMenu(this))
{
    setObjectName(u"PickButton"_s);
    m_menu->setObjectName(u"PickMenu"_s);
    auto* menuStyle = new TScrollingMenuStyle;
    menuStyle->setParent(m_menu);
    m_menu->setStyle(menuStyle);
    m_menu->installEventFilter(this);
    setToolTip(u"标签列表"_s);
    setGeometry(2, 2, 22, 18);
}

void TPickButton::RebuildMenu()
{
    m_menu->clear();
    const auto actions = m_menu->findChildren<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
    qDeleteAll(actions);
    auto* group = new QActionGroup(m_menu);
    group->setExclusive(true);
    const QFontMetrics metrics(m_strip->font());
    const TTabList& tabs = m_strip->Tabs();
    for (int i = 0; i < tabs.Count(); ++i) {
        // No automatic access keys: an "&" in a caption is shown as it is.
        QString text = ShortenCaption(tabs[i], metrics, 200);
        text.replace(u"&"_s, u"&&"_s);
        QAction* action = m_menu->addAction(text);
        action->setCheckable(true);
        action->setChecked(i == m_strip->TabIndex());
        action->setData(i);
        group->addAction(action);
        connect(action, &QAction::triggered, m_strip, [strip = m_strip, i] {
            if (i < strip->Tabs().Count())
                strip->SetTabIndex(i);
        });
    }
}

void TPickButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawSkinBitmap(painter, m_hover ? u"TabSet_PickButton_Hover"_s : u"TabSet_PickButton_Up"_s, {0, 0});
}

void TPickButton::enterEvent(QEnterEvent*)
{
    m_hover = true;
    update();
}

void TPickButton::leaveEvent(QEvent*)
{
    m_hover = false;
    update();
}

void TPickButton::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void TPickButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    PopupMenu();
}

void TPickButton::PopupMenu()
{
    RebuildMenu();
    m_menu->popup(mapToGlobal(QPoint(0, height())));
}

bool TPickButton::eventFilter(QObject* watched, QEvent* event)
{
    // However the menu is opened, the current page is in view and arrow keys start from it.
    if (watched == m_menu && event->type() == QEvent::Show) {
        const auto actions = m_menu->actions();
        const int current = m_strip->TabIndex();
        if (current >= 0 && current < actions.size())
            m_menu->setActiveAction(actions[current]);
    }
    return QWidget::eventFilter(watched, event);
}

void TPickButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}
