#pragma once

#include <QString>

#include <optional>

// The last wall-clock minute up to which every reminder was dealt with, kept between runs so
// that a start shows the reminders whose minute passed while the program was not running.
// It lives in the user's state folder ($XDG_STATE_HOME, else ~/.local/state), one file for each
// program folder, because it is neither a setting nor part of the pages.
//
//   TScanRecord record(TScanRecord::FileFor(AppDir()));
//   TMinuteTracker tracker(record.Read());
//   ...
//   record.Write(minute);
class TScanRecord
{
public:
    explicit TScanRecord(QString fileName) : m_fileName(std::move(fileName)) {}

    static QString FileFor(const QString& appDir);

    QString FileName() const { return m_fileName; }
    // Nothing when there is no record or it cannot be read.
    std::optional<qint64> Read() const;
    // Writes the minute unless it is the one written last. A failure is not reported: the
    // record only decides which passed reminders a later start shows.
    void Write(qint64 minute);

private:
    QString m_fileName;
    std::optional<qint64> m_written;
};
