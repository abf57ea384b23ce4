#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// Lists kept or sent as one text: the user's insert texts in the settings (delimiter ","), the
// cards of a peer list, the items of a file offer, the pending offers and the saved groups. An
// element that holds a blank, a control character,
// the quote or the delimiter is quoted with inner quotes doubled; the others are written as
// they are. Examples with "|": {} -> "", {""} -> "\"\"", {"a b", "c"} -> "\"a b\"|c".
QString JoinDelimited(const QStringList& items, QChar delimiter, QChar quote = QChar(u'"'));

// The reverse. An unquoted element also ends at a blank or control character, so a text
// joined without quoting splits at its blanks too: "x y|z" -> {"x", "y", "z"}. A trailing
// delimiter adds one empty element ("a|" -> {"a", ""}); a NUL ends the text.
QStringList SplitDelimited(const QString& text, QChar delimiter, QChar quote = QChar(u'"'));
