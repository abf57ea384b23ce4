#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QUdpSocket;

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

class TUdpDatagramSocket final : public QObject, public IDatagramSocket
{
    Q_OBJECT
public:
    explicit TUdpDatagramSocket(QObject* parent = nullptr);
    ~TUdpDatagramSocket() override;

    bool Open(quint16 port) override;
    void Close() override;
    bool IsOpen() const override;
    bool Send(const QString& host, quint16 port, const QByteArray& bytes) override;
    QString LocalIPv4() const override;

private:
    void readPending();

    QUdpSocket* m_socket = nullptr;
};
