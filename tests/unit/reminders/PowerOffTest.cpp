#include "reminders/TimerShutDown.h"

#include "FakePowerOff.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

// Without a system bus (here: one that does not exist, never the real one) the request fails
// with a reason instead of passing for accepted.
TEST(PowerOff, NoSystemBusIsAFailureWithAReason)
{
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QDir::tempPath().toLocal8Bit() + "/no-such-bus");
    LogindPowerOff powerOff;
    QString error;
    EXPECT_FALSE(ShutDownComputer(powerOff, error));
    EXPECT_FALSE(error.isEmpty());

    FakePowerOff fake;
    EXPECT_TRUE(ShutDownComputer(fake, error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(fake.calls, QStringList{u"30:这是由Jotvane发起的自动关机！"_s});
}

} // namespace
