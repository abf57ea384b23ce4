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

std::optional<qint64> StampMinute(const QString& stamp)
{
    if (stamp.size() != 16)
        return std::nullopt;
    // 'd' stands for a digit; every other place must hold exactly its character.
    static constexpr char16_t Layout[] = u"dddd-dd-dd dd:dd";
    for (qsizetype i = 0; i < stamp.size(); ++i) {
        const QChar c = stamp.at(i);
        if (Layout[i] == u'd' ? (c < u'0' || c > u'9') : c != QChar(Layout[i]))
            return std::nullopt;
    }
    const auto number = [&](int from, int length) { return QStringView(stamp).mid(from, length).toInt(); };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const int hour = number(11, 2);
    const int minute = number(14, 2);
    if (!date.isValid() || hour > 23 || minute > 59)
        return std::nullopt;
    return date.toJulianDay() * 1440 + hour * 60 + minute;
}

QList<TDueLine> FindDueLines(const QStringList& lines, qint64 first, qint64 last)
{
    QList<TDueLine> due;
    for (int i = 0; i < lines.size(); ++i) {
        const std::optional<QString> stamp = ReminderStamp(lines.at(i));
        if (!stamp)
            continue;
        const std::optional<qint64> minute = StampMinute(*stamp);
        if (minute && *minute >= first && *minute <= last)
            due.append({i, lines.at(i), *minute});
    }
    return due;
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

std::optional<TMinuteRange> TMinuteTracker::Advance(const QDateTime& now)
{
    const qint64 minute = WallMinute(now);
    if (m_last && minute == *m_last)
        return std::nullopt;
    const qint64 first = m_last && minute > *m_last ? *m_last + 1 : minute;
    m_last = minute;
    return TMinuteRange{first, minute};
}

QString ReminderNoticeText(const QStringList& dueLines, const QStringList& missedLines)
{
    const auto section = [](const QString& heading, const QStringList& lines) {
        QString text = heading;
        if (lines.size() > 1)
            text += u'\n';
        for (qsizetype i = 0; i < lines.size(); ++i)
            text += (i > 0 ? QStringLiteral("\n") : QString()) + TrimBlanks(lines.at(i));
        return text;
    };
    QStringList sections;
    if (!dueLines.isEmpty())
        sections.append(section(QStringLiteral("时间到："), dueLines));
    if (!missedLines.isEmpty())
        sections.append(section(QStringLiteral("错过的提醒："), missedLines));
    return sections.join(QStringLiteral("\n\n"));
}
