#include "reminders/ui/RemindersController.h"

#include "config/AppConfigMgr.h"
#include "core/Clock.h"
#include "platform/PowerOff.h"
#include "reminders/TimerShutDown.h"
#include "reminders/ui/ReminderHost.h"

#include "widgets/CommandTable.h"
#include <QAction>
#include <QPointer>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

bool TRemindersController::TNotice::Holds(const QString& line) const
{
    const auto same = [&](const TDueLine& entry) { return entry.line == line; };
    return std::any_of(due.begin(), due.end(), same) || std::any_of(missed.begin(), missed.end(), same);
}

TRemindersController::TRemindersController(TAppConfigMgr& config, IClock& clock, ISoundOutput& sound,
                                           IPowerOff& powerOff, IReminderHost& host, QObject* parent)
    : QObject(parent), m_config(config), m_clock(clock), m_powerOff(powerOff), m_host(host),
      m_tune(sound, TPresetSound::psOfficial)
{
    m_timer = new QTimer(this);
    m_timer->setObjectName(u"j"_s);
    m_timer->setInterval(TimerIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &TRemindersController::jTimer);
    m_timer->start();
}

void TRemindersController::BindCommands(TCommandTable& commands)
{
    m_actions = {commands.Claim(Command::AlarmTime), commands.Claim(Command::SignComplete),
                 commands.Claim(Command::Alarm), commands.Claim(Command::Beep),
                 commands.Claim(Command::ShutDown)};
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
    connect(&m_config, &TAppConfigMgr::changed, this, [this](TSettingsAreas areas) {
        if (areas & TSettingsArea::ReminderMenu)
            RefreshMenu();
    });
}

TRemindersController::~TRemindersController() = default;

void TRemindersController::StartFromRecord(const QString& fileName)
{
    m_record = std::make_unique<TScanRecord>(fileName);
    m_minutes = TMinuteTracker(m_record->Read());
}

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
    const std::optional<TMinuteRange> minutes = m_minutes.Advance(m_clock.Now());
    if (!minutes)
        return;
    // The shutdown is started first, whatever box is open.
    CheckShutDown(*minutes);
    // Switched off by the user: the minutes passing meanwhile are not caught up later.
    if (m_config.Alarm)
        ScanFirstPage(*minutes);
    WriteRecord();
}

void TRemindersController::CheckShutDown(const TMinuteRange& minutes)
{
    if (!m_config.ShutDown || !m_config.ShutDownTime.isValid() || m_countingDown)
        return;
    const qint64 minute = WallMinute(m_config.ShutDownTime);
    if (!minutes.Contains(minute))
        return;
    if (minutes.last - minute > OnTimeMinutes) {
        // The computer was off or asleep then, or the clock jumped over it: switching off now
        // would come as a surprise, so it is said instead.
        m_config.ShutDown = false;
        RefreshShutDownAction();
        m_host.ShowNotice(ShutDownPassedText(m_config.ShutDownTime), MsgBoxKind::Warning, {});
        return;
    }
    m_countingDown = true;
    QPointer<TRemindersController> self(this);
    m_host.ShowCountdown(ShutDownGraceSeconds, [self](bool powerOff) {
        if (self)
            self->ShutDownDecided(powerOff);
    });
}

void TRemindersController::ShutDownDecided(bool powerOff)
{
    m_countingDown = false;
    if (!powerOff) {
        // The setting stays as it was; the user is told where to switch it off.
        m_host.ShowNotice(ShutDownCancelledText(m_config.ShutDownTime), MsgBoxKind::Information, {});
        return;
    }
    m_config.ShutDown = false; // one shot, whatever the system answers
    RefreshShutDownAction();
    QPointer<TRemindersController> self(this);
    m_powerOff.PowerOff([self](const std::optional<TPowerOffFailure>& failure) {
        if (self && failure)
            self->m_host.ShowNotice(PowerOffFailureText(*failure), MsgBoxKind::Error, {});
    });
}

void TRemindersController::ScanFirstPage(const TMinuteRange& minutes)
{
    const QStringList lines = PageLines(m_host.FirstPageText());
    for (const TDueLine& line : FindDueLines(lines, minutes.first, minutes.last)) {
        // A line on screen or waiting is not taken twice when its minute is scanned again.
        if ((m_open && m_open->Holds(line.line)) || m_waiting.Holds(line.line))
            continue;
        (minutes.last - line.minute > OnTimeMinutes ? m_waiting.missed : m_waiting.due).append(line);
    }
    ShowNext();
}

void TRemindersController::ShowNext()
{
    if (m_open || m_tune.Playing() || m_waiting.Empty())
        return;
    if (!m_config.Beep) {
        ShowWaiting();
        return;
    }
    // The box follows its tune; lines found while it plays go into the same box.
    m_tune.Play([this] { ShowWaiting(); });
}

void TRemindersController::ShowWaiting()
{
    if (m_open || m_waiting.Empty())
        return;
    m_open = std::exchange(m_waiting, {});
    QStringList due, missed;
    for (const TDueLine& line : m_open->due)
        due.append(line.line);
    for (const TDueLine& line : m_open->missed)
        missed.append(line.line);
    QPointer<TRemindersController> self(this);
    m_host.ShowNotice(ReminderNoticeText(due, missed), MsgBoxKind::Information, [self] {
        if (self)
            self->Answered();
    });
}

void TRemindersController::Answered()
{
    if (!m_open)
        return;
    QList<TDueLine> shown = m_open->due + m_open->missed;
    m_open.reset();
    std::sort(shown.begin(), shown.end(),
              [](const TDueLine& a, const TDueLine& b) { return a.index < b.index; });
    // The page may have changed while the box was open: each line is marked where it is now,
    // and not at all when it is gone or was changed.
    for (const TDueLine& line : shown) {
        const int now = FindLineAgain(PageLines(m_host.FirstPageText()), line.line, line.index);
        if (now >= 0)
            m_host.AppendToFirstPageLine(now, QString(CompleteSign));
    }
    m_host.SendDesktopLines();
    WriteRecord();
    ShowNext();
}

void TRemindersController::WriteRecord()
{
    std::optional<qint64> minute = m_minutes.Last();
    if (!m_record || !minute)
        return;
    // A line not answered yet counts as not dealt with: a start after an end with its box open
    // shows it again.
    for (const TNotice* notice : {m_open ? &*m_open : nullptr, &m_waiting})
        if (notice)
            for (const QList<TDueLine>* lines : {&notice->due, &notice->missed})
                for (const TDueLine& line : *lines)
                    minute = std::min(*minute, line.minute - 1);
    m_record->Write(*minute);
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
