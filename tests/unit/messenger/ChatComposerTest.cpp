// The send command's composition, the group rules and the chat log files.
#include "messenger/ChatComposer.h"
#include "core/PubUtils.h"
#include "core/TextFile.h"
#include "messenger/ChatLog.h"
#include "messenger/PeerGroups.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString kStamp = u"(2026-12-09 10:00:00) "_s;

QList<TChatPeer> ThreePeers()
{
    return {{u"张三"_s, u"10.0.0.3"_s, false, true},
            {u"Li"_s, u"10.0.0.4"_s, false, true},
            {u"远方"_s, u"198.51.100.7:40001"_s, true, true}};
}

QStringList Texts(const TChatPlan& plan, const QString& host)
{
    QStringList texts;
    for (const TChatDatagram& d : plan.Datagrams)
        if (d.Host == host && d.Kind == TChatDatagram::dkText)
            texts << d.Text;
    return texts;
}

} // namespace

TEST(ChatComposer, EveryoneOrTheCheckedNamesAreSpokenTo)
{
    QList<TChatPeer> peers = ThreePeers();
    const TChatInput input{u"hi"_s, {u"hi"_s}};
    TChatPlan all = ComposeChat(peers, kStamp, u"Me"_s, input, {});
    EXPECT_EQ(all.TargetText, u"大家"_s);
    EXPECT_EQ(Texts(all, u"10.0.0.3"_s), QStringList({kStamp + u"Me 对 大家 说："_s, u"  hi\r\n"_s}));
    EXPECT_EQ(all.OwnLines, QStringList({kStamp + u"你对 大家 说："_s, u"  hi\r\n"_s}));

    peers[1].Checked = false;
    TChatPlan some = ComposeChat(peers, kStamp, u"Me"_s, input, {});
    EXPECT_EQ(some.TargetText, u"张三、远方"_s);
    EXPECT_EQ(Texts(some, u"10.0.0.3"_s).value(0), kStamp + u"Me 对 张三 说："_s);
    EXPECT_TRUE(Texts(some, u"10.0.0.4"_s).isEmpty());
    // The peer behind the relay server is written to at its public endpoint.
    ASSERT_EQ(Texts(some, u"198.51.100.7"_s).size(), 2);
    EXPECT_EQ(some.Datagrams.at(2).Port, 40001);
    EXPECT_EQ(some.OwnLines.value(0), kStamp + u"你对 张三、远方 说："_s);
}

TEST(ChatComposer, AThreeLineMessageIsAHeaderAndThreeLines)
{
    const QList<TChatPeer> peers{{u"B"_s, u"10.0.0.3"_s, false, true}};
    const TChatInput input{u"one\ntwo\nthree"_s, {u"one"_s, u"two"_s, u"three"_s}};
    const TChatPlan plan = ComposeChat(peers, kStamp, u"A"_s, input, {});
    EXPECT_EQ(Texts(plan, u"10.0.0.3"_s),
              QStringList({kStamp + u"A 对 大家 说："_s, u"  one"_s, u"two"_s, u"three\r\n"_s}));
    EXPECT_EQ(plan.Datagrams.size(), 4);
    EXPECT_EQ(plan.Datagrams.at(0).Port, 3574);
    EXPECT_TRUE(plan.ClearInput);
}

TEST(ChatComposer, OffersGoToLocalPeersOnlyAndBlanksSendNoText)
{
    QList<TChatPeer> peers = ThreePeers();
    peers[1].Checked = false;
    const QStringList offers{u"File=/home/a/x.txt"_s, u"Dir=C:\\work\\docs"_s};
    const TChatPlan plan = ComposeChat(peers, kStamp, u"Me"_s, {u"  \n\t "_s, {u"  "_s, u"\t "_s}}, offers);
    ASSERT_EQ(plan.Datagrams.size(), 3);
    EXPECT_EQ(plan.Datagrams.at(0).Text, kStamp + u"Me 发给 张三 文件(夹):"_s);
    EXPECT_EQ(plan.Datagrams.at(1).Text, u"  x.txt|docs\r\n"_s);
    EXPECT_EQ(plan.Datagrams.at(2).Kind, TChatDatagram::dkFileOffer);
    EXPECT_EQ(plan.Datagrams.at(2).Items, offers);
    EXPECT_EQ(plan.ExtranetCount, 1);
    EXPECT_FALSE(plan.ClearInput);
    EXPECT_TRUE(plan.ClearOffers);
    EXPECT_EQ(plan.OwnLines,
              QStringList({kStamp + u"你发给 张三、远方 文件(夹):"_s, u"  x.txt|docs\r\n"_s,
                           u"其中有1个外网好友因为目前不支持远程文件传送而不能收到这些文件(夹)\r\n"_s}));
}

TEST(ChatComposer, NobodyCheckedSendsNothing)
{
    QList<TChatPeer> peers = ThreePeers();
    for (TChatPeer& p : peers)
        p.Checked = false;
    const TChatPlan plan = ComposeChat(peers, kStamp, u"Me"_s, {u"hi"_s, {u"hi"_s}}, {u"File=/a"_s});
    EXPECT_TRUE(plan.NoTarget);
    EXPECT_TRUE(plan.Datagrams.isEmpty());
    EXPECT_FALSE(plan.ClearInput || plan.ClearOffers);
    EXPECT_TRUE(ComposeChat({}, kStamp, u"Me"_s, {u"hi"_s, {u"hi"_s}}, {}).NoTarget);
}

TEST(PeerGroups, OrderingCaseAndGroupItems)
{
    EXPECT_LT(ComparePeerTexts(u"Bob"_s, u"alice"_s), 0); // upper-case letters first
    EXPECT_GT(ComparePeerTexts(u"张"_s, u"z"_s), 0);
    EXPECT_EQ(LowerAsciiLetters(u"ÄbC张"_s), u"Äbc张"_s);
    EXPECT_EQ(TrimBlanksAndControls(u"\t a b \r\n"_s), u"a b"_s);

    // Members are joined without quoting: a blank or "_" in a name splits it.
    EXPECT_EQ(GroupMembers(GroupItemValue(u"g=Li Lei_Han_Mei_x"_s)),
              QStringList({u"Li"_s, u"Lei"_s, u"Han"_s, u"Mei"_s, u"x"_s}));
    const QStringList items{u"my team=a_b"_s, u"x|y=c"_s, u"分组3=d"_s};
    const QString stored = WriteGroupItems(items);
    EXPECT_EQ(stored, u"\"my team=a_b\"|\"x|y=c\"|分组3=d"_s);
    EXPECT_EQ(ReadGroupItems(stored), items);
    EXPECT_EQ(GroupItemName(ReadGroupItems(stored).at(1)), u"x|y"_s);
    EXPECT_TRUE(ReadGroupItems(QString()).isEmpty());
    EXPECT_EQ(ProposedGroupName(0), u"分组1"_s);
}

TEST(ChatLog, WritesUtf16WithBackupOnlyWhenAsked)
{
    QTemporaryDir dir;
    const TChatLog log(dir.path() + u'/');
    EXPECT_FALSE(log.Exists());
    log.Save({u"一"_s, QString()}, true);
    EXPECT_EQ(ReadFileBytes(log.FileName()), EncodeText(u"一\r\n\r\n"_s, TTextEncoding::Utf16LE));
    EXPECT_EQ(ReadFileBytes(log.BackupFileName()), ReadFileBytes(log.FileName()));
    log.Save({u"二"_s}, false);
    EXPECT_EQ(log.Load(), QStringList({u"二"_s}));
    EXPECT_EQ(ReadTextFileLines(log.BackupFileName()), QStringList({u"一"_s, QString()}));
    // An empty view leaves the backup alone.
    log.Save({}, true);
    EXPECT_EQ(ReadTextFileLines(log.BackupFileName()), QStringList({u"一"_s, QString()}));
    EXPECT_TRUE(log.Load().isEmpty());
}
