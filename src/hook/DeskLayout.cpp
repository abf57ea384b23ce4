// Rows of the desktop text: long lines wrapped, the rows beyond the screen's bottom cut off
// with a visible sign.
#include "hook/DeskLayout.h"

#include <algorithm>

namespace {

bool isBlank(char32_t c)
{
    return c == U' ' || c == U'\u3000';
}

// The longest prefix of text (at least one character) whose width is at most maxWidth.
size_t fittingLength(const std::u32string& text, const std::function<int(const std::u32string&)>& measure,
                     int maxWidth)
{
    size_t low = 1, high = text.size();
    while (low < high) {
        const size_t middle = (low + high + 1) / 2;
        if (measure(text.substr(0, middle)) <= maxWidth)
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

void wrapLine(std::u32string text, const std::function<int(const std::u32string&)>& measure, int maxWidth,
              std::vector<TDeskRow>& rows)
{
    while (!text.empty() && measure(text) > maxWidth) {
        size_t cut = fittingLength(text, measure, maxWidth);
        // A break at a blank keeps words whole; the blank itself is dropped.
        size_t blank = cut;
        while (blank > 0 && !isBlank(text[blank]))
            --blank;
        size_t next = cut;
        if (blank > 0 && blank < text.size() && isBlank(text[blank])) {
            cut = blank;
            next = blank + 1;
        }
        rows.push_back({text.substr(0, cut), false});
        text.erase(0, next);
        while (!text.empty() && isBlank(text.front()))
            text.erase(0, 1);
    }
    if (!text.empty())
        rows.push_back({std::move(text), false});
}

} // namespace

std::vector<TDeskRow> LayOutDeskRows(const std::vector<std::u32string>& lines,
                                     const std::function<int(const std::u32string&)>& measure, int maxWidth,
                                     int maxRows)
{
    maxRows = std::max(1, maxRows);
    std::vector<TDeskRow> rows;
    for (const std::u32string& line : lines) {
        if (int(rows.size()) > maxRows)
            break; // enough to know that the rest is cut off
        if (line == U"-")
            rows.push_back({{}, true});
        else if (line.empty())
            rows.push_back({{}, false});
        else
            wrapLine(line, measure, std::max(1, maxWidth), rows);
    }
    if (int(rows.size()) <= maxRows)
        return rows;
    rows.resize(size_t(maxRows));
    TDeskRow& last = rows.back();
    last.separator = false;
    std::u32string text = last.text;
    while (!text.empty() && measure(text + kDeskEllipsis) > maxWidth)
        text.pop_back();
    last.text = text + kDeskEllipsis;
    return rows;
}
