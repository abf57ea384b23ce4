#include "messenger/ChatLog.h"

#include "core/TextFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Appends the lines to a UTF-16 LE file (its mark first when it is empty) and flushes them to
// the disk; on failure the file is cut back to its old size.
void AppendLines(const QString& path, const QStringList& lines)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    auto fail = [&path](int error) {
        throw EFileError(u"无法写入文件 "_s + path + u"："_s + QString::fromLocal8Bit(std::strerror(error)));
    };
    if (fd < 0)
        fail(errno);
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        fail(error);
    }
    QByteArray bytes = EncodeText(JoinLines(lines), TTextEncoding::Utf16LE);
    if (info.st_size > 0)
        bytes.remove(0, 2); // the mark is there already
    qsizetype done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        done += written;
    }
    if (error == 0 && ::fdatasync(fd) != 0)
        error = errno;
    if (error != 0) [[maybe_unused]]
        const int cut = ::ftruncate(fd, info.st_size);
    ::close(fd);
    if (error != 0)
        fail(error);
}

} // namespace

TChatLog::TChatLog(const QString& folder)
    : m_fileName(folder + u"chat.txt"_s), m_backupFileName(folder + u"chat_bak.txt"_s)
{
}

bool TChatLog::Exists() const
{
    return QFileInfo(m_fileName).isFile();
}

bool TChatLog::Appendable() const
{
    QFile file(m_fileName);
    if (!file.exists() || file.size() == 0)
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(2) == QByteArray("\xFF\xFE", 2);
}

QStringList TChatLog::Load() const
{
    return ReadTextFileLines(m_fileName);
}

void TChatLog::Save(const QStringList& lines, bool withBackup) const
{
    if (withBackup && !lines.isEmpty())
        WriteTextFileLines(m_backupFileName, lines);
    WriteTextFileLines(m_fileName, lines);
}

void TChatLog::Append(const QStringList& lines) const
{
    if (!lines.isEmpty())
        AppendLines(m_fileName, lines);
}

void TChatLog::Roll(const QStringList& oldLines, const QStringList& keptLines) const
{
    const QFileInfo backup(m_backupFileName);
    QFile head(m_backupFileName);
    bool appendable = !backup.exists() || backup.size() == 0;
    if (!appendable && head.open(QIODevice::ReadOnly))
        appendable = head.read(2) == QByteArray("\xFF\xFE", 2);
    head.close();
    if (appendable && backup.size() + oldLines.size() * 64 < 2 * SizeLimit) {
        AppendLines(m_backupFileName, oldLines);
    } else {
        // The copy keeps its newer half and the lines that come now.
        QStringList lines = backup.exists() ? ReadTextFileLines(m_backupFileName) : QStringList();
        lines = lines.mid(lines.size() / 2);
        lines << oldLines;
        WriteTextFileLines(m_backupFileName, lines);
    }
    WriteTextFileLines(m_fileName, keptLines);
}

TChatLogWriter::TChatLogWriter(const TChatLog& log, TReport report)
    : m_log(log), m_report(std::move(report)), m_worker([this] { run(); })
{
}

TChatLogWriter::~TChatLogWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_worker.join();
}

void TChatLogWriter::Append(const QStringList& lines)
{
    enqueue({TJob::Append, lines, {}});
}

void TChatLogWriter::Replace(const QStringList& lines)
{
    enqueue({TJob::Replace, lines, {}});
}

void TChatLogWriter::Roll(const QStringList& oldLines, const QStringList& keptLines)
{
    enqueue({TJob::Roll, oldLines, keptLines});
}

void TChatLogWriter::Wait()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void TChatLogWriter::enqueue(TJob job)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_all();
}

void TChatLogWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopping, and everything is written
        TJob job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        QString error;
        try {
            switch (job.Kind) {
            case TJob::Append:
                m_log.Append(job.Lines);
                break;
            case TJob::Replace:
                m_log.Save(job.Lines, false);
                break;
            case TJob::Roll:
                m_log.Roll(job.Lines, job.Kept);
                break;
            }
        } catch (const EFileError& failure) {
            error = failure.message();
        }
        if (m_report)
            m_report(error);
        lock.lock();
        m_busy = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
}
