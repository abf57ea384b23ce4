#pragma once

#include "config/ui/ConfigFrm.h"
#include "config/ui/SettingsHost.h"

#include <QObject>

class QAction;
class TCommandTable;
class TAppConfigMgr;

// The settings dialog, from the general settings command (F8, its first page) or any other command
// that opens it on another page: the global hotkey off meanwhile; after OK, the settings' changed
// signal has every part apply what it follows, at once and once, and then Config.ini is written
// with what took effect. The command that opened the dialog applies nothing itself.
//
//   TSettingsController settings(window, config, host, dialogs);
//   settings.BindCommands(window.Commands());
class TSettingsController final : public QObject
{
    Q_OBJECT
public:
    TSettingsController(QWidget* owner, TAppConfigMgr& config, ISettingsHost& host, IDialogService& dialogs);

    // Claims the general settings command (F8) and connects it.
    void BindCommands(TCommandTable& commands);

    void ConfigActionExecute();
    // Every part applies the settings the dialog can change (the settings' changed signal).
    void ApplyChangedSettings();
    // The dialog on a given page, for every command that opens it (settings, insert texts,
    // reminders, desktop): hotkey off meanwhile, and after OK the settings applied and written.
    // True when the user confirmed it.
    bool ShowDialog(int page);

private:
    QWidget* m_owner;
    TAppConfigMgr& m_config;
    ISettingsHost& m_host;
    IDialogService& m_dialogs;
};
