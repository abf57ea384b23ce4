#pragma once

#include "config/ui/ConfigFrm.h"

#include <QObject>

#include <functional>

class QAction;
class TCommandTable;
class TAppConfigMgr;

// What the general settings command needs of the window around it. Every member may be left
// empty; the step it stands for is then skipped.
struct TSettingsHost
{
    // Switches every global hotkey off (false) or on again (true).
    std::function<void(bool on)> enableHotKeys;
    // The steps that apply the settings the dialog changes, in the order they run after OK.
    std::function<void()> applyRunOnStartup;
    std::function<void()> applyHotKey;
    // Close button and tab double click read their settings when used; a host that caches
    // them refreshes here.
    std::function<void()> applyWindowBehaviour;
    std::function<void()> applyDesktop;
    std::function<void()> applyReminderMenu;
    // Whether the window system took the hotkey (asked once the hotkeys are on again).
    std::function<bool()> hotKeyRegistered;
    // The key the desktop granted the hotkey where it chose one itself (empty otherwise).
    std::function<QString()> grantedHotKey;
    // Whether a key of the compositor bound to the toggle command is the way to the window (a
    // Wayland session), which the hotkey page then explains.
    std::function<bool()> compositorKeys;
};

// The settings dialog, from the general settings command (F8, its first page) or any other command
// that opens it on another page: the global hotkey off meanwhile; after OK, the changed settings
// are applied at once, once, and then Config.ini is written with what took effect. The command
// that opened the dialog applies nothing itself.
//
//   TSettingsController settings(window, config, host, dialogs);
//   settings.BindCommands(window.Commands());
class TSettingsController final : public QObject
{
    Q_OBJECT
public:
    TSettingsController(QWidget* owner, TAppConfigMgr& config, TSettingsHost host, IDialogService& dialogs);

    // Claims the general settings command (F8) and connects it.
    void BindCommands(TCommandTable& commands);

    void ConfigActionExecute();
    // The part of the start-up settings that the dialog can change.
    void ApplyChangedSettings();
    // The dialog on a given page, for every command that opens it (settings, insert texts,
    // reminders, desktop): hotkey off meanwhile, and after OK the settings applied and written.
    // True when the user confirmed it.
    bool ShowDialog(int page);

signals:
    // After the settings of a confirmed dialog were written and applied.
    void SettingsApplied();

private:
    QWidget* m_owner;
    TAppConfigMgr& m_config;
    TSettingsHost m_host;
    IDialogService& m_dialogs;
};
