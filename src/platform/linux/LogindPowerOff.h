#pragma once

#include "platform/PowerOff.h"

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
