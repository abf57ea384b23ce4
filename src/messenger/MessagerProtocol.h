#pragma once

#include "messenger/RelayAddress.h"
#include "messenger/codec/MessagerCodec.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class IClock;
class IConversation;
class IDatagramSocket;
class IOfferList;
class IPeerList;
class ISystemInfo;
class TMessagerConfigMgr;

// The messenger's datagram protocol: announcing this copy on the local network, registering
// with the relay server, every sending operation and the handling of every datagram that
// arrives. Runs on the thread that owns the socket.
class TMessagerProtocol final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMessagerProtocol)
public:
    static const QString BroadcastAddress;          // "255.255.255.255"
    static const QString LocalPeerType;             // "内网"
    static const QString ExtranetPeerType;          // "外网"
    static constexpr int KeepAliveInterval = 60000; // ms

    // Reads UserName, ChatSeft, MessagePrompt and ServerAddress from the settings whenever it
    // needs them; the card address comes from the system information, time stamps from the clock.
    TMessagerProtocol(const TMessagerConfigMgr& config, const ISystemInfo& system, const IClock& clock,
                      IDatagramSocket& socket, IPeerList& peers, IConversation& conversation,
                      IOfferList& offers, QObject* parent = nullptr);
    ~TMessagerProtocol() override;

    // Takes the local address, binds the messenger port, announces this copy and registers
    // with the relay server. False when the port cannot be bound (nothing is sent then).
    bool Start();
    // Says goodbye on the local network and to the relay server, and closes the socket.
    void Shutdown();
    // Empties the peer list and asks everyone again.
    void Refresh();
    // The keep-alive timer's work: a query to the relay server when one is set.
    void KeepAlive();

    bool Registered() const { return m_registered; }
    QString LocalIP() const { return m_localIP; }
    QString GetNetworkCardAddress() const;

    // Sending. Every failure is silent; only SendDatagram tells.
    bool SendDatagram(const QString& host, quint16 port, const QByteArray& record);
    void SendOnline(const QString& host, quint16 port, bool notify);
    void SendOffline(const QString& host, quint16 port, bool notify);
    void SendQuery(const QString& host, quint16 port);
    void SendListRequest();
    void SendConnectRequest(const QString& targetCard, bool selected);
    void SendPunch(const TPeerEndpoint& endpoint);
    // A text longer than one datagram's field goes out in several datagrams, in order.
    void SendText(const QString& host, const QString& text, quint16 port = MessagerPort);
    // The items travel joined by "|"; items that no longer fit the datagram are left out,
    // and then the result is false.
    bool SendFileOffer(const QString& host, const QStringList& items, quint16 port = MessagerPort);
    // How many of the items, from the first, fit into one file offer.
    static qsizetype OfferItemsThatFit(const QStringList& items);
    void RegisterWithRelay(const QString& address);
    void UnregisterFromRelay(const QString& address);

    // Handles one received datagram; the sender's address and port are its source. What only a
    // relay server sends counts only from the relay's address and port.
    void OnDatagram(const QByteArray& datagram, const QString& senderAddress, quint16 senderPort = MessagerPort);

    // How the relay's host name is looked up (tests hand in their own); set before Start.
    void SetRelayLookup(TRelayAddress::TLookup lookup);

    // "(yyyy-mm-dd hh:nn:ss) " for the lines of the conversation.
    QString FormatTimestamp() const;

signals:
    // A refusal that the user must see in a message box ("网卡重复！"). Emitted from inside the
    // datagram handling: receivers show the box later, never while the socket waits.
    void MessageBoxRequested(const QString& text);
    // The relay server accepted the registration.
    void RegistrationAccepted();

private:
    void sendPresence(TMessageKind kind, const QString& host, quint16 port, bool notify);
    void handleOnline(const TMessage& message, const QString& sender);
    void handleOffline(const TMessage& message);
    void handleRegisterReply(const TMessage& message);
    bool isFromRelay(const QString& senderAddress, quint16 senderPort) const;
    // The own presence record with Notify 0, as the relay gets it.
    QByteArray quietPresence(TMessageKind kind) const;
    // Sends to the relay server, or keeps the datagram until its host name is looked up.
    void sendToRelay(const QString& host, const QByteArray& record);
    void relayResolved(const QString& host, const QString& address);
    void handlePeerList(const TMessage& message);
    void handleExtranetPeer(const TMessage& message);
    void handleFileOffer(const TMessage& message, const QString& sender);

    const TMessagerConfigMgr& m_config;
    const ISystemInfo& m_system;
    const IClock& m_clock;
    IDatagramSocket& m_socket;
    IPeerList& m_peers;
    IConversation& m_conversation;
    IOfferList& m_offers;

    QTimer m_keepAliveTimer;
    QString m_localIP;
    TRelayAddress* m_relayAddress = nullptr;
    QList<QByteArray> m_relayQueue; // waiting for the relay's address, oldest first
    bool m_registered = false;
    bool m_registrationAsked = false; // a registration went out and its answer is due
    bool m_refused = false;           // the relay refused the card: keep-alives only
    bool m_listening = false;
};
