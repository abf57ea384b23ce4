#include "MessengerFakes.h"
#include "TestClock.h"
#include "core/Clock.h"
#include "messenger/MessagerConfigMgr.h"
#include "messenger/MessagerProtocol.h"
#include "relay/RelayServer.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QList<QByteArray> Seeds()
{
    const TPeerEndpoint endpoint{u"192.0.2.5"_s, 3574};
    QList<QByteArray> seeds;
    for (const TMessage& m :
         {TMessage{mkOnline, 1, u"Ann"_s, u"AAAAAAAAAAAA"_s, {}, {}, {}},
          TMessage{mkOffline, 1, u"Ann"_s, u"AAAAAAAAAAAA"_s, {}, {}, {}},
          TMessage{mkRegisterReply, 1, {}, {}, {}, {}, {}},
          TMessage{mkQuery, 0, {}, u"AAAAAAAAAAAA"_s, {}, {}, {}},
          TMessage{mkListRequest, 0, {}, {}, {}, {}, {}},
          TMessage{mkPeerList, 0, {}, {}, {}, u"AAAAAAAAAAAA|\"B B\"|"_s, {}},
          TMessage{mkConnectRequest, 0, {}, u"AAAAAAAAAAAA"_s, u"BBBBBBBBBBBB"_s, {}, {}},
          TMessage{mkExtranetPeer, 1, u"Bob"_s, u"BBBBBBBBBBBB"_s, {}, {}, endpoint},
          TMessage{mkPunchRequest, 0, {}, {}, {}, {}, endpoint}, TMessage{mkPunch, 0, {}, {}, {}, {}, {}},
          TMessage{mkText, 0, u"Bob"_s, {}, {}, u"hello"_s, {}},
          TMessage{mkFileOffer, 0, u"Bob"_s, {}, {}, u"a=/x|\"b\"\"=/y\""_s, {}}})
        seeds.append(EncodeMessage(m));
    return seeds;
}

// Random bytes, or a valid datagram with some bytes changed, cut short or lengthened.
QByteArray Mutate(QRandomGenerator& random, const QList<QByteArray>& seeds)
{
    QByteArray bytes;
    if (random.bounded(4) == 0) {
        bytes.resize(random.bounded(2200));
        for (char& b : bytes)
            b = char(random.bounded(256));
        if (!bytes.isEmpty() && random.bounded(2) == 0)
            bytes[0] = char(random.bounded(17));
        return bytes;
    }
    bytes = seeds.at(random.bounded(int(seeds.size())));
    const int flips = random.bounded(1, 12);
    for (int i = 0; i < flips; ++i) {
        const int at = random.bounded(int(bytes.size()));
        bytes[at] = char(random.bounded(2) == 0 ? random.bounded(256) : (at % 2 ? 0 : '|'));
    }
    switch (random.bounded(5)) {
    case 0:
        bytes.truncate(random.bounded(int(bytes.size()) + 1));
        break;
    case 1:
        bytes.append(QByteArray(random.bounded(8200), char(random.bounded(256))));
        break;
    default:
        break;
    }
    return bytes;
}

} // namespace

TEST(MessengerFuzz, DecoderProtocolAndRelaySurviveMangledDatagrams)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TFixedSystemInfo system;
    TMessagerConfigMgr config(dir.filePath(u"MSGConfig.ini"_s), dir.path(), system);
    config.ServerAddress = u"192.0.2.1"_s;
    TTestClock clock;
    TRecordingSocket socket;
    TMemoryPeerList peers;
    TMemoryConversation conversation;
    TMemoryOffers offers;
    TMessagerProtocol protocol(config, system, clock, socket, peers, conversation, offers);
    ASSERT_TRUE(protocol.Start());

    int relayAnswers = 0;
    TRelayServer relay(64,
                       [&](const TPeerEndpoint& to, const QByteArray& d) {
                           ++relayAnswers;
                           EXPECT_TRUE(IsValidEndpoint(to));
                           EXPECT_TRUE(DecodeMessage(d).has_value());
                       },
                       {});

    QRandomGenerator random(20261209);
    const QList<QByteArray> seeds = Seeds();
    int decoded = 0;
    for (int i = 0; i < 20000; ++i) {
        const QByteArray bytes = Mutate(random, seeds);
        const std::optional<TMessage> message = DecodeMessage(bytes);
        if (message) {
            ++decoded;
            EXPECT_LE(bytes.size(), 8192);
            EXPECT_GE(bytes.size(), DatagramSize(message->Kind));
            // What was read writes back to a datagram of the kind's size that reads again
            // (a full field without NUL comes back one unit shorter: writers keep the NUL).
            const QByteArray again = EncodeMessage(*message);
            EXPECT_EQ(again.size(), DatagramSize(message->Kind));
            const std::optional<TMessage> reread = DecodeMessage(again);
            ASSERT_TRUE(reread);
            EXPECT_TRUE(message->Name.startsWith(reread->Name));
            EXPECT_TRUE(message->Text.startsWith(reread->Text));
        }
        // Now and then from the relay itself, so that its kinds are handled too.
        const bool fromRelay = random.bounded(4) == 0;
        const QString sender =
            fromRelay ? config.ServerAddress : u"10.0.%1.%2"_s.arg(random.bounded(2)).arg(random.bounded(4));
        protocol.OnDatagram(bytes, sender, fromRelay ? RelayPort : MessagerPort);
        relay.HandleDatagram(bytes, {sender, int(random.bounded(3570, 3578))}, i * 50);
        if (offers.PendingOfferCount() > 0 && random.bounded(4) == 0)
            offers.Items.clear();
        if (peers.Rows.size() > 200)
            protocol.Refresh();
        socket.Sent.clear();
    }
    // The mutations must reach the handlers, not only the size check.
    EXPECT_GT(decoded, 5000);
    EXPECT_GT(relayAnswers, 0);
    EXPECT_LE(relay.ClientCount(), 64);
    for (const TPeerRow& row : std::as_const(peers.Rows)) {
        EXPECT_LE(row.Name.size(), 21);
        EXPECT_LE(row.Card.size(), 13);
    }
}
