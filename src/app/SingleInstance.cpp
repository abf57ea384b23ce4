#include "app/SingleInstance.h"

#include "core/Log.h"

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
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool isKnownCommand(const QByteArray& command)
{
    return command == "activate" || command == "toggle" || command == "show" || command == "hide";
}

// A token is printable ASCII without blanks; anything else is dropped.
bool isToken(const QByteArray& token)
{
    if (token.size() > 1024)
        return false;
    return std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 127; });
}

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
    return SendInstanceCommand(name, u"activate"_s, qEnvironmentVariable("XDG_ACTIVATION_TOKEN"), timeoutMs);
}

bool SendInstanceCommand(const QString& name, const QString& command, const QString& token, int timeoutMs)
{
    // Plain socket calls: a start that only passes a command on has no application object.
    QByteArray request = command.toLatin1();
    if (const QByteArray t = token.toLatin1(); !t.isEmpty() && isToken(t))
        request += ' ' + t;
    request += '\n';
    const QByteArray path = QFile::encodeName(name);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    bool taken = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
        // The running copy answers once it has taken the request.
        QByteArray answer;
        while (!answer.contains('\n') && !deadline.hasExpired()) {
            pollfd p = {fd, POLLIN, 0};
            if (::poll(&p, 1, int(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
                continue;
            char buffer[16];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            answer.append(buffer, n);
        }
        taken = answer.startsWith("ok");
    }
    ::close(fd);
    return taken;
}

QString InstanceLockPath(const QString& appDir)
{
    return QDir(appDir).filePath(u".Jotvane.lock"_s);
}

TInstanceLock::TInstanceLock(QString fileName) : m_fileName(std::move(fileName)) {}

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
                [[maybe_unused]] const ssize_t written =
                    ::pwrite(fd, owner.constData(), size_t(owner.size()), 0);
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
        qCWarning(lcJotvane).noquote().nospace()
            << "cannot create the lock file " << lock.fileName() << "; running without it.";
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
            const QByteArray line = socket->readLine().trimmed();
            const qsizetype blank = line.indexOf(' ');
            const QByteArray command = blank < 0 ? line : line.left(blank);
            const QByteArray token = blank < 0 ? QByteArray() : line.mid(blank + 1);
            if (!isKnownCommand(command) || !isToken(token)) {
                socket->disconnectFromServer();
                return;
            }
            socket->write("ok\n");
            socket->flush();
            if (command == "activate")
                emit activationRequested();
            emit commandReceived(QString::fromLatin1(command), QString::fromLatin1(token));
        });
    }
}
