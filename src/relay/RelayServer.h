#pragma once

#include "messenger/codec/MessagerCodec.h"
#include "relay/RelayGuards.h"

#include <QHash>
#include <QString>

#include <functional>

// The relay's bookkeeping: clients registered by their network-card address with the public
// endpoint their datagrams come from. It answers registrations, list and connect requests,
// keeps clients alive by their queries and forgets them after three minutes of silence or on
// their goodbye. Time is passed in, so that tests need no clock.
//
// Source addresses of datagrams can be forged, so the relay never sends an endpoint more than
// it was sent until that endpoint has shown that it receives: a keep-alive from it after its
// registration. Until then it gets only the short registration answer; its list waits, it is
// listed to nobody and nobody is introduced to it. Every larger answer is also paid from a
// byte budget of its destination address, and lists go out once per client in ten seconds.
class TRelayServer final
{
public:
    using TSender = std::function<void(const TPeerEndpoint& to, const QByteArray& datagram)>;
    using TLogger = std::function<void(const QString& line)>;

    static constexpr qint64 ClientTimeoutMs = 180000;
    static constexpr int DefaultMaxClients = 1024;

    TRelayServer(const TRelayLimits& limits, TSender sender, TLogger logger);
    TRelayServer(int maxClients, TSender sender, TLogger logger);

    void HandleDatagram(const QByteArray& datagram, const TPeerEndpoint& from, qint64 nowMs);
    // The periodic work: forgets silent clients, sends the lists that had to wait and tells
    // how many log lines were left out.
    void Tick(qint64 nowMs);
    // Forgets the clients silent for longer than the timeout; returns how many.
    int ExpireClients(qint64 nowMs);

    int ClientCount() const { return int(m_clients.size()); }
    bool IsRegistered(const QString& card) const { return m_clients.contains(card); }

private:
    struct TClient
    {
        QString Name;
        QString Card;
        TPeerEndpoint Endpoint;
        qint64 LastSeenMs = 0;
        bool Receives = false;    // a keep-alive came from its endpoint after the registration
        bool ListWaiting = false; // it asked for the list, which could not go yet
        qint64 LastListMs = -1;
    };

    // The client that sent from this endpoint, or nullptr.
    TClient* clientAt(const TPeerEndpoint& from);
    void forget(const QString& card, const QString& why, qint64 nowMs);
    void handleRegister(const TMessage& message, const TPeerEndpoint& from, qint64 nowMs);
    void handleUnknownQuery(const TMessage& message, const TPeerEndpoint& from, qint64 nowMs);
    // Takes the card for the endpoint when the rules allow it; nullptr when refused or full.
    TClient* admit(const QString& card, const QString& name, const TPeerEndpoint& from, qint64 nowMs,
                   bool& refusedAsDuplicate);
    void handleList(TClient& asker, qint64 nowMs);
    bool sendList(TClient& asker, qint64 nowMs);
    void handleConnect(TClient& asker, const TMessage& message, qint64 nowMs);
    // Sends without asking the budget: an answer no larger than its request, or one paid for.
    void reply(const TPeerEndpoint& to, const TMessage& message);
    // Sends a larger answer when the destination's byte budget allows it.
    bool sendPaid(const TPeerEndpoint& to, const TMessage& message, qint64 nowMs);
    void log(const QString& kind, const QString& line, qint64 nowMs);

    TRelayLimits m_limits;
    TSender m_sender;
    TLogLimiter m_log;
    TByteBudget m_budget;
    QHash<QString, TClient> m_clients;        // by card
    QHash<QString, QString> m_cardByEndpoint; // endpoint text -> card
    QHash<QString, int> m_clientsByAddress;   // source address -> clients held
};
