#include "reminders/ui/RemindersController.h"
#include "reminders/ui/EditorReminderHost.h"
#include "widgets/CommandTable.h"

#include "FakePowerOff.h"
#include "FakeSoundOutput.h"
#include "TestClock.h"
#include "TestSupport.h"
#include "config/AppConfigMgr.h"
#include "core/Clock.h"
#include "notes/ui/PadMemo.h"
#include "reminders/BTOdeum.h"
#include "reminders/ui/InputGuard.h"
#include "reminders/ui/NoticeBox.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include <ostream>

using namespace Qt::StringLiterals;

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

QDateTime At(int h, int m, int s = 0)
{
    return QDateTime(QDate(2009, 5, 1), QTime(h, m, s));
}

// The note window as the reminders see it: the first page as lines, a log of what was done, and
// the boxes and the countdown left open until the test answers them.
class FakeHost final : public IReminderHost
{
public:
    QString FirstPageText() const override { return lines.join(u'\n'); }
    void AppendToFirstPageLine(int line, const QString& text) override
    {
        log << u"append %1"_s.arg(line);
        if (line >= 0 && line < lines.size())
            lines[line] += text;
    }
    void PasteAtCaret(const QString& text) override { log << u"paste "_s + text; }
    void ShowNotice(const QString& text, MsgBoxKind kind, std::function<void()> answered) override
    {
        log << (kind == MsgBoxKind::Information ? u"box "_s
                : kind == MsgBoxKind::Error     ? u"error "_s
                                                : u"warning "_s) +
                   text;
        boxes.append(std::move(answered));
    }
    void ShowCountdown(int seconds, std::function<void(bool powerOff)> decided) override
    {
        log << u"countdown %1"_s.arg(seconds);
        countdown = std::move(decided);
    }
    void SendDesktopLines() override { log << u"desktop"_s; }
    bool OpenSettings(int pageIndex) override
    {
        log << u"settings %1"_s.arg(pageIndex);
        return settingsResult ? settingsResult() : false;
    }
    // The user closes the oldest open box.
    void Answer()
    {
        ASSERT_FALSE(boxes.isEmpty());
        if (std::function<void()> answered = boxes.takeFirst())
            answered();
    }
    void Decide(bool powerOff)
    {
        ASSERT_TRUE(countdown);
        std::exchange(countdown, nullptr)(powerOff);
    }

    QStringList lines;
    QStringList log;
    QList<std::function<void()>> boxes;
    std::function<void(bool)> countdown;
    std::function<bool()> settingsResult;
};

class RemindersTest : public ::testing::Test
{
protected:
    RemindersTest() : config(folder.filePath(u"Config.ini"_s), At(8, 0))
    {
        config.Beep = false; // cases about the tune switch it on
    }
    ~RemindersTest() override { controller.reset(); }
    TRemindersController& Make(bool fromRecord = false)
    {
        controller = std::make_unique<TRemindersController>(config, clock, sound, powerOff, host);
        controller->BindCommands(commands);
        controller->Timer()->stop(); // the test ticks by hand
        if (fromRecord)
            controller->StartFromRecord(RecordFile());
        return *controller;
    }
    QString RecordFile() const { return folder.filePath(u"scan.txt"_s); }
    void TickAt(const QDateTime& moment)
    {
        clock.Set(moment);
        controller->jTimer();
    }
    // Ticks every 4 s from one moment up to (not including) another, as the timer would.
    void RunClock(const QDateTime& from, const QDateTime& to)
    {
        for (QDateTime t = from; t < to; t = t.addSecs(4))
            TickAt(t);
    }
    // Waits for the box that follows the tune.
    bool WaitForBoxes(int count)
    {
        return WaitFor([&] { return host.boxes.size() >= count; });
    }

    QTemporaryDir folder;
    TAppConfigMgr config;
    TTestClock clock;
    FakeSoundOutput sound;
    FakeHost host;
    FakePowerOff powerOff;
    QWidget window;
    TCommandTable commands{&window};
    QAction& alarmTime = *commands.action(Command::AlarmTime);
    QAction& signComplete = *commands.action(Command::SignComplete);
    QAction& alarm = *commands.action(Command::Alarm);
    QAction& beep = *commands.action(Command::Beep);
    QAction& shutDown = *commands.action(Command::ShutDown);
    std::unique_ptr<TRemindersController> controller;
};

TEST_F(RemindersTest, LinesOfOneMinuteGoIntoOneBoxAfterOneTuneAndAreMarkedWhenAnswered)
{
    host.lines = {u"shopping"_s, u"buy milk @2009-05-01 08:30"_s, u"call back @2009-05-01 08:30   "_s,
                  u"@2009-05-01 08:30 call"_s, u"later @2009-05-01 08:31"_s};
    config.Beep = true;
    Make();
    EXPECT_EQ(controller->Timer()->interval(), 4000);
    TickAt(At(8, 29, 58));
    EXPECT_TRUE(host.log.isEmpty());
    TickAt(At(8, 30, 2));
    ASSERT_TRUE(WaitForBoxes(1));
    EXPECT_EQ(host.log,
              QStringList{u"box 时间到：\nbuy milk @2009-05-01 08:30\ncall back @2009-05-01 08:30"_s});
    EXPECT_EQ(sound.played, QList<TTones>{PresetTones(TPresetSound::psOfficial)});
    // Nothing is marked before the user answers.
    EXPECT_EQ(host.lines[1], u"buy milk @2009-05-01 08:30"_s);
    TickAt(At(8, 30, 6));
    host.Answer();
    EXPECT_EQ(host.log.mid(1), (QStringList{u"append 1"_s, u"append 2"_s, u"desktop"_s}));
    EXPECT_EQ(host.lines[1], u"buy milk @2009-05-01 08:30√"_s);
    EXPECT_EQ(host.lines[2], u"call back @2009-05-01 08:30   √"_s);
    EXPECT_EQ(host.lines[3], u"@2009-05-01 08:30 call"_s);

    host.log.clear();
    host.lines[1].chop(1); // the sign deleted again: the minute is over for the scan anyway
    TickAt(At(8, 30, 58));
    EXPECT_TRUE(host.log.isEmpty());
    TickAt(At(8, 31, 2));
    ASSERT_TRUE(WaitForBoxes(1));
    EXPECT_EQ(host.log.first(),
              u"box 时间到：later @2009-05-01 08:31"_s); // one line stands after the heading
    EXPECT_EQ(sound.played.size(), 2);
}

TEST_F(RemindersTest, SwitchesAndNoCatchUpOfMinutesSwitchedOff)
{
    host.lines = {u"a @2009-05-01 08:30"_s, u"b @2009-05-01 08:31"_s};
    config.Alarm = false;
    Make();
    EXPECT_FALSE(alarm.isChecked());
    EXPECT_FALSE(beep.isChecked());
    TickAt(At(8, 30, 1));
    EXPECT_TRUE(host.log.isEmpty());
    alarm.trigger(); // switched on again in the same minute: 08:30 is not caught up
    EXPECT_TRUE(config.Alarm);
    TickAt(At(8, 30, 5));
    EXPECT_TRUE(host.log.isEmpty());
    TickAt(At(8, 31, 1));
    EXPECT_EQ(host.log, QStringList{u"box 时间到：b @2009-05-01 08:31"_s});
    EXPECT_TRUE(sound.played.isEmpty()); // Beep off
    beep.trigger();
    EXPECT_TRUE(config.Beep);
    alarm.trigger();
    EXPECT_FALSE(config.Alarm);
}

TEST_F(RemindersTest, PageChangedWhileTheBoxIsOpen)
{
    host.lines = {u"x @2009-05-01 08:30"_s, u"y @2009-05-01 08:30"_s};
    Make();
    TickAt(At(8, 30, 0));
    // A peer inserts two lines above the reminders; they are marked where they went.
    host.lines.prepend(u"new"_s), host.lines.prepend(u"x @2009-05-01 08:30√"_s);
    host.Answer();
    EXPECT_EQ(host.lines, (QStringList{u"x @2009-05-01 08:30√"_s, u"new"_s, u"x @2009-05-01 08:30√"_s,
                                       u"y @2009-05-01 08:30√"_s}));

    // The user edits the line that fired and cuts the page short: nothing else is marked, and
    // nothing past the end is touched.
    host.log.clear();
    host.lines = {u"a"_s, u"b"_s, u"c"_s, u"d @2009-05-01 08:31"_s};
    TickAt(At(8, 31, 0));
    host.lines = {u"d @2009-05-01 08:32"_s};
    host.Answer();
    EXPECT_EQ(host.lines, QStringList{u"d @2009-05-01 08:32"_s});
    EXPECT_EQ(host.log, (QStringList{u"box 时间到：d @2009-05-01 08:31"_s, u"desktop"_s}));
}

// A time correction two minutes back: the minutes passed again are scanned again, so a line
// for one of them, and a marker set with Ctrl+T just after the step, fire.
TEST_F(RemindersTest, ClockSteppedBackTwoMinutes)
{
    host.lines = {u"done @2009-05-01 08:45"_s};
    Make();
    RunClock(At(8, 44, 30), At(8, 46, 10));
    host.Answer();
    ASSERT_EQ(host.lines[0], u"done @2009-05-01 08:45√"_s);
    host.log.clear();
    host.lines << u"a @2009-05-01 08:44"_s;
    TickAt(At(8, 43, 50)); // the step back
    clock.Set(At(8, 43, 52));
    alarmTime.trigger();
    host.lines << u"b "_s + host.log.takeLast().mid(6); // the marker Ctrl+T pasted: 08:44
    RunClock(At(8, 43, 54), At(8, 46, 10));
    EXPECT_EQ(host.log, QStringList{u"box 时间到：\na @2009-05-01 08:44\nb @2009-05-01 08:44"_s});
    host.Answer();
    RunClock(At(8, 46, 10), At(8, 47, 10));
    EXPECT_EQ(host.lines, (QStringList{u"done @2009-05-01 08:45√"_s, u"a @2009-05-01 08:44√"_s,
                                       u"b @2009-05-01 08:44√"_s}));
    EXPECT_EQ(host.log.size(), 4); // each line once, the one done before not again
}

// The clock jumps twelve minutes forward (a resume, the clock set by hand): the lines of the
// minutes jumped over are shown once as missed, beside what is due now.
TEST_F(RemindersTest, ClockJumpsTwelveMinutesForward)
{
    host.lines = {u"early @2009-05-01 08:32"_s, u"later @2009-05-01 08:40"_s, u"now @2009-05-01 08:42"_s,
                  u"next @2009-05-01 08:43"_s};
    config.Beep = true;
    Make();
    TickAt(At(8, 30, 40));
    TickAt(At(8, 42, 40));
    ASSERT_TRUE(WaitForBoxes(1));
    EXPECT_EQ(host.log, QStringList{u"box 时间到：now @2009-05-01 08:42\n\n错过的提醒：\n"
                                    u"early @2009-05-01 08:32\nlater @2009-05-01 08:40"_s});
    EXPECT_EQ(sound.played.size(), 1);
    // The next minute falls due while the box is open: it waits for the box to close.
    RunClock(At(8, 42, 44), At(8, 43, 30));
    EXPECT_EQ(host.boxes.size(), 1);
    host.Answer();
    EXPECT_EQ(host.lines.mid(0, 3), (QStringList{u"early @2009-05-01 08:32√"_s, u"later @2009-05-01 08:40√"_s,
                                                 u"now @2009-05-01 08:42√"_s}));
    ASSERT_TRUE(WaitForBoxes(1));
    EXPECT_EQ(host.log.last(), u"box 时间到：next @2009-05-01 08:43"_s);
    EXPECT_EQ(sound.played.size(), 2);
}

// Suspended at 08:29 across a reminder at 08:30, resumed at 09:10: shown as missed, once.
TEST_F(RemindersTest, SuspendAcrossAReminder)
{
    host.lines = {u"meeting @2009-05-01 08:30"_s};
    Make();
    RunClock(At(8, 28), At(8, 29, 30));
    TickAt(At(9, 10, 3));
    EXPECT_EQ(host.log, QStringList{u"box 错过的提醒：meeting @2009-05-01 08:30"_s});
    RunClock(At(9, 10, 7), At(9, 12));
    host.Answer();
    EXPECT_EQ(host.lines[0], u"meeting @2009-05-01 08:30√"_s);
    EXPECT_EQ(host.log.size(), 3);
}

// A start after the reminder's minute shows what passed since the last minute a former run
// recorded; a box left open at the end counts as not seen.
TEST_F(RemindersTest, StartAfterTheRemindersMinute)
{
    host.lines = {u"a @2009-05-01 08:30"_s, u"b @2009-05-01 08:40"_s, u"c @2009-05-01 09:30"_s};
    Make(true);
    TickAt(At(8, 20, 1)); // a first start: nothing recorded, nothing before now counts
    RunClock(At(8, 29, 50), At(8, 30, 10));
    EXPECT_EQ(host.log, QStringList{u"box 时间到：a @2009-05-01 08:30"_s});
    controller.reset(); // the program ends with the box open
    EXPECT_EQ(ReadBytes(RecordFile()), QByteArray("2009-05-01 08:29\n"));

    host.log.clear();
    host.boxes.clear();
    Make(true);
    TickAt(At(9, 0, 2)); // started again at 09:00
    EXPECT_EQ(host.log, QStringList{u"box 错过的提醒：\na @2009-05-01 08:30\nb @2009-05-01 08:40"_s});
    host.Answer();
    EXPECT_EQ(ReadBytes(RecordFile()), QByteArray("2009-05-01 09:00\n"));
    controller.reset();
    host.log.clear();
    Make(true);
    TickAt(At(9, 40, 2));
    EXPECT_EQ(host.log, QStringList{u"box 错过的提醒：c @2009-05-01 09:30"_s});
}

// A reminder box left open across the shutdown minute: the countdown comes all the same, and
// the power-off is asked for at its end.
TEST_F(RemindersTest, BoxOpenAcrossTheShutDownMinute)
{
    host.lines = {u"a @2009-05-01 08:31"_s};
    config.ShutDown = true;
    config.ShutDownTime = At(8, 32, 20);
    Make();
    RunClock(At(8, 30, 58), At(8, 32, 4));
    EXPECT_EQ(host.log, (QStringList{u"box 时间到：a @2009-05-01 08:31"_s, u"countdown 30"_s}));
    EXPECT_TRUE(config.ShutDown); // the countdown may still be cancelled
    EXPECT_EQ(powerOff.calls, 0);
    RunClock(At(8, 32, 4), At(8, 33, 4)); // no second countdown in the same minute
    host.Decide(true);
    EXPECT_FALSE(config.ShutDown);
    EXPECT_EQ(shutDown.text(), u"定时关机(&S)..."_s);
    EXPECT_EQ(powerOff.calls, 1);
    host.Answer(); // the box is still answered and marked
    EXPECT_EQ(host.lines[0], u"a @2009-05-01 08:31√"_s);
    EXPECT_EQ(host.log.size(), 4);
}

TEST_F(RemindersTest, CancelledCountdownKeepsTheShutDownAndSaysHowToSwitchItOff)
{
    config.ShutDown = true;
    config.ShutDownTime = At(22, 0, 45);
    Make();
    EXPECT_TRUE(shutDown.isChecked());
    EXPECT_EQ(shutDown.text(), u"定时关机(&X)@2009-05-01 22:00"_s);
    TickAt(At(21, 59, 59));
    EXPECT_TRUE(host.log.isEmpty());
    TickAt(At(22, 0, 3));
    host.Decide(false);
    ASSERT_EQ(host.log.size(), 2);
    EXPECT_TRUE(host.log[1].startsWith(u"box 已取消这次关机。定时关机仍然设在 2009-05-01 22:00；"_s));
    EXPECT_TRUE(config.ShutDown);
    EXPECT_TRUE(shutDown.isChecked());
    RunClock(At(22, 0, 7), At(22, 2));
    EXPECT_EQ(host.log.size(), 2);
    EXPECT_EQ(powerOff.calls, 0);
}

TEST_F(RemindersTest, ShutDownMissedOrRefusedIsSaid)
{
    // The computer slept across the shutdown minute: not switched off on waking, but said.
    config.ShutDown = true;
    config.ShutDownTime = At(9, 0);
    Make();
    TickAt(At(8, 58, 1));
    TickAt(At(9, 30, 1));
    ASSERT_EQ(host.log.size(), 1);
    EXPECT_TRUE(host.log[0].startsWith(u"warning 定时关机的时间 2009-05-01 09:00 已经过去"_s));
    EXPECT_FALSE(config.ShutDown);
    EXPECT_FALSE(shutDown.isChecked());

    // A refusal of the system, in the program's words.
    host.log.clear();
    powerOff.refuseWith = {u"org.freedesktop.DBus.Error.AccessDenied"_s, u"Permission denied"_s};
    config.ShutDown = true;
    config.ShutDownTime = At(9, 31);
    TickAt(At(9, 31, 2));
    host.Decide(true);
    ASSERT_TRUE(WaitFor([&] { return host.log.size() == 2; }));
    EXPECT_EQ(host.log[1],
              u"error 定时关机未能执行：没有权限关机。\n\n详细信息：org.freedesktop.DBus.Error.AccessDenied: "
              u"Permission denied"_s);
    EXPECT_FALSE(config.ShutDown);
}

TEST_F(RemindersTest, FiveHundredLinesInOneMinuteMakeOneBoxAndOneTune)
{
    for (int i = 0; i < 500; ++i)
        host.lines << u"line %1 @2009-05-01 08:30"_s.arg(i);
    config.Beep = true;
    Make();
    TickAt(At(8, 30, 1));
    ASSERT_TRUE(WaitForBoxes(1));
    RunClock(At(8, 30, 5), At(8, 31, 30));
    EXPECT_EQ(host.boxes.size(), 1);
    EXPECT_EQ(sound.played.size(), 1);
    EXPECT_EQ(host.log[0].count(u'\n'), 500);
    host.Answer();
    EXPECT_EQ(host.lines.filter(u"√"_s).size(), 500);
}

TEST_F(RemindersTest, InsertCommandsAndShutDownSettings)
{
    Make();
    clock.Set(At(10, 15, 29));
    alarmTime.trigger();
    clock.Set(At(10, 15, 30));
    alarmTime.trigger();
    signComplete.trigger();
    EXPECT_EQ(host.log,
              (QStringList{u"paste @2009-05-01 10:15"_s, u"paste @2009-05-01 10:16"_s, u"paste √"_s}));

    host.log.clear();
    host.settingsResult = [&] {
        config.ShutDown = true;
        config.ShutDownTime = At(23, 5, 9);
        return false; // cancelled: the menu stays as it was
    };
    shutDown.trigger();
    EXPECT_EQ(host.log, QStringList{u"settings 3"_s});
    EXPECT_FALSE(shutDown.isChecked());
    EXPECT_EQ(shutDown.text(), u"定时关机(&S)..."_s);
    host.settingsResult = [&] {
        config.Beep = true;
        return true;
    };
    shutDown.trigger();
    EXPECT_TRUE(shutDown.isChecked());
    EXPECT_EQ(shutDown.text(), u"定时关机(&X)@2009-05-01 23:05"_s);
    EXPECT_TRUE(beep.isChecked());
    EXPECT_TRUE(alarm.isChecked());
}

TNoticeBox* OpenNoticeBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<TNoticeBox*>(widget); box && box->isVisible())
            return box;
    return nullptr;
}

// The window's side: a real box, the sign goes into the first page's editor as an undoable
// edit once the box is answered, the second page is never scanned, and the marker is pasted
// into the current page.
TEST_F(RemindersTest, EditorHostMarksTheFirstPageOnceAnswered)
{
    TPadMemo first, second;
    first.SetPageText(u"top\nbuy milk @2009-05-01 08:30 \nend"_s);
    second.SetPageText(u"other @2009-05-01 08:30"_s);
    first.SetSelection(1, 2);
    // The window around the editors: the second page is the current one.
    struct TWindow final : IReminderEditorsHost
    {
        TPadMemo &first, &second;
        QStringList desktop;
        TWindow(TPadMemo& f, TPadMemo& s) : first(f), second(s) {}
        QWidget* window() override { return nullptr; }
        TPadMemo* firstEditor() override { return &first; }
        TPadMemo* currentEditor() override { return &second; }
        void sendDesktopLines(TPadMemo* editor) override { desktop << editor->PageText(); }
        bool openSettings(int) override { return false; }
    } pages(first, second);
    const QStringList& desktop = pages.desktop;
    TEditorReminderHost editorHost(pages);
    TRemindersController reminders(config, clock, sound, powerOff, editorHost);
    reminders.BindCommands(commands);
    reminders.Timer()->stop();
    clock.Set(At(8, 30, 1));
    reminders.jTimer();
    TNoticeBox* box = OpenNoticeBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->MessageLabel()->text(), u"时间到：buy milk @2009-05-01 08:30"_s);
    EXPECT_EQ(box->windowTitle(), u"提示"_s);
    EXPECT_EQ(first.PageText(), u"top\nbuy milk @2009-05-01 08:30 \nend"_s);
    ASSERT_TRUE(WaitFor([&] { return !box->Guard()->Quiet(); }));
    box->OkButton()->click();
    ASSERT_TRUE(WaitFor([&] { return !OpenNoticeBox(); }));

    const QString marked = u"top\nbuy milk @2009-05-01 08:30 √\nend"_s;
    EXPECT_EQ(first.PageText(), marked);
    EXPECT_EQ(desktop, QStringList{marked});
    EXPECT_EQ(second.PageText(), u"other @2009-05-01 08:30"_s);
    EXPECT_TRUE(first.Modified());
    EXPECT_EQ(first.SelStart(), 1);
    EXPECT_EQ(first.SelLength(), 2);
    first.undo();
    EXPECT_EQ(first.PageText(), u"top\nbuy milk @2009-05-01 08:30 \nend"_s);
    EXPECT_FALSE(AppendToLine(first, 3, u"√"_s));
    EXPECT_TRUE(AppendToLine(first, 2, u"√"_s));
    EXPECT_EQ(first.PageText(), u"top\nbuy milk @2009-05-01 08:30 \nend√"_s);

    second.SetSelection(5, 0);
    clock.Set(At(10, 15, 29));
    alarmTime.trigger();
    EXPECT_EQ(second.PageText(), u"other@2009-05-01 10:15 @2009-05-01 08:30"_s);
}

} // namespace
