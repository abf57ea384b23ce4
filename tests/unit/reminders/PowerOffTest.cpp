#include "platform/linux/LogindPowerOff.h"
#include "reminders/AlarmScan.h"
#include "reminders/ScanRecord.h"
#include "reminders/TimerShutDown.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

// Without a system bus (here: one that does not exist, never the real one) the request fails
// with a reason instead of passing for accepted, and the answer comes from the event loop.
TEST(PowerOff, NoSystemBusIsAFailureWithAReason)
{
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QDir::tempPath().toLocal8Bit() + "/no-such-bus");
    LogindPowerOff powerOff;
    std::optional<std::optional<TPowerOffFailure>> answer;
    powerOff.PowerOff([&](const std::optional<TPowerOffFailure>& failure) { answer = failure; });
    EXPECT_FALSE(answer.has_value());
    ASSERT_TRUE(WaitFor([&] { return answer.has_value(); }));
    ASSERT_TRUE(answer->has_value());
    EXPECT_FALSE((*answer)->name.isEmpty());
    EXPECT_TRUE(
        PowerOffFailureText(**answer).startsWith(u"定时关机未能执行：无法连接系统总线。\n\n详细信息：org."_s))
        << PowerOffFailureText(**answer).toStdString();
}

TEST(PowerOff, RefusalsAreSaidInTheProgramsWordsWithTheSystemsTextBelow)
{
    const auto reason = [](const QString& name, const QString& message) {
        const QString text = PowerOffFailureText({name, message});
        EXPECT_TRUE(text.endsWith(u"详细信息："_s + name + u": "_s + message)) << text.toStdString();
        return text.section(u'。', 0, 0);
    };
    EXPECT_EQ(reason(u"org.freedesktop.DBus.Error.AccessDenied"_s, u"Permission denied"_s),
              u"定时关机未能执行：没有权限关机"_s);
    EXPECT_EQ(reason(u"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired"_s,
                     u"Interactive authentication required."_s),
              u"定时关机未能执行：没有权限关机"_s);
    EXPECT_EQ(
        reason(u"org.freedesktop.login1.BlockedByInhibitorLock"_s, u"Operation inhibited by \"updater\""_s),
        u"定时关机未能执行：另一个程序阻止了关机"_s);
    EXPECT_EQ(reason(u"org.freedesktop.DBus.Error.AccessDenied"_s, u"Operation inhibited by \"backup\""_s),
              u"定时关机未能执行：另一个程序阻止了关机"_s);
    EXPECT_EQ(reason(u"org.freedesktop.DBus.Error.ServiceUnknown"_s, u"The name is not activatable"_s),
              u"定时关机未能执行：找不到系统的关机服务（logind）"_s);
    EXPECT_EQ(reason(u"org.freedesktop.DBus.Error.NoReply"_s, u"Did not receive a reply"_s),
              u"定时关机未能执行：系统的关机服务没有回应"_s);
    EXPECT_EQ(reason(u"org.freedesktop.login1.OperationInProgress"_s, u"There's already a shutdown"_s),
              u"定时关机未能执行：系统正在进行另一次关机或休眠"_s);
    EXPECT_EQ(reason(u"org.example.Odd"_s, u"odd"_s), u"定时关机未能执行：系统拒绝了关机请求"_s);
}

TEST(ScanRecord, KeptPerProgramFolderAndReadBack)
{
    const QString state = QDir::tempPath() + u"/scan-record-state"_s;
    QDir(state).removeRecursively();
    qputenv("XDG_STATE_HOME", state.toLocal8Bit());
    const QString one = TScanRecord::FileFor(u"/opt/one/"_s);
    EXPECT_TRUE(one.startsWith(state + u"/Jotvane/reminders-"_s));
    EXPECT_EQ(TScanRecord::FileFor(u"/opt/one"_s), one);
    EXPECT_NE(TScanRecord::FileFor(u"/opt/two/"_s), one);

    TScanRecord record(one);
    EXPECT_FALSE(record.Read().has_value()); // a first start
    const qint64 minute = *StampMinute(u"2009-05-01 08:30"_s);
    record.Write(minute);
    EXPECT_EQ(ReadBytes(one), QByteArray("2009-05-01 08:30\n"));
    EXPECT_EQ(TScanRecord(one).Read(), minute);
    EXPECT_FALSE(QFile::exists(one + u".new"_s));
    WriteBytes(one, "garbage");
    EXPECT_FALSE(TScanRecord(one).Read().has_value());
    QDir(state).removeRecursively();
}

} // namespace
