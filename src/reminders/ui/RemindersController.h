#pragma once

#include "reminders/AlarmScan.h"
#include "reminders/ScanRecord.h"
#include "reminders/TunePlayer.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class IClock;
class IPowerOff;
class IReminderHost;
class ISoundOutput;
class QAction;
class QTimer;
class TCommandTable;
class TAppConfigMgr;

// The reminder menu's commands, from the note window's command table.
struct TReminderActions
{
    QAction* AlarmTimeAction = nullptr;    // Ctrl+T: the marker for now + 30 s at the caret
    QAction* SignCompleteAction = nullptr; // Ctrl+E: "√" at the caret
    QAction* AlarmAction = nullptr;        // check item: reminders on
    QAction* BeepAction = nullptr;         // check item: sound on
    QAction* ShutDownAction = nullptr;     // the settings dialog on its shutdown page
};

// The reminders of the note window: the 4000 ms timer, the timed-shutdown check and the scan of
// the first page for every minute the clock passed, the tune, the reminder box and the
// shutdown countdown, and the commands of the reminder menu.
//
// Nothing here waits on the user or on the tune: the box and the countdown are windows that
// call back when answered, and the tune plays on a thread. So the scan and the shutdown check
// go on while any of them is open. Lines found while a box is open wait, and go together into
// the next box once it is closed; a line is marked "√" only once its box was answered.
//
//   TRemindersController reminders(config, clock, sound, powerOff, host, window);
//   reminders.BindCommands(window.Commands());
//   reminders.StartFromRecord(TScanRecord::FileFor(AppDir()));
//
// The menu's marks follow the settings' changed signal from then on.
class TRemindersController final : public QObject
{
    Q_OBJECT
public:
    static constexpr int TimerIntervalMs = 4000;
    // The settings dialog's page with the shutdown time.
    static constexpr int ShutDownSettingsPage = 3;

    // Starts the timer. Every reference must outlive the controller; parent is usually the note
    // window.
    TRemindersController(TAppConfigMgr& config, IClock& clock, ISoundOutput& sound, IPowerOff& powerOff,
                         IReminderHost& host, QObject* parent = nullptr);
    ~TRemindersController() override;

    // Claims the reminder menu's commands, connects them and sets their marks from the settings,
    // now and whenever the settings change.
    void BindCommands(TCommandTable& commands);

    // Keeps the minute up to which reminders were dealt with in this file, and takes the one a
    // former run left there, so that the first scan also shows what passed while the program
    // was not running. Called before the first tick.
    void StartFromRecord(const QString& fileName);

    // The check marks of the reminder, sound and shutdown items follow the settings, and the
    // shutdown item's caption shows the pending time.
    void RefreshMenu();

    // The timer's handler: for the minutes the clock passed since the last tick, the shutdown
    // check, then the scan of the first page (when reminders are on).
    void jTimer();

    QTimer* Timer() const { return m_timer; }
    TBTBeeper& Beeper() { return m_tune.Beeper(); }
    // While a reminder box is open or its tune plays.
    bool Showing() const { return m_open.has_value() || m_tune.Playing(); }
    bool CountingDown() const { return m_countingDown; }

    void AlarmTimeActionExecute();
    void SignCompleteActionExecute();
    void AlarmActionExecute();
    void BeepActionExecute();
    void ShutDownActionExecute();

private:
    // The lines of one box: due now, and missed (their minute passed while nobody could scan).
    struct TNotice
    {
        QList<TDueLine> due;
        QList<TDueLine> missed;
        bool Empty() const { return due.isEmpty() && missed.isEmpty(); }
        bool Holds(const QString& line) const;
    };

    void CheckShutDown(const TMinuteRange& minutes);
    void ShutDownDecided(bool powerOff);
    void ScanFirstPage(const TMinuteRange& minutes);
    void ShowNext();
    void ShowWaiting();
    void Answered();
    void WriteRecord();
    void RefreshShutDownAction();

    TAppConfigMgr& m_config;
    IClock& m_clock;
    IPowerOff& m_powerOff;
    TReminderActions m_actions;
    IReminderHost& m_host;
    TTunePlayer m_tune;
    QTimer* m_timer = nullptr;
    TMinuteTracker m_minutes;
    std::unique_ptr<TScanRecord> m_record;
    std::optional<TNotice> m_open; // in the box on screen
    TNotice m_waiting;             // found since, shown when the box is closed
    bool m_countingDown = false;
};
