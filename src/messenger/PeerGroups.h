#pragma once

#include <QString>
#include <QStringList>

// The rules of the peer list and of the saved groups, apart from any window.

// Ordinal comparison on UTF-16 code units: negative, zero or positive. "B" sorts before "a".
int ComparePeerTexts(const QString& a, const QString& b);

// A group item is "name=member_member": the name is the text before the first "=", the value
// the text after it (the whole item is the name when it has no "=").
QString GroupItemName(const QString& item);
QString GroupItemValue(const QString& item);
// The member names of a group value. Members are joined without quoting, so a name with a
// blank or "_" comes back as several names.
QStringList GroupMembers(const QString& value);
// The members joined as a group value: plain concatenation with "_".
QString JoinGroupMembers(const QStringList& names);

// The saved groups (the UserGroup setting) as items and back: delimited text with "|".
QStringList ReadGroupItems(const QString& userGroup);
QString WriteGroupItems(const QStringList& items);

// The name proposed for a new group when count groups exist: "分组1" for the first.
QString ProposedGroupName(int count);
