#pragma once

#include <QString>
#include <QStringList>

// The conversation log chat.txt and its copy chat_bak.txt in one folder. Both hold the lines
// of the conversation view, UTF-16 LE with a byte-order mark and CR LF after every line, and
// are replaced whole through a temporary file, so a crash never leaves half a log behind.
class TChatLog final
{
public:
    // folder ends with "/".
    explicit TChatLog(const QString& folder);

    QString FileName() const { return m_fileName; }
    QString BackupFileName() const { return m_backupFileName; }

    bool Exists() const;
    // The lines of chat.txt, read by its byte-order mark. Throws EFileError.
    QStringList Load() const;
    // With backup and at least one line, chat_bak.txt first; then chat.txt in every case.
    // Throws EFileError.
    void Save(const QStringList& lines, bool withBackup) const;

private:
    QString m_fileName;
    QString m_backupFileName;
};
