#include "platform/AppUtils.h"

#include "platform/Platform.h"

#include <QCoreApplication>
#include <QProcess>

using namespace Qt::StringLiterals;

int ShellRun(const TPlatform& platform, const QString& file, const QString& parameters, const QString& folder)
{
    const QStringList arguments = QProcess::splitCommand(parameters);
    return platform.shell->startProgram(file, arguments, folder) ? 33 : 2;
}

bool ShellOpen(const TPlatform& platform, const QString& target)
{
    return platform.shell->openDocument(target.trimmed());
}

bool SendMailTo(const TPlatform& platform, const QString& address)
{
    QString target = address.trimmed();
    if (!target.startsWith(u"mailto:"_s))
        target.prepend(u"mailto:"_s);
    return ShellOpen(platform, target);
}

bool BrowseForFolder(const TPlatform& platform, QWidget* owner, const QString& title, const QString& root,
                     QString& path)
{
    if (!platform.folderPicker)
        return false;
    return platform.folderPicker->pickFolder(owner, title, root, path);
}

bool SetRunOnStartup(const TPlatform& platform, bool enable, bool /*currentUser*/, const QString& valueName,
                     const QString& parameters)
{
    // Autostart entries are per user on a Linux desktop; the machine-wide choice has no
    // counterpart a user may write.
    const QString name = valueName.isEmpty() ? QCoreApplication::applicationName() : valueName;
    QStringList arguments;
    if (!parameters.isEmpty())
        arguments = QProcess::splitCommand(parameters);
    return platform.autostart->setEntry(enable, name, QCoreApplication::applicationFilePath(), arguments);
}

void SetWindowTopMost(const TPlatform& platform, QWidget* window, bool flag)
{
    platform.windowSystem->setStayOnTop(window, flag);
}

void HideApplicationButton() {}

QPoint GetCursorPosSafe(const TPlatform& platform)
{
    return platform.windowSystem ? platform.windowSystem->cursorPos() : QPoint(0, 0);
}

QString GetLocalComputerName(const TPlatform& platform)
{
    return platform.systemInfo->computerName();
}

bool RecycleFile(const TPlatform& platform, const QString& path)
{
    return platform.trash->moveToTrash(path);
}

bool DeletePathSilently(const TPlatform& platform, const QString& path)
{
    return platform.trash->removePermanently(path);
}
