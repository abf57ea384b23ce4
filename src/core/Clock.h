#pragma once

#include <QDateTime>

// Where the program reads the time of day. The minute scan, time stamps and the shutdown check
// take one, so tests can set the clock instead of waiting for it.
class IClock
{
public:
    virtual ~IClock() = default;
    // Local date and time now.
    virtual QDateTime Now() const = 0;
};

// The computer's own clock.
class TSystemClock final : public IClock
{
public:
    QDateTime Now() const override;
};
