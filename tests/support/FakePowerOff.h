#pragma once

#include "platform/PowerOff.h"

#include <QTimer>

// A recording stand-in for tests: nothing is switched off. Answers from the event loop, as the
// real one does.
class FakePowerOff final : public IPowerOff
{
public:
    void PowerOff(TDone done) override
    {
        ++calls;
        std::optional<TPowerOffFailure> failure;
        if (!refuseWith.name.isEmpty())
            failure = refuseWith;
        QTimer::singleShot(0, [done = std::move(done), failure] { done(failure); });
    }

    int calls = 0;
    // When its name is set, requests are refused with it.
    TPowerOffFailure refuseWith;
};
