#include "reminders/ScanRecord.h"

#include "core/PubUtils.h"
#include "reminders/AlarmScan.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

QString TScanRecord::FileFor(const QString& appDir)
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + u"/.local/state"_s;
    const QByteArray id =
        QCryptographicHash::hash(QFile::encodeName(NormalizeDir(appDir)), QCryptographicHash::Sha1).toHex();
    return state + u"/Jotvane/reminders-"_s + QString::fromLatin1(id.left(16)) + u".txt"_s;
}

std::optional<qint64> TScanRecord::Read() const
{
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return StampMinute(QString::fromUtf8(file.read(64)).trimmed());
}

void TScanRecord::Write(qint64 minute)
{
    if (m_written == minute)
        return;
    // A new file renamed over the old one: a crash while writing leaves the former record,
    // which at worst shows some reminders a second time. No disk sync: this runs every minute.
    const QString temporary = m_fileName + u".new"_s;
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const QByteArray text = WallMinuteText(minute).toUtf8() + '\n';
    const bool written = file.write(text) == text.size();
    file.close();
    if (written &&
        std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_fileName).constData()) == 0)
        m_written = minute;
    else
        QFile::remove(temporary);
}
