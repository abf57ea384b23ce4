#pragma once

#include <QDateTime>
#include <QSet>
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

// The first line (top to bottom) whose stamp is one of minutes, skipping the line numbers in
// skip; -1 when there is none.
int FindDueLine(const QStringList& lines, const QSet<QString>& minutes, const QSet<int>& skip = {});

// Where a line that was read before the page changed is now: the line with exactly that text
// nearest to where it was (the same place first, then alternately below and above); -1 when no
// line has that text any more.
int FindLineAgain(const QStringList& lines, const QString& text, int oldIndex);

// The page text as lines, split at LF (the editor's line breaks; CR LF and CR count too).
QStringList PageLines(const QString& pageText);

// Decides on every timer tick which wall-clock minutes are new and must be scanned, so that
// every minute is scanned once while the program runs, whatever the ticks' jitter:
// - a minute already scanned is never scanned again: the clock stepping back by a few minutes
//   (a time correction) waits until it passes the last scanned minute;
// - minutes the ticks stepped over (a stalled loop, a clock stepping forward a little) are
//   scanned together with the current one;
// - a bigger jump either way (the clock set by the user, a resume after suspend, a change of
//   daylight-saving time) starts anew with the current minute only: minutes the program did not
//   live through are not caught up, and a clock set back is not frozen until it catches up.
class TMinuteTracker
{
public:
    static constexpr int MaxCatchUpMinutes = 5;

    // The minute texts to scan for a tick at now, oldest first; empty when there is nothing new.
    QStringList Advance(const QDateTime& now);

private:
    std::optional<qint64> m_last; // the last scanned minute, counted on the local wall clock
};
