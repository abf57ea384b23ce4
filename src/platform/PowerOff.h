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
