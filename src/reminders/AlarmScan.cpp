#include "reminders/AlarmScan.h"

namespace {

QString FormatMinute(const QDate& date, const QTime& time)
{
    // Fixed digits, whatever the locale: a year is always four digits here.
    return QStringLiteral("%1-%2-%3 %4:%5")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'));
}

qint64 WallMinute(const QDateTime& moment)
{
    const QTime time = moment.time();
    return moment.date().toJulianDay() * 1440 + time.hour() * 60 + time.minute();
}

QString WallMinuteText(qint64 minute)
{
    const QDate date = QDate::fromJulianDay(minute / 1440);
    const int inDay = static_cast<int>(minute % 1440);
    // Built from the fields, not as a QDateTime: a minute in a daylight-saving gap stays itself.
    return FormatMinute(date, QTime(inDay / 60, inDay % 60));
}

bool IsBlank(QChar c)
{
    return c.unicode() <= 0x20;
}

} // namespace

QString MinuteText(const QDateTime& moment)
{
    return FormatMinute(moment.date(), moment.time());
}

QString AlarmMarkerText(const QDateTime& now)
{
    return u'@' + MinuteText(now.addSecs(30));
}

QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text.at(begin)))
        ++begin;
    while (end > begin && IsBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

std::optional<QString> ReminderStamp(const QString& line)
{
    const QString s = TrimBlanks(line);
    if (s.endsWith(CompleteSign))
        return std::nullopt;
    const qsizetype at = s.lastIndexOf(u'@');
    if (at < 0)
        return std::nullopt;
    return s.mid(at + 1);
}

int FindDueLine(const QStringList& lines, const QSet<QString>& minutes, const QSet<int>& skip)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (skip.contains(i))
            continue;
        const std::optional<QString> stamp = ReminderStamp(lines.at(i));
        if (stamp && minutes.contains(*stamp))
            return i;
    }
    return -1;
}

int FindLineAgain(const QStringList& lines, const QString& text, int oldIndex)
{
    const int n = static_cast<int>(lines.size());
    for (int distance = 0; distance < n + qAbs(oldIndex) + 1; ++distance) {
        const int below = oldIndex + distance;
        const int above = oldIndex - distance;
        if (below >= 0 && below < n && lines.at(below) == text)
            return below;
        if (distance > 0 && above >= 0 && above < n && lines.at(above) == text)
            return above;
        if (below >= n && above < 0)
            break;
    }
    return -1;
}

QStringList PageLines(const QString& pageText)
{
    QString text = pageText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text.split(u'\n');
}

QStringList TMinuteTracker::Advance(const QDateTime& now)
{
    const qint64 minute = WallMinute(now);
    QStringList due;
    if (m_last && minute <= *m_last && *m_last - minute <= MaxCatchUpMinutes)
        return due; // this minute, or a small step back into minutes already scanned
    qint64 first = minute;
    if (m_last && minute > *m_last && minute - *m_last <= MaxCatchUpMinutes)
        first = *m_last + 1;
    for (qint64 m = first; m <= minute; ++m)
        due.append(WallMinuteText(m));
    m_last = minute;
    return due;
}
