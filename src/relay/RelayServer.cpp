#include "relay/RelayServer.h"

#include "core/DelimitedText.h"

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

TRelayLimits LimitsWithMax(int maxClients)
{
    TRelayLimits limits;
    limits.MaxClients = maxClients;
    return limits;
}

} // namespace

TRelayServer::TRelayServer(const TRelayLimits& limits, TSender sender, TLogger logger)
    : m_limits(limits), m_sender(std::move(sender)),
      m_log(limits.LogLinesPerWindow, limits.LogWindowMs, std::move(logger)),
      m_budget(limits.BudgetBytes, limits.BudgetBytesPerSecond)
{
    m_limits.MaxClients = std::max(1, m_limits.MaxClients);
    m_limits.MaxClientsPerAddress = std::max(1, m_limits.MaxClientsPerAddress);
}

TRelayServer::TRelayServer(int maxClients, TSender sender, TLogger logger)
    : TRelayServer(LimitsWithMax(maxClients), std::move(sender), std::move(logger))
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
    if (client == nullptr || (message.Kind == mkQuery && message.Card != client->Card)) {
        // A keep-alive from an endpoint the relay does not know (after a restart, a long loss or
        // a new port of the client's router) takes the client back.
        if (message.Kind == mkQuery)
            handleUnknownQuery(message, from, nowMs);
        return;
    }
    switch (message.Kind) {
    case mkQuery:
        client->LastSeenMs = nowMs;
        if (!client->Receives) {
            client->Receives = true;
            if (client->ListWaiting)
                handleList(*client, nowMs);
        }
        break;
    case mkOffline:
        if (message.Card == client->Card)
            forget(client->Card, u"offline"_s, nowMs);
        break;
    case mkListRequest:
        client->LastSeenMs = nowMs;
        handleList(*client, nowMs);
        break;
    case mkConnectRequest:
        if (message.Card != client->Card)
            break;
        client->LastSeenMs = nowMs;
        handleConnect(*client, message, nowMs);
        break;
    default:
        break;
    }
}

void TRelayServer::Tick(qint64 nowMs)
{
    ExpireClients(nowMs);
    for (TClient& client : m_clients) {
        if (client.ListWaiting && client.Receives &&
            (client.LastListMs < 0 || nowMs - client.LastListMs >= m_limits.ListIntervalMs))
            client.ListWaiting = !sendList(client, nowMs);
    }
    m_budget.Prune(nowMs);
    m_log.Flush(nowMs);
}

int TRelayServer::ExpireClients(qint64 nowMs)
{
    QStringList silent;
    for (const TClient& client : std::as_const(m_clients)) {
        if (nowMs - client.LastSeenMs > ClientTimeoutMs)
            silent.append(client.Card);
    }
    for (const QString& card : std::as_const(silent))
        forget(card, u"silent"_s, nowMs);
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

void TRelayServer::forget(const QString& card, const QString& why, qint64 nowMs)
{
    const auto client = m_clients.constFind(card);
    if (client == m_clients.constEnd())
        return;
    // Each reason has its own share of the log: a flood of one kind hides no goodbye.
    log(u"forget ("_s + why + u')',
        u"forget "_s + Printable(card) + u" at "_s + EndpointToText(client->Endpoint) + u" ("_s + why +
            u")"_s,
        nowMs);
    m_cardByEndpoint.remove(EndpointToText(client->Endpoint));
    const auto held = m_clientsByAddress.find(client->Endpoint.Address);
    if (held != m_clientsByAddress.end() && --*held <= 0)
        m_clientsByAddress.erase(held);
    m_clients.erase(client);
}

TRelayServer::TClient* TRelayServer::admit(const QString& card, const QString& name,
                                           const TPeerEndpoint& from, qint64 nowMs, bool& refusedAsDuplicate)
{
    refusedAsDuplicate = false;
    const QString endpointText = EndpointToText(from);
    const auto existing = m_clients.find(card);
    if (existing != m_clients.end() && existing->Endpoint != from) {
        // A card belongs to the endpoint that holds it until that endpoint falls silent.
        if (nowMs - existing->LastSeenMs <= ClientTimeoutMs) {
            refusedAsDuplicate = true;
            return nullptr;
        }
        forget(card, u"replaced"_s, nowMs);
    }
    // The endpoint may have registered under another card before.
    const QString previousCard = m_cardByEndpoint.value(endpointText);
    if (!previousCard.isEmpty() && previousCard != card)
        forget(previousCard, u"card changed"_s, nowMs);

    if (!m_clients.contains(card)) {
        if (m_clients.size() >= m_limits.MaxClients) {
            ExpireClients(nowMs);
            if (m_clients.size() >= m_limits.MaxClients) {
                log(u"full"_s, u"full: refused "_s + Printable(card) + u" from "_s + endpointText, nowMs);
                return nullptr;
            }
        }
        const int fromAddress = m_clientsByAddress.value(from.Address);
        if (fromAddress >= m_limits.MaxClientsPerAddress) {
            log(u"refuse"_s,
                u"refuse "_s + Printable(card) + u" from "_s + endpointText + u": "_s +
                    QString::number(fromAddress) + u" clients from this address"_s,
                nowMs);
            return nullptr;
        }
        m_clientsByAddress[from.Address] = fromAddress + 1;
        TClient& added = m_clients[card];
        added.Card = card;
        added.Endpoint = from;
        m_cardByEndpoint.insert(endpointText, card);
    }
    TClient& client = m_clients[card];
    if (!name.isEmpty())
        client.Name = name;
    client.LastSeenMs = nowMs;
    return &client;
}

void TRelayServer::handleRegister(const TMessage& message, const TPeerEndpoint& from, qint64 nowMs)
{
    if (message.Card.isEmpty())
        return; // a client without a card cannot be told apart from others
    const QString endpointText = EndpointToText(from);
    const auto held = m_clients.constFind(message.Card);
    const bool known = held != m_clients.constEnd() && held->Endpoint == from;
    const TPeerEndpoint holder = held != m_clients.constEnd() ? held->Endpoint : TPeerEndpoint{};
    TMessage answer;
    answer.Kind = mkRegisterReply;
    bool duplicate = false;
    if (admit(message.Card, message.Name, from, nowMs, duplicate) == nullptr) {
        if (duplicate) {
            log(u"refuse"_s,
                u"refuse "_s + Printable(message.Card) + u" from "_s + endpointText + u": registered at "_s +
                    EndpointToText(holder),
                nowMs);
            answer.Flag = 0;
            reply(from, answer);
        }
        return; // full, or too many from this address: no answer
    }
    log(known ? u"renew"_s : u"register"_s,
        (known ? u"renew "_s : u"register "_s) + Printable(message.Card) + u" \""_s +
            Printable(message.Name) + u"\" at "_s + endpointText,
        nowMs);
    answer.Flag = 1;
    reply(from, answer);
}

void TRelayServer::handleUnknownQuery(const TMessage& message, const TPeerEndpoint& from, qint64 nowMs)
{
    if (message.Card.isEmpty())
        return;
    // The name of a client forgotten for its silence comes back with it.
    const auto held = m_clients.constFind(message.Card);
    const QString name = held != m_clients.constEnd() ? held->Name : QString();
    const QString holder = held != m_clients.constEnd() ? EndpointToText(held->Endpoint) : QString();
    bool duplicate = false;
    if (admit(message.Card, QString(), from, nowMs, duplicate) == nullptr) {
        // Held by a live endpoint: the query is not answered at all, so that a copy that lost
        // its port does not see a duplicate card; it comes back once the old endpoint is silent.
        if (duplicate)
            log(u"refuse"_s,
                u"ignore keep-alive for "_s + Printable(message.Card) + u" from "_s + EndpointToText(from) +
                    u": registered at "_s + holder,
                nowMs);
        return;
    }
    TClient* client = clientAt(from);
    if (client->Name.isEmpty())
        client->Name = name;
    log(u"register"_s,
        u"register "_s + Printable(message.Card) + u" \""_s + Printable(client->Name) + u"\" at "_s +
            EndpointToText(from) + u" (keep-alive)"_s,
        nowMs);
    TMessage answer;
    answer.Kind = mkRegisterReply;
    answer.Flag = 1;
    reply(from, answer);
}

void TRelayServer::handleList(TClient& asker, qint64 nowMs)
{
    const bool tooSoon = asker.LastListMs >= 0 && nowMs - asker.LastListMs < m_limits.ListIntervalMs;
    if (!asker.Receives || tooSoon || !sendList(asker, nowMs)) {
        asker.ListWaiting = true;
        log(u"wait"_s,
            u"list to "_s + Printable(asker.Card) + u" waits"_s +
                (!asker.Receives ? u" for a keep-alive"_s
                 : tooSoon       ? u" (asked again)"_s
                                 : u" (budget)"_s),
            nowMs);
        return;
    }
    asker.ListWaiting = false;
}

bool TRelayServer::sendList(TClient& asker, qint64 nowMs)
{
    // Only clients that showed they receive are named: a forged registration draws nobody's
    // connect requests and punches to its address.
    QStringList cards;
    for (const TClient& client : std::as_const(m_clients)) {
        if (client.Receives)
            cards.append(client.Card);
    }
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
    if (!m_budget.Take(to.Address, qint64(chunks.size()) * DatagramSize(mkPeerList), nowMs))
        return false;
    asker.LastListMs = nowMs;
    log(u"list"_s,
        u"list to "_s + Printable(asker.Card) + u": "_s + QString::number(cards.size()) + u" card(s) in "_s +
            QString::number(chunks.size()) + u" datagram(s)"_s,
        nowMs);
    for (const QStringList& part : std::as_const(chunks)) {
        TMessage list;
        list.Kind = mkPeerList;
        list.Text = JoinDelimited(part, QChar(u'|'));
        reply(to, list);
    }
    return true;
}

void TRelayServer::handleConnect(TClient& asker, const TMessage& message, qint64 nowMs)
{
    const auto target = m_clients.constFind(message.TargetCard);
    if (!asker.Receives || target == m_clients.constEnd() || target->Card == asker.Card || !target->Receives)
        return;
    const bool selected = message.Flag != 0;
    log(u"connect"_s,
        u"connect "_s + Printable(asker.Card) + u" -> "_s + Printable(target->Card) +
            (selected ? u" (selected)"_s : QString()),
        nowMs);
    // A client taken back by its keep-alive has told no name yet: its card stands for it.
    const auto shownName = [](const TClient& client) {
        return client.Name.isEmpty() ? client.Card : client.Name;
    };
    if (!selected) {
        // A new pairing: each learns the other, and the target opens its side at once.
        TMessage toAsker;
        toAsker.Kind = mkExtranetPeer;
        toAsker.Flag = 1;
        toAsker.Name = shownName(*target);
        toAsker.Card = target->Card;
        toAsker.Endpoint = target->Endpoint;
        sendPaid(asker.Endpoint, toAsker, nowMs);

        TMessage toTarget;
        toTarget.Kind = mkExtranetPeer;
        toTarget.Flag = 1;
        toTarget.Name = shownName(asker);
        toTarget.Card = asker.Card;
        toTarget.Endpoint = asker.Endpoint;
        sendPaid(target->Endpoint, toTarget, nowMs);
    }
    // A user who checks a peer already knows it: the target only punches back, so that no
    // second row appears on either side.
    TMessage punch;
    punch.Kind = mkPunchRequest;
    punch.Endpoint = asker.Endpoint;
    sendPaid(target->Endpoint, punch, nowMs);
}

void TRelayServer::reply(const TPeerEndpoint& to, const TMessage& message)
{
    if (m_sender)
        m_sender(to, EncodeMessage(message));
}

bool TRelayServer::sendPaid(const TPeerEndpoint& to, const TMessage& message, qint64 nowMs)
{
    const QByteArray bytes = EncodeMessage(message);
    if (!m_budget.Take(to.Address, bytes.size(), nowMs)) {
        log(u"budget"_s, u"over budget: nothing more to "_s + to.Address + u" for now"_s, nowMs);
        return false;
    }
    if (m_sender)
        m_sender(to, bytes);
    return true;
}

void TRelayServer::log(const QString& kind, const QString& line, qint64 nowMs)
{
    m_log.Log(kind, line, nowMs);
}
