#include "messenger/RelayAddress.h"

#include <QHostAddress>

#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

// What a lookup thread needs to hand its answer back: the object, while it lives. The thread
// may outlive it (a name server may keep it waiting long after the window closed).
struct TRelayAddress::TChannel
{
    std::mutex Mutex;
    TRelayAddress* Owner = nullptr;
};

TRelayAddress::TRelayAddress(TLookup lookup, QObject* parent)
    : QObject(parent), m_lookup(lookup ? std::move(lookup) : TLookup(&TRelayAddress::SystemLookup)),
      m_channel(std::make_shared<TChannel>())
{
    m_channel->Owner = this;
}

TRelayAddress::~TRelayAddress()
{
    const std::lock_guard lock(m_channel->Mutex);
    m_channel->Owner = nullptr;
}

QString TRelayAddress::Known(const QString& host) const
{
    const QHostAddress literal(host);
    if (literal.protocol() == QAbstractSocket::IPv4Protocol)
        return literal.toString();
    return m_answers.value(host).Address;
}

QString TRelayAddress::Resolve(const QString& host)
{
    if (host.isEmpty())
        return {};
    const QHostAddress literal(host);
    if (literal.protocol() == QAbstractSocket::IPv4Protocol)
        return literal.toString();
    TAnswer& answer = m_answers[host];
    const bool stale = !answer.Age.isValid() ||
                       answer.Age.hasExpired(answer.Address.isEmpty() ? RetryFailureMs : KeepAnswerMs);
    if (stale && !answer.Running) {
        answer.Running = true;
        std::thread([lookup = m_lookup, channel = m_channel, host] {
            const QString address = lookup(host);
            const std::lock_guard lock(channel->Mutex);
            if (channel->Owner != nullptr)
                QMetaObject::invokeMethod(
                    channel->Owner,
                    [owner = channel->Owner, host, address] { owner->finished(host, address); },
                    Qt::QueuedConnection);
        }).detach();
    }
    return answer.Address;
}

void TRelayAddress::finished(const QString& host, const QString& address)
{
    TAnswer& answer = m_answers[host];
    answer.Running = false;
    answer.Age.start();
    // A failed lookup keeps the last answer that worked.
    if (!address.isEmpty())
        answer.Address = address;
    emit resolved(host, address.isEmpty() ? answer.Address : address);
}

QString TRelayAddress::SystemLookup(const QString& host)
{
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) != 0 || found == nullptr)
        return {};
    QString address;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET) {
            const auto* v4 = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
            address = QHostAddress(ntohl(v4->sin_addr.s_addr)).toString();
            break;
        }
    }
    ::freeaddrinfo(found);
    return address;
}
