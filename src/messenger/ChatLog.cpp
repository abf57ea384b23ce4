#include "messenger/ChatLog.h"

#include "core/TextFile.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

TChatLog::TChatLog(const QString& folder)
    : m_fileName(folder + u"chat.txt"_s), m_backupFileName(folder + u"chat_bak.txt"_s)
{
}

bool TChatLog::Exists() const
{
    return QFileInfo(m_fileName).isFile();
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
