#include "messenger/ftp/FtpFileSystem.h"

#include "messenger/ftp/FtpNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
const QString NotAllowed = u"Permission denied."_s;

bool IsInside(const QString& canonical, const QString& base)
{
    return !canonical.isEmpty() && !base.isEmpty() &&
           (canonical == base || canonical.startsWith(base.endsWith(u'/') ? base : base + u'/'));
}

// A path that exists (or is a link, even a dangling one) must lead into base; one that does not
// exist yet must have its folder inside base.
bool LeadsInto(const QString& path, const QString& base)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return IsInside(info.canonicalFilePath(), base);
    return IsInside(QFileInfo(info.absolutePath()).canonicalFilePath(), base);
}

TFtpListItem ItemOf(const QFileInfo& info, const QString& name)
{
    return TFtpListItem{HexText(name), info.isDir(), info.isDir() ? 0 : info.size(), info.lastModified()};
}
} // namespace

TFtpFileSystem::TFtpFileSystem(const TFtpAccess& access, const QHostAddress& peer)
    : m_access(access), m_peer(peer)
{
}

bool TFtpFileSystem::Login(const QString& user, const QString& password)
{
    m_account = TFtpAccount::None;
    m_current.clear();
    m_offered.clear();
    m_offerEnded = false;
    if (user == u"ParentDir") {
        if (!IsHexText(password))
            return false;
        // The folder part of an offered path as the peer split it: "\home\u\docs\" from an
        // offer as it went out, "/home/u/docs/" from a copy that split at "/".
        const QString folder = TextFromHex(password);
        TFtpAccess::TMiss miss = TFtpAccess::TMiss::Unknown;
        m_offered = m_access.OfferedIn(m_peer, folder, &miss);
        if (m_offered.isEmpty()) {
            m_offerEnded = miss == TFtpAccess::TMiss::Ended;
            return false;
        }
        // As with any login to a folder, the folder must still be there.
        if (!QFileInfo(QFileInfo(m_offered.first().localPath).path()).isDir()) {
            m_offered.clear();
            return false;
        }
        m_root = u"/"_s;
        m_account = TFtpAccount::ParentDir;
        return true;
    }
    if (user == u"SharePath") {
        const QString share = m_access.ShareRoot();
        if (share.isEmpty() || !QFileInfo(share).isDir())
            return false;
        m_root = share.endsWith(u'/') ? share : share + u'/';
        m_account = TFtpAccount::SharePath;
        return true;
    }
    return false;
}

QString TFtpFileSystem::CurrentDir() const
{
    return u'/' + m_current.join(u'/');
}

QString TFtpFileSystem::Root() const
{
    if (m_account == TFtpAccount::None)
        throw EFtpRefused(u"Not logged in."_s);
    return m_root;
}

void TFtpFileSystem::RequireShare() const
{
    if (m_account != TFtpAccount::SharePath)
        throw EFtpRefused(NotAllowed);
}

TFtpFileSystem::TTarget TFtpFileSystem::Resolve(const QString& requested, TDecode decode) const
{
    const QString root = Root();
    QStringList segments = requested.startsWith(u'/') ? QStringList() : m_current;
    const QStringList parts = requested.split(u'/', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QString part = parts[i];
        if (part == u".")
            continue;
        if (decode == TDecode::LastSegment && i == parts.size() - 1) {
            if (IsHexText(part))
                part = TextFromHex(part);
            else if (m_account == TFtpAccount::ParentDir)
                throw EFtpRefused(NotAllowed);
            // The share folder also serves ordinary clients: a name that is not hex text is
            // taken as it is.
        }
        // The first segment of a "ParentDir" path is an offered name as the peer split it; it
        // is looked up, never joined to a folder.
        const bool offeredName = m_account == TFtpAccount::ParentDir && segments.isEmpty();
        if (offeredName ? part.isEmpty() || part.contains(QChar(0)) : !IsPlainName(part))
            throw EFtpRefused(NotAllowed);
        segments.append(part);
    }
    TTarget target{segments, {}, {}, {}};
    qsizetype below = 0;
    if (m_account == TFtpAccount::SharePath) {
        target.base = QFileInfo(root).canonicalFilePath();
        target.diskPath = root + segments.join(u'/');
    } else if (!segments.isEmpty()) {
        const TFtpAccess::TOfferedItem* item = Item(segments.first());
        if (!item)
            throw EFtpRefused(NotAllowed);
        // Served only while its path still leads where it led when it was offered.
        if (item->realPath.isEmpty() || QFileInfo(item->localPath).canonicalFilePath() != item->realPath)
            throw EFtpRefused(u"File not found."_s);
        if (!item->isFolder && segments.size() > 1)
            throw EFtpRefused(NotAllowed);
        target.base = item->realPath;
        target.diskPath = item->realPath;
        for (qsizetype i = 1; i < segments.size(); ++i)
            target.diskPath += u'/' + segments[i];
        below = 1;
    }
    if (!target.base.isEmpty()) {
        QString step = target.base;
        target.along.append(step);
        for (qsizetype i = below; i < segments.size(); ++i) {
            step += u'/' + segments[i];
            target.along.append(QFileInfo(step).canonicalFilePath());
        }
    }
    CheckInside(target);
    return target;
}

const TFtpAccess::TOfferedItem* TFtpFileSystem::Item(const QString& name) const
{
    for (const TFtpAccess::TOfferedItem& item : m_offered) {
        if (item.name == name)
            return &item;
    }
    return nullptr;
}

// Whatever the path names must be the offered item itself, or lie inside the offered folder or
// the share folder once every link is resolved.
void TFtpFileSystem::CheckInside(const TTarget& target) const
{
    if (target.diskPath.isEmpty() || (m_account == TFtpAccount::SharePath && target.segments.isEmpty()))
        return;
    if (target.base.isEmpty() || !LeadsInto(target.diskPath, target.base))
        throw EFtpRefused(NotAllowed);
}

void TFtpFileSystem::ChangeDir(const QString& requested)
{
    Root();
    if (requested == u".." || requested == u"..\\" || requested == u"../") {
        if (!m_current.isEmpty())
            m_current.removeLast();
        return;
    }
    m_current = Resolve(requested, TDecode::LastSegment).segments;
}

QList<TFtpListItem> TFtpFileSystem::List(const QString& requested) const
{
    const TTarget target = Resolve(requested, TDecode::None);
    if (target.diskPath.isEmpty()) {
        // The top of a "ParentDir" login: the offered items that can still be served.
        const QFileInfo folder(QFileInfo(m_offered.first().localPath).path());
        QList<TFtpListItem> items{ItemOf(folder, u"."_s), ItemOf(folder, u".."_s)};
        for (const TFtpAccess::TOfferedItem& item : m_offered) {
            const QFileInfo info(item.realPath);
            if (!item.realPath.isEmpty() && QFileInfo(item.localPath).canonicalFilePath() == item.realPath)
                items.append(ItemOf(info, item.name));
        }
        return items;
    }
    const QFileInfo info(target.diskPath);
    if (!info.exists())
        throw EFtpRefused(u"File not found."_s);
    if (!info.isDir())
        return {ItemOf(info, target.segments.isEmpty() ? info.fileName() : target.segments.last())};
    QList<TFtpListItem> items;
    const QFileInfoList entries =
        QDir(target.diskPath)
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name | QDir::DirsFirst);
    // A link back to one of the folders on the way down (or above) would make the tree endless:
    // a receiver fetching the folder depth first would copy it into itself until its disk or
    // the path length gives out.
    auto leadsBack = [&target](const QFileInfo& entry) {
        if (!entry.isSymLink() || !entry.isDir())
            return false;
        const QString to = entry.canonicalFilePath();
        for (const QString& folder : target.along)
            if (IsInside(folder, to))
                return true;
        return false;
    };
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name != u"." && name != u"..") {
            if (leadsBack(entry))
                continue;
            TTarget inner = target;
            inner.segments.append(name);
            inner.diskPath += u'/' + name;
            try {
                CheckInside(inner);
            } catch (const EFtpRefused&) {
                continue; // a link out of the root is not shown
            }
        }
        items.append(ItemOf(entry, name));
    }
    return items;
}

QString TFtpFileSystem::RetrievePath(const QString& requested) const
{
    const TTarget target =
        Resolve(requested, m_account == TFtpAccount::ParentDir ? TDecode::LastSegment : TDecode::None);
    if (target.diskPath.isEmpty() || !QFileInfo(target.diskPath).isFile())
        throw EFtpRefused(u"File not found."_s);
    return target.diskPath;
}

int TFtpFileSystem::OpenForRetrieve(const QString& requested) const
{
    const TTarget target =
        Resolve(requested, m_account == TFtpAccount::ParentDir ? TDecode::LastSegment : TDecode::None);
    if (target.diskPath.isEmpty())
        throw EFtpRefused(u"File not found."_s);
    const int fd = ::open(QFile::encodeName(target.diskPath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw EFtpRefused(u"Cannot open the file."_s);
    // What was opened, as the kernel has it: a link swapped in after the checks above is seen here.
    struct stat st
    {
    };
    const QString opened = QFileInfo(u"/proc/self/fd/"_s + QString::number(fd)).symLinkTarget();
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !IsInside(opened, target.base)) {
        ::close(fd);
        throw EFtpRefused(u"File not found."_s);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

QString TFtpFileSystem::StorePath(const QString& requested) const
{
    RequireShare();
    const TTarget target = Resolve(requested, TDecode::None);
    if (target.segments.isEmpty() || QFileInfo(target.diskPath).isDir())
        throw EFtpRefused(NotAllowed);
    return target.diskPath;
}

void TFtpFileSystem::MakeDir(const QString& requested) const
{
    RequireShare();
    const TTarget target = Resolve(requested, TDecode::None);
    if (target.segments.isEmpty() || !QDir().mkdir(target.diskPath))
        throw EFtpRefused(u"Cannot create the folder."_s);
}

void TFtpFileSystem::RemoveDir(const QString& requested) const
{
    RequireShare();
    const TTarget target = Resolve(requested, TDecode::None);
    if (target.segments.isEmpty())
        return; // the share folder itself stays
    const QFileInfo info(target.diskPath);
    if (info.isSymLink())
        QFile::remove(target.diskPath);
    else if (info.isDir())
        QDir(target.diskPath).removeRecursively();
}

void TFtpFileSystem::DeleteFile(const QString& requested) const
{
    RequireShare();
    const TTarget target = Resolve(requested, TDecode::None);
    if (!target.segments.isEmpty() && !QFileInfo(target.diskPath).isDir())
        QFile::remove(target.diskPath);
}

qint64 TFtpFileSystem::Size(const QString& requested) const
{
    const TTarget target =
        Resolve(requested, m_account == TFtpAccount::ParentDir ? TDecode::LastSegment : TDecode::None);
    const QFileInfo info(target.diskPath);
    return info.isFile() ? info.size() : 0;
}

void TFtpFileSystem::RenameFrom(const QString& requested)
{
    RequireShare();
    const TTarget target = Resolve(requested, TDecode::None);
    if (target.segments.isEmpty() || !QFileInfo::exists(target.diskPath))
        throw EFtpRefused(u"File not found."_s);
    m_renameFrom = target.diskPath;
}

void TFtpFileSystem::RenameTo(const QString& requested)
{
    RequireShare();
    const QString from = std::exchange(m_renameFrom, QString());
    if (from.isEmpty())
        throw EFtpRefused(u"RNFR required first."_s);
    const TTarget target = Resolve(requested, TDecode::None);
    if (target.segments.isEmpty())
        throw EFtpRefused(NotAllowed);
    const QFileInfo info(target.diskPath);
    if (info.exists() || info.isSymLink())
        throw EFtpRefused(target.segments.last() + u"已经存在,请重新改变文件名称."_s);
    if (!QDir().rename(from, target.diskPath))
        throw EFtpRefused(u"Cannot rename."_s);
}
