#include "messenger/DatagramSocket.h"

#include "messenger/codec/MessagerCodec.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

TUdpDatagramSocket::TUdpDatagramSocket(QObject* parent) : QObject(parent) {}

TUdpDatagramSocket::~TUdpDatagramSocket()
{
    Close();
}

bool TUdpDatagramSocket::Open(quint16 port)
{
    Close();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    // Room for a burst of texts; the kernel may grant less (the privileged request first).
    const int buffer = 4 * 1024 * 1024;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    // The port is not shared: a second copy bound beside the first would take its datagrams
    // away from it.
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (wakeFd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        if (wakeFd >= 0)
            ::close(wakeFd);
        return false;
    }
    m_fd = fd;
    m_wakeFd = wakeFd;
    m_reader = std::thread([this, fd, wakeFd] { readLoop(fd, wakeFd); });
    return true;
}

void TUdpDatagramSocket::Close()
{
    if (m_fd < 0)
        return;
    // May happen inside OnReceived: the reader is another thread, so it can be joined here.
    const quint64 one = 1;
    [[maybe_unused]] const auto written = ::write(m_wakeFd, &one, sizeof one);
    m_reader.join();
    ::close(m_fd);
    ::close(m_wakeFd);
    m_fd = -1;
    m_wakeFd = -1;
    std::lock_guard lock(m_mutex);
    m_inbox.clear();
    m_inboxBytes = 0;
}

bool TUdpDatagramSocket::IsOpen() const
{
    return m_fd >= 0;
}

bool TUdpDatagramSocket::Send(const QString& host, quint16 port, const QByteArray& bytes)
{
    if (m_fd < 0 || host.isEmpty())
        return false;
    // Names are looked up before they get here: sending never waits on a name server.
    const QHostAddress address(host);
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (!isV4)
        return false;
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(v4);
    ssize_t sent;
    do {
        sent = ::sendto(m_fd, bytes.constData(), size_t(bytes.size()), 0,
                        reinterpret_cast<sockaddr*>(&target), sizeof target);
    } while (sent < 0 && errno == EINTR);
    return sent == bytes.size();
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

void TUdpDatagramSocket::readLoop(int fd, int wakeFd)
{
    // One byte more than the limit, so that an oversized datagram is seen and dropped.
    QByteArray buffer(MaxDatagramSize + 1, Qt::Uninitialized);
    std::vector<TReceived> taken;
    for (;;) {
        pollfd watched[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[1].revents != 0)
            return;
        qsizetype bytes = 0;
        for (;;) {
            sockaddr_in from = {};
            socklen_t fromSize = sizeof from;
            const ssize_t got = ::recvfrom(fd, buffer.data(), size_t(buffer.size()), MSG_DONTWAIT,
                                           reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                break; // drained (or an error the next poll sees again)
            }
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
            taken.push_back(
                {QByteArray(buffer.constData(), got), QString::fromLatin1(text), ntohs(from.sin_port)});
            bytes += got;
            if (taken.size() >= 4096)
                break;
        }
        if (taken.empty())
            continue;
        bool queue = false;
        {
            std::lock_guard lock(m_mutex);
            for (TReceived& datagram : taken) {
                if (m_inboxBytes + datagram.Bytes.size() > InboxLimit)
                    break;
                m_inboxBytes += datagram.Bytes.size();
                m_inbox.push_back(std::move(datagram));
            }
            queue = !m_deliveryQueued;
            m_deliveryQueued = true;
        }
        taken.clear();
        if (queue)
            QMetaObject::invokeMethod(this, &TUdpDatagramSocket::deliver, Qt::QueuedConnection);
    }
}

void TUdpDatagramSocket::deliver()
{
    std::vector<TReceived> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_inbox);
        m_inboxBytes = 0;
        m_deliveryQueued = false;
    }
    for (const TReceived& datagram : batch) {
        // The handler may close the socket: nothing after that is handled.
        if (m_fd < 0 || !OnReceived)
            return;
        OnReceived(datagram.Bytes, datagram.Sender, datagram.Port);
    }
}
