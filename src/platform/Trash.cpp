#include "Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool FreedesktopTrash::moveToTrash(const QString& path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    return QFile::moveToTrash(path);
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
