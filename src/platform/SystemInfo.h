#pragma once

#include <QString>

// Facts about this computer that the program shows or sends to peers.
class ISystemInfo
{
public:
    virtual ~ISystemInfo() = default;
    virtual QString computerName() const = 0;
    // The first non-loopback network interface's hardware address as twelve upper-case hex
    // digits, or the empty text when there is none.
    virtual QString hardwareAddress() const = 0;
};
