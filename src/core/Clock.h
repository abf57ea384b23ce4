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

// A clock that stands still until a test sets or advances it.
class TTestClock final : public IClock
{
public:
    explicit TTestClock(const QDateTime& start = QDateTime(QDate(2009, 4, 3), QTime(12, 0)));
    QDateTime Now() const override { return m_now; }
    void Set(const QDateTime& now) { m_now = now; }
    void AdvanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};
