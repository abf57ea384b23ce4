#pragma once

#include "messenger/ftp/FtpAccess.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;
class TFtpListener;

// The messenger's file-sharing server (RFC 959). Peers fetch offered items from it with the
// "ParentDir" account and use the share folder with the "SharePath" account. Each control
// connection is served on a thread of its own, which touches only the disk; the object itself
// lives on the main thread; connections are accepted on another. Active-mode data connections come from the
// data port (address reuse on); passive mode is offered too. A connection idle for IdleTimeout is closed;
// one address holds at most MaxConnectionsPerAddress connections at a time, and all together at
// most MaxConnections; beyond either a new connection gets the busy reply and is closed. The
// session threads belong to the server, which collects each as its connection ends.
class TFtpServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFtpServer)

public:
    static constexpr quint16 DefaultControlPort = 5588;
    static constexpr quint16 DefaultDataPort = 5599;

    explicit TFtpServer(QObject* parent = nullptr);
    ~TFtpServer() override;

    // Listens on address:controlPort (0 picks a free port); active-mode data connections come from
    // dataPort (0: any port). False when the port cannot be bound.
    bool Start(quint16 controlPort = DefaultControlPort, quint16 dataPort = DefaultDataPort,
               const QHostAddress& address = QHostAddress::AnyIPv4);
    // Closes every connection and waits for their threads.
    void Stop();
    quint16 ControlPort() const;

    // Creates the folder with any missing parents and serves it to the "SharePath" account.
    // Throws EJotvaneError "文件共享路径：<folder> 不存在，创建共享服务失败！" when it cannot be
    // created, keeping the previous share folder.
    void SetSharePath(const QString& folder);
    QString ShareRoot() const { return m_access.ShareRoot(); }

    // The offers made to peers, which decide the "ParentDir" logins. Thread-safe.
    TFtpAccess& Access() { return m_access; }

    void SetIdleTimeout(int milliseconds) { m_idleTimeoutMs = milliseconds; }
    void SetMaxConnectionsPerAddress(int count) { m_maxPerAddress = count; }
    // All addresses together: each connection is a thread.
    void SetMaxConnections(int count) { m_maxConnections = count; }
    int ConnectionCount() const;
    // Threads of sessions not yet collected.
    int SessionThreadCount() const;

private:
    friend class TFtpListener;
    friend class TFtpSession;
    void StartSession(qintptr descriptor);
    // Counts a new connection from address; false when the address holds its maximum already.
    bool Enter(const QString& address);
    void Leave(const QString& address);
    void Reap(QThread* thread);

    TFtpAccess m_access;
    // Connections are accepted on a thread of their own, so a busy main thread (a download of
    // this copy's own) never keeps peers waiting.
    QThread* m_acceptThread = nullptr;
    quint16 m_port = 0;
    quint16 m_dataPort = DefaultDataPort;
    std::atomic<int> m_idleTimeoutMs{5 * 60 * 1000};
    std::atomic<int> m_maxPerAddress{16};
    std::atomic<int> m_maxConnections{64};
    std::atomic<bool> m_stopping{false};

    mutable QMutex m_mutex;
    QList<QThread*> m_threads;
    QHash<QString, int> m_perAddress;
    int m_connections = 0;
};
