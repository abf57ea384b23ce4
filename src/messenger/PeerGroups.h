#pragma once

#include <QList>
#include <QPair>
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
// A member as a group keeps it: the name and, for a card of twelve hex digits, "@" and the card, so that
// of two peers with one name the group checks the one it was made with.
QString GroupMemberText(const QString& name, const QString& card);
// The name and card of a member text; a member saved without a card gives an empty card.
void SplitGroupMember(const QString& member, QString& name, QString& card);
// The row a member stands for among rows of (name, card): the row with its name (letter case
// ignored) and card; for a member without a card, or whose card is no longer listed, the one
// row with its name, and none when several share it. -1 when none.
int FindGroupMember(const QString& member, const QList<QPair<QString, QString>>& rows);

// The saved groups (the UserGroup setting) as items and back: delimited text with "|".
QStringList ReadGroupItems(const QString& userGroup);
QString WriteGroupItems(const QStringList& items);

// The name proposed for a new group when count groups exist: "分组1" for the first.
QString ProposedGroupName(int count);
