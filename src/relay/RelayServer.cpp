#include "relay/RelayServer.h"

#include "messenger/codec/DelimitedText.h"

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Texts from the network reach the log line by line: control characters would forge lines.
QString Printable(const QString& text)
{
    QString result = text;
    for (QChar& ch : result) {
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7f)
            ch = QChar(u'?');
    }
    return result;
}

} // namespace

TRelayServer::TRelayServer(int maxClients, TSender sender, TLogger logger)
    : m_maxClients(std::max(1, maxClients)), m_sender(std::move(sender)), m_logger(std::move(logger))
{
}

void TRelayServer::HandleDatagram(const QByteArray& datagram, const TPeerEndpoint& from, qint64 nowMs)
{
    const std::optional<TMessage> decoded = DecodeMessage(datagram);
    if (!decoded)
        return;
    const TMessage& message = *decoded;
    if (message.Kind == mkOnline) {
        handleRegister(message, from, nowMs);
        return;
    }
    // Everything else is answered only for the client registered at the sending endpoint, so
    // that nobody can make the relay send its lists to a forged address.
    TClient* client = clientAt(from);
    if (client == nullptr)
        return;
    switch (message.Kind) {
    case mkQuery:
        if (message.Card == client->Card)
            client->LastSeenMs = nowMs;
        break;
    case mkOffline:
        if (message.Card == client->Card)
            forget(client->Card, u"offline"_s);
        break;
    case mkListRequest:
        client->LastSeenMs = nowMs;
        handleList(*client);
        break;
    case mkConnectRequest:
        if (message.Card != client->Card)
            break;
        client->LastSeenMs = nowMs;
        handleConnect(*client, message);
        break;
    default:
        break;
    }
}

int TRelayServer::ExpireClients(qint64 nowMs)
{
    QStringList silent;
    for (const TClient& client : std::as_const(m_clients)) {
        if (nowMs - client.LastSeenMs > ClientTimeoutMs)
            silent.append(client.Card);
    }
    for (const QString& card : std::as_const(silent))
        forget(card, u"silent"_s);
    return int(silent.size());
}

TRelayServer::TClient* TRelayServer::clientAt(const TPeerEndpoint& from)
{
    const auto card = m_cardByEndpoint.constFind(EndpointToText(from));
    if (card == m_cardByEndpoint.constEnd())
        return nullptr;
    const auto client = m_clients.find(*card);
    return client == m_clients.end() ? nullptr : &*client;
}

void TRelayServer::forget(const QString& card, const QString& why)
{
    const auto client = m_clients.constFind(card);
    if (client == m_clients.constEnd())
        return;
    log(u"forget "_s + Printable(card) + u" at "_s + EndpointToText(client->Endpoint) + u" ("_s + why +
        u")"_s);
    m_cardByEndpoint.remove(EndpointToText(client->Endpoint));
    m_clients.erase(client);
}

void TRelayServer::handleRegister(const TMessage& message, const TPeerEndpoint& from, qint64 nowMs)
{
    if (message.Card.isEmpty())
        return; // a client without a card cannot be told apart from others
    const QString endpointText = EndpointToText(from);
    TMessage reply;
    reply.Kind = mkRegisterReply;

    const auto existing = m_clients.find(message.Card);
    if (existing != m_clients.end() && existing->Endpoint != from) {
        if (nowMs - existing->LastSeenMs <= ClientTimeoutMs) {
            log(u"refuse "_s + Printable(message.Card) + u" from "_s + endpointText + u": registered at "_s +
                EndpointToText(existing->Endpoint));
            reply.Flag = 0;
            send(from, reply);
            return;
        }
        forget(message.Card, u"replaced"_s);
    }
    // The endpoint may have registered under another card before.
    const QString previousCard = m_cardByEndpoint.value(endpointText);
    if (!previousCard.isEmpty() && previousCard != message.Card)
        forget(previousCard, u"card changed"_s);

    const bool known = m_clients.contains(message.Card);
    if (!known && m_clients.size() >= m_maxClients) {
        ExpireClients(nowMs);
        if (m_clients.size() >= m_maxClients) {
            // Full: no answer, and one log line a minute however many arrive.
            ++m_refusedSinceLog;
            if (m_lastFullLogMs < 0 || nowMs - m_lastFullLogMs >= 60000) {
                log(u"full: refused "_s + QString::number(m_refusedSinceLog) + u" registration(s)"_s);
                m_lastFullLogMs = nowMs;
                m_refusedSinceLog = 0;
            }
            return;
        }
    }

    TClient& client = m_clients[message.Card];
    client.Name = message.Name;
    client.Card = message.Card;
    client.Endpoint = from;
    client.LastSeenMs = nowMs;
    m_cardByEndpoint.insert(endpointText, message.Card);
    log((known ? u"renew "_s : u"register "_s) + Printable(message.Card) + u" \""_s +
        Printable(message.Name) + u"\" at "_s + endpointText);
    reply.Flag = 1;
    send(from, reply);
}

void TRelayServer::handleList(TClient& asker)
{
    QStringList cards = m_clients.keys();
    cards.sort();
    // As many cards per datagram as fit its field.
    QList<QStringList> chunks;
    QStringList chunk;
    for (const QString& card : std::as_const(cards)) {
        QStringList longer = chunk;
        longer.append(card);
        if (!chunk.isEmpty() && JoinDelimited(longer, QChar(u'|')).size() > TextCapacity) {
            chunks.append(chunk);
            longer = QStringList{card};
        }
        chunk = longer;
    }
    if (!chunk.isEmpty())
        chunks.append(chunk);

    const TPeerEndpoint to = asker.Endpoint;
    log(u"list to "_s + Printable(asker.Card) + u": "_s + QString::number(cards.size()) + u" card(s) in "_s +
        QString::number(chunks.size()) + u" datagram(s)"_s);
    for (const QStringList& part : std::as_const(chunks)) {
        TMessage list;
        list.Kind = mkPeerList;
        list.Text = JoinDelimited(part, QChar(u'|'));
        send(to, list);
    }
}

void TRelayServer::handleConnect(TClient& asker, const TMessage& message)
{
    const auto target = m_clients.constFind(message.TargetCard);
    if (target == m_clients.constEnd() || target->Card == asker.Card)
        return;
    const bool selected = message.Flag != 0;
    log(u"connect "_s + Printable(asker.Card) + u" -> "_s + Printable(target->Card) +
        (selected ? u" (selected)"_s : QString()));
    if (!selected) {
        // A new pairing: each learns the other, and the target opens its side at once.
        TMessage toAsker;
        toAsker.Kind = mkExtranetPeer;
        toAsker.Flag = 1;
        toAsker.Name = target->Name;
        toAsker.Card = target->Card;
        toAsker.Endpoint = target->Endpoint;
        send(asker.Endpoint, toAsker);

        TMessage toTarget;
        toTarget.Kind = mkExtranetPeer;
        toTarget.Flag = 1;
        toTarget.Name = asker.Name;
        toTarget.Card = asker.Card;
        toTarget.Endpoint = asker.Endpoint;
        send(target->Endpoint, toTarget);
    }
    // A user who checks a peer already knows it: the target only punches back, so that no
    // second row appears on either side.
    TMessage punch;
    punch.Kind = mkPunchRequest;
    punch.Endpoint = asker.Endpoint;
    send(target->Endpoint, punch);
}

void TRelayServer::send(const TPeerEndpoint& to, const TMessage& message)
{
    if (m_sender)
        m_sender(to, EncodeMessage(message));
}

void TRelayServer::log(const QString& line)
{
    if (m_logger)
        m_logger(line);
}
