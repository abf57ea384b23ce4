#include "notes/PageIndex.h"

#include "core/PubUtils.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr char kMagic[4] = {'J', 'V', 'P', 'I'};
constexpr quint32 kVersion = 2;
// More than the coarsest file times in use (two seconds on FAT) and the clock's tick.
constexpr qint64 kSettleNs = 3'000'000'000;

qint64 nanoseconds(const timespec& time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// The index is read on the page reading thread, before the application object exists: nothing
// here may make a QObject (no QFile, no QDataStream), or Qt would take that thread for its main
// thread. Numbers are little-endian, texts a 32-bit length and UTF-16.
class TWriter
{
public:
    template <typename T> void number(T value)
    {
        const T stored = qToLittleEndian(value);
        m_data.append(reinterpret_cast<const char*>(&stored), sizeof stored);
    }
    void text(const QString& value)
    {
        number(quint32(value.size()));
        for (const QChar c : value)
            number(c.unicode());
    }
    QByteArray& data() { return m_data; }

private:
    QByteArray m_data;
};

class TReader
{
public:
    explicit TReader(QByteArrayView data) : m_data(data) {}
    template <typename T> bool number(T& value)
    {
        if (m_data.size() - m_at < qsizetype(sizeof value))
            return false;
        value = qFromLittleEndian<T>(m_data.data() + m_at);
        m_at += sizeof value;
        return true;
    }
    bool text(QString& value)
    {
        quint32 length = 0;
        if (!number(length) || quint64(m_data.size() - m_at) < quint64(length) * 2)
            return false;
        value.resize(qsizetype(length));
        for (QChar& c : value) {
            char16_t unit = 0;
            number(unit);
            c = QChar(unit);
        }
        return true;
    }
    bool bytes(QByteArrayView expected)
    {
        if (m_data.sliced(m_at).first(std::min(m_data.size() - m_at, expected.size())) != expected)
            return false;
        m_at += expected.size();
        return true;
    }
    bool atEnd() const { return m_at == m_data.size(); }

private:
    QByteArrayView m_data;
    qsizetype m_at = 0;
};

QByteArray readAll(const QString& path)
{
    QByteArray data;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return data;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        data.append(chunk, got);
    }
    ::close(fd);
    return data;
}

} // namespace

TFileStamp TFileStamp::Of(const struct stat& info)
{
    return {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size), nanoseconds(info.st_mtim),
            nanoseconds(info.st_ctim)};
}

namespace PageIndex {

QString FileFor(const QString& folder)
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || QDir::isRelativePath(cache))
        cache = QDir::homePath() + u"/.cache"_s;
    const QByteArray id =
        QCryptographicHash::hash(QFile::encodeName(NormalizeDir(folder)), QCryptographicHash::Sha1).toHex();
    return cache + u"/Jotvane/pages-"_s + QString::fromLatin1(id.left(16)) + u".idx"_s;
}

QHash<QString, TPageIndexEntry> Load(const QString& indexFile, const QString& folder)
{
    QHash<QString, TPageIndexEntry> entries;
    const QByteArray data = readAll(indexFile);
    if (data.size() < 2)
        return entries;
    const QByteArrayView body = QByteArrayView(data).first(data.size() - 2);
    if (qFromLittleEndian<quint16>(data.constData() + body.size()) != qChecksum(body))
        return entries;
    TReader in(body);
    quint32 version = 0;
    QString storedFolder;
    quint32 count = 0;
    if (!in.bytes(QByteArrayView(kMagic, sizeof kMagic)) || !in.number(version) || version != kVersion ||
        !in.text(storedFolder) || storedFolder != folder || !in.number(count))
        return entries;
    for (quint32 i = 0; i < count; ++i) {
        QString name;
        TPageIndexEntry entry;
        qint32 key = 0;
        if (!in.text(name) || !in.number(entry.stamp.device) || !in.number(entry.stamp.inode) ||
            !in.number(entry.stamp.size) || !in.number(entry.stamp.modifiedNs) ||
            !in.number(entry.stamp.changedNs) || !in.number(key) || !in.text(entry.title)) {
            entries.clear();
            return entries;
        }
        entry.key = key;
        entries.insert(name, std::move(entry));
    }
    if (!in.atEnd())
        entries.clear();
    return entries;
}

void Save(const QString& indexFile, const QString& folder, const QHash<QString, TPageIndexEntry>& entries)
{
    TWriter out;
    out.data().append(kMagic, sizeof kMagic);
    out.number(kVersion);
    out.text(folder);
    out.number(quint32(entries.size()));
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const TPageIndexEntry& entry = it.value();
        out.text(it.key());
        out.number(entry.stamp.device);
        out.number(entry.stamp.inode);
        out.number(entry.stamp.size);
        out.number(entry.stamp.modifiedNs);
        out.number(entry.stamp.changedNs);
        out.number(qint32(entry.key));
        out.text(entry.title);
    }
    QByteArray& data = out.data();
    const quint16 checksum = qToLittleEndian(quint16(qChecksum(data)));
    data.append(reinterpret_cast<const char*>(&checksum), sizeof checksum);
    if (!QDir().mkpath(QFileInfo(indexFile).absolutePath()))
        return;
    // Written beside its place and renamed over it, so that a reader never sees half of it.
    const QByteArray target = QFile::encodeName(indexFile);
    const QByteArray temporary = target + ".new" + QByteArray::number(qint64(::getpid()));
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t written = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (written <= 0)
            break;
        done += written;
    }
    ::close(fd);
    if (done != data.size() || ::rename(temporary.constData(), target.constData()) != 0)
        ::unlink(temporary.constData());
}

bool Settled(const TFileStamp& stamp, const timespec& readStart)
{
    const qint64 limit = nanoseconds(readStart) - kSettleNs;
    return stamp.modifiedNs < limit && stamp.changedNs < limit;
}

} // namespace PageIndex
