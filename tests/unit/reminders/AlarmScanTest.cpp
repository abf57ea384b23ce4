#include "reminders/AlarmScan.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QDateTime At(int h, int m, int s = 0, int day = 1)
{
    return QDateTime(QDate(2009, 5, day), QTime(h, m, s));
}

bool Fires(const QString& line, const QString& minute)
{
    return FindDueLine({line}, {minute}) == 0;
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
                              u"d @2009-05-01 08:30"_s};
    EXPECT_EQ(FindDueLine(page, {minute}), 2);
    EXPECT_EQ(FindDueLine(page, {minute}, {2}), 3);
    EXPECT_EQ(FindDueLine(page, {minute, u"2009-05-01 08:29"_s}), 0);
    EXPECT_EQ(FindDueLine(page, {u"2009-05-01 08:31"_s}), -1);
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

TEST(MinuteTracker, EveryMinuteOnceAcrossJitterAndSteps)
{
    TMinuteTracker tracker;
    QStringList scanned;
    QDateTime now = At(8, 0, 58);
    // Ticks every 4 s, give or take a second, for ten minutes, and once a stalled loop of 70 s.
    for (int i = 0; now < At(8, 11); ++i) {
        scanned += tracker.Advance(now);
        now = now.addMSecs(i == 40 ? 70000 : 4000 + (i % 3 - 1) * 1000);
    }
    QStringList expected;
    for (int m = 0; m <= 10; ++m)
        expected.append(MinuteText(At(8, m)));
    EXPECT_EQ(scanned, expected);

    // A time correction two minutes back scans nothing until the clock passes 08:10 again.
    EXPECT_TRUE(tracker.Advance(At(8, 8, 30)).isEmpty());
    EXPECT_TRUE(tracker.Advance(At(8, 10, 30)).isEmpty());
    EXPECT_EQ(tracker.Advance(At(8, 11, 1)), QStringList{u"2009-05-01 08:11"_s});
    // A jump of a few minutes forward catches up the minutes stepped over.
    EXPECT_EQ(tracker.Advance(At(8, 14, 1)),
              (QStringList{u"2009-05-01 08:12"_s, u"2009-05-01 08:13"_s, u"2009-05-01 08:14"_s}));
    // A clock set an hour ahead, or a day back, goes on from its new minute only.
    EXPECT_EQ(tracker.Advance(At(9, 30)), QStringList{u"2009-05-01 09:30"_s});
    EXPECT_EQ(tracker.Advance(At(9, 30, 1, 2).addDays(-2)), QStringList{u"2009-04-30 09:30"_s});
    EXPECT_EQ(tracker.Advance(At(9, 31, 0, 1).addDays(-1)), QStringList{u"2009-04-30 09:31"_s});
}

} // namespace
