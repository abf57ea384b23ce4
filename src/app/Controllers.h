#pragma once

#include <memory>

class IClock;
class TDeskHookLibrary;
class TDesktopCommands;
class TEditorReminderHost;
class TFileController;
class TInsertController;
class TMainForm;
class TMessengerController;
class TRemindersController;
class TSettingsController;
class IFileHost;
class IInsertHost;
class IReminderEditorsHost;
class ISettingsHost;
class IDesktopHost;
class IPeerNotices;

// The subsystems' controllers around the note window, made by the composition root once the
// window exists and released before it. Each connects its own commands through the window's
// command table and follows the window's events.
class TControllers final
{
public:
    // The clock is the minute scan's and the time stamps'; every other service comes from the
    // window's context.
    TControllers(TMainForm& window, IClock& clock);
    ~TControllers();
    TControllers(const TControllers&) = delete;
    TControllers& operator=(const TControllers&) = delete;

    TRemindersController& Reminders() const { return *m_reminders; }
    TDesktopCommands& Desktop() const { return *m_desktop; }
    TSettingsController& Settings() const { return *m_settings; }
    TMessengerController& Messenger() const { return *m_messenger; }

private:
    void CreateSettings();
    void CreateReminders(IClock& clock);
    void CreateDesktop();
    void CreateInsertAndFile();
    void CreateMessenger();
    void StartSubsystems();

    TMainForm& m_window;
    std::unique_ptr<ISettingsHost> m_settingsHost;
    std::unique_ptr<TSettingsController> m_settings;
    std::unique_ptr<IPeerNotices> m_notices;
    std::unique_ptr<TMessengerController> m_messenger;
    std::unique_ptr<IReminderEditorsHost> m_reminderEditors;
    std::unique_ptr<TEditorReminderHost> m_reminderHost;
    std::unique_ptr<TRemindersController> m_reminders;
    std::unique_ptr<TDeskHookLibrary> m_deskHook;
    std::unique_ptr<IDesktopHost> m_desktopHost;
    std::unique_ptr<TDesktopCommands> m_desktop;
    std::unique_ptr<IInsertHost> m_insertHost;
    std::unique_ptr<TInsertController> m_insert;
    std::unique_ptr<IFileHost> m_fileHost;
    std::unique_ptr<TFileController> m_files;
};
