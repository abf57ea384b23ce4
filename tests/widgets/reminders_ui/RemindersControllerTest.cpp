#include "reminders/ui/RemindersController.h"
#include "reminders/ui/EditorReminderHost.h"

#include "config/AppConfigMgr.h"
#include "notes/ui/PadMemo.h"
#include "FakePowerOff.h"
#include "FakeSoundOutput.h"
#include "core/Clock.h"
#include "reminders/BTOdeum.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
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

// The note window as the reminders see it: the first page as lines, and a log of what was done.
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
    void ShowMessage(const QString& text, MsgBoxKind kind) override
    {
        log << (kind == MsgBoxKind::Information ? u"box "_s : u"error "_s) + text;
        if (whileBoxOpen)
            std::exchange(whileBoxOpen, nullptr)();
    }
    bool ShowBalloon(const QString& title, const QString& text) override
    {
        log << u"balloon "_s + title + u' ' + text;
        return hasTray;
    }
    void SendDesktopLines() override { log << u"desktop"_s; }
    bool WindowVisible() const override { return visible; }
    bool OpenSettings(int pageIndex) override
    {
        log << u"settings %1"_s.arg(pageIndex);
        return settingsResult ? settingsResult() : false;
    }

    QStringList lines;
    QStringList log;
    bool hasTray = true;
    bool visible = false;
    std::function<void()> whileBoxOpen; // runs once, inside the next box
    std::function<bool()> settingsResult;
};

// Records the power-off in the host's log, to see its order among the boxes.
class LoggingPowerOff final : public IPowerOff
{
public:
    explicit LoggingPowerOff(QStringList& log) : m_log(log) {}
    bool PowerOff(const QString& message, int graceSeconds, QString& error) override
    {
        m_log << u"poweroff"_s;
        return fake.PowerOff(message, graceSeconds, error);
    }
    FakePowerOff fake;

private:
    QStringList& m_log;
};

class RemindersTest : public ::testing::Test
{
protected:
    RemindersTest() : config(folder.filePath(u"Config.ini"_s), At(8, 0)), powerOff(host.log)
    {
        actions.AlarmTimeAction = &alarmTime;
        actions.SignCompleteAction = &signComplete;
        actions.AlarmAction = &alarm;
        actions.BeepAction = &beep;
        actions.ShutDownAction = &shutDown;
    }
    ~RemindersTest() override { controller.reset(); }
    TRemindersController& Make()
    {
        controller = std::make_unique<TRemindersController>(config, clock, sound, powerOff, actions, host);
        controller->Timer()->stop(); // the test ticks by hand
        return *controller;
    }
    void TickAt(const QDateTime& moment)
    {
        clock.Set(moment);
        controller->jTimer();
    }

    QTemporaryDir folder;
    TAppConfigMgr config;
    TTestClock clock;
    FakeSoundOutput sound;
    FakeHost host;
    LoggingPowerOff powerOff;
    QAction alarmTime, signComplete, alarm, beep, shutDown;
    TReminderActions actions;
    std::unique_ptr<TRemindersController> controller;
};

TEST_F(RemindersTest, ReminderFiresOnceInItsMinuteWithTuneBoxSignAndDesktop)
{
    host.lines = {u"shopping"_s, u"buy milk @2009-05-01 08:30"_s, u"call back @2009-05-01 08:30   "_s,
                  u"@2009-05-01 08:30 call"_s, u"later @2009-05-01 08:31"_s};
    Make();
    EXPECT_EQ(controller->Timer()->interval(), 4000);
    TickAt(At(8, 29, 58));
    EXPECT_TRUE(host.log.isEmpty());
    TickAt(At(8, 30, 2));
    // Both lines of the minute fire, one after the other, each with its tune.
    EXPECT_EQ(host.log,
              (QStringList{u"box 时间到：buy milk @2009-05-01 08:30"_s, u"append 1"_s, u"desktop"_s,
                           u"box 时间到：call back @2009-05-01 08:30"_s, u"append 2"_s, u"desktop"_s}));
    EXPECT_EQ(sound.played,
              (QList<TTones>{PresetTones(TPresetSound::psOfficial), PresetTones(TPresetSound::psOfficial)}));
    EXPECT_EQ(host.lines[1], u"buy milk @2009-05-01 08:30√"_s);
    EXPECT_EQ(host.lines[2], u"call back @2009-05-01 08:30   √"_s);
    EXPECT_EQ(host.lines[3], u"@2009-05-01 08:30 call"_s);
    EXPECT_TRUE(config.Alarm);

    host.log.clear();
    host.lines[1].chop(1); // the sign deleted again: the minute is over for the scan anyway
    TickAt(At(8, 30, 6));
    TickAt(At(8, 30, 58));
    EXPECT_TRUE(host.log.isEmpty());
    TickAt(At(8, 31, 2));
    EXPECT_EQ(host.log.first(), u"box 时间到：later @2009-05-01 08:31"_s);
}

TEST_F(RemindersTest, SwitchesAndNoCatchUp)
{
    host.lines = {u"a @2009-05-01 08:30"_s, u"b @2009-05-01 08:31"_s};
    config.Beep = false;
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
    EXPECT_EQ(host.log.first(), u"box 时间到：b @2009-05-01 08:31"_s);
    EXPECT_TRUE(sound.played.isEmpty()); // Beep off
    beep.trigger();
    EXPECT_TRUE(config.Beep);
    alarm.trigger();
    EXPECT_FALSE(config.Alarm);
}

TEST_F(RemindersTest, PageChangedWhileTheBoxIsOpen)
{
    host.lines = {u"x @2009-05-01 08:30"_s, u"y @2009-05-01 08:30"_s, u"z @2009-05-01 08:30"_s};
    Make();
    // A peer inserts two lines above the first reminder; it is marked where it went.
    host.whileBoxOpen = [&] { host.lines.prepend(u"new"_s), host.lines.prepend(u"x @2009-05-01 08:30√"_s); };
    TickAt(At(8, 30, 0));
    EXPECT_EQ(host.lines, (QStringList{u"x @2009-05-01 08:30√"_s, u"new"_s, u"x @2009-05-01 08:30√"_s,
                                       u"y @2009-05-01 08:30√"_s, u"z @2009-05-01 08:30√"_s}));

    // The user edits the line that fired and cuts the page short: nothing else is marked, and
    // nothing past the end is touched.
    host.log.clear();
    host.lines = {u"a"_s, u"b"_s, u"c"_s, u"d @2009-05-01 08:31"_s};
    host.whileBoxOpen = [&] { host.lines = {u"d @2009-05-01 08:32"_s}; };
    TickAt(At(8, 31, 0));
    EXPECT_EQ(host.lines, QStringList{u"d @2009-05-01 08:32"_s});
    EXPECT_EQ(host.log, (QStringList{u"box 时间到：d @2009-05-01 08:31"_s, u"desktop"_s}));
}

TEST_F(RemindersTest, MinutesPassingWhileTheBoxIsOpen)
{
    host.lines = {u"a @2009-05-01 08:30"_s, u"b @2009-05-01 08:32"_s};
    config.ShutDown = true;
    config.ShutDownTime = At(8, 31, 40);
    Make();
    host.whileBoxOpen = [&] {
        EXPECT_TRUE(config.Alarm); // saved settings during the box keep reminders on
        for (int s = 4; s < 150; s += 4)
            TickAt(At(8, 30).addSecs(s));
    };
    TickAt(At(8, 30, 0));
    // The shutdown started inside the box; the reminder of 08:32 came after the box closed.
    EXPECT_EQ(host.log,
              (QStringList{u"box 时间到：a @2009-05-01 08:30"_s, u"poweroff"_s, u"append 0"_s, u"desktop"_s,
                           u"box 时间到：b @2009-05-01 08:32"_s, u"append 1"_s, u"desktop"_s}));
    TickAt(At(8, 32, 40));
    TickAt(At(8, 33, 0));
    EXPECT_EQ(host.log.size(), 7);
}

TEST_F(RemindersTest, ShutDownFiresOnceBeforeTheReminderAndUpdatesTheMenu)
{
    host.lines = {u"a @2009-05-01 22:00"_s};
    config.ShutDown = true;
    config.ShutDownTime = At(22, 0, 45);
    Make();
    EXPECT_TRUE(shutDown.isChecked());
    EXPECT_EQ(shutDown.text(), u"定时关机(&X)@2009-05-01 22:00"_s);
    TickAt(At(21, 59, 59));
    EXPECT_TRUE(host.log.isEmpty());
    TickAt(At(22, 0, 3));
    TickAt(At(22, 0, 7));
    EXPECT_EQ(host.log, (QStringList{u"poweroff"_s, u"box 时间到：a @2009-05-01 22:00"_s, u"append 0"_s,
                                     u"desktop"_s}));
    EXPECT_EQ(powerOff.fake.calls, QStringList{u"30:这是由Jotvane发起的自动关机！"_s});
    EXPECT_FALSE(config.ShutDown);
    EXPECT_FALSE(shutDown.isChecked());
    EXPECT_EQ(shutDown.text(), u"定时关机(&S)..."_s);
}

TEST_F(RemindersTest, RefusedShutDownIsReported)
{
    const QString refused = u"定时关机未能执行：org.freedesktop.DBus.Error.AccessDenied: no"_s;
    powerOff.fake.refuseWith = u"org.freedesktop.DBus.Error.AccessDenied: no"_s;
    host.lines = {u"off @2009-05-01 09:00"_s};
    config.Alarm = false;
    config.ShutDown = true;
    config.ShutDownTime = At(9, 0);
    Make();
    TickAt(At(9, 0, 1));
    EXPECT_EQ(host.log, (QStringList{u"poweroff"_s, u"balloon 定时关机 "_s + refused}));
    EXPECT_FALSE(config.ShutDown);
    alarm.trigger(); // reminders on again: 09:00 passed while they were off and stays past
    TickAt(At(9, 0, 9));
    EXPECT_EQ(host.log.size(), 2);

    // No tray icon: a box instead. Reminders are off while it is open, so a minute passing
    // meanwhile is not caught up later.
    host.log.clear();
    host.hasTray = false;
    host.lines = {u"a @2009-05-01 09:02"_s};
    alarm.trigger();
    config.ShutDown = true;
    config.ShutDownTime = At(9, 1);
    host.whileBoxOpen = [&] { TickAt(At(9, 2, 5)); };
    TickAt(At(9, 1, 1));
    EXPECT_EQ(host.log,
              (QStringList{u"poweroff"_s, u"balloon 定时关机 "_s + refused, u"error "_s + refused}));
    alarm.trigger();

    // The window on screen: a box, no balloon.
    host.log.clear();
    host.visible = true;
    config.ShutDown = true;
    config.ShutDownTime = At(9, 3);
    TickAt(At(9, 3, 1));
    EXPECT_EQ(host.log, (QStringList{u"poweroff"_s, u"error "_s + refused}));
    EXPECT_EQ(powerOff.fake.calls.size(), 3);
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
        config.Beep = false;
        return true;
    };
    shutDown.trigger();
    EXPECT_TRUE(shutDown.isChecked());
    EXPECT_EQ(shutDown.text(), u"定时关机(&X)@2009-05-01 23:05"_s);
    EXPECT_FALSE(beep.isChecked());
    EXPECT_TRUE(alarm.isChecked());
}

// The window's side: the sign goes into the first page's editor as an undoable edit, the
// second page is never scanned, and the marker is pasted into the current page.
TEST_F(RemindersTest, EditorHostMarksTheFirstPageOnly)
{
    TPadMemo first, second;
    first.SetPageText(u"top\nbuy milk @2009-05-01 08:30 \nend"_s);
    second.SetPageText(u"other @2009-05-01 08:30"_s);
    first.SetSelection(1, 2);
    QStringList desktop;
    TEditorReminderHost editorHost({nullptr,
                                    [&] { return &first; },
                                    [&] { return &second; },
                                    {},
                                    [&](TPadMemo* editor) { desktop << editor->PageText(); },
                                    {}});
    SetMsgBoxHook([&](const TMsgBoxCall& call) {
        desktop << u"box "_s + call.message;
        return MsgResultOK;
    });
    TRemindersController reminders(config, clock, sound, powerOff, actions, editorHost);
    reminders.Timer()->stop();
    clock.Set(At(8, 30, 1));
    reminders.jTimer();
    SetMsgBoxHook({});

    const QString marked = u"top\nbuy milk @2009-05-01 08:30 √\nend"_s;
    EXPECT_EQ(first.PageText(), marked);
    EXPECT_EQ(desktop, (QStringList{u"box 时间到：buy milk @2009-05-01 08:30"_s, marked}));
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
