#pragma once

#include <QHash>
#include <QString>

#include <ctime>

struct stat;

// A file's identity and change times as the system reports them. Any write to a file changes
// its modification and status-change times, and a file replaced by a rename is another inode:
// while the stamp stays the same, so do the bytes.
struct TFileStamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    static TFileStamp Of(const struct stat& info);
    bool operator==(const TFileStamp&) const = default;
};

// What a start learned of one page file: its stamp when it was read, its key and its title.
struct TPageIndexEntry
{
    TFileStamp stamp;
    int key = 0;
    QString title;
};

// The key and title of every page file by file name, kept between runs in the user's cache
// folder so that a start need not open every page: a file whose stamp is unchanged takes its
// key and title from here, and its text is read when the page is first shown. Losing or
// damaging the index costs one full read of the folder, nothing more.
namespace PageIndex {

// The index file of folder in the user's cache folder ($XDG_CACHE_HOME, else ~/.cache).
// Usable before the application object exists.
QString FileFor(const QString& folder);

// The entries stored for folder; empty when the file is missing, damaged or of another folder.
QHash<QString, TPageIndexEntry> Load(const QString& indexFile, const QString& folder);

// Replaces the index with entries, as well as it can: an index that cannot be written is only
// a slower next start. Nothing waits for the disk.
void Save(const QString& indexFile, const QString& folder, const QHash<QString, TPageIndexEntry>& entries);

// Whether a stamp may be kept: a file changed in the same clock tick as it was read could
// change again without its times moving, so only files left alone for a few seconds before
// readStart (the system's clock when the reading began) are kept.
bool Settled(const TFileStamp& stamp, const timespec& readStart);

} // namespace PageIndex
