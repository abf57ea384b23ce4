#include "app/ToolsCommands.h"

#include "config/AppConfigMgr.h"
#include "core/PubUtils.h"
#include "platform/AppUtils.h"
#include "widgets/AboutFrm.h"
#include "widgets/CommandTable.h"
#include "widgets/ShortcutsFrm.h"

#include <QAction>

using namespace Qt::StringLiterals;

TToolsCommands::TToolsCommands(QWidget* window, const TPlatform& platform, TAppConfigMgr& config,
                               IDialogService& dialogs, QObject* parent)
    : QObject(parent), m_window(window), m_platform(platform), m_config(config), m_dialogs(dialogs)
{
}

void TToolsCommands::BindCommands(TCommandTable& commands)
{
    m_commands = &commands;
    const TPlatform* platform = &m_platform;
    commands.Bind(u"StayOnTopAction", this, [this] {
        const bool onTop = m_commands->action(u"StayOnTopAction")->isChecked();
        SetWindowTopMost(m_platform, m_window, onTop);
        m_config.StayOnTop = onTop;
    });
    commands.Bind(u"NotepadAction", this, [platform] { ShellOpen(*platform, u"notepad.exe"_s); });
    commands.Bind(u"CalcAction", this, [platform] { ShellOpen(*platform, u"calc.exe"_s); });
    commands.Bind(u"InfoCardAction", this, [platform] {
        ShellRun(*platform, CompanionPath(AddressBookProgram()), QString(), QString());
    });
    commands.Bind(u"CalendarAction", this, [platform] {
        ShellRun(*platform, CompanionPath(CalendarProgram()), QString(), QString());
    });
    commands.Bind(u"GameAction", this, [platform] { ShellOpen(*platform, RelaxAddress()); });
    commands.Bind(u"ReadmeAction", this,
                  [platform] { ShellRun(*platform, CompanionPath(u"Readme.txt"_s), QString(), QString()); });
    commands.Bind(u"HotKeyListAction", this, [this] { ShowShortcutHelp(m_dialogs, m_window); });
    commands.Bind(u"AboutAction", this, [this] { ShowAboutBox(m_dialogs, m_platform, m_window); });
}

void TToolsCommands::ApplySettings()
{
    m_commands->action(u"StayOnTopAction")->setChecked(m_config.StayOnTop);
    SetWindowTopMost(m_platform, m_window, m_config.StayOnTop);
}
