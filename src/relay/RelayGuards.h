#pragma once

#include <QHash>
#include <QString>

#include <functional>

// Limits that keep the relay from being turned against third parties: nobody may make it send
// much to an address that never showed it receives, nor take all its places from one host.
struct TRelayLimits
{
    int MaxClients = 1024;
    // Clients held for one source address (a router with many copies behind it counts once).
    int MaxClientsPerAddress = 16;
    // One list answer per client in this time; a request in between is answered at its end.
    qint64 ListIntervalMs = 10000;
    // Bytes that may leave towards one destination address at once, and the rate they come back.
    qint64 BudgetBytes = 64 * 1024;
    qint64 BudgetBytesPerSecond = 4 * 1024;
    // Log lines of one kind per window; the rest are counted and told once the window ends.
    int LogLinesPerWindow = 10;
    qint64 LogWindowMs = 10000;
};

// A token bucket per destination address. Addresses whose bucket is full again are dropped, so
// that the table holds only the addresses sent to lately.
class TByteBudget final
{
public:
    TByteBudget(qint64 capacity, qint64 perSecond);

    // Takes the bytes from the address's bucket when they are there; false leaves it untouched.
    bool Take(const QString& address, qint64 bytes, qint64 nowMs);
    void Prune(qint64 nowMs);
    int Size() const { return int(m_buckets.size()); }

private:
    struct TBucket
    {
        double Bytes = 0;
        qint64 UpdatedMs = 0;
    };
    double refill(TBucket& bucket, qint64 nowMs) const;

    qint64 m_capacity;
    qint64 m_perSecond;
    QHash<QString, TBucket> m_buckets;
};

// Log lines by kind, at most a few per window; what is left out is counted and said later.
class TLogLimiter final
{
public:
    using TLogger = std::function<void(const QString& line)>;

    TLogLimiter(int linesPerWindow, qint64 windowMs, TLogger logger);

    void Log(const QString& kind, const QString& line, qint64 nowMs);
    // Tells the counts of the windows that have ended.
    void Flush(qint64 nowMs);

private:
    struct TWindow
    {
        qint64 StartMs = 0;
        int Written = 0;
        int LeftOut = 0;
    };
    void close(const QString& kind, TWindow& window);

    int m_linesPerWindow;
    qint64 m_windowMs;
    TLogger m_logger;
    QHash<QString, TWindow> m_windows;
};
