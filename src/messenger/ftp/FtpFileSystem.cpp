#include "messenger/ftp/FtpFileSystem.h"

#include "messenger/ftp/FtpNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    if (user == u"ParentDir") {
        if (!IsHexText(password))
            return false;
        const QString folder = TextFromHex(password);
        if (!folder.startsWith(u'/') || !QFileInfo(folder).isDir())
            return false;
        m_offered = m_access.OfferedIn(m_peer, folder);
        if (m_offered.isEmpty())
            return false;
        m_root = folder.endsWith(u'/') ? folder : folder + u'/';
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
        if (!IsPlainName(part))
            throw EFtpRefused(NotAllowed);
        segments.append(part);
    }
    TTarget target{segments, root + segments.join(u'/')};
    CheckInside(target);
    return target;
}

// Inside a "ParentDir" login only the offered items exist: the first segment must name one, a
// file offer has nothing below it, and links must not lead out of the offered item.
void TFtpFileSystem::CheckInside(const TTarget& target) const
{
    if (m_account == TFtpAccount::SharePath) {
        if (!target.segments.isEmpty() && !LeadsInto(target.diskPath, QFileInfo(m_root).canonicalFilePath()))
            throw EFtpRefused(NotAllowed);
        return;
    }
    if (target.segments.isEmpty())
        return;
    for (const TFtpAccess::TOfferedItem& item : m_offered) {
        if (item.name != target.segments.first())
            continue;
        if (!item.isFolder && target.segments.size() > 1)
            break;
        const QFileInfo offered(m_root + item.name);
        if (!offered.exists() && !offered.isSymLink())
            throw EFtpRefused(u"File not found."_s);
        if (target.segments.size() == 1 || LeadsInto(target.diskPath, offered.canonicalFilePath()))
            return;
        break;
    }
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
    const QFileInfo info(target.diskPath);
    if (!info.exists())
        throw EFtpRefused(u"File not found."_s);
    if (!info.isDir())
        return {ItemOf(info, info.fileName())};
    QList<TFtpListItem> items;
    const QFileInfoList entries =
        QDir(target.diskPath)
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name | QDir::DirsFirst);
    const bool offerRoot = m_account == TFtpAccount::ParentDir && target.segments.isEmpty();
    // The folders on the way down to this one, as the disk has them. A link back to one of them
    // (or above) would make the tree endless: a receiver fetching the folder depth first would
    // copy it into itself until its disk or the path length gives out.
    QStringList along{QFileInfo(m_root).canonicalFilePath()};
    QString step = m_root;
    for (const QString& segment : target.segments) {
        step += segment;
        along.append(QFileInfo(step).canonicalFilePath());
        step += u'/';
    }
    auto leadsBack = [&along](const QFileInfo& entry) {
        if (!entry.isSymLink() || !entry.isDir())
            return false;
        const QString to = entry.canonicalFilePath();
        for (const QString& folder : std::as_const(along))
            if (IsInside(folder, to))
                return true;
        return false;
    };
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name != u"." && name != u"..") {
            if (leadsBack(entry))
                continue;
            TTarget inner{target.segments + QStringList{name}, target.diskPath + u'/' + name};
            if (offerRoot) {
                bool offered = false;
                for (const TFtpAccess::TOfferedItem& item : m_offered)
                    offered = offered || item.name == name;
                if (!offered)
                    continue;
            }
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
    if (!QFileInfo(target.diskPath).isFile())
        throw EFtpRefused(u"File not found."_s);
    return target.diskPath;
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
