#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

TInstanceLock::TInstanceLock(QString fileName) : m_fileName(std::move(fileName))
{
}

TInstanceLock::~TInstanceLock()
{
    unlock();
}

TInstanceLock::TResult TInstanceLock::tryLock()
{
    if (m_fd >= 0)
        return TResult::Locked;
    const QByteArray path = QFile::encodeName(m_fileName);
    // A holder that lets go removes the file: the lock taken on a file no longer in place is
    // worthless, and the file in place is tried again.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return TResult::CannotLock;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? TResult::HeldByOther : TResult::CannotLock;
        }
        struct stat locked = {};
        struct stat inPlace = {};
        if (::fstat(fd, &locked) == 0 && ::stat(path.constData(), &inPlace) == 0 &&
            locked.st_dev == inPlace.st_dev && locked.st_ino == inPlace.st_ino) {
            // Who holds it, for a person looking at the folder.
            const QByteArray owner = QByteArray::number(qint64(::getpid())) + "\njotvane\n";
            if (::ftruncate(fd, 0) == 0) {
                [[maybe_unused]] const ssize_t written = ::pwrite(fd, owner.constData(), size_t(owner.size()), 0);
            }
            m_fd = fd;
            return TResult::Locked;
        }
        ::close(fd);
    }
    return TResult::HeldByOther;
}

void TInstanceLock::unlock()
{
    if (m_fd < 0)
        return;
    // Removed while still locked, so that no later start takes the lock of a file on its way out.
    ::unlink(QFile::encodeName(m_fileName).constData());
    ::close(std::exchange(m_fd, -1));
}

TStartTurn ClaimInstance(TInstanceLock& lock, const QString& serverName, int handOverMs)
{
    const TInstanceLock::TResult first = lock.tryLock();
    if (first == TInstanceLock::TResult::Locked)
        return TStartTurn::Run;
    if (first == TInstanceLock::TResult::CannotLock) {
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
        if (lock.tryLock() == TInstanceLock::TResult::Locked)
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
