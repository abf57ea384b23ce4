#include "platform/linux/FreedesktopTrash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// The user's own trash: $XDG_DATA_HOME/Trash, ~/.local/share/Trash by default.
QString HomeTrash()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Trash"_s;
}

// Whether a path that the move reports lies in a freedesktop trash: the home trash, or the
// trash at the top of another mount ($topdir/.Trash/$uid or $topdir/.Trash-$uid).
bool IsInTrash(const QString& inTrash)
{
    const QString home = QDir::cleanPath(HomeTrash()) + u"/files/"_s;
    if (QDir::cleanPath(inTrash).startsWith(home))
        return true;
    static const QRegularExpression topTrash(u"/\\.Trash(-\\d+|/\\d+)/files/[^/]+$"_s);
    return topTrash.match(QDir::cleanPath(inTrash)).hasMatch();
}

} // namespace

bool FreedesktopTrash::moveToTrash(const QString& path)
{
    const QFileInfo source(path);
    if (path.isEmpty() || (!source.exists() && !source.isSymLink()))
        return false;
    // On a fresh account the trash folders (and even the data folder) may not exist yet; the
    // move must not then invent a "files" folder of its own somewhere else.
    const QString home = HomeTrash();
    if (!QDir().mkpath(home + u"/files"_s) || !QDir().mkpath(home + u"/info"_s))
        return false;
    QString inTrash;
    if (!QFile::moveToTrash(path, &inTrash))
        return false;
    if (!inTrash.isEmpty() && IsInTrash(inTrash) && QFileInfo(inTrash).exists() && !QFileInfo::exists(path))
        return true;
    // The file went somewhere that is no trash: put it back where it was.
    if (!inTrash.isEmpty() && QFileInfo::exists(inTrash) && !QFileInfo::exists(path))
        QFile::rename(inTrash, path);
    return false;
}

bool FreedesktopTrash::removePermanently(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !info.isSymLink()))
        return false;
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}
