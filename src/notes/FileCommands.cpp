#include "notes/FileCommands.h"

#include "core/TextFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

// The path with links resolved, for a path that may not exist yet: its nearest existing folder
// resolved, the rest appended. Always ends in "/".
QString resolvedFolder(const QString& path)
{
    QString rest;
    QString existing = QDir::cleanPath(QDir(path).absolutePath());
    while (!QFileInfo::exists(existing)) {
        const int slash = int(existing.lastIndexOf(u'/'));
        if (slash <= 0) {
            existing = u"/"_s;
            break;
        }
        rest = existing.mid(slash) + rest;
        existing = existing.left(slash);
    }
    QString resolved = QFileInfo(existing).canonicalFilePath();
    if (resolved.isEmpty())
        resolved = existing;
    resolved = QDir::cleanPath(resolved + rest);
    return resolved.endsWith(u'/') ? resolved : resolved + u'/';
}

bool copyFile(const QString& source, const QString& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0) {
            out.cancelWriting();
            return false;
        }
        if (n == 0)
            break;
        if (out.write(buffer, n) != n) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

} // namespace

QString QtFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& name = parts[i];
        const QString& pattern = parts[i + 1];
        entries << (name.contains(u'(') ? name : name + u" ("_s + pattern + u')');
    }
    return entries.join(u";;"_s);
}

void SaveTextAs(const QString& path, const QString& pageText)
{
    WriteTextFileLines(path, SplitLines(pageText), TTextEncoding::Utf16LE);
}

QString SaveAsTargetProblem(const QString& appDir, const QString& path)
{
    const QFileInfo file(path);
    if (resolvedFolder(file.absolutePath()).startsWith(resolvedFolder(appDir + u"Data"_s)))
        return u"不能另存到数据文件夹中：%1 是存放页面的文件夹。请选择其他文件夹。"_s.arg(
            QDir::toNativeSeparators(file.absolutePath()));
    return {};
}

QString BackupTargetProblem(const QString& appDir, const QString& target)
{
    const QString app = resolvedFolder(appDir);
    const QString data = resolvedFolder(appDir + u"Data"_s);
    const QString into = resolvedFolder(target);
    if (into.startsWith(data))
        return u"不能备份到数据文件夹 %1 之内，否则会把它复制到它自己里面。请选择其他文件夹。"_s.arg(
            QDir::toNativeSeparators(target));
    if (into == app)
        return u"不能备份到程序所在的文件夹 %1，否则会把文件复制到它们自己上面。请选择其他文件夹。"_s.arg(
            QDir::toNativeSeparators(target));
    return {};
}

QList<TBackupEntry> PlanBackup(const QString& appDir, const QString& target, const QString& addressBookFile)
{
    QList<TBackupEntry> plan;
    const QString data = appDir + u"Data"_s;
    if (QFileInfo(data).isDir()) {
        plan.append({data, target + u"Data"_s, u"Data"_s, true});
        QDirIterator it(data, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        QList<TBackupEntry> entries;
        while (it.hasNext()) {
            const QString source = it.next();
            const QString relative = source.mid(appDir.size());
            entries.append({source, target + relative, relative, it.fileInfo().isDir()});
        }
        // Folders before what they hold, and a stable order for the rest.
        std::sort(entries.begin(), entries.end(),
                  [](const TBackupEntry& a, const TBackupEntry& b) { return a.name < b.name; });
        plan.append(entries);
    }
    for (const QString& name : {u"chat.txt"_s, u"Config.ini"_s, u"MSGConfig.ini"_s, addressBookFile}) {
        if (name.isEmpty())
            continue;
        const QString source = appDir + name;
        if (QFileInfo(source).isFile())
            plan.append({source, target + name, name, false});
    }
    return plan;
}

QStringList RunBackup(const QList<TBackupEntry>& plan)
{
    QStringList failed;
    for (const TBackupEntry& entry : plan) {
        const bool ok = entry.folder ? QDir().mkpath(entry.target) : copyFile(entry.source, entry.target);
        if (!ok)
            failed << entry.name;
    }
    return failed;
}
