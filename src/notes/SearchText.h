#pragma once

#include <QString>

// Option bits of a text search, as the find dialogs set them.
enum TSearchOption : int
{
    soDown = 1,      // search towards the end of the text
    soMatchCase = 2, // compare letters exactly
};

// Searches text for findText next to the current selection (selStart 0-based, selLength units).
// Downwards the search begins right behind the selection; upwards the match must end at or
// before the selection's start. The search never wraps around the ends of the text.
// Returns the 1-based position where the match starts, or 0 when there is none.
// Without soMatchCase both texts are upper-cased unit by unit first (see UpperCaseUnits).
int SearchText(const QString& text, int selStart, int selLength, int options, const QString& findText);

// Upper-cases every UTF-16 unit on its own, so the length never changes: "ß" stays "ß" and
// "ä" becomes "Ä" (QString::toUpper would turn "ß" into "SS" and shift every later position).
QString UpperCaseUnits(const QString& text);

// True when a and b are equal, unit by unit, or equal after UpperCaseUnits unless matchCase.
bool SameSearchText(const QString& a, const QString& b, bool matchCase);

// text with every occurrence of findText replaced by replacement, scanning left to right and
// continuing behind each replaced occurrence, so occurrences never overlap ("aa" in "aaaa"
// gives two). Occurrences are found as by SearchText. An empty findText changes nothing.
QString ReplaceAllText(const QString& text, const QString& findText, const QString& replacement,
                       bool matchCase);
