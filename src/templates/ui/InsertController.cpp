#include "templates/ui/InsertController.h"

#include "config/AppConfigMgr.h"
#include "core/PubUtils.h"
#include "notes/ui/PadMemo.h"
#include "templates/ui/InsertText.h"
#include "widgets/FitText.h"

#include "widgets/CommandTable.h"

#include <QAction>
#include <QFontMetrics>
#include <QMenu>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

constexpr int kInsTextPage = 2;
const char* const kCustomIndex = "jvCustomIndex";

} // namespace

TInsertController::TInsertController(QMenu* insertMenu, QWidget* window, TAppConfigMgr& config,
                                     IInsertHost& host, TExprClock clock)
    : QObject(window), m_window(window), m_config(config), m_host(host), m_clock(std::move(clock))
{
    m_actions.InsertMenu = insertMenu;
    if (insertMenu) {
        m_actions.InsertN1Item = insertMenu->findChild<QAction*>(u"InsertN1Item"_s);
        m_actions.InsertN2Item = insertMenu->findChild<QAction*>(u"InsertN2Item"_s);
        // Without texts of the user's the two separators stand next to each other; the style
        // would draw them as one.
        insertMenu->setSeparatorsCollapsible(false);
        connect(insertMenu, &QMenu::aboutToShow, this, &TInsertController::RebuildInsertMenu);
    }
}

void TInsertController::BindCommands(TCommandTable& commands)
{
    m_actions.InsertLineAction = commands.Claim(Command::InsertLine);
    m_actions.InsertDateAction = commands.Claim(Command::InsertDate);
    m_actions.InsertLineDateAction = commands.Claim(Command::InsertLineDate);
    m_actions.InsertConfigAction = commands.Claim(Command::InsertConfig);
    auto connectTemplate = [this](QAction* action, QString TAppConfigMgr::*setting) {
        if (!action)
            return;
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, [this, setting] { InsertTemplate(m_config.*setting); });
    };
    connectTemplate(m_actions.InsertLineAction, &TAppConfigMgr::InsertLineText);
    connectTemplate(m_actions.InsertDateAction, &TAppConfigMgr::InsertDateText);
    connectTemplate(m_actions.InsertLineDateAction, &TAppConfigMgr::InsertLineDateText);
    if (m_actions.InsertConfigAction) {
        m_actions.InsertConfigAction->setEnabled(true);
        connect(m_actions.InsertConfigAction, &QAction::triggered, this, [this] {
            // Only the template settings count here, and they are read when inserting.
            m_host.showSettingsDialog(kInsTextPage);
        });
    }
}

void TInsertController::InsertTemplate(const QString& templateText)
{
    TPadMemo* editor = m_host.currentEditor();
    if (!editor)
        return;
    editor->ReplaceSelection(EvaluateTemplate(templateText, m_clock), true);
}

void TInsertController::InsertCustomText(int index)
{
    if (index < 0 || index >= m_config.InsertCustomList.size())
        return;
    InsertTemplate(CommaTextToText(m_config.InsertCustomList.at(index)));
}

QString TInsertController::CustomItemCaption(int index, const QString& stored) const
{
    const QFontMetrics metrics(m_window ? m_window->font() : QFont());
    QString text = FitTextToWidth(CustomItemText(stored), metrics, kCaptionWidth, u"..."_s);
    // An ampersand of the text is shown as itself; only the number is the access key.
    text.replace(u"&"_s, u"&&"_s);
    return u"&%1 %2"_s.arg(index + 1).arg(text);
}

void TInsertController::RebuildInsertMenu()
{
    QMenu* menu = m_actions.InsertMenu;
    if (!menu || !m_actions.InsertN1Item || !m_actions.InsertN2Item)
        return;
    const QList<QAction*> items = menu->actions();
    const qsizetype first = items.indexOf(m_actions.InsertN1Item);
    const qsizetype last = items.indexOf(m_actions.InsertN2Item);
    for (qsizetype i = first + 1; first >= 0 && i < last; ++i) {
        menu->removeAction(items[i]);
        items[i]->deleteLater();
    }
    for (int i = 0; i < m_config.InsertCustomList.size(); ++i) {
        auto* item = new QAction(CustomItemCaption(i, m_config.InsertCustomList.at(i)), menu);
        item->setProperty(kCustomIndex, i);
        connect(item, &QAction::triggered, this, [this, i] { InsertCustomText(i); });
        menu->insertAction(m_actions.InsertN2Item, item);
    }
}
