#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The messenger's one UDP socket: every datagram leaves from it and arrives at it.
class IDatagramSocket
{
public:
    virtual ~IDatagramSocket() = default;
    // Binds the port on every IPv4 interface, broadcasts allowed.
    virtual bool Open(quint16 port) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Host is an IPv4 address or "255.255.255.255"; names are looked up before (a lookup may
    // take seconds, and sending never waits). False for a name, a closed socket or an
    // unreachable network.
    virtual bool Send(const QString& host, quint16 port, const QByteArray& bytes) = 0;
    // This computer's first IPv4 address that is not a loopback address ("" when none).
    virtual QString LocalIPv4() const = 0;

    // Called for every datagram that arrives, on the thread that owns the socket.
    std::function<void(const QByteArray& bytes, const QString& senderAddress, quint16 senderPort)> OnReceived;
};

// The real socket. A thread of its own takes every datagram off the socket as soon as it
// arrives, so that a window busy for a moment loses none of a burst to the kernel's small
// receive buffer; the datagrams are handed to OnReceived on the owner's thread, all that came
// together in one pass of its event loop.
class TUdpDatagramSocket final : public QObject, public IDatagramSocket
{
    Q_OBJECT
public:
    // What waits for the owner's thread at most; a flood beyond it is dropped.
    static constexpr qsizetype InboxLimit = 64 * 1024 * 1024;

    explicit TUdpDatagramSocket(QObject* parent = nullptr);
    ~TUdpDatagramSocket() override;

    bool Open(quint16 port) override;
    void Close() override;
    bool IsOpen() const override;
    bool Send(const QString& host, quint16 port, const QByteArray& bytes) override;
    QString LocalIPv4() const override;

private:
    struct TReceived
    {
        QByteArray Bytes;
        QString Sender;
        quint16 Port = 0;
    };
    void readLoop(int fd, int wakeFd);
    void deliver();

    int m_fd = -1;
    int m_wakeFd = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    std::vector<TReceived> m_inbox;
    qsizetype m_inboxBytes = 0;
    bool m_deliveryQueued = false;
};
