#include "messenger/PeerGroups.h"

#include "messenger/codec/DelimitedText.h"

using namespace Qt::StringLiterals;

int ComparePeerTexts(const QString& a, const QString& b)
{
    return QStringView(a).compare(QStringView(b), Qt::CaseSensitive);
}

QString GroupItemName(const QString& item)
{
    const qsizetype sign = item.indexOf(u'=');
    return sign < 0 ? item : item.left(sign);
}

QString GroupItemValue(const QString& item)
{
    const qsizetype sign = item.indexOf(u'=');
    return sign < 0 ? QString() : item.mid(sign + 1);
}

QStringList GroupMembers(const QString& value)
{
    if (value.isEmpty())
        return {};
    return SplitDelimited(value, u'_');
}

QString JoinGroupMembers(const QStringList& names)
{
    return names.join(u'_');
}

QStringList ReadGroupItems(const QString& userGroup)
{
    if (userGroup.isEmpty())
        return {};
    return SplitDelimited(userGroup, u'|');
}

QString WriteGroupItems(const QStringList& items)
{
    return JoinDelimited(items, u'|');
}

QString ProposedGroupName(int count)
{
    return u"分组"_s + QString::number(count + 1);
}
