#include "app/Controllers.h"

#include "app/MainFrm.h"
#include "platform/Platform.h"
#include "reminders/ui/EditorReminderHost.h"
#include "reminders/ui/RemindersController.h"
#include "widgets/CommandTable.h"

#include <QSystemTrayIcon>

TControllers::TControllers(TMainForm& window, IClock& clock) : m_window(window)
{
    TMainForm* form = &window;
    TEditorReminderHost::TParts host;
    host.window = form;
    host.firstEditor = [form] { return form->PageCount() > 0 ? form->EditorAt(0) : nullptr; };
    host.currentEditor = [form] { return form->CurrentEditor(); };
    host.showBalloon = [form](const QString& title, const QString& text) {
        if (!form->HasTray())
            return false;
        form->TrayIcon()->showMessage(title, text, QSystemTrayIcon::Information, 10000);
        return true;
    };
    // The desktop display and the settings dialog take these over once they exist.
    host.sendDesktopLines = [](TPadMemo*) {};
    host.openSettings = [](int) { return false; };
    m_reminderHost = std::make_unique<TEditorReminderHost>(host);

    TCommandTable& commands = window.Commands();
    TReminderActions actions;
    actions.AlarmTimeAction = commands.Claim(u"AlarmTimeAction");
    actions.SignCompleteAction = commands.Claim(u"SignCompleteAction");
    actions.AlarmAction = commands.Claim(u"AlarmAction");
    actions.BeepAction = commands.Claim(u"BeepAction");
    actions.ShutDownAction = commands.Claim(u"ShutDownAction");
    const TPlatform& platform = *window.Context().platform;
    m_reminders = std::make_unique<TRemindersController>(*window.Context().config, clock, *platform.sound,
                                                         *platform.powerOff, actions, *m_reminderHost);
}

TControllers::~TControllers()
{
    // The subsystems close while their controllers still exist.
    m_window.CloseSubsystems();
}
