#include "hook/DeskLayout.h"

#include <gtest/gtest.h>

namespace {

// Ten pixels a character, twenty for a wide (CJK) one.
int measure(const std::u32string& text)
{
    int width = 0;
    for (char32_t c : text)
        width += c >= 0x2E80 ? 20 : 10;
    return width;
}

std::vector<std::u32string> texts(const std::vector<TDeskRow>& rows)
{
    std::vector<std::u32string> out;
    for (const TDeskRow& row : rows)
        out.push_back(row.separator ? U"<rule>" : row.text);
    return out;
}

} // namespace

TEST(DeskLayout, LinesThatFitStayWholeAndSeparatorsAndEmptyLinesKeepTheirPlace)
{
    const auto rows = LayOutDeskRows({U"abc", U"-", U"", U"- not a rule"}, measure, 120, 10);
    EXPECT_EQ(texts(rows), (std::vector<std::u32string>{U"abc", U"<rule>", U"", U"- not a rule"}));
}

TEST(DeskLayout, AWideLineWrapsAtBlanksWhereItCanAndBetweenCharactersOtherwise)
{
    // 100 pixels: ten narrow characters or five wide ones per row.
    const auto words = LayOutDeskRows({U"one two three four"}, measure, 100, 10);
    EXPECT_EQ(texts(words), (std::vector<std::u32string>{U"one two", U"three four"}));
    const auto chinese = LayOutDeskRows({U"一二三四五六七八九十十一"}, measure, 100, 10);
    EXPECT_EQ(texts(chinese), (std::vector<std::u32string>{U"一二三四五", U"六七八九十", U"十一"}));
    const auto word = LayOutDeskRows({U"abcdefghijklmnopqrstuvwxyz"}, measure, 100, 10);
    EXPECT_EQ(texts(word), (std::vector<std::u32string>{U"abcdefghij", U"klmnopqrst", U"uvwxyz"}));
    // Narrower than one character: still one character a row, never a row without any.
    EXPECT_EQ(texts(LayOutDeskRows({U"ab"}, measure, 5, 10)), (std::vector<std::u32string>{U"a", U"b"}));
}

TEST(DeskLayout, RowsBeyondTheBottomAreCutAndTheLastShownRowEndsInAnEllipsis)
{
    const auto rows = LayOutDeskRows({U"first", U"second", U"third", U"fourth"}, measure, 100, 3);
    EXPECT_EQ(texts(rows), (std::vector<std::u32string>{U"first", U"second", U"third\u2026"}));
    // The ellipsis takes the place of the last characters when the row is full.
    const auto full = LayOutDeskRows({U"abcdefghijklmnopqrst"}, measure, 100, 1);
    EXPECT_EQ(texts(full), (std::vector<std::u32string>{U"abcdefghi\u2026"}));
    // A rule in the last place gives way to the ellipsis; exactly as many rows as fit are not cut.
    EXPECT_EQ(texts(LayOutDeskRows({U"a", U"-", U"b"}, measure, 100, 2)),
              (std::vector<std::u32string>{U"a", U"\u2026"}));
    EXPECT_EQ(texts(LayOutDeskRows({U"a", U"-", U"b"}, measure, 100, 3)),
              (std::vector<std::u32string>{U"a", U"<rule>", U"b"}));
}
