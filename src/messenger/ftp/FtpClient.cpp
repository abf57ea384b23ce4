#include "messenger/ftp/FtpClient.h"

#include "messenger/ftp/CurlLibrary.h"
#include "messenger/ftp/FtpNames.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
CURL* Curl(void* handle)
{
    return static_cast<CURL*>(handle);
}

qint64 NowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

size_t WriteData(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<TFtpClient::TTransfer*>(user);
    const size_t bytes = size * count;
    if (t->buffer) {
        t->lines += std::count(data, data + bytes, '\n');
        if ((t->maxBytes > 0 && t->buffer->size() + qint64(bytes) > t->maxBytes) ||
            (t->maxLines > 0 && t->lines > t->maxLines)) {
            t->tooLong = true;
            return 0;
        }
        t->buffer->append(data, qsizetype(bytes));
    } else if (t->file) {
        if (t->file->write(data, qint64(bytes)) != qint64(bytes)) {
            t->writeFailed = true;
            return 0;
        }
    }
    return bytes;
}

// libcurl hands the server's replies to the header function.
size_t HeaderData(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<TFtpClient::TTransfer*>(user);
    const size_t bytes = size * count;
    if (t->replies.size() < 8192)
        t->replies.append(data, qsizetype(std::min<size_t>(bytes, 1024)));
    return bytes;
}

int Progress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    auto* t = static_cast<TFtpClient::TTransfer*>(user);
    const qint64 ms = NowMs();
    t->progress.done = now;
    if (total > 0)
        t->progress.total = total;
    const qint64 elapsed = ms - t->startedMs;
    t->progress.bytesPerSecond = elapsed > 0 ? double(now) * 1000.0 / double(elapsed) : 0;
    if (t->lastReportMs >= 0 && ms - t->lastReportMs < 100)
        return 0;
    t->lastReportMs = ms;
    if (t->handler && *t->handler && !t->cancelled && !(*t->handler)(t->progress))
        t->cancelled = true;
    return t->cancelled ? 1 : 0;
}

const TCurlFunctions& Lib()
{
    return CurlLibrary::Functions();
}
} // namespace

// libcurl is loaded by the first transfer, not here: a client exists as soon as the messenger does.
TFtpClient::TFtpClient() = default;

TFtpClient::~TFtpClient()
{
    Disconnect();
}

QString TFtpClient::DirUrl() const
{
    QString url = u"ftp://"_s + m_host + u':' + QString::number(m_port) + u'/';
    for (const QString& segment : m_dir)
        url += QString::fromLatin1(QUrl::toPercentEncoding(segment)) + u'/';
    return url;
}

void TFtpClient::Prepare(const QString& url)
{
    const TCurlFunctions& lib = Lib();
    if (!m_curl)
        m_curl = lib.easy_init();
    if (!m_curl)
        throw EFtpError(u"libcurl could not start."_s);
    CURL* c = Curl(m_curl);
    const QByteArray u = url.toUtf8();
    lib.easy_setopt(c, CURLOPT_URL, u.constData());
    lib.easy_setopt(c, CURLOPT_USERNAME, m_user.toUtf8().constData());
    lib.easy_setopt(c, CURLOPT_PASSWORD, m_password.toUtf8().constData());
    lib.easy_setopt(c, CURLOPT_IPRESOLVE, long(CURL_IPRESOLVE_V4));
    lib.easy_setopt(c, CURLOPT_PROXY, "");
    lib.easy_setopt(c, CURLOPT_NOPROXY, "*");
    lib.easy_setopt(c, CURLOPT_FTPPORT, "-");
    lib.easy_setopt(c, CURLOPT_FTP_USE_EPRT, 0L);
    lib.easy_setopt(c, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_MULTICWD));
    lib.easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    const long stall = m_stallSeconds;
    lib.easy_setopt(c, CURLOPT_CONNECTTIMEOUT, stall);
    lib.easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, stall);
    lib.easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, stall * 1000);
    lib.easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    lib.easy_setopt(c, CURLOPT_LOW_SPEED_TIME, stall);
    lib.easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteData);
    lib.easy_setopt(c, CURLOPT_WRITEDATA, &m_transfer);
    lib.easy_setopt(c, CURLOPT_HEADERFUNCTION, &HeaderData);
    lib.easy_setopt(c, CURLOPT_HEADERDATA, &m_transfer);
    // Each reply waits for the command before it: no Nagle delay on the control connection.
    lib.easy_setopt(c, CURLOPT_TCP_NODELAY, 1L);
    lib.easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    lib.easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Progress);
    lib.easy_setopt(c, CURLOPT_XFERINFODATA, &m_transfer);
    lib.easy_setopt(c, CURLOPT_NOBODY, 0L);
    lib.easy_setopt(c, CURLOPT_IGNORE_CONTENT_LENGTH, 0L);
    lib.easy_setopt(c, CURLOPT_DIRLISTONLY, 0L);
    lib.easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
    lib.easy_setopt(c, CURLOPT_BUFFERSIZE, 512L * 1024);
    // The FTP conversation on stderr, for finding faults in the field.
    lib.easy_setopt(c, CURLOPT_VERBOSE, qEnvironmentVariableIsSet("JV_FTP_VERBOSE") ? 1L : 0L);
    m_transfer = TTransfer{};
    m_transfer.handler = &m_progress;
    m_transfer.startedMs = NowMs();
}

void TFtpClient::Perform(const QString& what)
{
    const CURLcode code = Lib().easy_perform(Curl(m_curl));
    if (code == CURLE_OK && !m_transfer.writeFailed)
        return;
    if (m_transfer.cancelled)
        throw EFtpCancelled(u"Cancelled: "_s + what);
    if (m_transfer.tooLong)
        throw EFtpExplained(u"对方文件夹的列表超过了 %1 项或 %2 MB，下载已停止。"_s.arg(m_maxListEntries)
                                .arg(m_maxListBytes / (1024 * 1024)));
    if (code == CURLE_LOGIN_DENIED) {
        // Our own server says whether it ended the offer; if it does not know it at all, it has
        // started again since it was made (offers live only as long as the sender's messenger).
        if (m_transfer.replies.contains("530 Offer ended"))
            throw EFtpExplained(
                u"对方已撤回这些文件(夹)，或已发送了新的文件(夹)，或已超过24小时，请让对方重新发送"_s);
        if (m_transfer.replies.contains("220 Jotvane FTP server"))
            throw EFtpExplained(u"对方已重新启动，请让对方重新发送"_s);
    }
    if (m_transfer.writeFailed)
        throw EFtpError(u"Cannot write "_s + what);
    throw EFtpError(what + u": "_s + QString::fromUtf8(Lib().easy_strerror(code)));
}

void TFtpClient::Connect()
{
    Disconnect();
    m_dir.clear();
    Prepare(DirUrl());
    Lib().easy_setopt(Curl(m_curl), CURLOPT_NOBODY, 1L);
    Perform(u"login"_s);
    m_connected = true;
}

void TFtpClient::Disconnect()
{
    if (m_curl)
        Lib().easy_cleanup(Curl(m_curl));
    m_curl = nullptr;
    m_connected = false;
    m_dir.clear();
}

void TFtpClient::ChangeDir(const QString& name)
{
    if (name == u"..") {
        if (!m_dir.isEmpty())
            m_dir.removeLast();
        return;
    }
    m_dir.append(name);
}

QList<TFtpRemoteItem> TFtpClient::List()
{
    QByteArray text;
    Prepare(DirUrl());
    m_transfer.buffer = &text;
    m_transfer.maxBytes = m_maxListBytes;
    m_transfer.maxLines = m_maxListEntries;
    Lib().easy_setopt(Curl(m_curl), CURLOPT_TRANSFERTEXT, 1L);
    Perform(u"list"_s);
    return ParseListing(text);
}

// The file arrives in a temporary file beside the target, which takes the target's place only
// once it is complete: a failed or cancelled download leaves an existing file as it was. The
// temporary name has a fixed length, so a name of 255 bytes can be fetched too. (No sync to disk
// on the way, unlike QSaveFile: a download can be fetched again, and syncing a large file would
// halve the speed.)
void TFtpClient::Retrieve(const QString& name, const QString& localFile, qint64 size, TReplace replace)
{
    const QFileInfo target(localFile);
    if (replace == TReplace::Never && (target.exists() || target.isSymLink()))
        throw EFtpError(u"Will not replace "_s + localFile);
    QTemporaryFile file(target.absolutePath() + u"/.jv-download-XXXXXX.part"_s);
    if (!file.open())
        throw EFtpError(u"Cannot write "_s + localFile);
    Prepare(DirUrl() + QString::fromLatin1(QUrl::toPercentEncoding(name)));
    // No SIZE before each RETR: a round trip per file that a folder of small files feels.
    Lib().easy_setopt(Curl(m_curl), CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    m_transfer.file = &file;
    m_transfer.progress.name = target.fileName();
    m_transfer.progress.total = size;
    Perform(localFile);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    const QByteArray from = QFile::encodeName(file.fileName());
    const QByteArray to = QFile::encodeName(localFile);
    const unsigned flags = replace == TReplace::Never ? RENAME_NOREPLACE : 0;
    if (!file.flush() || ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), flags) != 0)
        throw EFtpError(u"Cannot write "_s + localFile);
    file.setAutoRemove(false);
}

QString TFtpClient::DownloadFolder(const QString& name, const QString& localParent)
{
    if (!IsPlainName(name))
        throw EFtpError(u"Refused folder name: "_s + name);
    const QString parent = localParent.endsWith(u'/') ? localParent : localParent + u'/';
    const QString base = LocalName(name);
    QString local = parent + base;
    // mkdir fails on anything that is there already, a link included.
    for (int n = 2; ::mkdir(QFile::encodeName(local).constData(), 0777) != 0; ++n) {
        if (errno != EEXIST)
            throw EFtpError(u"Cannot create "_s + local);
        local = parent + base + u" (%1)"_s.arg(n);
    }
    try {
        FetchFolder(name, local);
    } catch (...) {
        QDir().rmdir(local); // only when nothing arrived: what did stays
        throw;
    }
    return local;
}

void TFtpClient::FetchFolder(const QString& name, const QString& local)
{
    ChangeDir(HexText(name));
    const QList<TFtpRemoteItem> items = List();
    for (const TFtpRemoteItem& item : items) {
        if (item.name == u"." || item.name == u"..")
            continue;
        if (!IsHexText(item.name))
            throw EFtpError(u"Refused name in listing: "_s + item.name);
        const QString decoded = TextFromHex(item.name).trimmed();
        if (decoded == u"." || decoded == u"..")
            continue;
        // A name like "../x" or "/etc" would lead out of the chosen folder.
        if (!IsPlainName(decoded))
            throw EFtpError(u"Refused name in listing: "_s + item.name);
        if (item.isLink)
            continue;
        const QString path = local + u'/' + decoded;
        if (item.isFolder) {
            if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0)
                throw EFtpError(u"Cannot create "_s + path);
            FetchFolder(decoded, path);
        } else {
            Retrieve(HexText(decoded), path, item.size, TReplace::Never);
        }
    }
    ChangeDir(u".."_s);
}

// "drwxr-xr-x 1 owner group 4096 Jan 01 12:00 name": nine fields, the name being the rest of
// the line. "total" lines and anything shorter are skipped.
QList<TFtpRemoteItem> TFtpClient::ParseListing(const QByteArray& text)
{
    QList<TFtpRemoteItem> items;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QString s = QString::fromUtf8(line);
        qsizetype pos = 0;
        QStringList fields;
        while (fields.size() < 8) {
            while (pos < s.size() && s[pos].isSpace())
                ++pos;
            const qsizetype start = pos;
            while (pos < s.size() && !s[pos].isSpace())
                ++pos;
            if (start == pos)
                break;
            fields.append(s.mid(start, pos - start));
        }
        if (fields.size() < 8 || pos >= s.size())
            continue;
        const QChar type = fields[0].isEmpty() ? QChar() : fields[0][0];
        if (type != u'd' && type != u'-' && type != u'l')
            continue;
        TFtpRemoteItem item;
        item.name = s.mid(pos + 1);
        item.isFolder = type == u'd';
        item.isLink = type == u'l';
        item.size = fields[4].toLongLong();
        if (item.isLink) {
            const qsizetype arrow = item.name.indexOf(u" -> "_s);
            if (arrow >= 0)
                item.name.truncate(arrow);
        }
        items.append(item);
    }
    return items;
}
