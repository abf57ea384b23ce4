// The portal's global shortcuts: a private dbus-daemon with the fake portal on it, and the
// grabber on a connection to that bus.
#include "platform/linux/PortalHotKeyGrabber.h"

#include "FakeHotKeyGrabber.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

class PortalTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_TRUE(dir.isValid());
        address = u"unix:path="_s + dir.filePath(u"bus"_s);
        const QString config = dir.filePath(u"bus.conf"_s);
        WriteBytes(config,
                   QStringLiteral("<busconfig><type>session</type><listen>%1</listen><auth>EXTERNAL</auth>"
                                  "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
                                  "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy>"
                                  "</busconfig>")
                       .arg(address)
                       .toUtf8());
        daemon.start(u"dbus-daemon"_s, {u"--nofork"_s, u"--nopidfile"_s, u"--config-file="_s + config});
        ASSERT_TRUE(WaitFor([&] { return QFile::exists(dir.filePath(u"bus"_s)); }, 10000));
        bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, u"portal-test"_s));
        ASSERT_TRUE(bus->isConnected());
    }

    void TearDown() override
    {
        grabber.reset();
        for (QProcess* process : {&portal, &daemon}) {
            process->terminate();
            process->waitForFinished(5000);
        }
        QDBusConnection::disconnectFromBus(u"portal-test"_s);
    }

    void startPortal(const QString& granted = {})
    {
        QStringList arguments{QStringLiteral(JV_FAKE_PORTAL), address, log()};
        if (!granted.isEmpty())
            arguments << granted;
        // The system's interpreter: it has Debian's python3-dbus and python3-gi.
        portal.start(QFile::exists(u"/usr/bin/python3"_s) ? u"/usr/bin/python3"_s : u"python3"_s, arguments);
        ASSERT_TRUE(WaitFor(
            [&] {
                return bus->interface()->isServiceRegistered(u"org.freedesktop.portal.Desktop"_s).value();
            },
            10000));
    }

    void makeGrabber()
    {
        auto fake = std::make_unique<FakeHotKeyGrabber>();
        fallback = fake.get();
        grabber =
            std::make_unique<PortalHotKeyGrabber>(*bus, u"show-hide"_s, u"显示/隐藏"_s, std::move(fake));
        grabber->setActivationHandler([this](int id) { pressed << id; });
    }

    QString log() const { return dir.filePath(u"calls.jsonl"_s); }
    QList<QJsonArray> calls() const
    {
        QList<QJsonArray> out;
        for (const QByteArray& line : ReadBytes(log()).split('\n'))
            if (!line.isEmpty())
                out << QJsonDocument::fromJson(line).array();
        return out;
    }
    bool activate(const QString& shortcut)
    {
        QDBusInterface control(u"org.freedesktop.portal.Desktop"_s, u"/org/freedesktop/portal/desktop"_s,
                               u"org.jotvane.FakePortal"_s, *bus);
        return control.call(u"Activate"_s, shortcut).arguments().value(0).toBool();
    }

    QTemporaryDir dir;
    QString address;
    QProcess daemon;
    QProcess portal;
    std::unique_ptr<QDBusConnection> bus;
    std::unique_ptr<PortalHotKeyGrabber> grabber;
    FakeHotKeyGrabber* fallback = nullptr;
    QList<int> pressed;
};

} // namespace

TEST(PortalTrigger, KeysInTheShortcutNotation)
{
    EXPECT_EQ(PortalHotKeyGrabber::triggerFor(QKeyCombination(Qt::ControlModifier, Qt::Key_D)), u"CTRL+d"_s);
    EXPECT_EQ(
        PortalHotKeyGrabber::triggerFor(QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_F5)),
        u"CTRL+ALT+F5"_s);
    EXPECT_EQ(
        PortalHotKeyGrabber::triggerFor(QKeyCombination(Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_Space)),
        u"SHIFT+LOGO+space"_s);
    EXPECT_EQ(PortalHotKeyGrabber::triggerFor(QKeyCombination(Qt::ControlModifier, Qt::Key_unknown)),
              QString());
}

TEST_F(PortalTest, BindsTheConfiguredKeyReportsTheGrantedOneAndDeliversItsPresses)
{
    startPortal(u"Ctrl+Alt+J"_s);
    makeGrabber();
    QSignalSpy settled(grabber.get(), &PortalHotKeyGrabber::portalSettled);
    ASSERT_TRUE(grabber->registerHotKey(0, QKeyCombination(Qt::ControlModifier, Qt::Key_D)));
    ASSERT_TRUE(settled.wait(10000));
    EXPECT_TRUE(grabber->portalActive());
    EXPECT_EQ(grabber->grantedTrigger(0), u"Ctrl+Alt+J"_s);
    EXPECT_FALSE(fallback->isRegistered(0)) << "the portal took over: no press may count twice";

    const QList<QJsonArray> made = calls();
    ASSERT_GE(made.size(), 3);
    EXPECT_EQ(made[1][0].toString(), u"CreateSession"_s);
    EXPECT_EQ(made[2][0].toString(), u"BindShortcuts"_s);
    EXPECT_EQ(made[2][1].toString(), made[1][1].toString()) << "bound in the session it made";
    EXPECT_EQ(made[2][2].toArray().at(0).toArray(),
              QJsonArray({u"show-hide-0"_s, u"显示/隐藏"_s, u"CTRL+d"_s}));

    ASSERT_TRUE(activate(u"show-hide-0"_s));
    ASSERT_TRUE(WaitFor([&] { return !pressed.isEmpty(); }));
    EXPECT_EQ(pressed, QList<int>{0});

    // A second hotkey binds both again; a released one is still bound but its presses are ignored.
    ASSERT_TRUE(
        grabber->registerHotKey(1, QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_D)));
    ASSERT_TRUE(settled.wait(10000));
    EXPECT_EQ(calls().last()[2].toArray().size(), 2);
    grabber->unregisterHotKey(0);
    pressed.clear();
    ASSERT_TRUE(activate(u"show-hide-0"_s));
    ASSERT_TRUE(activate(u"show-hide-1"_s));
    ASSERT_TRUE(WaitFor([&] { return !pressed.isEmpty(); }));
    EXPECT_EQ(pressed, QList<int>{1}) << "signals arrive in order: the released id's press came first";

    // At the end the session is closed.
    grabber.reset();
    ASSERT_TRUE(WaitFor([&] { return calls().last()[0].toString() == u"Close"_s; }));
}

TEST_F(PortalTest, WithoutAPortalOrWhenItIsRefusedTheFallbackKeepsTheHotKey)
{
    makeGrabber(); // nobody owns the portal's name on this bus
    QSignalSpy settled(grabber.get(), &PortalHotKeyGrabber::portalSettled);
    ASSERT_TRUE(grabber->registerHotKey(0, QKeyCombination(Qt::ControlModifier, Qt::Key_D)));
    ASSERT_TRUE(settled.wait(10000));
    EXPECT_FALSE(grabber->portalActive());
    EXPECT_TRUE(fallback->isRegistered(0));
    EXPECT_TRUE(fallback->press(0));
    EXPECT_EQ(pressed, QList<int>{0});
    EXPECT_TRUE(grabber->grantedTrigger(0).isEmpty());

    // A portal whose user cancels the binding: the fallback's grab stays.
    grabber.reset();
    startPortal();
    QDBusInterface control(u"org.freedesktop.portal.Desktop"_s, u"/org/freedesktop/portal/desktop"_s,
                           u"org.jotvane.FakePortal"_s, *bus);
    control.call(u"Refuse"_s, true);
    makeGrabber();
    QSignalSpy again(grabber.get(), &PortalHotKeyGrabber::portalSettled);
    ASSERT_TRUE(grabber->registerHotKey(0, QKeyCombination(Qt::ControlModifier, Qt::Key_D)));
    ASSERT_TRUE(again.wait(10000));
    EXPECT_TRUE(fallback->isRegistered(0));
    EXPECT_TRUE(grabber->grantedTrigger(0).isEmpty());
}
