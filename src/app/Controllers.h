#pragma once

#include <memory>

class TMainForm;
class TRemindersController;
class TEditorReminderHost;
class IClock;

// The subsystems' controllers around the note window, made by the composition root once the
// window exists and released before it. Each connects its own commands through the window's
// command table and follows the window's events.
class TControllers final
{
public:
    // The clock is the minute scan's and the time stamps'; every other service comes from the
    // window's platform.
    TControllers(TMainForm& window, IClock& clock);
    ~TControllers();
    TControllers(const TControllers&) = delete;
    TControllers& operator=(const TControllers&) = delete;

    TRemindersController& Reminders() const { return *m_reminders; }

private:
    TMainForm& m_window;
    std::unique_ptr<TEditorReminderHost> m_reminderHost;
    std::unique_ptr<TRemindersController> m_reminders;
};
