#include "messenger/ChatComposer.h"

#include "core/DelimitedText.h"
#include "core/PubUtils.h"
#include "messenger/PeerGroups.h"
#include "messenger/codec/MessagerCodec.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

const QString kEveryone = u"大家"_s;
const QString kCrLf = u"\r\n"_s;

} // namespace

QString OfferedName(const QString& item)
{
    const QString value = GroupItemValue(item);
    const qsizetype cut = std::max(value.lastIndexOf(u'/'), value.lastIndexOf(u'\\'));
    return value.mid(cut + 1);
}

TChatPlan ComposeChat(const QList<TChatPeer>& peers, const QString& timestamp, const QString& userName,
                      const TChatInput& input, const QStringList& offers)
{
    TChatPlan plan;
    QHash<QString, int> sharing;
    for (const TChatPeer& peer : peers)
        ++sharing[peer.Name];
    QStringList checkedNames;
    bool everyoneChecked = true;
    for (const TChatPeer& peer : peers) {
        // A name that several peers share is told apart by the address.
        if (peer.Checked)
            checkedNames << (sharing.value(peer.Name) > 1 ? peer.Name + u'(' + peer.Address + u')'
                                                          : peer.Name);
        else
            everyoneChecked = false;
    }
    plan.TargetText = everyoneChecked ? kEveryone : checkedNames.join(u"、"_s);

    // A line break inside a line (Shift+Enter, or pasted) travels as CR LF, as peers expect.
    const QString message = TrimBlanksAndControls(input.Text);
    const QString wholeText = QString(input.Text).replace(QChar::LineSeparator, kCrLf);
    QStringList names;
    for (const QString& item : offers)
        names << OfferedName(item);
    const QString offeredNames = names.join(u'|');

    bool anyChecked = false;
    for (const TChatPeer& peer : peers) {
        if (!peer.Checked)
            continue;
        anyChecked = true;
        const QString label = everyoneChecked ? kEveryone : peer.Name;
        QString host = peer.Address;
        quint16 port = MessagerPort;
        if (peer.Extranet) {
            TPeerEndpoint endpoint;
            if (SplitEndpoint(peer.Address, endpoint)) {
                host = endpoint.Address;
                port = quint16(endpoint.Port);
            }
        }
        if (!message.isEmpty()) {
            plan.Datagrams.append({TChatDatagram::dkText,
                                   host,
                                   port,
                                   timestamp + userName + u" 对 "_s + label + u" 说："_s,
                                   {}});
            const QStringList& lines = input.Lines;
            for (qsizetype i = 0; i < lines.size(); ++i) {
                QString line = lines.at(i);
                line.replace(QChar::LineSeparator, kCrLf);
                if (i == 0)
                    line.prepend(u"  "_s);
                if (i == lines.size() - 1)
                    line.append(kCrLf);
                plan.Datagrams.append({TChatDatagram::dkText, host, port, line, {}});
            }
        }
        if (!offers.isEmpty()) {
            if (peer.Extranet) {
                ++plan.ExtranetCount;
            } else {
                plan.Datagrams.append({TChatDatagram::dkText,
                                       peer.Address,
                                       MessagerPort,
                                       timestamp + userName + u" 发给 "_s + label + u" 文件(夹):"_s,
                                       {}});
                plan.Datagrams.append(
                    {TChatDatagram::dkText, peer.Address, MessagerPort, u"  "_s + offeredNames + kCrLf, {}});
                plan.Datagrams.append({TChatDatagram::dkFileOffer, peer.Address, MessagerPort, {}, offers});
            }
        }
    }
    if (!anyChecked) {
        plan.NoTarget = true;
        plan.Datagrams.clear();
        return plan;
    }
    if (!message.isEmpty()) {
        plan.OwnLines << timestamp + u"你对 "_s + plan.TargetText + u" 说："_s;
        plan.OwnLines << u"  "_s + wholeText + kCrLf;
        plan.ClearInput = true;
    }
    if (!offers.isEmpty()) {
        plan.OwnLines << timestamp + u"你发给 "_s + plan.TargetText + u" 文件(夹):"_s;
        plan.OwnLines << u"  "_s + offeredNames + kCrLf;
        if (plan.ExtranetCount > 0)
            plan.OwnLines << u"其中有"_s + QString::number(plan.ExtranetCount) + u"个外网"_s +
                                 u"好友因为目前不支持远程文件传送而不能收到这些文件(夹)"_s + kCrLf;
        plan.ClearOffers = true;
    }
    return plan;
}
