#include "notes/PageIndex.h"

#include "core/PubUtils.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 kMagic = 0x4A565049; // "JVPI"
constexpr quint32 kVersion = 1;
// More than the coarsest file times in use (two seconds on FAT) and the clock's tick.
constexpr qint64 kSettleNs = 3'000'000'000;

qint64 nanoseconds(const timespec& time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// The bytes, then their checksum: a file cut short or overwritten in part is refused whole.
QByteArray sealed(const QByteArray& body)
{
    QByteArray data = body;
    QDataStream(&data, QIODevice::Append) << quint16(qChecksum(body));
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
    QFile file(indexFile);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    const QByteArray data = file.readAll();
    if (data.size() < 2)
        return entries;
    const QByteArray body = data.first(data.size() - 2);
    quint16 checksum = 0;
    QDataStream(data.sliced(data.size() - 2)) >> checksum;
    if (checksum != qChecksum(body))
        return entries;

    QDataStream in(body);
    quint32 magic = 0;
    quint32 version = 0;
    QString storedFolder;
    quint32 count = 0;
    in >> magic >> version >> storedFolder >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion || storedFolder != folder)
        return entries;
    entries.reserve(qsizetype(std::min<quint32>(count, 1'000'000)));
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString name;
        TPageIndexEntry entry;
        qint32 key = 0;
        in >> name >> entry.stamp.device >> entry.stamp.inode >> entry.stamp.size >> entry.stamp.modifiedNs >>
            entry.stamp.changedNs >> key >> entry.title;
        entry.key = key;
        entries.insert(name, std::move(entry));
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        entries.clear();
    return entries;
}

void Save(const QString& indexFile, const QString& folder, const QHash<QString, TPageIndexEntry>& entries)
{
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out << kMagic << kVersion << folder << quint32(entries.size());
        for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
            const TPageIndexEntry& entry = it.value();
            out << it.key() << entry.stamp.device << entry.stamp.inode << entry.stamp.size << entry.stamp.modifiedNs
                << entry.stamp.changedNs << qint32(entry.key) << entry.title;
        }
    }
    const QByteArray data = sealed(body);
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
