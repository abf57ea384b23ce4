#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Reminder lines: a line of the first page that ends in "@yyyy-mm-dd hh:nn" fires in that minute,
// unless it ends in the completion sign "√". All times are local wall-clock minutes written in
// that one form, so the marker command, the scan and the shutdown check agree to the minute.

inline constexpr char16_t CompleteSign = u'√';

// "yyyy-mm-dd hh:nn" of a moment; the seconds are dropped.
QString MinuteText(const QDateTime& moment);
// The marker the insert command writes: "@" and the minute of now + 30 s, so before second 30
// it names the current minute and from second 30 on the next one.
QString AlarmMarkerText(const QDateTime& now);
// The text without leading and trailing blanks: the space and every control character.
QString TrimBlanks(const QString& text);

// The minute stamp a line asks for: the trimmed text after its last "@", or nothing when the line
// is complete (ends in "√") or has no "@". Whatever the text is, only an exact minute text can
// ever match a scanned minute.
std::optional<QString> ReminderStamp(const QString& line);

// The wall-clock minute a moment falls in, counted on the local calendar (days times 1440 plus
// the minute of the day), so that a clock stepping back gives a smaller number.
qint64 WallMinute(const QDateTime& moment);
QString WallMinuteText(qint64 minute);
// The minute a stamp names; nothing unless stamp is exactly a minute text of a real minute
// ("2009-05-01 08:30", never "2009-5-1 8:30" or "2009-02-30 08:30").
std::optional<qint64> StampMinute(const QString& stamp);

// A reminder line found by a scan: where it is, its untrimmed text and the minute it names.
struct TDueLine
{
    int index = -1;
    QString line;
    qint64 minute = 0;

    bool operator==(const TDueLine&) const = default;
};

// Every line, top to bottom, whose stamp names a minute from first to last (both included).
QList<TDueLine> FindDueLines(const QStringList& lines, qint64 first, qint64 last);

// Where a line that was read before the page changed is now: the line with exactly that text
// nearest to where it was (the same place first, then alternately below and above); -1 when no
// line has that text any more.
int FindLineAgain(const QStringList& lines, const QString& text, int oldIndex);

// The page text as lines, split at LF (the editor's line breaks; CR LF and CR count too).
QStringList PageLines(const QString& pageText);

// The wall-clock minutes from first to last, both included.
struct TMinuteRange
{
    qint64 first = 0;
    qint64 last = 0;

    bool Contains(qint64 minute) const { return minute >= first && minute <= last; }
    bool operator==(const TMinuteRange&) const = default;
};

// Decides on every timer tick which wall-clock minutes are new and must be scanned, so that
// every minute the clock passes through while the program runs is scanned, whatever the ticks'
// jitter:
// - minutes the ticks stepped over (a suspend, a stalled loop, the clock set forward) are
//   scanned together with the current one, however many there are;
// - a clock stepping back (a time correction, the clock set by hand) scans the minute it landed
//   in and goes on from there, so minutes passed again are scanned again; a line that fired is
//   complete by then and does not fire twice;
// - the first tick scans from the minute after `since` when the program recorded one (the last
//   minute a former run scanned), else the current minute only.
class TMinuteTracker
{
public:
    explicit TMinuteTracker(std::optional<qint64> since = std::nullopt) : m_last(since) {}

    // The minutes to scan for a tick at now; nothing when the minute was scanned already.
    std::optional<TMinuteRange> Advance(const QDateTime& now);
    // The last minute scanned (or the one given at the start).
    std::optional<qint64> Last() const { return m_last; }

private:
    std::optional<qint64> m_last;
};

// A line (or the shutdown) found by a scan that comes at most this many minutes after its minute
// is on time; one found later was missed: its minute passed while the program could not scan.
inline constexpr qint64 OnTimeMinutes = 1;

// What a scan found, as the box shows it: lines due now after "时间到：" and lines whose minute
// passed while the program could not scan after "错过的提醒：". One line stands right after its
// heading; several stand one to a line below it. Each line is shown without its outer blanks.
QString ReminderNoticeText(const QStringList& dueLines, const QStringList& missedLines);
