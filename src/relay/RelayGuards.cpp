#include "relay/RelayGuards.h"

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

TByteBudget::TByteBudget(qint64 capacity, qint64 perSecond)
    : m_capacity(std::max<qint64>(1, capacity)), m_perSecond(std::max<qint64>(1, perSecond))
{
}

double TByteBudget::refill(TBucket& bucket, qint64 nowMs) const
{
    const qint64 elapsed = std::max<qint64>(0, nowMs - bucket.UpdatedMs);
    bucket.Bytes =
        std::min(double(m_capacity), bucket.Bytes + double(elapsed) * double(m_perSecond) / 1000.0);
    bucket.UpdatedMs = nowMs;
    return bucket.Bytes;
}

bool TByteBudget::Take(const QString& address, qint64 bytes, qint64 nowMs)
{
    auto bucket = m_buckets.find(address);
    if (bucket == m_buckets.end())
        bucket = m_buckets.insert(address, TBucket{double(m_capacity), nowMs});
    if (refill(*bucket, nowMs) < double(bytes))
        return false;
    bucket->Bytes -= double(bytes);
    return true;
}

void TByteBudget::Prune(qint64 nowMs)
{
    for (auto bucket = m_buckets.begin(); bucket != m_buckets.end();) {
        if (refill(*bucket, nowMs) >= double(m_capacity))
            bucket = m_buckets.erase(bucket);
        else
            ++bucket;
    }
}

TLogLimiter::TLogLimiter(int linesPerWindow, qint64 windowMs, TLogger logger)
    : m_linesPerWindow(std::max(1, linesPerWindow)), m_windowMs(std::max<qint64>(1, windowMs)),
      m_logger(std::move(logger))
{
}

void TLogLimiter::Log(const QString& kind, const QString& line, qint64 nowMs)
{
    auto window = m_windows.find(kind);
    if (window == m_windows.end()) {
        window = m_windows.insert(kind, TWindow{nowMs, 0, 0});
    } else if (nowMs - window->StartMs >= m_windowMs) {
        close(kind, *window);
        *window = TWindow{nowMs, 0, 0};
    }
    if (window->Written >= m_linesPerWindow) {
        ++window->LeftOut;
        return;
    }
    ++window->Written;
    if (m_logger)
        m_logger(line);
}

void TLogLimiter::Flush(qint64 nowMs)
{
    for (auto window = m_windows.begin(); window != m_windows.end();) {
        if (nowMs - window->StartMs >= m_windowMs) {
            close(window.key(), *window);
            window = m_windows.erase(window);
        } else {
            ++window;
        }
    }
}

void TLogLimiter::close(const QString& kind, TWindow& window)
{
    if (window.LeftOut > 0 && m_logger)
        m_logger(QString::number(window.LeftOut) + u" more \""_s + kind + u"\" line(s) left out"_s);
    window.LeftOut = 0;
}
