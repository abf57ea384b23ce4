#pragma once

#include <QString>
#include <QStringList>

// Switching the computer off on the program's behalf.
class IPowerOff
{
public:
    virtual ~IPowerOff() = default;
    // Announces message to the users of the computer and powers it off graceSeconds later,
    // closing the running programs, without a restart. True when the system took the request;
    // otherwise false with a readable reason in error.
    virtual bool PowerOff(const QString& message, int graceSeconds, QString& error) = 0;
};

// logind on the system bus: SetWallMessage, then ScheduleShutdown("poweroff") graceSeconds ahead.
// The bus is the one DBUS_SYSTEM_BUS_ADDRESS names, which is how tests point it at a private one.
class LogindPowerOff final : public IPowerOff
{
public:
    // The longest a call may keep the program waiting for logind.
    static constexpr int CallTimeoutMs = 5000;

    bool PowerOff(const QString& message, int graceSeconds, QString& error) override;
};
