#include "platform/linux/DesktopShell.h"

using namespace Qt::StringLiterals;

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

QString firstInstalled(std::initializer_list<const char16_t*> candidates)
{
    for (const char16_t* name : candidates) {
        const QString found = QStandardPaths::findExecutable(QString::fromUtf16(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

} // namespace

QString DesktopShell::mapProgram(const QString& name) const
{
    const QString lower = name.trimmed().toLower();
    QString mapped;
    if (lower == u"notepad.exe" || lower == u"notepad")
        mapped = firstInstalled({u"gnome-text-editor", u"gedit", u"kate", u"kwrite", u"mousepad", u"pluma",
                                 u"xed", u"leafpad", u"featherpad", u"xedit"});
    else if (lower == u"calc.exe" || lower == u"calc")
        mapped = firstInstalled(
            {u"gnome-calculator", u"kcalc", u"galculator", u"mate-calc", u"qalculate-gtk", u"xcalc"});
    return mapped.isEmpty() ? name.trimmed() : mapped;
}

bool DesktopShell::openDocument(const QString& target)
{
    const QString trimmed = target.trimmed();
    if (trimmed.isEmpty())
        return false;
    // A bare program name runs the program, as the Windows shell would.
    const QString mapped = mapProgram(trimmed);
    if (mapped != trimmed || (!trimmed.contains(u'/') && !trimmed.contains(u':') &&
                              !QStandardPaths::findExecutable(trimmed).isEmpty()))
        return QProcess::startDetached(mapped, {});
    QUrl url;
    if (QFileInfo(trimmed).isAbsolute() || QFileInfo::exists(trimmed))
        url = QUrl::fromLocalFile(QFileInfo(trimmed).absoluteFilePath());
    else
        url = QUrl::fromUserInput(trimmed);
    if (!url.isValid())
        return false;
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isExecutable() &&
        !QFileInfo(url.toLocalFile()).isDir())
        return QProcess::startDetached(url.toLocalFile(), {});
    return QDesktopServices::openUrl(url);
}

bool DesktopShell::startProgram(const QString& program, const QStringList& arguments,
                                const QString& workingFolder)
{
    const QString mapped = mapProgram(program);
    if (mapped.isEmpty())
        return false;
    const QFileInfo info(mapped);
    if (info.exists() && !info.isExecutable())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
    return QProcess::startDetached(mapped, arguments, workingFolder);
}
