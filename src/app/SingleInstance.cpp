#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kActivate = "activate\n";

} // namespace

QString InstanceServerName()
{
    const QString name = u"jotvane-%1.sock"_s.arg(::getuid());
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
    return QDir(QDir::tempPath()).filePath(name);
}

bool ActivateRunningInstance(const QString& name, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name, QIODevice::ReadWrite);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kActivate);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running copy answers once it has taken the request.
    if (!socket.waitForReadyRead(timeoutMs))
        return false;
    const bool taken = socket.readAll().startsWith("ok");
    socket.disconnectFromServer();
    return taken;
}

QString InstanceLockPath(const QString& appDir)
{
    return QDir(appDir).filePath(u".Jotvane.lock"_s);
}

TStartTurn ClaimInstance(QLockFile& lock, const QString& serverName, int handOverMs)
{
    // Held for the whole run: the lock never turns stale by age, only when its owner is gone.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        return TStartTurn::Run;
    if (lock.error() != QLockFile::LockFailedError) {
        std::fprintf(stderr, "jotvane: cannot create the lock file %s; running without it.\n",
                     qUtf8Printable(lock.fileName()));
        return ActivateRunningInstance(serverName) ? TStartTurn::HandedOver : TStartTurn::Run;
    }
    const QDeadlineTimer deadline(handOverMs);
    for (;;) {
        const int attemptMs = int(std::clamp<qint64>(deadline.remainingTime(), 1, 1000));
        if (ActivateRunningInstance(serverName, attemptMs))
            return TStartTurn::HandedOver;
        // The other copy may have ended in the meantime.
        if (lock.tryLock(0))
            return TStartTurn::Run;
        if (deadline.hasExpired())
            return TStartTurn::NotAnswering;
        QThread::msleep(100);
    }
}

TInstanceServer::TInstanceServer(QObject* parent) : QObject(parent), m_server(new QLocalServer(this))
{
    // Only this user may connect to the socket.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &TInstanceServer::acceptConnection);
}

TInstanceServer::~TInstanceServer()
{
    m_server->close();
}

bool TInstanceServer::listen(const QString& name)
{
    if (m_server->listen(name))
        return true;
    // A socket file left by a copy that ended abnormally: nobody answers on it, so take it over.
    if (m_server->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(200))
            return false;
        QLocalServer::removeServer(name);
        return m_server->listen(name);
    }
    return false;
}

bool TInstanceServer::isListening() const
{
    return m_server->isListening();
}

void TInstanceServer::acceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine();
            if (line != kActivate) {
                socket->disconnectFromServer();
                return;
            }
            socket->write("ok\n");
            socket->flush();
            emit activationRequested();
        });
    }
}
