#include "FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

bool FakeTrash::moveToTrash(const QString& path)
{
    trashed.append(path);
    QFile file(path);
    trashedBytes.append(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    file.close();
    if (!succeed)
        return false;
    // The file leaves its folder, as it would into the trash.
    if (QFileInfo(path).isDir())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

bool FakeTrash::removePermanently(const QString& path)
{
    removed.append(path);
    if (!succeed)
        return false;
    if (QFileInfo(path).isDir())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

bool FakeShell::openDocument(const QString& target)
{
    opened.append(target);
    return succeed;
}

bool FakeShell::startProgram(const QString& program, const QStringList& arguments,
                             const QString& workingFolder)
{
    started.append(program + QLatin1Char('|') + arguments.join(QLatin1Char(' ')) + QLatin1Char('|') +
                   workingFolder);
    return succeed;
}

bool FakeAutostart::setEntry(bool enable, const QString& name, const QString& program,
                             const QStringList& arguments)
{
    calls.append((enable ? QStringLiteral("on|") : QStringLiteral("off|")) + name + QLatin1Char('|') +
                 program + QLatin1Char('|') + arguments.join(QLatin1Char(' ')));
    return true;
}

bool FakeFolderPicker::pickFolder(QWidget*, const QString&, const QString&, QString& path)
{
    lastInitial = path;
    if (answer.isEmpty())
        return false;
    path = answer;
    return true;
}

void FakeWindowSystem::setStayOnTop(QWidget*, bool flag)
{
    onTop = flag;
}

void FakeWindowSystem::bringToFront(QWidget* window)
{
    ++raised;
    if (window)
        window->activateWindow();
}

bool FakeWindowSystem::isForeground(const QWidget* window) const
{
    return window && window->isVisible() && window->isActiveWindow();
}

FakePlatform::FakePlatform()
    : m_services(
          TPlatform::Of(trash, shell, autostart, folderPicker, systemInfo, windowSystem, sound, powerOff))
{
}
