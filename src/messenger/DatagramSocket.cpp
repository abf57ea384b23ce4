#include "messenger/DatagramSocket.h"

#include "messenger/codec/MessagerCodec.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <QVariant>

TUdpDatagramSocket::TUdpDatagramSocket(QObject* parent) : QObject(parent) {}

TUdpDatagramSocket::~TUdpDatagramSocket()
{
    Close();
}

bool TUdpDatagramSocket::Open(quint16 port)
{
    Close();
    m_socket = new QUdpSocket(this);
    // Qt allows broadcasts on every UDP socket it creates. The port is not shared: a second
    // copy bound beside the first would take its datagrams away from it.
    if (!m_socket->bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress)) {
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    // Room for a burst of texts while the window is busy drawing the previous ones.
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(4 * 1024 * 1024));
    connect(m_socket, &QUdpSocket::readyRead, this, &TUdpDatagramSocket::readPending);
    return true;
}

void TUdpDatagramSocket::Close()
{
    if (m_socket == nullptr)
        return;
    // Closing may happen inside the socket's own notification, so it goes later.
    m_socket->close();
    m_socket->deleteLater();
    m_socket = nullptr;
}

bool TUdpDatagramSocket::IsOpen() const
{
    return m_socket != nullptr;
}

bool TUdpDatagramSocket::Send(const QString& host, quint16 port, const QByteArray& bytes)
{
    if (m_socket == nullptr || host.isEmpty())
        return false;
    const QHostAddress address(host);
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    return m_socket->writeDatagram(bytes, address, port) == bytes.size();
}

QString TUdpDatagramSocket::LocalIPv4() const
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        if (iface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol && !entry.ip().isLoopback())
                return entry.ip().toString();
        }
    }
    return {};
}

void TUdpDatagramSocket::readPending()
{
    while (m_socket != nullptr && m_socket->hasPendingDatagrams()) {
        // One byte more than the limit, so that an oversized datagram is seen and dropped.
        const QNetworkDatagram datagram = m_socket->receiveDatagram(MaxDatagramSize + 1);
        if (!datagram.isValid())
            continue;
        if (!OnReceived)
            continue;
        QHostAddress sender = datagram.senderAddress();
        bool isV4 = false;
        const quint32 v4 = sender.toIPv4Address(&isV4);
        if (isV4)
            sender = QHostAddress(v4);
        OnReceived(datagram.data(), sender.toString(), quint16(datagram.senderPort()));
    }
}
