#include "config/ui/SettingsController.h"

#include "config/AppConfigMgr.h"
#include "widgets/CommandTable.h"
#include "widgets/DialogService.h"

#include <QAction>

using namespace Qt::StringLiterals;

namespace {

// Turns the hotkeys on again however the dialog ends.
class THotKeysOffGuard
{
public:
    explicit THotKeysOffGuard(ISettingsHost& host) : m_host(host) { m_host.enableHotKeys(false); }
    ~THotKeysOffGuard() { m_host.enableHotKeys(true); }
    Q_DISABLE_COPY_MOVE(THotKeysOffGuard)

private:
    ISettingsHost& m_host;
};

} // namespace

TSettingsController::TSettingsController(QWidget* owner, TAppConfigMgr& config, ISettingsHost& host,
                                         IDialogService& dialogs)
    : QObject(owner), m_owner(owner), m_config(config), m_host(host), m_dialogs(dialogs)
{
}

void TSettingsController::BindCommands(TCommandTable& commands)
{
    commands.Bind(Command::Config, this, [this] { ConfigActionExecute(); });
}

void TSettingsController::ConfigActionExecute()
{
    ShowDialog(TConfigForm::GeneralPage);
}

bool TSettingsController::ShowDialog(int page)
{
    // Whichever command opened it, the dialog shows all five pages and OK stores them all: the
    // settings are written and applied alike, so a hotkey changed from the reminder page works at
    // once and is not lost at a crash.
    bool confirmed = false;
    {
        // The hotkey can be typed into the dialog; it must not toggle the window meanwhile.
        THotKeysOffGuard off(m_host);
        THotKeyDesktop desktop;
        desktop.grantedTrigger = m_host.grantedHotKey();
        desktop.compositorKeys = m_host.compositorKeys();
        confirmed = ShowSettingsDialog(m_dialogs, m_owner, m_config, page, desktop);
        if (confirmed) {
            // Applied first, then written: a step that cannot take its setting (the desktop
            // display that cannot be switched on) corrects it, and the file holds what is in
            // effect.
            ApplyChangedSettings();
            if (!m_config.SaveSettings()) {
                const QString error = m_config.TakeUnreportedError();
                if (!error.isEmpty())
                    m_dialogs.MessageBox(m_owner, error, MsgBoxKind::Error, {MsgBoxButton::OK});
            }
        }
    }
    if (!confirmed)
        return false;
    if (m_config.HotKeyBase != 0 && !m_host.hotKeyRegistered())
        m_dialogs.MessageBox(m_owner,
                             u"热键 %1 已被其他程序占用，无法使用。请在设置的“热键”页另选一个组合。"_s.arg(
                                 HotKeyText(m_config.HotKeyBase, m_config.HotKeyModifiers)),
                             MsgBoxKind::Error, {MsgBoxButton::OK});
    return true;
}

void TSettingsController::ApplyChangedSettings()
{
    // The dialog shows and stores every page, whichever one it opened on.
    emit m_config.changed(TSettingsArea::All);
}
