// Notices through the notification service, against a stand-in service on a private session bus.
#include "platform/linux/DesktopNotifications.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace {

// What a notification daemon receives; it runs on a thread of its own, so that it answers while
// the caller waits for the reply.
class FakeNotifications final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList Calls()
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        Q_UNUSED(actions);
        Q_UNUSED(hints);
        QMutexLocker lock(&m_mutex);
        m_calls << u"%1|%2|%3|%4|%5|%6"_s.arg(app).arg(replaces).arg(icon, summary, body).arg(timeout);
        return uint(m_calls.size());
    }

private:
    QMutex m_mutex;
    QStringList m_calls;
};

TEST(DesktopNotifications, GoToTheServiceWithTitleTextIconAndTimeOutAndFailWithoutOne)
{
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (daemon.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QProcess bus;
    bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s, u"--print-address"_s});
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty());
    // The program's session bus is this one from now on.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());

    EXPECT_FALSE(SendDesktopNotification(u"上线提示"_s, u"nobody listens"_s, 5))
        << "no service on the bus: the caller learns that nothing was shown";

    QThread thread;
    auto* service = new FakeNotifications;
    service->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, service, &QObject::deleteLater);
    thread.start();
    QDBusConnection connection = QDBusConnection::connectToBus(address, u"fake-notifications"_s);
    ASSERT_TRUE(connection.registerObject(u"/org/freedesktop/Notifications"_s, service,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(connection.registerService(u"org.freedesktop.Notifications"_s));

    EXPECT_TRUE(SendDesktopNotification(u"上线提示"_s, u"张三(PC-1) 上线了"_s, 5));
    EXPECT_TRUE(SendDesktopNotification(u"下线提示"_s, u"张三 下线了"_s, 0));
    EXPECT_EQ(service->Calls(), (QStringList{u"Jotvane|0|jotvane|上线提示|张三(PC-1) 上线了|5000"_s,
                                             u"Jotvane|0|jotvane|下线提示|张三 下线了|0"_s}));

    QDBusConnection::disconnectFromBus(u"fake-notifications"_s);
    thread.quit();
    thread.wait();
    bus.terminate();
    bus.waitForFinished(5000);
}

} // namespace

#include "DesktopNotificationsTest.moc"
