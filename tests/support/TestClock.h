#pragma once

#include "core/Clock.h"

#include <QDateTime>

// A clock that stands still until a test sets or advances it.
class TTestClock final : public IClock
{
public:
    explicit TTestClock(const QDateTime& start = QDateTime(QDate(2009, 4, 3), QTime(12, 0))) : m_now(start) {}
    QDateTime Now() const override { return m_now; }
    void Set(const QDateTime& now) { m_now = now; }
    void AdvanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};
