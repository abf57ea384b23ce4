#include "reminders/ui/RemindersController.h"

#include "config/AppConfigMgr.h"
#include "platform/PowerOff.h"
#include "core/Clock.h"
#include "reminders/TimerShutDown.h"
#include "reminders/ui/ReminderHost.h"

#include <QAction>
#include <QTimer>

#include <utility>

using namespace Qt::StringLiterals;

TRemindersController::TRemindersController(TAppConfigMgr& config, IClock& clock, ISoundOutput& sound,
                                           IPowerOff& powerOff, const TReminderActions& actions,
                                           IReminderHost& host, QObject* parent)
    : QObject(parent), m_config(config), m_clock(clock), m_powerOff(powerOff), m_actions(actions),
      m_host(host), m_beeper(sound)
{
    m_beeper.SetDefaultSound(TPresetSound::psOfficial);
    for (QAction* action : {m_actions.AlarmAction, m_actions.BeepAction, m_actions.ShutDownAction})
        if (action)
            action->setCheckable(true);
    auto connectTo = [this](QAction* action, void (TRemindersController::*handler)()) {
        if (action)
            connect(action, &QAction::triggered, this, handler);
    };
    connectTo(m_actions.AlarmTimeAction, &TRemindersController::AlarmTimeActionExecute);
    connectTo(m_actions.SignCompleteAction, &TRemindersController::SignCompleteActionExecute);
    connectTo(m_actions.AlarmAction, &TRemindersController::AlarmActionExecute);
    connectTo(m_actions.BeepAction, &TRemindersController::BeepActionExecute);
    connectTo(m_actions.ShutDownAction, &TRemindersController::ShutDownActionExecute);
    RefreshMenu();

    m_timer = new QTimer(this);
    m_timer->setObjectName(u"j"_s);
    m_timer->setInterval(TimerIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &TRemindersController::jTimer);
    m_timer->start();
}

TRemindersController::~TRemindersController() = default;

void TRemindersController::RefreshMenu()
{
    if (m_actions.AlarmAction)
        m_actions.AlarmAction->setChecked(m_config.Alarm);
    if (m_actions.BeepAction)
        m_actions.BeepAction->setChecked(m_config.Beep);
    RefreshShutDownAction();
}

void TRemindersController::RefreshShutDownAction()
{
    if (!m_actions.ShutDownAction)
        return;
    m_actions.ShutDownAction->setChecked(m_config.ShutDown);
    m_actions.ShutDownAction->setText(ShutDownCaption(m_config.ShutDown, m_config.ShutDownTime));
}

void TRemindersController::jTimer()
{
    const QStringList minutes = m_minutes.Advance(m_clock.Now());
    if (minutes.isEmpty())
        return;
    // The shutdown is started first, also while a reminder's box is open.
    CheckShutDown(minutes);
    if (m_busy) {
        // A tick from inside a box: the running scan takes these minutes when the box closes.
        for (const QString& minute : minutes)
            m_deferred.insert(minute);
        return;
    }
    // Minutes that passed while a shutdown failure was shown belong to this scan.
    QSet<QString> due(minutes.begin(), minutes.end());
    due.unite(std::exchange(m_deferred, {}));
    if (!m_config.Alarm)
        return; // switched off by the user: these minutes are not caught up later
    ScanFirstPage(due);
}

void TRemindersController::CheckShutDown(const QStringList& minutes)
{
    for (const QString& minute : minutes) {
        if (!IsShutDownMinute(m_config.ShutDown, m_config.ShutDownTime, minute))
            continue;
        m_config.ShutDown = false; // one shot, whatever logind answers
        RefreshShutDownAction();
        QString error;
        if (!ShutDownComputer(m_powerOff, error)) {
            const QString text = u"定时关机未能执行："_s + error;
            // The balloon does not stop the program; a box is shown when there is no tray icon.
            const bool busy = m_busy;
            m_busy = true;
            if (m_host.WindowVisible() || !m_host.ShowBalloon(u"定时关机"_s, text))
                m_host.ShowMessage(text, MsgBoxKind::Error);
            m_busy = busy;
        }
        return;
    }
}

void TRemindersController::ScanFirstPage(QSet<QString> minutes)
{
    m_busy = true;
    // Lines that fired but could not be found again to be marked (the user or a peer changed
    // them meanwhile): they do not fire a second time in this scan.
    QSet<QString> unmarked;
    // Every reminder shown completes its line or is left out from then on, so a scan never shows
    // more boxes than the page has lines.
    for (int shown = 0;; ++shown) {
        if (!m_config.Alarm)
            break; // switched off while a box was open
        minutes.unite(m_deferred);
        m_deferred.clear();
        const QStringList lines = PageLines(m_host.FirstPageText());
        QSet<int> skip;
        for (int i = 0; i < lines.size(); ++i)
            if (unmarked.contains(lines.at(i)))
                skip.insert(i);
        const int index = FindDueLine(lines, minutes, skip);
        if (index < 0 || shown >= lines.size())
            break;
        const QString line = lines.at(index);

        if (m_config.Beep)
            m_beeper.Play();
        m_host.ShowMessage(u"时间到："_s + TrimBlanks(line), MsgBoxKind::Information);

        // The page may have changed while the box was open: mark the line that fired, where it
        // is now, and nothing when it is gone.
        const int now = FindLineAgain(PageLines(m_host.FirstPageText()), line, index);
        if (now >= 0)
            m_host.AppendToFirstPageLine(now, QString(CompleteSign));
        else
            unmarked.insert(line);
        m_host.SendDesktopLines();
    }
    m_deferred.clear();
    m_busy = false;
}

void TRemindersController::AlarmTimeActionExecute()
{
    m_host.PasteAtCaret(AlarmMarkerText(m_clock.Now()));
}

void TRemindersController::SignCompleteActionExecute()
{
    m_host.PasteAtCaret(QString(CompleteSign));
}

void TRemindersController::AlarmActionExecute()
{
    // The action flipped its own check mark before this runs.
    m_config.Alarm = m_actions.AlarmAction->isChecked();
}

void TRemindersController::BeepActionExecute()
{
    m_config.Beep = m_actions.BeepAction->isChecked();
}

void TRemindersController::ShutDownActionExecute()
{
    // The click flipped the check mark; the settings decide it, or it goes back.
    const bool before = !m_actions.ShutDownAction->isChecked();
    if (m_host.OpenSettings(ShutDownSettingsPage))
        RefreshMenu();
    else
        m_actions.ShutDownAction->setChecked(before);
}
