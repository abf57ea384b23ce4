#include "core/Clock.h"

QDateTime TSystemClock::Now() const
{
    return QDateTime::currentDateTime();
}

TTestClock::TTestClock(const QDateTime& start) : m_now(start) {}
