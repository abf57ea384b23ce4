#include "platform/PowerOff.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QVariant>

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");

QString ReplyError(const QDBusMessage& reply)
{
    if (reply.type() == QDBusMessage::ErrorMessage)
        return reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
    return QString();
}

} // namespace

bool LogindPowerOff::PowerOff(const QString& message, int graceSeconds, QString& error)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        error = QStringLiteral("no system bus: ") + bus.lastError().message();
        return false;
    }
    // The announcement is a courtesy: its failure does not stop the power-off the user set up.
    QDBusMessage wall =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SetWallMessage"));
    wall << message << true;
    bus.call(wall, QDBus::Block, CallTimeoutMs);

    // logind counts the time on the realtime clock, in microseconds since the epoch.
    const quint64 when =
        static_cast<quint64>(QDateTime::currentMSecsSinceEpoch() + qint64(graceSeconds) * 1000) * 1000;
    QDBusMessage schedule =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("ScheduleShutdown"));
    schedule << QStringLiteral("poweroff") << QVariant::fromValue<qulonglong>(when);
    const QDBusMessage reply = bus.call(schedule, QDBus::Block, CallTimeoutMs);
    error = ReplyError(reply);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    if (error.isEmpty())
        error = QStringLiteral("no answer from logind");
    return false;
}
