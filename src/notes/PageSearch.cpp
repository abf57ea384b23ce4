#include "notes/PageSearch.h"

#include <algorithm>

namespace {

constexpr char16_t kFullWidthFirst = 0xFF01;
constexpr char16_t kFullWidthLast = 0xFF5E;
constexpr char16_t kFullWidthOffset = 0xFEE0;

char16_t FoldAscii(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? char16_t(unit + 32) : unit;
}

bool IsAsciiLetterOrDigit(char16_t unit)
{
    return (unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

char16_t FoldUnit(char16_t unit)
{
    if (unit < 0x80)
        return FoldAscii(unit);
    if (unit >= kFullWidthFirst && unit <= kFullWidthLast) {
        const auto half = char16_t(unit - kFullWidthOffset);
        return IsAsciiLetterOrDigit(half) ? FoldAscii(half) : unit;
    }
    // Chinese characters have no case; a surrogate is half a character and is kept.
    if ((unit >= 0x3400 && unit <= 0x9FFF) || QChar::isSurrogate(unit))
        return unit;
    const char32_t folded = QChar::toCaseFolded(char32_t(unit));
    return folded <= 0xFFFF && !QChar::isSurrogate(folded) ? char16_t(folded) : unit;
}

} // namespace

namespace PageSearch {

namespace {

// The folded form of text, whose first i units fold to themselves.
QString FoldFrom(QStringView text, qsizetype i)
{
    QString folded(text.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(folded.data());
    const char16_t* in = text.utf16();
    std::copy(in, in + i, out);
    for (; i < text.size(); ++i)
        out[i] = FoldUnit(in[i]);
    return folded;
}

// The first unit that folding changes, or the length of text.
qsizetype FirstChange(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && FoldUnit(text[i].unicode()) == text[i].unicode())
        ++i;
    return i;
}

} // namespace

QString Fold(QStringView text)
{
    const qsizetype first = FirstChange(text);
    return first == text.size() ? text.toString() : FoldFrom(text, first);
}

QString Fold(const QString& text)
{
    const qsizetype first = FirstChange(text);
    return first == text.size() ? text : FoldFrom(text, first);
}

QStringList Words(QStringView query)
{
    // Every blank separates words: tabs and the full-width blank too.
    QStringList words;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= query.size(); ++i) {
        if (i < query.size() && !query[i].isSpace())
            continue;
        if (i > from) {
            QString word = Fold(query.sliced(from, i - from));
            if (!words.contains(word))
                words.append(std::move(word));
        }
        from = i + 1;
    }
    return words;
}

} // namespace PageSearch

namespace {

void CollectMatches(QStringView text, QStringView word, bool inTitle, QList<TPageMatch>& matches,
                    qsizetype first)
{
    for (qsizetype at = first; at >= 0; at = text.indexOf(word, at + word.size()))
        matches.append({inTitle, int(at), int(word.size()), 0});
}

} // namespace

QList<TPageMatch> MatchPage(const QStringList& words, QStringView foldedTitle, QStringView foldedText)
{
    if (words.isEmpty())
        return {};
    // Most pages lack some word: each word is looked for once before any match is collected.
    QList<qsizetype> firstInTitle(words.size());
    QList<qsizetype> firstInText(words.size());
    for (qsizetype w = 0; w < words.size(); ++w) {
        firstInText[w] = foldedText.indexOf(words[w]);
        firstInTitle[w] = foldedTitle.indexOf(words[w]);
        if (firstInText[w] < 0 && firstInTitle[w] < 0)
            return {};
    }
    QList<TPageMatch> titleMatches;
    QList<TPageMatch> textMatches;
    for (qsizetype w = 0; w < words.size(); ++w) {
        CollectMatches(foldedTitle, words[w], true, titleMatches, firstInTitle[w]);
        CollectMatches(foldedText, words[w], false, textMatches, firstInText[w]);
    }
    const auto byPlace = [](const TPageMatch& a, const TPageMatch& b) {
        return a.start != b.start ? a.start < b.start : a.length > b.length;
    };
    std::sort(titleMatches.begin(), titleMatches.end(), byPlace);
    std::sort(textMatches.begin(), textMatches.end(), byPlace);
    // Line numbers in one pass over the text.
    int line = 1;
    qsizetype counted = 0;
    for (TPageMatch& match : textMatches) {
        line += int(foldedText.sliced(counted, match.start - counted).count(u'\n'));
        counted = match.start;
        match.line = line;
    }
    return titleMatches + textMatches;
}
