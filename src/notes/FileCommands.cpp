#include "notes/FileCommands.h"

#include "core/FileErrorText.h"
#include "core/TextFile.h"
#include "notes/DataManager.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include <cerrno>

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

// The reason the file operation that just failed gives, in the program's words.
QString failureReason(const QFileDevice& file)
{
    return FileErrorReason(errno, file.error());
}

// Opens target for replacing it once complete; the reason of a failure, or empty.
QString openTarget(QSaveFile& out)
{
    // The save file says no more than "write error" for a folder in the way.
    if (QFileInfo(out.fileName()).isDir())
        return FileErrorReason(EISDIR);
    errno = 0;
    return out.open(QIODevice::WriteOnly) ? QString() : failureReason(out);
}

// Writes data to target, replacing it only once complete; the reason of a failure, or empty.
QString writeFile(const QString& target, const QByteArray& data)
{
    QSaveFile out(target);
    if (const QString reason = openTarget(out); !reason.isEmpty())
        return reason;
    if (out.write(data) != data.size()) {
        const QString reason = failureReason(out);
        out.cancelWriting();
        return reason;
    }
    return out.commit() ? QString() : failureReason(out);
}

QString copyFile(const QString& source, const QString& target)
{
    errno = 0;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return failureReason(in);
    QSaveFile out(target);
    if (const QString reason = openTarget(out); !reason.isEmpty())
        return reason;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0) {
            const QString reason = failureReason(in);
            out.cancelWriting();
            return reason;
        }
        if (n == 0)
            break;
        if (out.write(buffer, n) != n) {
            const QString reason = failureReason(out);
            out.cancelWriting();
            return reason;
        }
    }
    return out.commit() ? QString() : failureReason(out);
}

QString makeFolder(const QString& path)
{
    errno = 0;
    if (QDir().mkpath(path))
        return {};
    return FileErrorReason(QFileInfo(path).exists() && !QFileInfo(path).isDir() ? EEXIST : errno);
}

} // namespace

QString QtFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        QString pattern = parts[i + 1];
        // "*.*" means every file, but on Linux it only matches names with a dot: README
        // would be hidden. Every file is "*".
        if (pattern == u"*.*"_s) {
            name.replace(u"(*.*)"_s, u"(*)"_s);
            pattern = u"*"_s;
        }
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

QList<TBackupFailure> RunBackup(const QList<TBackupEntry>& plan)
{
    QList<TBackupFailure> failed;
    for (const TBackupEntry& entry : plan) {
        const QString reason = entry.folder ? makeFolder(entry.target) : copyFile(entry.source, entry.target);
        if (!reason.isEmpty())
            failed.append({entry.name, reason});
    }
    return failed;
}

QList<TBackupFailure> BackupUnsavedPages(const QString& target, const QList<TUnsavedPage>& pages)
{
    QList<TBackupFailure> failed;
    const QString folder = target + u"Data/"_s;
    const QString folderProblem = pages.isEmpty() ? QString() : makeFolder(folder);
    for (const TUnsavedPage& page : pages) {
        const QString name = u"Data/"_s + page.fileName;
        QString reason = folderProblem;
        if (reason.isEmpty()) {
            const QStringList lines = TDataManager::PageFileLines(page.position, page.title, page.text);
            reason = writeFile(folder + page.fileName, EncodeText(JoinLines(lines), TTextEncoding::Utf16LE));
        }
        if (!reason.isEmpty())
            failed.append({name, reason});
    }
    return failed;
}

TBackupReport BackupReport(const TBackupOutcome& outcome)
{
    QStringList parts;
    if (!outcome.pagesNotSaved.isEmpty()) {
        QString part = u"页面未能先保存：%1"_s.arg(outcome.pagesNotSaved);
        if (outcome.pagesKeptInBackup > 0)
            part +=
                u"\n这 %1 个页面现在的内容已写进备份的 Data 文件夹，恢复时把整个 Data 文件夹复制回去即可。"_s
                    .arg(outcome.pagesKeptInBackup);
        parts.append(part);
    }
    if (!outcome.chatNotSaved.isEmpty())
        parts.append(
            u"聊天记录未能先写入：%1\n备份中的 chat.txt 是它上次写入时的内容。"_s.arg(outcome.chatNotSaved));
    QString details;
    if (!outcome.failures.isEmpty()) {
        // One line per kind of failure, in the order the kinds first occurred.
        QStringList reasons;
        QHash<QString, int> counts;
        QStringList lines;
        for (const TBackupFailure& failure : outcome.failures) {
            if (!counts.contains(failure.reason))
                reasons.append(failure.reason);
            ++counts[failure.reason];
            lines.append(failure.name + u"："_s + failure.reason);
        }
        QString part = u"备份未完成：%1 项未能复制或写入备份文件夹。"_s.arg(outcome.failures.size());
        for (const QString& reason : reasons)
            part += u"\n    %1：%2 项"_s.arg(reason).arg(counts.value(reason));
        part += u"\n下面列出了每一项。"_s;
        parts.append(part);
        details = lines.join(u'\n');
    }
    if (parts.isEmpty())
        return {};
    return {parts.join(u"\n\n"_s), details};
}
