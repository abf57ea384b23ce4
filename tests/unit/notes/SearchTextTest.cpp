#include "notes/SearchText.h"

#include <gtest/gtest.h>

#include <QList>
#include <QString>

#include <cctype>

using namespace Qt::StringLiterals;

namespace {

struct TSearchCase
{
    const char* name;
    QString text;
    int selStart;
    int selLength;
    int options;
    QString findText;
    int expected;
};

void PrintTo(const TSearchCase& c, std::ostream* os)
{
    *os << c.name;
}

class SearchTextTable : public ::testing::TestWithParam<TSearchCase>
{
};

TEST_P(SearchTextTable, FindsTheExpectedPosition)
{
    const TSearchCase& c = GetParam();
    EXPECT_EQ(SearchText(c.text, c.selStart, c.selLength, c.options, c.findText), c.expected);
}

const int Down = soDown;
const int Up = 0;
const int DownCase = soDown | soMatchCase;
const int UpCase = soMatchCase;

INSTANTIATE_TEST_SUITE_P(
    Cases, SearchTextTable,
    ::testing::Values(
        // Downwards the search begins right behind the selection.
        TSearchCase{"down from caret", u"abcabc"_s, 0, 0, Down, u"bc"_s, 2},
        TSearchCase{"down behind first match", u"abcabc"_s, 1, 2, Down, u"bc"_s, 5},
        TSearchCase{"down behind last match", u"abcabc"_s, 4, 2, Down, u"bc"_s, 0},
        TSearchCase{"down match at start", u"abc"_s, 0, 0, Down, u"ab"_s, 1},
        TSearchCase{"down match at very end", u"xxabc"_s, 0, 0, Down, u"bc"_s, 4},
        TSearchCase{"down skips the selection itself", u"aaa"_s, 0, 1, Down, u"a"_s, 2},
        TSearchCase{"down match may not start inside selection", u"aaaa"_s, 0, 2, Down, u"aa"_s, 3},
        TSearchCase{"down caret at end", u"abc"_s, 3, 0, Down, u"c"_s, 0},
        TSearchCase{"down needle longer than rest", u"abcabc"_s, 4, 0, Down, u"abc"_s, 0},
        TSearchCase{"down needle longer than text", u"ab"_s, 0, 0, Down, u"abc"_s, 0},
        TSearchCase{"down selection beyond the text", u"abc"_s, 2, 5, Down, u"c"_s, 0},
        // Upwards the match must end at or before the selection's start.
        TSearchCase{"up from end", u"abcabc"_s, 6, 0, Up, u"abc"_s, 4},
        TSearchCase{"up from previous match", u"abcabc"_s, 3, 3, Up, u"abc"_s, 1},
        TSearchCase{"up from first match", u"abcabc"_s, 0, 3, Up, u"abc"_s, 0},
        TSearchCase{"up match ending at caret", u"xabc"_s, 4, 0, Up, u"bc"_s, 3},
        TSearchCase{"up match may not reach into selection", u"abcab"_s, 4, 1, Up, u"ab"_s, 1},
        TSearchCase{"up caret too close to start", u"abcabc"_s, 2, 0, Up, u"abc"_s, 0},
        TSearchCase{"up caret exactly one needle in", u"abcabc"_s, 3, 0, Up, u"abc"_s, 1},
        TSearchCase{"up caret at start", u"abc"_s, 0, 0, Up, u"a"_s, 0},
        TSearchCase{"up selection start beyond the text", u"ab"_s, 3, 0, Up, u"ab"_s, 1},
        // Letter case.
        TSearchCase{"ignore case", u"xabcx"_s, 0, 0, Down, u"ABC"_s, 2},
        TSearchCase{"match case", u"xabcx"_s, 0, 0, DownCase, u"ABC"_s, 0},
        TSearchCase{"match case exact", u"xABCabc"_s, 0, 0, DownCase, u"abc"_s, 5},
        TSearchCase{"match case upwards", u"abcABC"_s, 6, 0, UpCase, u"abc"_s, 1},
        TSearchCase{"ignore case upwards", u"abcABC"_s, 6, 0, Up, u"abc"_s, 4},
        TSearchCase{"umlaut folded", u"der Bär"_s, 0, 0, Down, u"BÄR"_s, 5},
        TSearchCase{"umlaut exact with match case", u"der Bär"_s, 0, 0, DownCase, u"BÄR"_s, 0},
        // Per-unit folding keeps every length: ß stays one unit and only matches ß.
        TSearchCase{"sharp s matches itself", u"Straße"_s, 0, 0, Down, u"STRAßE"_s, 1},
        TSearchCase{"sharp s is not SS", u"Straße"_s, 0, 0, Down, u"STRASSE"_s, 0},
        TSearchCase{"positions behind sharp s", u"ßx ßx"_s, 0, 0, Down, u"X"_s, 2},
        TSearchCase{"second match behind sharp s", u"ßx ßx"_s, 1, 1, Down, u"X"_s, 5},
        TSearchCase{"surrogate pair", u"a😀b😀"_s, 2, 0, Down, u"😀"_s, 5},
        TSearchCase{"Chinese", u"找不到内容，内容"_s, 0, 0, Down, u"内容"_s, 4},
        // Nothing to search.
        TSearchCase{"empty needle", u"abc"_s, 0, 0, Down, QString(), 0},
        TSearchCase{"empty needle upwards", u"abc"_s, 3, 0, Up, QString(), 0},
        TSearchCase{"empty text", QString(), 0, 0, Down, u"a"_s, 0},
        TSearchCase{"negative selection start", u"abc"_s, -5, 0, Up, u"a"_s, 0}),
    [](const ::testing::TestParamInfo<TSearchCase>& item) {
        std::string name = item.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

// Repeated searches move through the matches and stop at the ends: there is no wrap-around.
TEST(SearchText, WalksThroughMatchesWithoutWrapping)
{
    const QString text = u"one Two ONE two one"_s;
    QList<int> downward;
    int start = 0;
    int length = 0;
    for (int pos; (pos = SearchText(text, start, length, soDown, u"one"_s)) > 0;) {
        downward.append(pos);
        start = pos - 1;
        length = 3;
    }
    EXPECT_EQ(downward, (QList<int>{1, 9, 17}));

    QList<int> upward;
    start = int(text.size());
    length = 0;
    for (int pos; (pos = SearchText(text, start, length, 0, u"two"_s)) > 0;) {
        upward.append(pos);
        start = pos - 1;
        length = 3;
    }
    EXPECT_EQ(upward, (QList<int>{13, 5}));
}

TEST(SearchText, UpperCaseUnitsKeepsLength)
{
    const QString text = u"straße äöü ﬁ ǆ 😀 abc"_s;
    const QString upper = UpperCaseUnits(text);
    EXPECT_EQ(upper.size(), text.size());
    EXPECT_EQ(upper, u"STRAßE ÄÖÜ ﬁ Ǆ 😀 ABC"_s);
    EXPECT_TRUE(SameSearchText(u"Abc"_s, u"aBC"_s, false));
    EXPECT_FALSE(SameSearchText(u"Abc"_s, u"aBC"_s, true));
    EXPECT_FALSE(SameSearchText(u"ß"_s, u"SS"_s, false));
    EXPECT_FALSE(SameSearchText(u"ab"_s, u"abc"_s, false));
}

TEST(ReplaceAllText, ReplacesLeftToRightWithoutOverlap)
{
    EXPECT_EQ(ReplaceAllText(u"banana"_s, u"a"_s, u"b"_s, false), u"bbnbnb"_s);
    EXPECT_EQ(ReplaceAllText(u"aaaa"_s, u"aa"_s, u"x"_s, false), u"xx"_s);
    EXPECT_EQ(ReplaceAllText(u"aaa"_s, u"aa"_s, u"x"_s, false), u"xa"_s);
    // The replacement is never searched again.
    EXPECT_EQ(ReplaceAllText(u"aa"_s, u"a"_s, u"aa"_s, false), u"aaaa"_s);
    EXPECT_EQ(ReplaceAllText(u"abc"_s, u"b"_s, QString(), false), u"ac"_s);
}

TEST(ReplaceAllText, FollowsMatchCase)
{
    EXPECT_EQ(ReplaceAllText(u"Abc aBC abc"_s, u"abc"_s, u"x"_s, false), u"x x x"_s);
    EXPECT_EQ(ReplaceAllText(u"Abc aBC abc"_s, u"abc"_s, u"x"_s, true), u"Abc aBC x"_s);
    EXPECT_EQ(ReplaceAllText(u"Grüße GRÜßE grüsse"_s, u"grüße"_s, u"-"_s, false), u"- - grüsse"_s);
}

TEST(ReplaceAllText, ChangesNothingWithoutAMatch)
{
    EXPECT_EQ(ReplaceAllText(u"abc"_s, QString(), u"x"_s, false), u"abc"_s);
    EXPECT_EQ(ReplaceAllText(u"abc"_s, u"abcd"_s, u"x"_s, false), u"abc"_s);
    EXPECT_EQ(ReplaceAllText(QString(), u"a"_s, u"x"_s, false), QString());
    EXPECT_EQ(ReplaceAllText(u"abc"_s, u"B"_s, u"x"_s, true), u"abc"_s);
}

} // namespace
