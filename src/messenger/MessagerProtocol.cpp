#include "messenger/MessagerProtocol.h"

#include "core/Clock.h"
#include "core/DelimitedText.h"
#include "messenger/DatagramSocket.h"
#include "messenger/MessagerConfigMgr.h"
#include "messenger/ProtocolHooks.h"
#include "platform/SystemInfo.h"

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
      m_conversation(conversation), m_offers(offers),
      m_pacer([this](const QString& host, quint16 port, const QByteArray& bytes) {
          return m_socket.Send(host, port, bytes);
      })
{
    m_keepAliveTimer.setInterval(KeepAliveInterval);
    connect(&m_keepAliveTimer, &QTimer::timeout, this, &TMessagerProtocol::KeepAlive);
    m_portRetryTimer.setInterval(PortRetryMs);
    connect(&m_portRetryTimer, &QTimer::timeout, this, [this] {
        if (!openSocket())
            return;
        m_portRetryTimer.stop();
        emit PortBlocked(MessagerPort, false);
    });
    m_moveTimer.setSingleShot(true);
    connect(&m_moveTimer, &QTimer::timeout, this, &TMessagerProtocol::CheckMovedCards);
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
    if (openSocket()) {
        m_portRetryTimer.stop();
        return true;
    }
    // Another program holds the port: the user is told, and the port is taken once it is free.
    emit PortBlocked(MessagerPort, true);
    m_portRetryTimer.start();
    return false;
}

bool TMessagerProtocol::openSocket()
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
    m_portRetryTimer.stop();
    m_moveTimer.stop();
    if (!m_listening)
        return;
    // The rest of a long message still leaves before the goodbye.
    m_pacer.Flush();
    SendOffline(BroadcastAddress, MessagerPort, true);
    // Nothing received from here on is handled; the goodbye to the relay server still leaves
    // from the messenger port, where the relay knows this copy.
    m_socket.OnReceived = nullptr;
    if (m_registered)
        UnregisterFromRelay(m_config.ServerAddress);
    m_socket.Close();
    m_pacer.Clear();
    m_relayQueue.clear();
    m_listening = false;
    m_keepAliveTimer.stop();
}

void TMessagerProtocol::Refresh()
{
    m_peers.ClearPeers();
    m_missedTicks.clear();
    m_moves.clear();
    SendQuery(BroadcastAddress, MessagerPort);
    if (m_registered)
        SendListRequest();
    else
        RegisterWithRelay(m_config.ServerAddress);
}

void TMessagerProtocol::KeepAlive()
{
    if (!m_config.ServerAddress.isEmpty()) {
        // Never accepted (the relay was down, or its name unknown at the start): register again.
        // After a refusal only keep-alives go, which the relay answers once the card is free.
        if (!m_registered && !m_refused) {
            RegisterWithRelay(m_config.ServerAddress);
        } else {
            TMessage message;
            message.Kind = mkQuery;
            message.Card = GetNetworkCardAddress();
            sendToRelay(m_config.ServerAddress, EncodeMessage(message));
        }
    }
    askLanPeers();
}

void TMessagerProtocol::SetKeepAliveInterval(int ms)
{
    m_keepAliveTimer.setInterval(ms);
}

// Every peer on the local network is asked whether it is still there; a peer answers with a
// quiet presence. One that stays silent is greyed with the offline notice, then removed.
void TMessagerProtocol::askLanPeers()
{
    if (!m_listening)
        return;
    QStringList asked;
    for (int row = m_peers.PeerCount() - 1; row >= 0; --row) {
        const TPeerInfo peer = m_peers.PeerAt(row);
        if (peer.Type != LocalPeerType)
            continue;
        const int missed = ++m_missedTicks[peer.Address];
        if (missed > MissedTicksOffline) {
            m_peers.DeletePeer(row);
            m_missedTicks.remove(peer.Address);
            continue;
        }
        if (missed == MissedTicksOffline) {
            m_peers.SetPeerState(row, TPeerState::Offline);
            if (m_config.MessagePrompt)
                m_peers.ShowOfflineNotice(peer.Name);
        }
        asked << peer.Address;
    }
    for (auto it = asked.crbegin(); it != asked.crend(); ++it)
        SendQuery(*it, MessagerPort);
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
        m_pacer.Send(host, port, EncodeMessage(message));
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
    // After the texts that announce it.
    m_pacer.Send(host, port, EncodeMessage(message));
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

void TMessagerProtocol::OnDatagram(const QByteArray& datagram, const QString& senderAddress,
                                   quint16 senderPort)
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
        handleOffline(message, senderAddress);
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
        m_conversation.AttendIncoming(message.Name, senderAddress);
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

int TMessagerProtocol::findRow(const QString& address, const QString& card) const
{
    for (int row = 0; row < m_peers.PeerCount(); ++row) {
        const TPeerInfo peer = m_peers.PeerAt(row);
        if (peer.Card != card)
            continue;
        TPeerEndpoint endpoint;
        if (peer.Address == address || (SplitEndpoint(peer.Address, endpoint) && endpoint.Address == address))
            return row;
    }
    return -1;
}

// A flood of presences from ever new addresses must not fill the list faster than a person
// can read it; addresses heard before always come through.
bool TMessagerProtocol::admitNewAddress(const QString& sender)
{
    if (m_heardAddresses.contains(sender))
        return true;
    const qint64 second = m_clock.Now().toMSecsSinceEpoch() / 1000;
    if (second != m_newAddressSecond) {
        m_newAddressSecond = second;
        m_newAddressCount = 0;
    }
    if (m_newAddressCount >= NewAddressesPerSecond)
        return false;
    ++m_newAddressCount;
    if (m_heardAddresses.size() > 65536)
        m_heardAddresses.clear();
    m_heardAddresses.insert(sender);
    return true;
}

void TMessagerProtocol::handleOnline(const TMessage& message, const QString& sender)
{
    if (!m_config.ChatSeft && sender == m_localIP)
        return;
    int row = m_peers.FindPeerByIP(sender);
    if (row >= 0) {
        // A known peer: its answer ends the exchange.
        m_missedTicks.remove(sender);
        m_heardAddresses.insert(sender);
        m_peers.UpdatePeer(row, message.Name, sender, message.Card, LocalPeerType);
        row = m_peers.FindPeerByIP(sender);
        bool shared = false;
        for (int other = 0; other < m_peers.PeerCount() && !shared; ++other)
            shared = other != row && m_peers.PeerAt(other).Card == message.Card;
        m_peers.SetPeerState(row, shared ? TPeerState::Conflict : TPeerState::Normal);
        // The old address of a card heard elsewhere answers: both are shown, marked.
        for (auto it = m_moves.begin(); it != m_moves.end();) {
            if (it->OldAddress != sender || it->Card != message.Card) {
                ++it;
                continue;
            }
            const TMove move = *it;
            const QString newAddress = it.key();
            it = m_moves.erase(it);
            if (m_peers.FindPeerByIP(newAddress) >= 0)
                continue;
            m_peers.AddPeer(move.Name, newAddress, move.Card, LocalPeerType);
            for (const QString& address : {newAddress, sender}) {
                const int marked = findRow(address, move.Card);
                if (marked >= 0)
                    m_peers.SetPeerState(marked, TPeerState::Conflict);
            }
            if (move.Notify && m_config.MessagePrompt)
                m_peers.ShowOnlineNotice(move.Name);
            SendOnline(newAddress, MessagerPort, false);
        }
        return;
    }
    row = m_peers.FindPeerByCard(message.Card);
    if (row >= 0) {
        // A known card from a new address moves its row only when the old address no longer
        // answers: anyone on the LAN can claim a card.
        const QString oldAddress = m_peers.PeerAt(row).Address;
        if (!m_moves.contains(sender)) {
            m_moves.insert(sender, {message.Name, message.Card, oldAddress, message.Flag != 0,
                                    m_clock.Now().toMSecsSinceEpoch() + MoveCheckMs});
            TPeerEndpoint endpoint;
            if (SplitEndpoint(oldAddress, endpoint))
                SendQuery(endpoint.Address, quint16(endpoint.Port));
            else
                SendQuery(oldAddress, MessagerPort);
            if (!m_moveTimer.isActive())
                m_moveTimer.start(MoveCheckMs);
        }
        return;
    }
    if (!admitNewAddress(sender))
        return;
    m_peers.AddPeer(message.Name, sender, message.Card, LocalPeerType);
    if (message.Flag != 0 && m_config.MessagePrompt)
        m_peers.ShowOnlineNotice(message.Name);
    SendOnline(sender, MessagerPort, false);
}

void TMessagerProtocol::CheckMovedCards()
{
    const qint64 now = m_clock.Now().toMSecsSinceEpoch();
    qint64 next = 0;
    for (auto it = m_moves.begin(); it != m_moves.end();) {
        if (it->Deadline > now) {
            next = next == 0 ? it->Deadline : std::min(next, it->Deadline);
            ++it;
            continue;
        }
        const TMove move = *it;
        const QString newAddress = it.key();
        it = m_moves.erase(it);
        // The old address stayed silent: the card has moved.
        const int row = findRow(move.OldAddress, move.Card);
        if (row >= 0) {
            m_missedTicks.remove(move.OldAddress);
            m_peers.UpdatePeer(row, move.Name, newAddress, move.Card, LocalPeerType);
            m_peers.SetPeerState(m_peers.FindPeerByIP(newAddress), TPeerState::Normal);
            m_heardAddresses.insert(newAddress);
        } else if (m_peers.FindPeerByIP(newAddress) < 0 && admitNewAddress(newAddress)) {
            m_peers.AddPeer(move.Name, newAddress, move.Card, LocalPeerType);
            if (move.Notify && m_config.MessagePrompt)
                m_peers.ShowOnlineNotice(move.Name);
            SendOnline(newAddress, MessagerPort, false);
        }
    }
    if (next != 0)
        m_moveTimer.start(int(std::max<qint64>(1, next - now)));
}

// Only the row's own address can say goodbye for it.
void TMessagerProtocol::handleOffline(const TMessage& message, const QString& sender)
{
    const int row = findRow(sender, message.Card);
    if (row < 0)
        return;
    m_missedTicks.remove(m_peers.PeerAt(row).Address);
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
    m_conversation.AttendIncoming(message.Name, sender);
}
