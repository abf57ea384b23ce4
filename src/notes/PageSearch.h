#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Matching for the search over all pages. Texts are compared in a folded form that keeps every
// position: each UTF-16 unit becomes one unit, so a match found in the folded text is at the
// same place in the text itself.
namespace PageSearch {

// Latin (and other cased) letters lose their case; full-width Latin letters and digits become
// their half-width forms. Chinese characters and everything else stay exactly as they are.
QString Fold(QStringView text);
// The same; a text that folds to itself is returned as it is, sharing its data.
QString Fold(const QString& text);

// The words of a query, folded, without repeats: a query's words are separated by blanks
// (the full-width blank included). No words: the query finds nothing.
QStringList Words(QStringView query);

} // namespace PageSearch

// One occurrence of a query word on a page: in its title or in its text, at start (in units of
// the title or of the text with one LF per line break), length units long. line is the 1-based
// line of the text; 0 for the title.
struct TPageMatch
{
    bool inTitle = false;
    int start = 0;
    int length = 0;
    int line = 0;

    bool operator==(const TPageMatch&) const = default;
};

// Every occurrence of every word in a page's folded title and text, title first, then by
// position (a word's occurrences do not overlap each other), or nothing unless each word occurs
// somewhere on the page: one word in the title and another in the text is a match.
QList<TPageMatch> MatchPage(const QStringList& words, QStringView foldedTitle, QStringView foldedText);
