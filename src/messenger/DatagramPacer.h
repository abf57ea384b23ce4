#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>

// Lets the datagrams of long messages out no faster than a receiver can take them: a burst
// goes at once, the rest follows a few at a time from a timer, in the order given. A receiver
// that handles every datagram on its window's thread keeps up with this pace; faster, its
// socket buffer overflows and lines are lost.
class TDatagramPacer final : public QObject
{
    Q_OBJECT
public:
    using TSend = std::function<bool(const QString& host, quint16 port, const QByteArray& bytes)>;

    static constexpr int Burst = 64;
    static constexpr int PerTick = 8;
    static constexpr int TickMs = 5; // about 1,600 datagrams a second after the burst

    explicit TDatagramPacer(TSend send, QObject* parent = nullptr);

    // Sends now when nothing waits and the burst allows, otherwise queues. False only when a
    // datagram sent now failed.
    bool Send(const QString& host, quint16 port, const QByteArray& bytes);
    // Sends everything still waiting at once (the program is closing).
    void Flush();
    // Drops everything still waiting (the socket is gone).
    void Clear();
    qsizetype Waiting() const { return qsizetype(m_queue.size()); }

private:
    struct TItem
    {
        QString Host;
        quint16 Port = 0;
        QByteArray Bytes;
    };
    void tick();

    TSend m_send;
    std::deque<TItem> m_queue;
    QTimer m_timer;
    int m_credit = Burst;
};
