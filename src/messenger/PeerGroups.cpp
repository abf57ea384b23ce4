#include "messenger/PeerGroups.h"

#include "core/DelimitedText.h"
#include "messenger/codec/MessagerCodec.h"

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

namespace {

bool IsCard(const QString& text)
{
    bool hex = text.size() == CardCapacity;
    for (const QChar c : text)
        hex = hex && ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'));
    return hex;
}

} // namespace

QString GroupMemberText(const QString& name, const QString& card)
{
    return IsCard(card) ? name + u'@' + card : name;
}

void SplitGroupMember(const QString& member, QString& name, QString& card)
{
    const qsizetype at = member.lastIndexOf(u'@');
    const QString tail = at < 0 ? QString() : member.mid(at + 1);
    const bool withCard = at >= 0 && IsCard(tail);
    name = withCard ? member.left(at) : member;
    card = withCard ? tail : QString();
}

int FindGroupMember(const QString& member, const QList<QPair<QString, QString>>& rows)
{
    QString name;
    QString card;
    SplitGroupMember(member, name, card);
    int byName = -1;
    int sameName = 0;
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).first.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (!card.isEmpty() && rows.at(i).second == card)
            return i;
        if (byName < 0)
            byName = i;
        ++sameName;
    }
    return sameName == 1 ? byName : -1;
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
