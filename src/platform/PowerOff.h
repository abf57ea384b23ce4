#pragma once

#include <QString>

#include <functional>
#include <optional>

// Why the system did not take a power-off request: the D-Bus error's name and its text.
struct TPowerOffFailure
{
    QString name;
    QString message;
};

// Switching the computer off on the program's behalf.
class IPowerOff
{
public:
    // Nothing when the system took the request, else why not.
    using TDone = std::function<void(const std::optional<TPowerOffFailure>& failure)>;

    virtual ~IPowerOff() = default;
    // Asks the system to switch the computer off now, closing the running programs, without a
    // restart. Never waits: done runs once, later, from the event loop.
    virtual void PowerOff(TDone done) = 0;
};

// logind's PowerOff on the system bus, interactive, so that where the system's policy wants a
// password the desktop's authentication agent can ask for it. The bus is the one
// DBUS_SYSTEM_BUS_ADDRESS names, which is how tests point it at a private one. logind's wall
// message is left alone: it is the machine's, not the program's.
class LogindPowerOff final : public IPowerOff
{
public:
    // The longest logind may take to answer, the authentication agent's question included.
    static constexpr int CallTimeoutMs = 120000;

    void PowerOff(TDone done) override;
};
