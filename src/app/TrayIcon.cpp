#include "app/TrayIcon.h"

#include "widgets/CommandTable.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

namespace {

// Windows' shortest balloon time, which Linux lacks: the balloon stays this long.
constexpr int kBalloonMs = 10000;

} // namespace

TTrayIcon::TTrayIcon(TCommandTable& commands, bool useTray, QObject* parent)
    : QObject(parent), m_commands(commands), m_available(useTray && QSystemTrayIcon::isSystemTrayAvailable())
{
}

QMenu* TTrayIcon::Menu()
{
    if (m_menu)
        return m_menu.get();
    m_menu = std::make_unique<QMenu>();
    m_commands.BuildTrayPopupMenu(m_menu.get());
    m_showItem = m_menu->addAction(QString());
    m_showItem->setObjectName(u"TrayPopShowMainFormItem"_s);
    SetWindowShown(m_windowShown);
    m_menu->addAction(m_commands.action(Command::Exit));
    connect(m_showItem, &QAction::triggered, this, &TTrayIcon::toggleRequested);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &TTrayIcon::menuAboutToShow);
    return m_menu.get();
}

void TTrayIcon::ShowIcon()
{
    if (!m_available)
        return;
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(QIcon(u":/icons/jotvane.png"_s), this);
        m_icon->setObjectName(u"TrayIcon"_s);
        m_icon->setToolTip(u"Jotvane"_s);
        m_icon->setContextMenu(Menu());
        connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            // A double click arrives after the press that already toggled: it toggles once more.
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                emit toggleRequested();
        });
    }
    if (!m_icon->isVisible())
        m_icon->show();
}

TTrayIcon::~TTrayIcon()
{
    delete m_icon;
}

void TTrayIcon::SetWindowShown(bool shown)
{
    m_windowShown = shown;
    if (m_showItem)
        m_showItem->setText(shown ? u"隐藏(&D)"_s : u"打开(&O)"_s);
}

void TTrayIcon::ShowHint(const QString& title, const QString& text)
{
    if (m_icon)
        m_icon->showMessage(title, text, QSystemTrayIcon::Information, kBalloonMs);
}
