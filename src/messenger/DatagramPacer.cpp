#include "messenger/DatagramPacer.h"

TDatagramPacer::TDatagramPacer(TSend send, QObject* parent) : QObject(parent), m_send(std::move(send))
{
    m_timer.setInterval(TickMs);
    connect(&m_timer, &QTimer::timeout, this, &TDatagramPacer::tick);
}

bool TDatagramPacer::Send(const QString& host, quint16 port, const QByteArray& bytes)
{
    if (m_queue.empty() && m_credit > 0) {
        --m_credit;
        if (!m_timer.isActive())
            m_timer.start();
        return m_send(host, port, bytes);
    }
    m_queue.push_back({host, port, bytes});
    if (!m_timer.isActive())
        m_timer.start();
    return true;
}

void TDatagramPacer::tick()
{
    m_credit = std::min(Burst, m_credit + PerTick);
    while (m_credit > 0 && !m_queue.empty()) {
        const TItem item = std::move(m_queue.front());
        m_queue.pop_front();
        --m_credit;
        m_send(item.Host, item.Port, item.Bytes);
    }
    // Idle and the whole burst back: the timer rests until the next send.
    if (m_queue.empty() && m_credit >= Burst)
        m_timer.stop();
}

void TDatagramPacer::Flush()
{
    while (!m_queue.empty()) {
        const TItem item = std::move(m_queue.front());
        m_queue.pop_front();
        m_send(item.Host, item.Port, item.Bytes);
    }
}

void TDatagramPacer::Clear()
{
    m_queue.clear();
    m_timer.stop();
    m_credit = Burst;
}
