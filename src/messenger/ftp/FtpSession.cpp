#include "messenger/ftp/FtpSession.h"

#include "messenger/ftp/FtpNames.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>

#include <cerrno>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int DataStallMs = 60 * 1000;
// The longest command line: 4,095 bytes and its CR LF. A longer one is refused whole.
constexpr qsizetype MaxLineBytes = 4097;
const QString UnknownCommand = u"Syntax error, command unrecognized."_s;
const QString OfferEndedReply = u"Offer ended."_s;

QString ListLine(const TFtpListItem& item)
{
    const QDateTime now = QDateTime::currentDateTime();
    const bool recent = item.modified.isValid() && item.modified.daysTo(now) < 180 && item.modified <= now;
    const QString when = QLocale::c().toString(item.modified, recent ? u"MMM dd hh:mm"_s : u"MMM dd  yyyy"_s);
    return (item.isFolder ? u"drwxr-xr-x"_s : u"-rw-r--r--"_s) + u" 1 owner group "_s +
           QString::number(item.size).rightJustified(13) + u' ' + when + u' ' + item.name + u"\r\n"_s;
}
} // namespace

void TFtpSession::Run()
{
    if (!m_control.setSocketDescriptor(m_descriptor)) {
        ::close(int(m_descriptor));
        return;
    }
    // Replies are small and each waits for the one before: without this, Nagle's algorithm holds
    // the "226" after a "150" until the peer's delayed acknowledgement, some 40 ms per file.
    m_control.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_peer = TFtpAccess::Canonical(m_control.peerAddress());
    m_fs = std::make_unique<TFtpFileSystem>(m_server.m_access, m_peer);
    Reply(220, u"Jotvane FTP server ready."_s);
    QByteArray line;
    while (!m_quit && ReadCommand(line)) {
        const QString text = QString::fromUtf8(line).trimmed();
        const qsizetype space = text.indexOf(u' ');
        const QString verb = (space < 0 ? text : text.left(space)).toUpper();
        const QString argument = space < 0 ? QString() : text.mid(space + 1);
        try {
            Handle(verb, argument);
        } catch (const EFtpRefused& e) {
            Reply(550, e.message());
        }
    }
    m_control.close();
}

void TFtpSession::Reply(int code, const QString& text)
{
    m_control.write(QByteArray::number(code) + ' ' + text.toUtf8() + "\r\n");
    QElapsedTimer waited;
    waited.start();
    while (m_control.bytesToWrite() > 0 && m_control.state() == QAbstractSocket::ConnectedState &&
           !Stopping() && waited.elapsed() < DataStallMs)
        m_control.waitForBytesWritten(PollMs);
}

// False when the peer left, the server stops or the connection stayed idle too long. A line
// longer than MaxLineBytes is answered with 500 and skipped up to its end, so that no part of it
// is taken for a command of its own.
bool TFtpSession::ReadCommand(QByteArray& line)
{
    QElapsedTimer idle;
    idle.start();
    bool skipping = false;
    for (;;) {
        if (skipping) {
            // Drop what is there up to the end of the long line.
            const QByteArray chunk = m_control.peek(1 << 16);
            const qsizetype end = chunk.indexOf('\n');
            m_control.skip(end < 0 ? chunk.size() : end + 1);
            skipping = end < 0;
            if (!skipping)
                continue;
        } else if (m_control.canReadLine()) {
            line = m_control.readLine(MaxLineBytes + 2);
            if (line.endsWith('\n') && line.size() <= MaxLineBytes)
                return true;
            skipping = !line.endsWith('\n');
            Reply(500, u"Command line too long."_s);
            continue;
        } else if (m_control.bytesAvailable() > MaxLineBytes) {
            skipping = true;
            Reply(500, u"Command line too long."_s);
            continue;
        }
        if (Stopping() || m_control.state() != QAbstractSocket::ConnectedState)
            return false;
        if (idle.elapsed() >= m_server.m_idleTimeoutMs.load()) {
            Reply(421, u"Idle timeout, closing the connection."_s);
            return false;
        }
        m_control.waitForReadyRead(PollMs);
    }
}

// Every command the server knows: whether it needs a login first, and what it does.
const QHash<QString, TFtpSession::TCommand>& TFtpSession::Commands()
{
    using S = TFtpSession;
    static const QHash<QString, TCommand> commands = [] {
        const auto pwd = [](S& s, const QString&) {
            QString dir = s.m_fs->CurrentDir();
            s.Reply(257, u'"' + dir.replace(u"\""_s, u"\"\""_s) + u"\" is the current directory."_s);
        };
        const auto cwd = [](S& s, const QString& argument) {
            s.m_fs->ChangeDir(argument);
            s.Reply(250, u"CWD command successful."_s);
        };
        const auto cdup = [](S& s, const QString&) {
            s.m_fs->ChangeDir(u".."_s);
            s.Reply(250, u"CWD command successful."_s);
        };
        const auto mkd = [](S& s, const QString& argument) {
            s.m_fs->MakeDir(argument);
            s.Reply(257, u"Folder created."_s);
        };
        const auto rmd = [](S& s, const QString& argument) {
            s.m_fs->RemoveDir(argument);
            s.Reply(250, u"RMD command successful."_s);
        };
        return QHash<QString, TCommand>{
            {u"USER"_s,
             {false,
              [](S& s, const QString& argument) {
                  s.m_user = argument;
                  s.Reply(331, u"Password required for "_s + argument + u'.');
              }}},
            {u"PASS"_s, {false, [](S& s, const QString& argument) { s.HandlePass(argument); }}},
            {u"QUIT"_s,
             {false,
              [](S& s, const QString&) {
                  s.Reply(221, u"Goodbye."_s);
                  s.m_quit = true;
              }}},
            {u"NOOP"_s, {false, [](S& s, const QString&) { s.Reply(200, u"NOOP command successful."_s); }}},
            {u"SYST"_s, {false, [](S& s, const QString&) { s.Reply(215, u"UNIX Type: L8"_s); }}},
            {u"FEAT"_s,
             {false,
              [](S& s, const QString&) {
                  s.m_control.write("211-Features:\r\n SIZE\r\n PASV\r\n");
                  s.Reply(211, u"End"_s);
              }}},
            {u"PWD"_s, {true, pwd}},
            {u"XPWD"_s, {true, pwd}},
            {u"CWD"_s, {true, cwd}},
            {u"XCWD"_s, {true, cwd}},
            {u"CDUP"_s, {true, cdup}},
            {u"XCUP"_s, {true, cdup}},
            {u"TYPE"_s, {true, [](S& s, const QString& argument) { s.HandleType(argument); }}},
            {u"MODE"_s,
             {true,
              [](S& s, const QString& argument) {
                  s.HandleOnlyOption(argument, u"S"_s, u"Mode set to S."_s,
                                     u"Only stream mode is supported."_s);
              }}},
            {u"STRU"_s,
             {true,
              [](S& s, const QString& argument) {
                  s.HandleOnlyOption(argument, u"F"_s, u"Structure set to F."_s,
                                     u"Only file structure is supported."_s);
              }}},
            {u"PORT"_s, {true, [](S& s, const QString& argument) { s.HandlePort(argument); }}},
            {u"PASV"_s, {true, [](S& s, const QString&) { s.HandlePasv(); }}},
            {u"LIST"_s, {true, [](S& s, const QString& argument) { s.SendList(argument, false); }}},
            {u"NLST"_s, {true, [](S& s, const QString& argument) { s.SendList(argument, true); }}},
            {u"RETR"_s, {true, [](S& s, const QString& argument) { s.SendFile(argument); }}},
            {u"STOR"_s, {true, [](S& s, const QString& argument) { s.ReceiveFile(argument); }}},
            {u"MKD"_s, {true, mkd}},
            {u"XMKD"_s, {true, mkd}},
            {u"RMD"_s, {true, rmd}},
            {u"XRMD"_s, {true, rmd}},
            {u"DELE"_s,
             {true,
              [](S& s, const QString& argument) {
                  s.m_fs->DeleteFile(argument);
                  s.Reply(250, u"DELE command successful."_s);
              }}},
            {u"SIZE"_s,
             {true,
              [](S& s, const QString& argument) { s.Reply(213, QString::number(s.m_fs->Size(argument))); }}},
            {u"RNFR"_s,
             {true,
              [](S& s, const QString& argument) {
                  s.m_fs->RenameFrom(argument);
                  s.Reply(350, u"Ready for the new name."_s);
              }}},
            {u"RNTO"_s,
             {true,
              [](S& s, const QString& argument) {
                  s.m_fs->RenameTo(argument);
                  s.Reply(250, u"Rename successful."_s);
              }}},
        };
    }();
    return commands;
}

void TFtpSession::Handle(const QString& verb, const QString& argument)
{
    const auto command = Commands().constFind(verb);
    if (command == Commands().cend())
        return Reply(500, UnknownCommand);
    if (command->needsLogin && m_fs->Account() == TFtpAccount::None)
        return Reply(530, u"Please login with USER and PASS."_s);
    command->run(*this, argument);
}

void TFtpSession::HandlePass(const QString& argument)
{
    if (m_user.isEmpty())
        Reply(503, u"Login with USER first."_s);
    else if (m_fs->Login(m_user, argument))
        Reply(230, u"User logged in."_s);
    else if (m_fs->OfferEnded())
        Reply(530, OfferEndedReply);
    else
        Reply(530, u"Login incorrect."_s);
}

void TFtpSession::HandleOnlyOption(const QString& argument, const QString& option, const QString& taken,
                                   const QString& refused)
{
    if (argument.trimmed().toUpper() == option)
        Reply(200, taken);
    else
        Reply(504, refused);
}

void TFtpSession::HandleType(const QString& argument)
{
    const QString type = argument.trimmed().toUpper();
    if (type.startsWith(u'A') || type.startsWith(u'I') || type == u"L 8")
        return Reply(200, u"Type set to "_s + type.left(1) + u'.');
    Reply(504, u"Type not supported."_s);
}

// Data connections go only to the control connection's own peer and never to a privileged
// port, so nobody can use this server to reach a third machine (FTP bounce).
void TFtpSession::HandlePort(const QString& argument)
{
    const QStringList parts = argument.trimmed().split(u',');
    bool ok = parts.size() == 6;
    quint32 address = 0;
    quint32 port = 0;
    for (qsizetype i = 0; ok && i < 6; ++i) {
        const uint v = parts[i].trimmed().toUInt(&ok);
        ok = ok && v <= 255;
        if (i < 4)
            address = (address << 8) | v;
        else
            port = (port << 8) | v;
    }
    if (!ok)
        return Reply(501, u"Illegal PORT command."_s);
    if (QHostAddress(address) != m_peer || port < 1024)
        return Reply(504, u"PORT refused: data connections go only to your own address."_s);
    m_passive.reset();
    m_portAddress = QHostAddress(address);
    m_portPort = static_cast<quint16>(port);
    Reply(200, u"PORT command successful."_s);
}

void TFtpSession::HandlePasv()
{
    m_portPort = 0;
    m_passive = std::make_unique<QTcpServer>();
    const QHostAddress local = TFtpAccess::Canonical(m_control.localAddress());
    bool ok = false;
    const quint32 v4 = local.toIPv4Address(&ok);
    if (!ok || !m_passive->listen(local, 0)) {
        m_passive.reset();
        return Reply(425, u"Cannot open a passive connection."_s);
    }
    const quint16 port = m_passive->serverPort();
    Reply(227, u"Entering Passive Mode (%1,%2,%3,%4,%5,%6)."_s.arg(v4 >> 24)
                   .arg((v4 >> 16) & 255)
                   .arg((v4 >> 8) & 255)
                   .arg(v4 & 255)
                   .arg(port >> 8)
                   .arg(port & 255));
}

// The data connection is made before the 150 reply, as vsftpd does: some clients look for an
// active-mode connection only once, right after that reply.
std::unique_ptr<QTcpSocket> TFtpSession::OpenData()
{
    if (m_passive) {
        std::unique_ptr<QTcpServer> passive = std::move(m_passive);
        QElapsedTimer waited;
        waited.start();
        while (!Stopping() && waited.elapsed() < DataStallMs) {
            if (!passive->waitForNewConnection(PollMs))
                continue;
            std::unique_ptr<QTcpSocket> socket(passive->nextPendingConnection());
            socket->setParent(nullptr);
            if (TFtpAccess::Canonical(socket->peerAddress()) == m_peer)
                return socket;
        }
        return nullptr;
    }
    if (m_portPort == 0)
        return nullptr;
    auto socket = std::make_unique<QTcpSocket>();
    const QHostAddress local = TFtpAccess::Canonical(m_control.localAddress());
    const auto mode = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
    if (!socket->bind(local, m_server.m_dataPort, mode))
        socket->bind(local, 0, mode);
    socket->connectToHost(m_portAddress, m_portPort);
    m_portPort = 0;
    QElapsedTimer waited;
    waited.start();
    while (socket->state() != QAbstractSocket::ConnectedState) {
        if (Stopping() || waited.elapsed() > DataStallMs ||
            socket->state() == QAbstractSocket::UnconnectedState)
            return nullptr;
        socket->waitForConnected(PollMs);
    }
    return socket;
}

// Waits until fd can be read or written; false when the server stops or nothing moved for a
// minute.
bool TFtpSession::WaitFd(int fd, TWait wait, QElapsedTimer& sinceProgress)
{
    while (!Stopping() && sinceProgress.elapsed() < DataStallMs) {
        pollfd p{fd, static_cast<short>(wait == TWait::Read ? POLLIN : POLLOUT), 0};
        const int n = ::poll(&p, 1, PollMs);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
    return false;
}

bool TFtpSession::WriteAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            sinceProgress.restart();
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (!WaitFd(fd, TWait::Write, sinceProgress)) {
            return false;
        }
    }
    return true;
}

void TFtpSession::SendList(const QString& argument, bool namesOnly)
{
    // Options such as "-la" that many clients put first are not paths.
    QStringList words = argument.split(u' ', Qt::SkipEmptyParts);
    while (!words.isEmpty() && words.first().startsWith(u'-'))
        words.removeFirst();
    const QList<TFtpListItem> items = m_fs->List(words.join(u' '));
    QByteArray text;
    for (const TFtpListItem& item : items)
        text += (namesOnly ? item.name + u"\r\n"_s : ListLine(item)).toUtf8();
    std::unique_ptr<QTcpSocket> data = OpenData();
    if (!data)
        return Reply(425, u"Cannot open the data connection."_s);
    Reply(150, u"Opening data connection for the listing."_s);
    const bool sent = WriteAll(int(data->socketDescriptor()), text);
    data->close();
    sent ? Reply(226, u"Transfer complete."_s) : Reply(426, u"Connection closed; transfer aborted."_s);
}

void TFtpSession::SendFile(const QString& argument)
{
    QFile file;
    const int fd = m_fs->OpenForRetrieve(argument);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw EFtpRefused(u"Cannot open the file."_s);
    }
    std::unique_ptr<QTcpSocket> data = OpenData();
    if (!data)
        return Reply(425, u"Cannot open the data connection."_s);
    Reply(150, u"Opening BINARY mode data connection ("_s + QString::number(file.size()) + u" bytes)."_s);
    const int out = int(data->socketDescriptor());
    const int in = file.handle();
    bool ok = true;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    for (;;) {
        if (Stopping()) {
            ok = false;
            break;
        }
        const ssize_t n = ::sendfile(out, in, nullptr, 1 << 20);
        if (n > 0) {
            sinceProgress.restart();
            continue;
        }
        if (n == 0)
            break;
        if (errno == EINVAL || errno == ENOSYS) { // a file system without sendfile
            QByteArray chunk;
            while (ok && !(chunk = file.read(1 << 20)).isEmpty())
                ok = WriteAll(out, chunk);
            break;
        }
        if (errno != EAGAIN && errno != EINTR) {
            ok = false;
            break;
        }
        if (!WaitFd(out, TWait::Write, sinceProgress)) {
            ok = false;
            break;
        }
    }
    data->close();
    ok ? Reply(226, u"Transfer complete."_s) : Reply(426, u"Connection closed; transfer aborted."_s);
}

void TFtpSession::ReceiveFile(const QString& argument)
{
    QFile file(m_fs->StorePath(argument));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EFtpRefused(u"Cannot create the file."_s);
    std::unique_ptr<QTcpSocket> data = OpenData();
    if (!data)
        return Reply(425, u"Cannot open the data connection."_s);
    Reply(150, u"Opening BINARY mode data connection."_s);
    const int in = int(data->socketDescriptor());
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    bool ok = true;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    // Qt may have read the first bytes already.
    if (data->bytesAvailable() > 0)
        ok = file.write(data->readAll()) >= 0;
    while (ok && !Stopping()) {
        const ssize_t n = ::recv(in, buffer.data(), size_t(buffer.size()), 0);
        if (n > 0) {
            ok = file.write(buffer.constData(), n) == n;
            sinceProgress.restart();
        } else if (n == 0) {
            break;
        } else if (errno != EAGAIN && errno != EINTR) {
            ok = false;
        } else {
            ok = WaitFd(in, TWait::Read, sinceProgress);
        }
    }
    data->close();
    file.close();
    ok ? Reply(226, u"Transfer complete."_s) : Reply(426, u"Connection closed; transfer aborted."_s);
}
