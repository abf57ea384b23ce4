#pragma once

#include "messenger/ui/MessagerFrm.h"

#include <QObject>

#include <memory>

class TAppConfigMgr;
class TCommandTable;

// Ties the messenger window to the note window: creates it at start when the messenger is
// enabled (hidden right away on request), binds "激活信使(&A)", "启用信使(&M)" and
// "启动就隐藏(&H)", and closes it when the note window exits or the session ends.
class TMessengerController final : public QObject
{
    Q_OBJECT
public:
    TMessengerController(TCommandTable& commands, TAppConfigMgr& config, TMessengerEnvironment environment,
                         QObject* parent = nullptr);
    // Closes a messenger that is still open.
    ~TMessengerController() override;
    Q_DISABLE_COPY_MOVE(TMessengerController)

    // The start of the program, while the note window applies its settings.
    void Start();
    // Creates the window, hides its Exit item and shows it (unless it is to stay hidden right
    // away); false when it could not be made.
    bool CreateMessenger(bool show = true);
    // "激活信使(&A)": shows the messenger, creating it first when there is none.
    void ActivateMessenger();
    // The note window exits: the messenger says goodbye and writes its files.
    void CloseMessenger();
    // The session ends: the same, at once.
    void EndSession();
    // Before a backup copies chat.txt and MSGConfig.ini: the log and the bounds are stored.
    // Throws EFileError when the log cannot be written, for the backup to report.
    void SaveState();

    TMessagerForm* Messenger() const { return m_form.get(); }

private:
    void Forget();

    TCommandTable& m_commands;
    TAppConfigMgr& m_config;
    TMessengerEnvironment m_env;
    std::unique_ptr<TMessagerForm> m_form;
};
