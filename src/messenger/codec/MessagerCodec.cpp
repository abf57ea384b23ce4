#include "messenger/codec/MessagerCodec.h"

#include <QtEndian>

namespace {

constexpr int HeaderSize = 5;
constexpr int NameUnits = NameCapacity + 1;
constexpr int CardUnits = CardCapacity + 1;
constexpr int TextUnits = TextCapacity + 1;
constexpr int AddressUnits = AddressCapacity + 1;
constexpr int EndpointSize = AddressUnits * 2 + 4;

class TWriter
{
public:
    TWriter(TMessageKind kind, qsizetype size) : m_bytes(size, '\0') { m_bytes[0] = char(kind); }

    void Byte(qsizetype offset, quint8 value) { m_bytes[offset] = char(value); }
    void Text(qsizetype offset, const QString& text, int units)
    {
        const QString fitted = FitToCapacity(text, units - 1);
        for (qsizetype i = 0; i < fitted.size(); ++i)
            qToLittleEndian<quint16>(fitted.at(i).unicode(), m_bytes.data() + offset + 2 * i);
    }
    void Int32(qsizetype offset, qint32 value) { qToLittleEndian<qint32>(value, m_bytes.data() + offset); }
    void Endpoint(qsizetype offset, const TPeerEndpoint& endpoint)
    {
        Text(offset, endpoint.Address, AddressUnits);
        Int32(offset + AddressUnits * 2, endpoint.Port);
    }
    QByteArray Bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

quint8 ReadByte(const QByteArray& bytes, qsizetype offset)
{
    return quint8(bytes.at(offset));
}

QString ReadText(const QByteArray& bytes, qsizetype offset, int units)
{
    QString text;
    const uchar* data = reinterpret_cast<const uchar*>(bytes.constData()) + offset;
    for (int i = 0; i < units; ++i) {
        const quint16 unit = qFromLittleEndian<quint16>(data + 2 * i);
        if (unit == 0)
            break;
        text += QChar(unit);
    }
    return text;
}

TPeerEndpoint ReadEndpoint(const QByteArray& bytes, qsizetype offset)
{
    TPeerEndpoint endpoint;
    endpoint.Address = ReadText(bytes, offset, AddressUnits);
    endpoint.Port = qFromLittleEndian<qint32>(bytes.constData() + offset + AddressUnits * 2);
    return endpoint;
}

bool IsDottedIPv4(const QString& text)
{
    const QStringList parts = text.split(QChar(u'.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (QChar ch : part) {
            if (ch < QChar(u'0') || ch > QChar(u'9'))
                return false;
        }
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

} // namespace

QString EndpointToText(const TPeerEndpoint& endpoint)
{
    return endpoint.Address + QChar(u':') + QString::number(endpoint.Port);
}

bool IsValidEndpoint(const TPeerEndpoint& endpoint)
{
    return IsDottedIPv4(endpoint.Address) && endpoint.Port > 0 && endpoint.Port <= 65535;
}

bool SplitEndpoint(const QString& text, TPeerEndpoint& endpoint)
{
    const qsizetype colon = text.indexOf(QChar(u':'));
    if (colon < 0)
        return false;
    const QString portText = text.mid(colon + 1);
    if (portText.isEmpty() || portText.size() > 5)
        return false;
    for (QChar ch : portText) {
        if (ch < QChar(u'0') || ch > QChar(u'9'))
            return false;
    }
    const TPeerEndpoint result{text.left(colon), portText.toInt()};
    if (!IsValidEndpoint(result))
        return false;
    endpoint = result;
    return true;
}

qsizetype DatagramSize(quint8 kind)
{
    switch (kind) {
    case mkOnline:
    case mkOffline:
        return HeaderSize + 1 + NameUnits * 2 + CardUnits * 2; // 74
    case mkRegisterReply:
        return HeaderSize + 1; // 6
    case mkQuery:
        return HeaderSize + CardUnits * 2; // 31
    case mkListRequest:
    case mkPunch:
        return HeaderSize; // 5
    case mkPeerList:
        return HeaderSize + TextUnits * 2; // 2053
    case mkConnectRequest:
        return HeaderSize + CardUnits * 4 + 1; // 58
    case mkExtranetPeer:
        return HeaderSize + 1 + NameUnits * 2 + CardUnits * 2 + EndpointSize; // 110
    case mkPunchRequest:
        return HeaderSize + EndpointSize; // 41
    case mkText:
    case mkFileOffer:
        return HeaderSize + NameUnits * 2 + TextUnits * 2; // 2095
    default:
        return 0;
    }
}

QByteArray EncodeMessage(const TMessage& message)
{
    TWriter writer(message.Kind, DatagramSize(message.Kind));
    switch (message.Kind) {
    case mkOnline:
    case mkOffline:
        writer.Byte(5, message.Flag);
        writer.Text(6, message.Name, NameUnits);
        writer.Text(48, message.Card, CardUnits);
        break;
    case mkRegisterReply:
        writer.Byte(5, message.Flag);
        break;
    case mkQuery:
        writer.Text(5, message.Card, CardUnits);
        break;
    case mkListRequest:
    case mkPunch:
        break;
    case mkPeerList:
        writer.Text(5, message.Text, TextUnits);
        break;
    case mkConnectRequest:
        writer.Text(5, message.Card, CardUnits);
        writer.Text(31, message.TargetCard, CardUnits);
        writer.Byte(57, message.Flag);
        break;
    case mkExtranetPeer:
        writer.Byte(5, message.Flag);
        writer.Text(6, message.Name, NameUnits);
        writer.Text(48, message.Card, CardUnits);
        writer.Endpoint(74, message.Endpoint);
        break;
    case mkPunchRequest:
        writer.Endpoint(5, message.Endpoint);
        break;
    case mkText:
    case mkFileOffer:
        writer.Text(5, message.Name, NameUnits);
        writer.Text(47, message.Text, TextUnits);
        break;
    }
    return writer.Bytes();
}

std::optional<TMessage> DecodeMessage(const QByteArray& datagram)
{
    if (datagram.isEmpty() || datagram.size() > MaxDatagramSize)
        return std::nullopt;
    const quint8 kind = ReadByte(datagram, 0);
    const qsizetype size = DatagramSize(kind);
    if (size == 0 || datagram.size() < size)
        return std::nullopt;

    TMessage message;
    message.Kind = TMessageKind(kind);
    switch (message.Kind) {
    case mkOnline:
    case mkOffline:
        message.Flag = ReadByte(datagram, 5);
        message.Name = ReadText(datagram, 6, NameUnits);
        message.Card = ReadText(datagram, 48, CardUnits);
        break;
    case mkRegisterReply:
        message.Flag = ReadByte(datagram, 5);
        break;
    case mkQuery:
        message.Card = ReadText(datagram, 5, CardUnits);
        break;
    case mkListRequest:
    case mkPunch:
        break;
    case mkPeerList:
        message.Text = ReadText(datagram, 5, TextUnits);
        break;
    case mkConnectRequest:
        message.Card = ReadText(datagram, 5, CardUnits);
        message.TargetCard = ReadText(datagram, 31, CardUnits);
        message.Flag = ReadByte(datagram, 57);
        break;
    case mkExtranetPeer:
        message.Flag = ReadByte(datagram, 5);
        message.Name = ReadText(datagram, 6, NameUnits);
        message.Card = ReadText(datagram, 48, CardUnits);
        message.Endpoint = ReadEndpoint(datagram, 74);
        if (!IsValidEndpoint(message.Endpoint))
            return std::nullopt;
        break;
    case mkPunchRequest:
        message.Endpoint = ReadEndpoint(datagram, 5);
        if (!IsValidEndpoint(message.Endpoint))
            return std::nullopt;
        break;
    case mkText:
    case mkFileOffer:
        message.Name = ReadText(datagram, 5, NameUnits);
        message.Text = ReadText(datagram, 47, TextUnits);
        break;
    }
    return message;
}

QString FitToCapacity(const QString& text, int capacity)
{
    if (text.size() <= capacity)
        return text;
    qsizetype cut = capacity;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate() && text.at(cut).isLowSurrogate())
        --cut;
    return text.left(cut);
}

QStringList SplitToCapacity(const QString& text, int capacity)
{
    // A piece ends after a blank or between two names ("|", "、") when one is this near the
    // field's end, so that words and names arrive whole.
    constexpr qsizetype kLookBack = 64;
    QStringList pieces;
    qsizetype start = 0;
    do {
        QString piece = FitToCapacity(text.mid(start), capacity);
        if (piece.isEmpty() && start < text.size())
            piece = text.mid(start, qMax(1, capacity)); // a capacity below one pair
        if (start + piece.size() < text.size()) {
            for (qsizetype i = piece.size() - 1; i > 0 && i >= piece.size() - kLookBack; --i) {
                const QChar c = piece.at(i);
                if (c == u' ' || c == u'|' || c == QChar(0x3001)) {
                    piece.truncate(i + 1);
                    break;
                }
            }
        }
        pieces.append(piece);
        start += piece.size();
    } while (start < text.size());
    return pieces;
}
