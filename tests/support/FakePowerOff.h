#pragma once

#include "platform/PowerOff.h"

#include <QStringList>

// A recording stand-in for tests: nothing is switched off.
class FakePowerOff final : public IPowerOff
{
public:
    bool PowerOff(const QString& message, int graceSeconds, QString& error) override
    {
        calls.append(QString::number(graceSeconds) + u':' + message);
        error = refuseWith;
        return refuseWith.isEmpty();
    }

    // "<graceSeconds>:<message>" for every request.
    QStringList calls;
    // When set, requests are refused with this reason.
    QString refuseWith;
};
