#pragma once

#include "messenger/ftp/FtpFileSystem.h"
#include "messenger/ftp/FtpServer.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

// One control connection, run start to end on its own thread with blocking socket calls. The
// data connections are driven on their descriptors directly, so a file goes out with sendfile.
class TFtpSession final
{
public:
    TFtpSession(TFtpServer& server, qintptr descriptor) : m_server(server), m_descriptor(descriptor) {}
    void Run();

    // How long a blocking wait on a socket lasts before the server's stop is looked at again.
    static constexpr int PollMs = 200;

private:
    enum class TWait
    {
        Read,
        Write
    };
    bool Stopping() const { return m_server.m_stopping.load(); }
    void Reply(int code, const QString& text);
    bool ReadCommand(QByteArray& line);
    // A command of the table: whether it needs a login first, and what it does.
    struct TCommand
    {
        bool needsLogin = true;
        void (*run)(TFtpSession& session, const QString& argument) = nullptr;
    };
    static const QHash<QString, TCommand>& Commands();
    void Handle(const QString& verb, const QString& argument);
    void HandlePass(const QString& argument);
    void HandleType(const QString& argument);
    // MODE and STRU: the one option the server has is taken, any other refused.
    void HandleOnlyOption(const QString& argument, const QString& option, const QString& taken,
                          const QString& refused);
    void HandlePort(const QString& argument);
    void HandlePasv();
    void SendList(const QString& argument, bool namesOnly);
    void SendFile(const QString& argument);
    void ReceiveFile(const QString& argument);
    std::unique_ptr<QTcpSocket> OpenData();
    bool WaitFd(int fd, TWait wait, QElapsedTimer& sinceProgress);
    bool WriteAll(int fd, const QByteArray& data);

    TFtpServer& m_server;
    qintptr m_descriptor;
    QTcpSocket m_control;
    QHostAddress m_peer;
    std::unique_ptr<TFtpFileSystem> m_fs;
    QString m_user;
    bool m_quit = false;
    QHostAddress m_portAddress;
    quint16 m_portPort = 0;
    std::unique_ptr<QTcpServer> m_passive;
};
