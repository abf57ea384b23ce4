#pragma once

#include <QString>

// The two ways settings names are compared.
//
// Section names (and any key of a case-insensitive hash table) compare like the user locale's
// case-insensitive comparison. We fold every UTF-16 code unit on its own, so lengths never
// change: "ß" stays one unit and never equals "SS", while "ſ" (long s) equals "s" and the
// Kelvin sign equals "k".
//
// Names inside a section compare with only A-Z folded onto a-z: "É" and "é" are two names.

// True when a and b have the same length and every unit of one folds onto the unit of the other.
bool SameTextFolded(const QString& a, const QString& b);
// The form a case-insensitive key is hashed in: every unit folded, then upper-cased, so keys that
// SameTextFolded calls equal hash alike. For ASCII keys this is the plain upper-case form:
// "Config" becomes "CONFIG".
QString HashFormOf(const QString& key);
// True when a and b are equal with only the ASCII letters compared ignoring case.
bool SameTextAscii(const QString& a, const QString& b);

// Index forms: two names compare equal exactly when their forms are equal, so the forms can key
// a hash (QHash, QSet) where a lookup must not walk every name.
// SameTextFolded(a, b) == (FoldedFormOf(a) == FoldedFormOf(b)).
QString FoldedFormOf(const QString& key);
// SameTextAscii(a, b) == (AsciiLowerFormOf(a) == AsciiLowerFormOf(b)); a name without A-Z comes
// back as the same shared string.
QString AsciiLowerFormOf(const QString& key);
