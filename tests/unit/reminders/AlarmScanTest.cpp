#include "reminders/AlarmScan.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QDateTime At(int h, int m, int s = 0, int day = 1)
{
    return QDateTime(QDate(2009, 5, day), QTime(h, m, s));
}

qint64 M(int h, int m, int day = 1)
{
    return WallMinute(At(h, m, 0, day));
}

bool Fires(const QString& line, const QString& minute)
{
    const qint64 at = *StampMinute(minute);
    return FindDueLines({line}, at, at).size() == 1;
}

TEST(AlarmScan, WhichLinesFireInTheirMinute)
{
    const QString minute = u"2009-05-01 08:30"_s;
    EXPECT_TRUE(Fires(u"buy milk @2009-05-01 08:30"_s, minute));
    EXPECT_TRUE(Fires(u"call back @2009-05-01 08:30   "_s, minute));
    EXPECT_TRUE(Fires(u"\t  meet @home @2009-05-01 08:30\r"_s, minute)); // the last "@" counts
    EXPECT_TRUE(Fires(u"√ @2009-05-01 08:30"_s, minute));                // a sign in front is wording
    EXPECT_FALSE(Fires(u"@2009-05-01 08:30 call"_s, minute));            // text after the stamp
    EXPECT_FALSE(Fires(u"done @2009-05-01 08:30√"_s, minute));
    EXPECT_FALSE(Fires(u"done @2009-05-01 08:30√  "_s, minute));
    EXPECT_FALSE(Fires(u"@2009-5-1 8:30"_s, minute));
    EXPECT_FALSE(Fires(u"@2009-05-01 08:31"_s, minute));
    EXPECT_FALSE(Fires(u"@2009-05-01 08:30 @later"_s, minute));
    EXPECT_FALSE(Fires(u"2009-05-01 08:30"_s, minute));
    EXPECT_FALSE(Fires(QString(), minute));
    // Blanks are the space and the control characters only; a no-break space is wording.
    EXPECT_FALSE(Fires(u"x @2009-05-01 08:30\u00A0"_s, minute));
    EXPECT_EQ(TrimBlanks(u"\x01 a b\x1F\x20"_s), u"a b"_s);

    const QStringList page = {u"a @2009-05-01 08:29"_s, u"b @2009-05-01 08:30√"_s, u"c @2009-05-01 08:30"_s,
                              u"d @2009-05-01 08:30"_s, u"e @2009-04-30 08:30"_s};
    EXPECT_EQ(FindDueLines(page, M(8, 30), M(8, 30)),
              (QList<TDueLine>{{2, page[2], M(8, 30)}, {3, page[3], M(8, 30)}}));
    EXPECT_EQ(FindDueLines(page, M(8, 29), M(8, 30)).size(), 3);
    // A range of a whole year is compared, not walked through minute by minute.
    EXPECT_EQ(FindDueLines(page, M(8, 31, 1) - 366 * 1440, M(8, 31)).size(), 4);
    EXPECT_TRUE(FindDueLines(page, M(8, 31), M(8, 31)).isEmpty());
}

TEST(AlarmScan, StampsMustNameARealMinuteExactly)
{
    EXPECT_EQ(StampMinute(u"2009-05-01 08:30"_s), M(8, 30));
    EXPECT_EQ(WallMinuteText(M(23, 59)), u"2009-05-01 23:59"_s);
    for (const QString& bad : {u"2009-02-29 08:30"_s, u"2009-05-01 24:00"_s, u"2009-05-01 08:60"_s,
                               u"2009-13-01 08:30"_s, u"2009-05-01T08:30"_s, u"2009-05-01 08:30:00"_s,
                               u"２009-05-01 08:30"_s, u"0000-01-01 00:00"_s, u"2009/05/01 08:30"_s})
        EXPECT_FALSE(StampMinute(bad).has_value()) << bad.toStdString();
}

TEST(AlarmScan, NoticeTextListsDueAndMissedLines)
{
    EXPECT_EQ(ReminderNoticeText({u"  buy milk @2009-05-01 08:30 "_s}, {}),
              u"时间到：buy milk @2009-05-01 08:30"_s);
    EXPECT_EQ(ReminderNoticeText({u"a @x"_s, u"b @x"_s}, {}), u"时间到：\na @x\nb @x"_s);
    EXPECT_EQ(ReminderNoticeText({}, {u"old @y"_s}), u"错过的提醒：old @y"_s);
    EXPECT_EQ(ReminderNoticeText({u"a @x"_s}, {u"o @y"_s, u"p @z"_s}),
              u"时间到：a @x\n\n错过的提醒：\no @y\np @z"_s);
}

TEST(AlarmScan, FindLineAgainPrefersTheNearestCopy)
{
    const QStringList lines = {u"x"_s, u"a"_s, u"y"_s, u"a"_s, u"z"_s, u"a"_s};
    EXPECT_EQ(FindLineAgain(lines, u"a"_s, 3), 3);
    EXPECT_EQ(FindLineAgain(lines, u"a"_s, 2), 3); // below first at equal distance
    EXPECT_EQ(FindLineAgain(lines, u"a"_s, 0), 1);
    EXPECT_EQ(FindLineAgain(lines, u"a"_s, 40), 5); // past the end of a page that shrank
    EXPECT_EQ(FindLineAgain(lines, u"a"_s, -3), 1);
    EXPECT_EQ(FindLineAgain(lines, u"gone"_s, 2), -1);
    EXPECT_EQ(FindLineAgain({}, u"a"_s, 0), -1);
}

TEST(MinuteTracker, EveryMinuteThatTheClockPassesIsScanned)
{
    TMinuteTracker tracker;
    QList<TMinuteRange> scanned;
    QDateTime now = At(8, 0, 58);
    // Ticks every 4 s, give or take a second, for ten minutes, and once a stalled loop of 100 s.
    for (int i = 0; now < At(8, 11); ++i) {
        if (const auto range = tracker.Advance(now))
            scanned.append(*range);
        now = now.addMSecs(i == 40 ? 100000 : 4000 + (i % 3 - 1) * 1000);
    }
    ASSERT_FALSE(scanned.isEmpty());
    EXPECT_EQ(scanned.first(), (TMinuteRange{M(8, 0), M(8, 0)}));
    for (qsizetype i = 1; i < scanned.size(); ++i)
        EXPECT_EQ(scanned[i].first, scanned[i - 1].last + 1); // no minute left out, none twice
    EXPECT_EQ(scanned.last().last, M(8, 10));
    EXPECT_LT(scanned.size(), 11); // the stall scanned two minutes at once

    // A step back of two minutes scans the minute it landed in, and the minutes passed again.
    EXPECT_EQ(tracker.Advance(At(8, 8, 30)), (TMinuteRange{M(8, 8), M(8, 8)}));
    EXPECT_EQ(tracker.Advance(At(8, 9, 1)), (TMinuteRange{M(8, 9), M(8, 9)}));
    // Twelve minutes forward (or a suspend): every minute stepped over.
    EXPECT_EQ(tracker.Advance(At(8, 21, 1)), (TMinuteRange{M(8, 10), M(8, 21)}));
    EXPECT_EQ(tracker.Last(), M(8, 21));

    // A start goes on from the minute a former run recorded, or from now without one.
    EXPECT_EQ(TMinuteTracker(M(7, 0)).Advance(At(8, 30, 5)), (TMinuteRange{M(7, 1), M(8, 30)}));
    EXPECT_EQ(TMinuteTracker().Advance(At(8, 30, 5)), (TMinuteRange{M(8, 30), M(8, 30)}));
    EXPECT_EQ(TMinuteTracker(M(9, 0)).Advance(At(8, 30, 5)), (TMinuteRange{M(8, 30), M(8, 30)}));
}

} // namespace
