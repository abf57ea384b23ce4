#include "messenger/MessagerProtocol.h"

#include "messenger/MessagerConfigMgr.h"
#include "platform/SystemInfo.h"
#include "core/Clock.h"
#include "messenger/DatagramSocket.h"
#include "messenger/ProtocolHooks.h"
#include "messenger/codec/DelimitedText.h"

#include <utility>

using namespace Qt::StringLiterals;

const QString TMessagerProtocol::BroadcastAddress = u"255.255.255.255"_s;
const QString TMessagerProtocol::LocalPeerType = u"内网"_s;
const QString TMessagerProtocol::ExtranetPeerType = u"外网"_s;

namespace {

const QString kDuplicateCard = u"网卡重复！"_s;
const QString kBusyAnswer = u" 对你说：我正在处理附件，请稍后重发您的附件！"_s;
const QString kBusyOwnLine = u" 说：我正在处理附件，请稍后重发您的附件！"_s;
// Datagrams for the relay kept while its name is looked up; a start sends two or three.
constexpr int kRelayQueueLimit = 8;

} // namespace

TMessagerProtocol::TMessagerProtocol(const TMessagerConfigMgr& config, const ISystemInfo& system,
                                     const IClock& clock, IDatagramSocket& socket, IPeerList& peers,
                                     IConversation& conversation, IOfferList& offers, QObject* parent)
    : QObject(parent), m_config(config), m_system(system), m_clock(clock), m_socket(socket), m_peers(peers),
      m_conversation(conversation), m_offers(offers)
{
    m_keepAliveTimer.setInterval(KeepAliveInterval);
    connect(&m_keepAliveTimer, &QTimer::timeout, this, &TMessagerProtocol::KeepAlive);
    SetRelayLookup({});
}

void TMessagerProtocol::SetRelayLookup(TRelayAddress::TLookup lookup)
{
    delete m_relayAddress;
    m_relayAddress = new TRelayAddress(std::move(lookup), this);
    connect(m_relayAddress, &TRelayAddress::resolved, this, &TMessagerProtocol::relayResolved);
}

TMessagerProtocol::~TMessagerProtocol()
{
    // The socket may outlive this object: it must not call back into it.
    m_socket.OnReceived = nullptr;
}

bool TMessagerProtocol::Start()
{
    m_localIP = m_socket.LocalIPv4();
    if (!m_socket.Open(MessagerPort))
        return false;
    m_socket.OnReceived = [this](const QByteArray& bytes, const QString& sender, quint16 port) {
        OnDatagram(bytes, sender, port);
    };
    m_listening = true;
    m_keepAliveTimer.start();
    SendOnline(BroadcastAddress, MessagerPort, true);
    m_registered = false;
    m_refused = false;
    RegisterWithRelay(m_config.ServerAddress);
    return true;
}

void TMessagerProtocol::Shutdown()
{
    if (!m_listening)
        return;
    SendOffline(BroadcastAddress, MessagerPort, true);
    // Nothing received from here on is handled; the goodbye to the relay server still leaves
    // from the messenger port, where the relay knows this copy.
    m_socket.OnReceived = nullptr;
    if (m_registered)
        UnregisterFromRelay(m_config.ServerAddress);
    m_socket.Close();
    m_relayQueue.clear();
    m_listening = false;
    m_keepAliveTimer.stop();
}

void TMessagerProtocol::Refresh()
{
    m_peers.ClearPeers();
    SendQuery(BroadcastAddress, MessagerPort);
    if (m_registered)
        SendListRequest();
    else
        RegisterWithRelay(m_config.ServerAddress);
}

void TMessagerProtocol::KeepAlive()
{
    if (m_config.ServerAddress.isEmpty())
        return;
    // Never accepted (the relay was down, or its name unknown at the start): register again.
    // After a refusal only keep-alives go, which the relay answers once the card is free.
    if (!m_registered && !m_refused) {
        RegisterWithRelay(m_config.ServerAddress);
        return;
    }
    TMessage message;
    message.Kind = mkQuery;
    message.Card = GetNetworkCardAddress();
    sendToRelay(m_config.ServerAddress, EncodeMessage(message));
}

QString TMessagerProtocol::GetNetworkCardAddress() const
{
    return m_system.hardwareAddress();
}

bool TMessagerProtocol::SendDatagram(const QString& host, quint16 port, const QByteArray& record)
{
    return m_socket.Send(host, port, record);
}

void TMessagerProtocol::sendPresence(TMessageKind kind, const QString& host, quint16 port, bool notify)
{
    TMessage message;
    message.Kind = kind;
    message.Flag = notify ? 1 : 0;
    message.Name = m_config.UserName;
    message.Card = GetNetworkCardAddress();
    SendDatagram(host, port, EncodeMessage(message));
}

void TMessagerProtocol::SendOnline(const QString& host, quint16 port, bool notify)
{
    sendPresence(mkOnline, host, port, notify);
}

void TMessagerProtocol::SendOffline(const QString& host, quint16 port, bool notify)
{
    sendPresence(mkOffline, host, port, notify);
}

void TMessagerProtocol::SendQuery(const QString& host, quint16 port)
{
    TMessage message;
    message.Kind = mkQuery;
    message.Card = GetNetworkCardAddress();
    SendDatagram(host, port, EncodeMessage(message));
}

void TMessagerProtocol::SendListRequest()
{
    if (m_config.ServerAddress.isEmpty())
        return;
    TMessage message;
    message.Kind = mkListRequest;
    sendToRelay(m_config.ServerAddress, EncodeMessage(message));
}

void TMessagerProtocol::SendConnectRequest(const QString& targetCard, bool selected)
{
    if (m_config.ServerAddress.isEmpty())
        return;
    TMessage message;
    message.Kind = mkConnectRequest;
    message.Card = GetNetworkCardAddress();
    message.TargetCard = targetCard;
    message.Flag = selected ? 1 : 0;
    sendToRelay(m_config.ServerAddress, EncodeMessage(message));
}

void TMessagerProtocol::SendPunch(const TPeerEndpoint& endpoint)
{
    if (!IsValidEndpoint(endpoint))
        return;
    TMessage message;
    message.Kind = mkPunch;
    SendDatagram(endpoint.Address, quint16(endpoint.Port), EncodeMessage(message));
}

void TMessagerProtocol::SendText(const QString& host, const QString& text, quint16 port)
{
    TMessage message;
    message.Kind = mkText;
    message.Name = m_config.UserName;
    for (const QString& piece : SplitToCapacity(text, TextCapacity)) {
        message.Text = piece;
        SendDatagram(host, port, EncodeMessage(message));
    }
}

qsizetype TMessagerProtocol::OfferItemsThatFit(const QStringList& items)
{
    qsizetype fit = 0;
    while (fit < items.size() && JoinDelimited(items.first(fit + 1), QChar(u'|')).size() <= TextCapacity)
        ++fit;
    return fit;
}

bool TMessagerProtocol::SendFileOffer(const QString& host, const QStringList& items, quint16 port)
{
    // Cutting the joined text would corrupt an item, so whole items are left out instead; the
    // window offers only what fits and keeps the rest for the next send.
    const QStringList fitting = items.first(OfferItemsThatFit(items));
    if (fitting.isEmpty())
        return false;
    const QString joined = JoinDelimited(fitting, QChar(u'|'));
    TMessage message;
    message.Kind = mkFileOffer;
    message.Name = m_config.UserName;
    message.Text = joined;
    SendDatagram(host, port, EncodeMessage(message));
    return fitting.size() == items.size();
}

void TMessagerProtocol::RegisterWithRelay(const QString& address)
{
    if (address.isEmpty())
        return;
    m_registrationAsked = true;
    sendToRelay(address, quietPresence(mkOnline));
}

void TMessagerProtocol::UnregisterFromRelay(const QString& address)
{
    if (address.isEmpty())
        return;
    sendToRelay(address, quietPresence(mkOffline));
}

QByteArray TMessagerProtocol::quietPresence(TMessageKind kind) const
{
    TMessage message;
    message.Kind = kind;
    message.Name = m_config.UserName;
    message.Card = GetNetworkCardAddress();
    return EncodeMessage(message);
}

void TMessagerProtocol::sendToRelay(const QString& host, const QByteArray& record)
{
    const QString address = m_relayAddress->Resolve(host);
    if (!address.isEmpty()) {
        SendDatagram(address, RelayPort, record);
        return;
    }
    if (m_relayQueue.size() >= kRelayQueueLimit)
        m_relayQueue.removeFirst();
    m_relayQueue.append(record);
}

void TMessagerProtocol::relayResolved(const QString& host, const QString& address)
{
    if (host != m_config.ServerAddress || address.isEmpty() || !m_listening)
        return;
    const QList<QByteArray> waiting = std::exchange(m_relayQueue, {});
    for (const QByteArray& record : waiting)
        SendDatagram(address, RelayPort, record);
}

bool TMessagerProtocol::isFromRelay(const QString& senderAddress, quint16 senderPort) const
{
    if (m_config.ServerAddress.isEmpty() || senderPort != RelayPort)
        return false;
    const QString relay = m_relayAddress->Known(m_config.ServerAddress);
    return !relay.isEmpty() && relay == senderAddress;
}

QString TMessagerProtocol::FormatTimestamp() const
{
    return u"("_s + m_clock.Now().toString(u"yyyy-MM-dd hh:mm:ss"_s) + u") "_s;
}

void TMessagerProtocol::OnDatagram(const QByteArray& datagram, const QString& senderAddress, quint16 senderPort)
{
    const std::optional<TMessage> decoded = DecodeMessage(datagram);
    if (!decoded)
        return;
    const TMessage& message = *decoded;
    // What only a relay server sends counts only from the relay: anyone else could make rows,
    // punches and message boxes with it.
    const bool fromRelayOnly = message.Kind == mkRegisterReply || message.Kind == mkPeerList ||
                               message.Kind == mkExtranetPeer || message.Kind == mkPunchRequest;
    if (fromRelayOnly && !isFromRelay(senderAddress, senderPort))
        return;
    switch (message.Kind) {
    case mkOnline:
        handleOnline(message, senderAddress);
        break;
    case mkRegisterReply:
        handleRegisterReply(message);
        break;
    case mkOffline:
        handleOffline(message);
        break;
    case mkQuery:
        SendOnline(senderAddress, MessagerPort, false);
        break;
    case mkPeerList:
        handlePeerList(message);
        break;
    case mkExtranetPeer:
        handleExtranetPeer(message);
        break;
    case mkPunchRequest:
        SendPunch(message.Endpoint);
        break;
    case mkText:
        m_conversation.AppendToConversation(message.Text);
        m_conversation.AttendIncoming(message.Name);
        break;
    case mkFileOffer:
        handleFileOffer(message, senderAddress);
        break;
    case mkListRequest:
    case mkConnectRequest:
    case mkPunch:
        break;
    }
}

void TMessagerProtocol::handleOnline(const TMessage& message, const QString& sender)
{
    if (!m_config.ChatSeft && sender == m_localIP)
        return;
    int row = m_peers.FindPeerByIP(sender);
    if (row < 0)
        row = m_peers.FindPeerByCard(message.Card);
    if (row >= 0) {
        // A known peer: its answer ends the exchange.
        m_peers.UpdatePeer(row, message.Name, sender, message.Card, LocalPeerType);
        return;
    }
    m_peers.AddPeer(message.Name, sender, message.Card, LocalPeerType);
    if (message.Flag != 0 && m_config.MessagePrompt)
        m_peers.ShowOnlineNotice(message.Name);
    SendOnline(sender, MessagerPort, false);
}

void TMessagerProtocol::handleOffline(const TMessage& message)
{
    const int row = m_peers.FindPeerByCard(message.Card);
    if (row < 0)
        return;
    m_peers.DeletePeer(row);
    if (message.Flag != 0 && m_config.MessagePrompt)
        m_peers.ShowOfflineNotice(message.Name);
}

void TMessagerProtocol::handleRegisterReply(const TMessage& message)
{
    const bool asked = std::exchange(m_registrationAsked, false);
    if (message.Flag == 0) {
        // One box per refused registration, however many answers arrive.
        if (!asked)
            return;
        m_refused = true;
        emit MessageBoxRequested(kDuplicateCard);
        return;
    }
    m_registered = true;
    m_refused = false;
    if (!asked) {
        // The relay had forgotten this copy and took it back from a keep-alive, which carries
        // no name: register again in full; the list follows that answer.
        RegisterWithRelay(m_config.ServerAddress);
        return;
    }
    // A keep-alive first shows the relay that this copy receives, so the list comes at once.
    KeepAlive();
    SendListRequest();
    emit RegistrationAccepted();
}

void TMessagerProtocol::handlePeerList(const TMessage& message)
{
    const QStringList cards = SplitDelimited(message.Text, QChar(u'|'));
    for (const QString& card : cards) {
        if (card.isEmpty() || card == GetNetworkCardAddress())
            continue;
        if (m_peers.FindPeerByCard(card) < 0)
            SendConnectRequest(card, false);
    }
}

void TMessagerProtocol::handleExtranetPeer(const TMessage& message)
{
    m_peers.AddPeer(message.Name, EndpointToText(message.Endpoint), message.Card, ExtranetPeerType);
    if (message.Flag != 0 && m_config.MessagePrompt)
        m_peers.ShowOnlineNotice(message.Name);
    SendPunch(message.Endpoint);
}

void TMessagerProtocol::handleFileOffer(const TMessage& message, const QString& sender)
{
    const QStringList items = SplitDelimited(message.Text, QChar(u'|'));
    if (m_offers.PendingOfferCount() > 0) {
        SendText(sender, FormatTimestamp() + m_config.UserName + kBusyAnswer, MessagerPort);
        m_conversation.AppendToConversation(FormatTimestamp() + u"你对 "_s + message.Name + kBusyOwnLine);
        return;
    }
    // An offer without a single item would leave nothing to fetch but block the next offers.
    if (items.isEmpty())
        return;
    m_offers.AcceptOffer(sender, items);
    m_conversation.AttendIncoming(message.Name);
}
