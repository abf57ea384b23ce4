#pragma once

#include "messenger/codec/MessagerCodec.h"

#include <QHash>
#include <QString>

#include <functional>

// The relay's bookkeeping: clients registered by their network-card address with the public
// endpoint their datagrams come from. It answers registrations, list and connect requests,
// keeps clients alive by their queries and forgets them after three minutes of silence or on
// their goodbye. Time is passed in, so that tests need no clock.
class TRelayServer final
{
public:
    using TSender = std::function<void(const TPeerEndpoint& to, const QByteArray& datagram)>;
    using TLogger = std::function<void(const QString& line)>;

    static constexpr qint64 ClientTimeoutMs = 180000;
    static constexpr int DefaultMaxClients = 1024;

    TRelayServer(int maxClients, TSender sender, TLogger logger);

    void HandleDatagram(const QByteArray& datagram, const TPeerEndpoint& from, qint64 nowMs);
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
    };

    // The client that sent from this endpoint, or nullptr.
    TClient* clientAt(const TPeerEndpoint& from);
    void forget(const QString& card, const QString& why);
    void handleRegister(const TMessage& message, const TPeerEndpoint& from, qint64 nowMs);
    void handleList(TClient& asker);
    void handleConnect(TClient& asker, const TMessage& message);
    void send(const TPeerEndpoint& to, const TMessage& message);
    void log(const QString& line);

    int m_maxClients;
    TSender m_sender;
    TLogger m_logger;
    QHash<QString, TClient> m_clients;        // by card
    QHash<QString, QString> m_cardByEndpoint; // endpoint text -> card
    qint64 m_lastFullLogMs = -1;
    int m_refusedSinceLog = 0;
};
