#include "MessagerConfigMgr.h"
#include "MessengerFakes.h"
#include "core/Clock.h"
#include "messenger/MessagerProtocol.h"
#include "messenger/codec/DelimitedText.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kBroadcast = u"255.255.255.255"_s;
const QString kRelay = u"192.0.2.1"_s;

// One copy of the messenger with everything around it in memory.
struct TCopy
{
    explicit TCopy(const QString& dir, const QString& name, const QString& card, const QString& ip)
    {
        system.Name = name;
        system.Card = card;
        socket.LocalAddress = ip;
        config = std::make_unique<TMessagerConfigMgr>(dir + u"/"_s + name + u".ini"_s, dir, system);
        protocol =
            std::make_unique<TMessagerProtocol>(*config, system, clock, socket, peers, conversation, offers);
    }

    TMessage Presence(TMessageKind kind, bool notify) const
    {
        return {kind, quint8(notify ? 1 : 0), config->UserName, system.Card, {}, {}, {}};
    }
    void Receive(const TMessage& message, const QString& from)
    {
        protocol->OnDatagram(EncodeMessage(message), from);
    }
    QList<TSentDatagram> TakeSent() { return std::exchange(socket.Sent, {}); }

    TFixedSystemInfo system;
    TTestClock clock{QDateTime(QDate(2026, 12, 9), QTime(8, 5, 3))};
    TRecordingSocket socket;
    TMemoryPeerList peers;
    TMemoryConversation conversation;
    TMemoryOffers offers;
    std::unique_ptr<TMessagerConfigMgr> config;
    std::unique_ptr<TMessagerProtocol> protocol;
};

class MessagerProtocolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        me = std::make_unique<TCopy>(dir.path(), u"Me"_s, u"0A0B0C0D0E0F"_s, u"10.0.0.2"_s);
    }
    TMessage Online(const QString& name, const QString& card, bool notify) const
    {
        return {mkOnline, quint8(notify ? 1 : 0), name, card, {}, {}, {}};
    }

    QTemporaryDir dir;
    std::unique_ptr<TCopy> me;
};

} // namespace

TEST_F(MessagerProtocolTest, StartAnnouncesRegistersAndShutdownSaysGoodbyeInOrder)
{
    me->config->ServerAddress = kRelay;
    ASSERT_TRUE(me->protocol->Start());
    EXPECT_EQ(me->socket.OpenPort, 3574);
    EXPECT_EQ(me->protocol->LocalIP(), u"10.0.0.2"_s);
    QList<TSentDatagram> sent = me->TakeSent();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].Host, kBroadcast);
    EXPECT_EQ(sent[0].Port, 3574);
    EXPECT_EQ(sent[0].Decoded(), me->Presence(mkOnline, true));
    EXPECT_EQ(sent[1].Host, kRelay);
    EXPECT_EQ(sent[1].Port, 5432);
    EXPECT_EQ(sent[1].Decoded(), me->Presence(mkOnline, false));

    // The relay accepts: registered, and the list is asked for at once.
    int accepted = 0;
    QObject::connect(me->protocol.get(), &TMessagerProtocol::RegistrationAccepted, [&] { ++accepted; });
    me->Receive({mkRegisterReply, 1, {}, {}, {}, {}, {}}, kRelay);
    EXPECT_TRUE(me->protocol->Registered());
    EXPECT_EQ(accepted, 1);
    sent = me->TakeSent();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].Kind(), mkListRequest);
    EXPECT_EQ(sent[0].Host, kRelay);

    me->protocol->KeepAlive();
    sent = me->TakeSent();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].Kind(), mkQuery);
    EXPECT_EQ(sent[0].Port, 5432);
    EXPECT_EQ(sent[0].Decoded().Card, u"0A0B0C0D0E0F"_s);

    me->protocol->Shutdown();
    sent = me->TakeSent();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].Host, kBroadcast);
    EXPECT_EQ(sent[0].Decoded(), me->Presence(mkOffline, true));
    EXPECT_EQ(sent[1].Host, kRelay);
    EXPECT_EQ(sent[1].Decoded(), me->Presence(mkOffline, false));
    EXPECT_FALSE(me->socket.IsOpen());
    EXPECT_FALSE(me->socket.OnReceived);
}

TEST_F(MessagerProtocolTest, WithoutRelayOrPortNothingReachesTheRelay)
{
    me->socket.CanOpen = false;
    EXPECT_FALSE(me->protocol->Start());
    EXPECT_TRUE(me->socket.Sent.isEmpty());

    me->socket.CanOpen = true;
    ASSERT_TRUE(me->protocol->Start());
    me->TakeSent();
    // No relay set: a stray register reply neither registers nor complains; the keep-alive is quiet.
    QStringList boxes;
    QObject::connect(me->protocol.get(), &TMessagerProtocol::MessageBoxRequested,
                     [&](const QString& text) { boxes.append(text); });
    me->Receive({mkRegisterReply, 1, {}, {}, {}, {}, {}}, u"10.0.0.9"_s);
    me->Receive({mkRegisterReply, 0, {}, {}, {}, {}, {}}, u"10.0.0.9"_s);
    me->protocol->KeepAlive();
    EXPECT_FALSE(me->protocol->Registered());
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_TRUE(me->socket.Sent.isEmpty());

    // Shutdown without registration: only the broadcast goodbye.
    me->protocol->Shutdown();
    ASSERT_EQ(me->socket.Sent.size(), 1);
    EXPECT_EQ(me->socket.Sent[0].Host, kBroadcast);
}

TEST_F(MessagerProtocolTest, RefusedRegistrationShowsDuplicateCardAndKeepsLocalSide)
{
    me->config->ServerAddress = kRelay;
    ASSERT_TRUE(me->protocol->Start());
    me->TakeSent();
    QStringList boxes;
    QObject::connect(me->protocol.get(), &TMessagerProtocol::MessageBoxRequested,
                     [&](const QString& text) { boxes.append(text); });
    me->Receive({mkRegisterReply, 0, {}, {}, {}, {}, {}}, kRelay);
    EXPECT_EQ(boxes, QStringList{u"网卡重复！"_s});
    EXPECT_FALSE(me->protocol->Registered());
    EXPECT_TRUE(me->socket.Sent.isEmpty());

    // Refresh then registers again instead of asking for the list.
    me->peers.AddPeer(u"x"_s, u"10.0.0.5"_s, u"1"_s, u"内网"_s);
    me->protocol->Refresh();
    EXPECT_TRUE(me->peers.Rows.isEmpty());
    const QList<TSentDatagram> sent = me->TakeSent();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].Host, kBroadcast);
    EXPECT_EQ(sent[0].Kind(), mkQuery);
    EXPECT_EQ(sent[1].Host, kRelay);
    EXPECT_EQ(sent[1].Kind(), mkOnline);
}

TEST_F(MessagerProtocolTest, OwnAnnouncementCountsOnlyWithChatSeft)
{
    ASSERT_TRUE(me->protocol->Start());
    me->TakeSent();
    me->config->ChatSeft = false;
    me->Receive(me->Presence(mkOnline, true), u"10.0.0.2"_s);
    EXPECT_TRUE(me->peers.Rows.isEmpty());
    EXPECT_TRUE(me->peers.Notices.isEmpty());
    EXPECT_TRUE(me->socket.Sent.isEmpty());

    // A query is answered even from the own address.
    me->Receive({mkQuery, 0, {}, u"0A0B0C0D0E0F"_s, {}, {}, {}}, u"10.0.0.2"_s);
    ASSERT_EQ(me->socket.Sent.size(), 1);
    EXPECT_EQ(me->socket.Sent[0].Host, u"10.0.0.2"_s);
    EXPECT_EQ(me->socket.Sent[0].Decoded(), me->Presence(mkOnline, false));
    me->TakeSent();

    me->config->ChatSeft = true;
    me->Receive(me->Presence(mkOnline, true), u"10.0.0.2"_s);
    ASSERT_EQ(me->peers.Rows.size(), 1);
    EXPECT_EQ(me->peers.Rows[0], (TPeerRow{u"Me"_s, u"10.0.0.2"_s, u"0A0B0C0D0E0F"_s, u"内网"_s}));
    EXPECT_EQ(me->peers.Notices, QStringList{u"online Me"_s});

    // Quiet when MessagePrompt is off.
    me->config->MessagePrompt = false;
    me->Receive(Online(u"Q"_s, u"111111111111"_s, true), u"10.0.0.7"_s);
    EXPECT_EQ(me->peers.Notices.size(), 1);
    EXPECT_EQ(me->peers.Rows.size(), 2);
}

TEST_F(MessagerProtocolTest, KnownPeerIsUpdatedWithoutAnswerByAddressOrCard)
{
    ASSERT_TRUE(me->protocol->Start());
    me->Receive(Online(u"Ann"_s, u"AAAAAAAAAAAA"_s, false), u"10.0.0.3"_s);
    me->Receive(Online(u"Bob"_s, u"BBBBBBBBBBBB"_s, false), u"10.0.0.4"_s);
    me->TakeSent();

    // Same address, new name and card.
    me->Receive(Online(u"Annie"_s, u"CCCCCCCCCCCC"_s, true), u"10.0.0.3"_s);
    // Same card, new address.
    me->Receive(Online(u"Bob"_s, u"BBBBBBBBBBBB"_s, true), u"10.0.0.9"_s);
    ASSERT_EQ(me->peers.Rows.size(), 2);
    EXPECT_EQ(me->peers.Rows[0], (TPeerRow{u"Annie"_s, u"10.0.0.3"_s, u"CCCCCCCCCCCC"_s, u"内网"_s}));
    EXPECT_EQ(me->peers.Rows[1], (TPeerRow{u"Bob"_s, u"10.0.0.9"_s, u"BBBBBBBBBBBB"_s, u"内网"_s}));
    EXPECT_TRUE(me->socket.Sent.isEmpty());
    EXPECT_TRUE(me->peers.Notices.isEmpty());

    // Offline: an unknown card changes nothing; a known one goes, with a notice when asked.
    me->Receive({mkOffline, 1, u"Zed"_s, u"ZZZZZZZZZZZZ"_s, {}, {}, {}}, u"10.0.0.8"_s);
    EXPECT_EQ(me->peers.Rows.size(), 2);
    EXPECT_TRUE(me->peers.Notices.isEmpty());
    me->Receive({mkOffline, 1, u"Bob"_s, u"BBBBBBBBBBBB"_s, {}, {}, {}}, u"10.0.0.9"_s);
    ASSERT_EQ(me->peers.Rows.size(), 1);
    EXPECT_EQ(me->peers.Rows[0].Name, u"Annie"_s);
    EXPECT_EQ(me->peers.Notices, QStringList{u"offline Bob"_s});
    EXPECT_TRUE(me->socket.Sent.isEmpty());
}

TEST_F(MessagerProtocolTest, AnnouncementExchangeEndsAfterOneAnswer)
{
    TCopy b(dir.path(), u"Bee"_s, u"BBBBBBBBBBBB"_s, u"10.0.0.3"_s);
    me->config->ChatSeft = false;
    b.config->ChatSeft = false;
    ASSERT_TRUE(me->protocol->Start());
    ASSERT_TRUE(b.protocol->Start());
    b.TakeSent(); // B was there first; its announcement found nobody

    // Deliver every datagram to the other copy until nothing more is sent.
    int delivered = 0;
    QList<TSentDatagram> fromA = me->TakeSent(), fromB;
    while ((!fromA.isEmpty() || !fromB.isEmpty()) && delivered < 20) {
        for (const TSentDatagram& d : std::as_const(fromA)) {
            ++delivered;
            b.protocol->OnDatagram(d.Bytes, u"10.0.0.2"_s);
        }
        for (const TSentDatagram& d : std::as_const(fromB)) {
            ++delivered;
            me->protocol->OnDatagram(d.Bytes, u"10.0.0.3"_s);
        }
        fromA = me->TakeSent();
        fromB = b.TakeSent();
    }
    // A's broadcast, B's quiet answer, A's quiet answer; B already knew A.
    EXPECT_EQ(delivered, 3);
    ASSERT_EQ(me->peers.Rows.size(), 1);
    ASSERT_EQ(b.peers.Rows.size(), 1);
    EXPECT_EQ(me->peers.Rows[0], (TPeerRow{u"Bee"_s, u"10.0.0.3"_s, u"BBBBBBBBBBBB"_s, u"内网"_s}));
    EXPECT_EQ(b.peers.Rows[0], (TPeerRow{u"Me"_s, u"10.0.0.2"_s, u"0A0B0C0D0E0F"_s, u"内网"_s}));
    // Only B raised a notice: A's answer was quiet.
    EXPECT_TRUE(me->peers.Notices.isEmpty());
    EXPECT_EQ(b.peers.Notices, QStringList{u"online Me"_s});
}

TEST_F(MessagerProtocolTest, PeerListAndExtranetPeersPairThroughTheRelay)
{
    me->config->ServerAddress = kRelay;
    ASSERT_TRUE(me->protocol->Start());
    me->Receive(Online(u"Ann"_s, u"AAAAAAAAAAAA"_s, false), u"10.0.0.3"_s);
    me->TakeSent();

    // The own card and a card already listed get no connect request.
    me->Receive({mkPeerList, 0, {}, {}, {}, u"AAAAAAAAAAAA|0A0B0C0D0E0F|DDDDDDDDDDDD||EEEEEEEEEEEE"_s, {}},
                kRelay);
    QList<TSentDatagram> sent = me->TakeSent();
    ASSERT_EQ(sent.size(), 2);
    for (const TSentDatagram& d : sent) {
        EXPECT_EQ(d.Host, kRelay);
        EXPECT_EQ(d.Port, 5432);
        EXPECT_EQ(d.Kind(), mkConnectRequest);
        EXPECT_EQ(d.Decoded().Card, u"0A0B0C0D0E0F"_s);
        EXPECT_EQ(d.Decoded().Flag, 0);
    }
    EXPECT_EQ(sent[0].Decoded().TargetCard, u"DDDDDDDDDDDD"_s);
    EXPECT_EQ(sent[1].Decoded().TargetCard, u"EEEEEEEEEEEE"_s);

    // Two introductions of one peer make two rows, each followed by a punch.
    const TMessage peer{mkExtranetPeer, 1, u"Dan"_s, u"DDDDDDDDDDDD"_s, {}, {}, {u"192.0.2.12"_s, 40000}};
    me->Receive(peer, kRelay);
    me->Receive(peer, kRelay);
    ASSERT_EQ(me->peers.Rows.size(), 3);
    EXPECT_EQ(me->peers.Rows[1], (TPeerRow{u"Dan"_s, u"192.0.2.12:40000"_s, u"DDDDDDDDDDDD"_s, u"外网"_s}));
    EXPECT_EQ(me->peers.Rows[2], me->peers.Rows[1]);
    EXPECT_EQ(me->peers.Notices, (QStringList{u"online Dan"_s, u"online Dan"_s}));
    me->Receive({mkPunchRequest, 0, {}, {}, {}, {}, {u"192.0.2.13"_s, 3574}}, kRelay);
    sent = me->TakeSent();
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[0].Host, u"192.0.2.12"_s);
    EXPECT_EQ(sent[0].Port, 40000);
    EXPECT_EQ(sent[0].Bytes.size(), 5);
    EXPECT_EQ(sent[0].Kind(), mkPunch);
    EXPECT_EQ(sent[2].Host, u"192.0.2.13"_s);
    EXPECT_EQ(sent[2].Kind(), mkPunch);

    // Kinds a client only sends are ignored on receipt.
    me->Receive({mkListRequest, 0, {}, {}, {}, {}, {}}, u"10.0.0.3"_s);
    me->Receive({mkConnectRequest, 0, {}, u"AAAAAAAAAAAA"_s, u"0A0B0C0D0E0F"_s, {}, {}}, u"10.0.0.3"_s);
    me->Receive({mkPunch, 0, {}, {}, {}, {}, {}}, u"10.0.0.3"_s);
    EXPECT_TRUE(me->socket.Sent.isEmpty());
    EXPECT_EQ(me->peers.Rows.size(), 3);
}

TEST_F(MessagerProtocolTest, TextsAndOffersReachTheConversationAndBusyOffersAreAnswered)
{
    ASSERT_TRUE(me->protocol->Start());
    me->TakeSent();
    me->Receive({mkText, 0, u"Ann"_s, {}, {}, u"<b>hi</b>"_s, {}}, u"10.0.0.3"_s);
    EXPECT_EQ(me->conversation.Lines, QStringList{u"<b>hi</b>"_s});
    EXPECT_EQ(me->conversation.Attended, QStringList{u"Ann"_s});

    me->Receive({mkFileOffer, 0, u"Ann"_s, {}, {}, u"a=/s/a.txt|\"b c=/s/b c\""_s, {}}, u"10.0.0.3"_s);
    EXPECT_EQ(me->offers.Host, u"10.0.0.3"_s);
    EXPECT_EQ(me->offers.Items, (QStringList{u"a=/s/a.txt"_s, u"b c=/s/b c"_s}));
    EXPECT_EQ(me->conversation.Attended, (QStringList{u"Ann"_s, u"Ann"_s}));
    EXPECT_TRUE(me->socket.Sent.isEmpty());

    // A second offer while the first waits: the sender hears we are busy, nothing else changes.
    me->Receive({mkFileOffer, 0, u"Bob"_s, {}, {}, u"x=/s/x"_s, {}}, u"10.0.0.4"_s);
    EXPECT_EQ(me->offers.Host, u"10.0.0.3"_s);
    EXPECT_EQ(me->offers.Items.size(), 2);
    EXPECT_EQ(me->conversation.Attended.size(), 2);
    ASSERT_EQ(me->socket.Sent.size(), 1);
    EXPECT_EQ(me->socket.Sent[0].Host, u"10.0.0.4"_s);
    EXPECT_EQ(me->socket.Sent[0].Port, 3574);
    EXPECT_EQ(me->socket.Sent[0].Decoded().Name, u"Me"_s);
    EXPECT_EQ(me->socket.Sent[0].Decoded().Text,
              u"(2026-12-09 08:05:03) Me 对你说：我正在处理附件，请稍后重发您的附件！"_s);
    EXPECT_EQ(me->conversation.Lines.last(),
              u"(2026-12-09 08:05:03) 你对 Bob 说：我正在处理附件，请稍后重发您的附件！"_s);
}

TEST_F(MessagerProtocolTest, LongTextsAndNamesAreNotLost)
{
    ASSERT_TRUE(me->protocol->Start());
    me->TakeSent();
    me->config->UserName = u"一二三四五六七八九十一二三四五六七八九十廿"_s; // 21 units
    QString text;
    for (int i = 0; i < 2500; ++i)
        text += QChar(u'a' + i % 26);
    me->protocol->SendText(u"10.0.0.3"_s, text);
    ASSERT_EQ(me->socket.Sent.size(), 3);
    QString joined;
    for (const TSentDatagram& d : std::as_const(me->socket.Sent)) {
        EXPECT_EQ(d.Decoded().Name, u"一二三四五六七八九十一二三四五六七八九十"_s);
        joined += d.Decoded().Text;
    }
    EXPECT_EQ(joined, text);
    me->TakeSent();

    // Offers never cut an item: whole items that do not fit are left out.
    QStringList items;
    for (int i = 0; i < 30; ++i)
        items.append(u"f%1=/share/"_s.arg(i) + QString(40, QChar(u'x')));
    EXPECT_FALSE(me->protocol->SendFileOffer(u"10.0.0.3"_s, items));
    ASSERT_EQ(me->socket.Sent.size(), 1);
    const QStringList received = SplitDelimited(me->socket.Sent[0].Decoded().Text, QChar(u'|'));
    ASSERT_FALSE(received.isEmpty());
    EXPECT_EQ(received, items.mid(0, received.size()));
    EXPECT_TRUE(me->protocol->SendFileOffer(u"10.0.0.3"_s, items.mid(0, 3)));
}
