#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The conversation log chat.txt and its copy chat_bak.txt in one folder. Both hold the lines
// of the conversation view, UTF-16 LE with a byte-order mark and CR LF after every line. Saved
// whole they are replaced through a temporary file, so a crash never leaves half a log behind;
// new lines are appended, and an append that fails leaves the file as it was.
class TChatLog final
{
public:
    // Past this size (in bytes) chat.txt is cut: its older lines go to chat_bak.txt, which
    // keeps at most twice as much.
    static constexpr qint64 SizeLimit = 8 * 1024 * 1024;

    // folder ends with "/".
    explicit TChatLog(const QString& folder);

    QString FileName() const { return m_fileName; }
    QString BackupFileName() const { return m_backupFileName; }

    bool Exists() const;
    // True when chat.txt is missing or is UTF-16 LE with its mark, so that lines can be appended.
    bool Appendable() const;
    // The lines of chat.txt, read by its byte-order mark. Throws EFileError.
    QStringList Load() const;
    // With backup and at least one line, chat_bak.txt first; then chat.txt in every case.
    // Throws EFileError.
    void Save(const QStringList& lines, bool withBackup) const;
    // Adds the lines at the end of chat.txt, flushed to the disk. Throws EFileError.
    void Append(const QStringList& lines) const;
    // The oldest lines leave the log for the end of chat_bak.txt; chat.txt keeps the rest.
    // Throws EFileError.
    void Roll(const QStringList& oldLines, const QStringList& keptLines) const;

private:
    QString m_fileName;
    QString m_backupFileName;
};

// Writes a chat log on a thread of its own, in the order asked, so that the window never waits
// for the disk. Each finished job is told to report (on the writer's thread): an empty error
// for success, else the failure's message.
class TChatLogWriter final
{
public:
    using TReport = std::function<void(const QString& error)>;

    TChatLogWriter(const TChatLog& log, TReport report);
    // Finishes every job asked for.
    ~TChatLogWriter();
    TChatLogWriter(const TChatLogWriter&) = delete;
    TChatLogWriter& operator=(const TChatLogWriter&) = delete;

    void Append(const QStringList& lines);
    void Replace(const QStringList& lines);
    void Roll(const QStringList& oldLines, const QStringList& keptLines);
    // Waits until every job asked for so far is done.
    void Wait();

private:
    struct TJob
    {
        enum TKind
        {
            Append,
            Replace,
            Roll
        } Kind = Append;
        QStringList Lines;
        QStringList Kept;
    };
    void enqueue(TJob job);
    void run();

    const TChatLog m_log;
    TReport m_report;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<TJob> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_worker;
};
