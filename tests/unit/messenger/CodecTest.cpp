#include "TestSupport.h"
#include "messenger/codec/MessagerCodec.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Independent of the codec: a text as a zero-filled array of UTF-16 LE code units.
QByteArray Field(const QString& text, int units)
{
    QByteArray bytes(units * 2, '\0');
    for (qsizetype i = 0; i < text.size() && i < units; ++i) {
        bytes[2 * i] = char(text.at(i).unicode() & 0xff);
        bytes[2 * i + 1] = char(text.at(i).unicode() >> 8);
    }
    return bytes;
}

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

const QString kCard = u"00163E5A9BFF"_s;

} // namespace

TEST(MessagerCodec, EveryKindHasItsExactBytes)
{
    TMessage online{mkOnline, 1, u"张三"_s, kCard, {}, {}, {}};
    EXPECT_EQ(Dump(EncodeMessage(online)),
              Dump(Hex("00 00000000 01") + Field(u"张三"_s, 21) + Field(kCard, 13)));
    ASSERT_EQ(EncodeMessage(online).size(), 74);
    // 张 is U+5F20, written low byte first.
    EXPECT_EQ(EncodeMessage(online).mid(6, 6), Hex("205F 094E 0000"));

    TMessage offline = online;
    offline.Kind = mkOffline;
    offline.Flag = 0;
    EXPECT_EQ(Dump(EncodeMessage(offline)),
              Dump(Hex("02 00000000 00") + Field(u"张三"_s, 21) + Field(kCard, 13)));

    EXPECT_EQ(Dump(EncodeMessage({mkRegisterReply, 1, {}, {}, {}, {}, {}})), Dump(Hex("01 00000000 01")));
    EXPECT_EQ(Dump(EncodeMessage({mkQuery, 0, {}, kCard, {}, {}, {}})),
              Dump(Hex("03 00000000") + Field(kCard, 13)));
    EXPECT_EQ(Dump(EncodeMessage({mkListRequest, 0, {}, {}, {}, {}, {}})), Dump(Hex("04 00000000")));
    EXPECT_EQ(Dump(EncodeMessage({mkPunch, 0, {}, {}, {}, {}, {}})), Dump(Hex("09 00000000")));

    const QString cards = u"00163E5A9BFF|0A0B0C0D0E0F"_s;
    EXPECT_EQ(Dump(EncodeMessage({mkPeerList, 0, {}, {}, {}, cards, {}})),
              Dump(Hex("05 00000000") + Field(cards, 1024)));

    EXPECT_EQ(Dump(EncodeMessage({mkConnectRequest, 1, {}, kCard, u"0A0B0C0D0E0F"_s, {}, {}})),
              Dump(Hex("06 00000000") + Field(kCard, 13) + Field(u"0A0B0C0D0E0F"_s, 13) + Hex("01")));

    const TPeerEndpoint endpoint{u"192.0.2.11"_s, 3574}; // 3574 = 0x0DF6
    EXPECT_EQ(Dump(EncodeMessage({mkExtranetPeer, 1, u"Bob"_s, kCard, {}, {}, endpoint})),
              Dump(Hex("07 00000000 01") + Field(u"Bob"_s, 21) + Field(kCard, 13) +
                   Field(u"192.0.2.11"_s, 16) + Hex("F60D0000")));
    EXPECT_EQ(Dump(EncodeMessage({mkPunchRequest, 0, {}, {}, {}, {}, endpoint})),
              Dump(Hex("08 00000000") + Field(u"192.0.2.11"_s, 16) + Hex("F60D0000")));

    EXPECT_EQ(Dump(EncodeMessage({mkText, 0, u"Bob"_s, {}, {}, u"你好\r\n"_s, {}})),
              Dump(Hex("0A 00000000") + Field(u"Bob"_s, 21) + Field(u"你好\r\n"_s, 1024)));
    EXPECT_EQ(Dump(EncodeMessage({mkFileOffer, 0, u"Bob"_s, {}, {}, u"a=/x/a.txt"_s, {}})),
              Dump(Hex("10 00000000") + Field(u"Bob"_s, 21) + Field(u"a=/x/a.txt"_s, 1024)));

    // Every kind reads back as it was written.
    for (const TMessage& message : {online, offline, TMessage{mkPeerList, 0, {}, {}, {}, cards, {}},
                                    TMessage{mkExtranetPeer, 1, u"Bob"_s, kCard, {}, {}, endpoint},
                                    TMessage{mkConnectRequest, 1, {}, kCard, u"0A0B0C0D0E0F"_s, {}, {}},
                                    TMessage{mkText, 0, u"Bob"_s, {}, {}, u"line"_s, {}}}) {
        EXPECT_EQ(DecodeMessage(EncodeMessage(message)), message) << int(message.Kind);
    }
}

TEST(MessagerCodec, FieldsAreCutAndReadAtTheirBounds)
{
    // A name of 21 units without a NUL is read whole; the reserved bytes are never read.
    QByteArray datagram = Hex("00 FFFFFFFF 00") + Field(u"ABCDEFGHIJKLMNOPQRSTU"_s, 21) + Field(kCard, 13);
    std::optional<TMessage> read = DecodeMessage(datagram);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Name, u"ABCDEFGHIJKLMNOPQRSTU"_s);
    EXPECT_EQ(read->Card, kCard);

    // Writing cuts a long name at 20 units, and not between the halves of a surrogate pair.
    TMessage message{mkOnline, 0, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s, kCard, {}, {}, {}};
    EXPECT_EQ(DecodeMessage(EncodeMessage(message))->Name, u"ABCDEFGHIJKLMNOPQRST"_s);
    message.Name = u"ABCDEFGHIJKLMNOPQRS\U0001F600"_s; // the pair takes units 20 and 21
    EXPECT_EQ(DecodeMessage(EncodeMessage(message))->Name, u"ABCDEFGHIJKLMNOPQRS"_s);
    EXPECT_EQ(SplitToCapacity(u"ab\U0001F600c"_s, 3), (QStringList{u"ab"_s, u"\U0001F600c"_s}));
    EXPECT_EQ(SplitToCapacity(QString(), 3), QStringList{QString()});

    // Shorter than the kind, longer than 8192 bytes, unknown kinds and bad endpoints are dropped;
    // longer than the kind is fine.
    EXPECT_FALSE(DecodeMessage(datagram.left(73)));
    EXPECT_TRUE(DecodeMessage(datagram + QByteArray(100, 'x')));
    EXPECT_FALSE(DecodeMessage(datagram + QByteArray(8192 - 74 + 1, '\0')));
    EXPECT_FALSE(DecodeMessage(Hex("0B 00000000")));
    EXPECT_FALSE(DecodeMessage(QByteArray()));
    for (const char* bad : {"192.0.2", "192.0.2.256", "a.b.c.d", "", "1.2.3.4.5"}) {
        const QByteArray punch = Hex("08 00000000") + Field(QString::fromLatin1(bad), 16) + Hex("F60D0000");
        EXPECT_FALSE(DecodeMessage(punch)) << bad;
    }
    EXPECT_FALSE(DecodeMessage(Hex("08 00000000") + Field(u"192.0.2.1"_s, 16) + Hex("00000000")));
    EXPECT_FALSE(DecodeMessage(Hex("08 00000000") + Field(u"192.0.2.1"_s, 16) + Hex("00000100")));

    TPeerEndpoint endpoint;
    EXPECT_TRUE(SplitEndpoint(u"192.0.2.7:3574"_s, endpoint));
    EXPECT_EQ(endpoint, (TPeerEndpoint{u"192.0.2.7"_s, 3574}));
    EXPECT_EQ(EndpointToText(endpoint), u"192.0.2.7:3574"_s);
    for (const QString& bad : {u"192.0.2.7"_s, u"192.0.2.7:"_s, u"192.0.2.7:x1"_s, u"192.0.2.7:70000"_s,
                               u":3574"_s, u"192.0.2.7:35:74"_s, u"192.0.2.7:-1"_s}) {
        EXPECT_FALSE(SplitEndpoint(bad, endpoint)) << bad.toStdString();
        EXPECT_EQ(endpoint, (TPeerEndpoint{u"192.0.2.7"_s, 3574}));
    }
}
