#pragma once

#include "reminders/AlarmScan.h"
#include "reminders/BTOdeum.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class IClock;
class IPowerOff;
class IReminderHost;
class ISoundOutput;
class QAction;
class QTimer;
class TAppConfigMgr;

// The reminder menu's commands, created by the note window.
struct TReminderActions
{
    QAction* AlarmTimeAction = nullptr;    // Ctrl+T: the marker for now + 30 s at the caret
    QAction* SignCompleteAction = nullptr; // Ctrl+E: "√" at the caret
    QAction* AlarmAction = nullptr;        // check item: reminders on
    QAction* BeepAction = nullptr;         // check item: sound on
    QAction* ShutDownAction = nullptr;     // the settings dialog on its shutdown page
};

// The reminders of the note window: the 4000 ms timer, the timed-shutdown check and the scan of
// the first page in every new minute, the beeper, and the commands of the reminder menu.
//
//   TRemindersController reminders(config, clock, sound, powerOff, actions, host, window);
//   ...after the settings dialog closed with OK:
//   reminders.RefreshMenu();
class TRemindersController final : public QObject
{
    Q_OBJECT
public:
    static constexpr int TimerIntervalMs = 4000;
    // The settings dialog's page with the shutdown time.
    static constexpr int ShutDownSettingsPage = 3;

    // Connects the actions, sets the menu from the settings and starts the timer. Every
    // reference must outlive the controller; parent is usually the note window.
    TRemindersController(TAppConfigMgr& config, IClock& clock, ISoundOutput& sound, IPowerOff& powerOff,
                         const TReminderActions& actions, IReminderHost& host, QObject* parent = nullptr);
    ~TRemindersController() override;

    // The check marks of the reminder, sound and shutdown items follow the settings, and the
    // shutdown item's caption shows the pending time.
    void RefreshMenu();

    // The timer's handler. On every tick: for each minute not scanned yet, the shutdown check,
    // then the scan of the first page (when reminders are on).
    void jTimer();

    QTimer* Timer() const { return m_timer; }
    TBTBeeper& Beeper() { return m_beeper; }
    // While a reminder is being shown (its tune or its box).
    bool Showing() const { return m_busy; }

    void AlarmTimeActionExecute();
    void SignCompleteActionExecute();
    void AlarmActionExecute();
    void BeepActionExecute();
    void ShutDownActionExecute();

private:
    void CheckShutDown(const QStringList& minutes);
    void ScanFirstPage(QSet<QString> minutes);
    void RefreshShutDownAction();

    TAppConfigMgr& m_config;
    IClock& m_clock;
    IPowerOff& m_powerOff;
    TReminderActions m_actions;
    IReminderHost& m_host;
    TBTBeeper m_beeper;
    QTimer* m_timer = nullptr;
    TMinuteTracker m_minutes;
    // Set while a tick's work runs: nested ticks (from a box's event loop) then only check the
    // shutdown and leave their minutes here for the running scan.
    bool m_busy = false;
    QSet<QString> m_deferred;
};
