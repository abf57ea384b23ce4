#include "platform/linux/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

using namespace Qt::StringLiterals;

bool SendDesktopNotification(const QString& title, const QString& text, int timeOutSeconds)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_s,
                                                       u"/org/freedesktop/Notifications"_s,
                                                       u"org.freedesktop.Notifications"_s, u"Notify"_s);
    // Shown for the same time as the sliding window would stay; 0 keeps it until it is clicked.
    const int expireMs = timeOutSeconds > 0 ? timeOutSeconds * 1000 : 0;
    call << u"Jotvane"_s << uint(0) << u"jotvane"_s << title << text << QStringList() << QVariantMap()
         << expireMs;
    // A service that does not answer soon is as good as none: the notice is not worth a wait.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage;
}
