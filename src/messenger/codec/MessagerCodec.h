#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The messenger's datagrams: byte 0 the kind, bytes 1 to 4 reserved (zero), the payload from
// byte 5, packed without padding. Texts are fixed arrays of UTF-16 LE code units ending at the
// first NUL or at the end of the array; integers are 32-bit signed little-endian.
enum TMessageKind : quint8
{
    mkOnline = 0,
    mkRegisterReply = 1,
    mkOffline = 2,
    mkQuery = 3,
    mkListRequest = 4,
    mkPeerList = 5,
    mkConnectRequest = 6,
    mkExtranetPeer = 7,
    mkPunchRequest = 8,
    mkPunch = 9,
    mkText = 10,
    mkFileOffer = 16,
};

constexpr quint16 MessagerPort = 3574;
constexpr quint16 RelayPort = 5432;
// Nothing longer is ever read.
constexpr qsizetype MaxDatagramSize = 8192;

// Field capacities in code units (the arrays hold one more, for the NUL).
constexpr int NameCapacity = 20;
constexpr int CardCapacity = 12;
constexpr int TextCapacity = 1023;
constexpr int AddressCapacity = 15;

// A public address and port as the relay server sees it.
struct TPeerEndpoint
{
    QString Address; // dotted IPv4 text
    qint32 Port = 0;

    bool operator==(const TPeerEndpoint&) const = default;
};

// "192.0.2.7:3574"
QString EndpointToText(const TPeerEndpoint& endpoint);
// Splits at the first ':' into the address and the decimal port. False, with the endpoint
// untouched, when the text is no dotted IPv4 address and port 1..65535.
bool SplitEndpoint(const QString& text, TPeerEndpoint& endpoint);
bool IsValidEndpoint(const TPeerEndpoint& endpoint);

// The size of a datagram of this kind, or 0 for a kind the messenger does not know.
qsizetype DatagramSize(quint8 kind);

// One datagram, decoded. Which fields count depends on the kind.
struct TMessage
{
    TMessageKind Kind = mkOnline;
    quint8 Flag = 0;        // Notify (presence, extranet peer), Accepted (register reply), Selected (connect)
    QString Name;           // presence, extranet peer, text, file offer
    QString Card;           // presence, query, extranet peer; OwnCard of a connect request
    QString TargetCard;     // connect request
    QString Text;           // text and file offer; the Cards of a peer list
    TPeerEndpoint Endpoint; // extranet peer, punch request

    bool operator==(const TMessage&) const = default;
};

// Texts longer than their field are cut (never between the halves of a surrogate pair).
QByteArray EncodeMessage(const TMessage& message);
// Nothing for an unknown kind, a datagram shorter than its kind's size or longer than
// MaxDatagramSize, and an endpoint that is no IPv4 address and port.
std::optional<TMessage> DecodeMessage(const QByteArray& datagram);

// The longest head of the text that fits the capacity without splitting a surrogate pair.
QString FitToCapacity(const QString& text, int capacity);
// The text in pieces of at most capacity code units, no pair split; "" gives one empty piece.
QStringList SplitToCapacity(const QString& text, int capacity);
