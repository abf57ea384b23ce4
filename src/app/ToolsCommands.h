#pragma once

#include <QObject>

class IDialogService;
class QWidget;
class TAppConfigMgr;
class TCommandTable;
struct TPlatform;

// The Tools and Help commands: stay on top, the companion programs, the relax page, the user
// guide, the shortcut list and About.
class TToolsCommands final : public QObject
{
    Q_OBJECT
public:
    TToolsCommands(QWidget* window, const TPlatform& platform, TAppConfigMgr& config, IDialogService& dialogs,
                   QObject* parent = nullptr);

    void BindCommands(TCommandTable& commands);
    // Stay on top from the settings.
    void ApplySettings();

private:
    QWidget* m_window;
    const TPlatform& m_platform;
    TAppConfigMgr& m_config;
    IDialogService& m_dialogs;
    TCommandTable* m_commands = nullptr;
};
