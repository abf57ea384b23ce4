#pragma once

#include <functional>
#include <string>
#include <vector>

// One row of the desktop text as it is drawn: a whole line, a piece of a long line, or a
// separator rule.
struct TDeskRow
{
    std::u32string text;
    bool separator = false;
};

// Breaks the lines into rows that fit: a line wider than maxWidth goes on over as many rows as
// it needs (after the last blank that fits, else after the last character that fits); when the
// rows are more than maxRows, the last row shown ends in "…", so that the user sees that more
// follows. A line "-" is a separator. measure gives the width of a text in pixels.
std::vector<TDeskRow> LayOutDeskRows(const std::vector<std::u32string>& lines,
                                     const std::function<int(const std::u32string&)>& measure, int maxWidth,
                                     int maxRows);

// The ellipsis that ends a row cut short.
inline constexpr char32_t kDeskEllipsis = U'\u2026';
