#include "platform/linux/HostSystemInfo.h"

#include <QNetworkInterface>
#include <QSysInfo>

QString HostSystemInfo::computerName() const
{
    QString name = QSysInfo::machineHostName();
    const qsizetype nul = name.indexOf(QChar(0));
    if (nul >= 0)
        name.truncate(nul);
    return name.left(255);
}

QString HostSystemInfo::hardwareAddress() const
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        if (iface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        QString hex = iface.hardwareAddress();
        hex.remove(QChar(u':'));
        if (hex.size() == 12 && hex != QStringLiteral("000000000000"))
            return hex.toUpper();
    }
    return {};
}
