#pragma once

#include "messenger/DatagramPacer.h"
#include "messenger/RelayAddress.h"
#include "messenger/codec/MessagerCodec.h"

#include <QHash>
#include <QObject>
#include <QSet>
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
    // A peer on the local network is asked on every keep-alive tick; one that has not answered
    // this many ticks running is shown offline, and removed at the next tick.
    static constexpr int MissedTicksOffline = 3;
    // How long a known card heard from a new address waits for its old address to answer.
    static constexpr int MoveCheckMs = 3000;
    // At most this many rows a second for addresses never heard before.
    static constexpr int NewAddressesPerSecond = 200;
    // How often a taken messenger port is tried again.
    static constexpr int PortRetryMs = 2000;

    // Reads UserName, ChatSeft, MessagePrompt and ServerAddress from the settings whenever it
    // needs them; the card address comes from the system information, time stamps from the clock.
    TMessagerProtocol(const TMessagerConfigMgr& config, const ISystemInfo& system, const IClock& clock,
                      IDatagramSocket& socket, IPeerList& peers, IConversation& conversation,
                      IOfferList& offers, QObject* parent = nullptr);
    ~TMessagerProtocol() override;

    // Takes the local address, binds the messenger port, announces this copy and registers
    // with the relay server. False when the port cannot be bound: nothing is sent then,
    // PortBlocked tells, and the port is tried again until it is free.
    bool Start();
    // Says goodbye on the local network and to the relay server, and closes the socket.
    void Shutdown();
    // Empties the peer list and asks everyone again.
    void Refresh();
    // The keep-alive timer's work: a query to the relay server when one is set.
    void KeepAlive();
    // The period of the keep-alive timer; the design's minute unless a test shortens it.
    void SetKeepAliveInterval(int ms);
    // Settles the known cards heard from new addresses whose old address had time to answer.
    void CheckMovedCards();

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
    void OnDatagram(const QByteArray& datagram, const QString& senderAddress,
                    quint16 senderPort = MessagerPort);

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
    // The messenger port is taken by another program (blocked), or was taken and is ours now.
    void PortBlocked(quint16 port, bool blocked);

private:
    void sendPresence(TMessageKind kind, const QString& host, quint16 port, bool notify);
    bool openSocket();
    void handleOnline(const TMessage& message, const QString& sender);
    void handleOffline(const TMessage& message, const QString& sender);
    void askLanPeers();
    bool admitNewAddress(const QString& sender);
    int findRow(const QString& address, const QString& card) const;
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
    QTimer m_portRetryTimer;
    QTimer m_moveTimer;
    TDatagramPacer m_pacer;
    // Ticks without an answer, by the address of a row on the local network.
    QHash<QString, int> m_missedTicks;
    // A known card heard from a new address, waiting for its old address to answer.
    struct TMove
    {
        QString Name;
        QString Card;
        QString OldAddress;
        bool Notify = false;
        qint64 Deadline = 0; // ms since the epoch
    };
    QHash<QString, TMove> m_moves; // by the new address
    QSet<QString> m_heardAddresses;
    qint64 m_newAddressSecond = -1;
    int m_newAddressCount = 0;
    QString m_localIP;
    TRelayAddress* m_relayAddress = nullptr;
    QList<QByteArray> m_relayQueue; // waiting for the relay's address, oldest first
    bool m_registered = false;
    bool m_registrationAsked = false; // a registration went out and its answer is due
    bool m_refused = false;           // the relay refused the card: keep-alives only
    bool m_listening = false;
};
