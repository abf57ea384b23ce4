#include "platform/linux/LogindPowerOff.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

using namespace Qt::StringLiterals;

void LogindPowerOff::PowerOff(TDone done)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        // Whatever the reason the connection failed for (no socket, refused), there is no bus.
        TPowerOffFailure failure{u"org.freedesktop.DBus.Error.NoServer"_s, bus.lastError().message()};
        QTimer::singleShot(0, [done = std::move(done), failure] { done(failure); });
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s,
                                       u"org.freedesktop.login1.Manager"_s, u"PowerOff"_s);
    call << true; // interactive
    call.setInteractiveAuthorizationAllowed(true);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, CallTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         const QDBusPendingReply<> reply = *finished;
                         if (reply.isError())
                             done(TPowerOffFailure{reply.error().name(), reply.error().message()});
                         else
                             done(std::nullopt);
                     });
}
