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
    commands.Bind(Command::StayOnTop, this, [this] {
        const bool onTop = m_commands->action(Command::StayOnTop)->isChecked();
        SetWindowTopMost(m_platform, m_window, onTop);
        m_config.StayOnTop = onTop;
    });
    commands.Bind(Command::Notepad, this, [platform] { ShellOpen(*platform, u"notepad.exe"_s); });
    commands.Bind(Command::Calc, this, [platform] { ShellOpen(*platform, u"calc.exe"_s); });
    commands.Bind(Command::InfoCard, this, [platform] {
        ShellRun(*platform, CompanionPath(AddressBookProgram()), QString(), QString());
    });
    commands.Bind(Command::Calendar, this, [platform] {
        ShellRun(*platform, CompanionPath(CalendarProgram()), QString(), QString());
    });
    commands.Bind(Command::Game, this, [platform] { ShellOpen(*platform, RelaxAddress()); });
    commands.Bind(Command::Readme, this,
                  [platform] { ShellRun(*platform, CompanionPath(u"Readme.txt"_s), QString(), QString()); });
    commands.Bind(Command::HotKeyList, this, [this] { ShowShortcutHelp(m_dialogs, m_window); });
    commands.Bind(Command::About, this, [this] { ShowAboutBox(m_dialogs, m_platform, m_window); });
}

void TToolsCommands::ApplySettings()
{
    m_commands->action(Command::StayOnTop)->setChecked(m_config.StayOnTop);
    SetWindowTopMost(m_platform, m_window, m_config.StayOnTop);
}
