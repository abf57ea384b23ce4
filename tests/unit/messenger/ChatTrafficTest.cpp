// Heavy traffic: the pace of long messages, where long texts are split, the chat log written by
// appending and rolled past its limit, merged notices, and groups that tell same-named peers
// apart.
#include "MessengerFakes.h"
#include "TestClock.h"
#include "core/Clock.h"
#include "core/TextFile.h"
#include "messenger/ChatLog.h"
#include "messenger/MessagerConfigMgr.h"
#include "messenger/MessagerProtocol.h"
#include "messenger/NoticeMerger.h"
#include "messenger/PeerGroups.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

} // namespace

TEST(ChatTraffic, LongMessagesLeaveInOrderAtAPaceAndSplitAtBlanksOrBetweenNames)
{
    QTemporaryDir dir;
    TFixedSystemInfo system;
    TTestClock clock;
    TRecordingSocket socket;
    TMemoryPeerList peers;
    TMemoryConversation conversation;
    TMemoryOffers offers;
    TMessagerConfigMgr config(dir.path() + u"/MSGConfig.ini"_s, dir.path(), system);
    TMessagerProtocol protocol(config, system, clock, socket, peers, conversation, offers);
    ASSERT_TRUE(protocol.Start());
    socket.Sent.clear();
    for (int i = 0; i < 1000; ++i)
        protocol.SendText(u"10.0.0.3"_s, u"line %1"_s.arg(i));
    // A burst leaves at once; the rest follows from the timer, in order.
    EXPECT_EQ(socket.Sent.size(), TDatagramPacer::Burst);
    ASSERT_TRUE(WaitUntil([&] { return socket.Sent.size() == 1000; }));
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(socket.Sent[i].Decoded().Text, u"line %1"_s.arg(i));
    // What is still waiting at the goodbye leaves before it.
    for (int i = 0; i < 300; ++i)
        protocol.SendText(u"10.0.0.3"_s, u"late %1"_s.arg(i));
    protocol.Shutdown();
    ASSERT_EQ(socket.Sent.size(), 1301);
    EXPECT_EQ(socket.Sent[1299].Decoded().Text, u"late 299"_s);
    EXPECT_EQ(socket.Sent[1300].Kind(), mkOffline);

    // Words and names arrive whole when a blank or a name boundary is near the field's end.
    QString words;
    while (words.size() < 2500)
        words += u"word%1 "_s.arg(words.size() % 7);
    const QStringList pieces = SplitToCapacity(words, TextCapacity);
    EXPECT_EQ(pieces.join(QString()), words);
    for (const QString& piece : pieces.mid(0, pieces.size() - 1)) {
        EXPECT_LE(piece.size(), TextCapacity);
        EXPECT_TRUE(piece.endsWith(u' ')) << piece.right(10).toStdString();
    }
    QString names = u"  "_s;
    for (int i = 0; names.size() < 1500; ++i)
        names += u"文件%1.txt|"_s.arg(i);
    EXPECT_TRUE(SplitToCapacity(names, TextCapacity).first().endsWith(u'|'));
    // Without a break near the end the field is filled.
    EXPECT_EQ(SplitToCapacity(QString(2000, u'x'), TextCapacity).first().size(), TextCapacity);
}

TEST(ChatTraffic, ChatLogAppendsRollsAndReportsAFullDisk)
{
    QTemporaryDir dir;
    const TChatLog log(dir.path() + u'/');
    log.Save({u"one"_s}, false);
    log.Append({u"two"_s, u"三"_s});
    EXPECT_EQ(ReadFileBytes(log.FileName()), EncodeText(u"one\r\ntwo\r\n三\r\n"_s, TTextEncoding::Utf16LE));
    EXPECT_TRUE(log.Appendable());

    // Past the limit the old lines go to the end of chat_bak.txt, chat.txt keeps the rest.
    log.Save({u"bak"_s}, true);
    log.Roll({u"old 1"_s, u"old 2"_s}, {u"new"_s});
    EXPECT_EQ(ReadTextFileLines(log.BackupFileName()), (QStringList{u"bak"_s, u"old 1"_s, u"old 2"_s}));
    EXPECT_EQ(ReadTextFileLines(log.FileName()), QStringList{u"new"_s});

    // The writer does the work in order on its own thread and reports each job.
    QStringList reports;
    std::mutex mutex;
    {
        TChatLogWriter writer(log, [&](const QString& error) {
            std::lock_guard lock(mutex);
            reports << error;
        });
        for (int i = 0; i < 100; ++i)
            writer.Append({u"line %1"_s.arg(i)});
        writer.Wait();
        EXPECT_EQ(ReadTextFileLines(log.FileName()).size(), 101);
        writer.Replace({u"whole"_s});
    }
    EXPECT_EQ(reports.size(), 101);
    EXPECT_TRUE(reports.join(QString()).isEmpty());
    EXPECT_EQ(ReadTextFileLines(log.FileName()), QStringList{u"whole"_s});

    // A full disk: the append fails with the file's name, and the writer says so.
    QTemporaryDir full;
    ASSERT_TRUE(QFile::link(u"/dev/full"_s, full.path() + u"/chat.txt"_s));
    const TChatLog fullLog(full.path() + u'/');
    EXPECT_THROW(fullLog.Append({u"lost?"_s}), EFileError);
    QString failure;
    {
        TChatLogWriter writer(fullLog, [&](const QString& error) { failure = error; });
        writer.Append({u"x"_s});
    }
    EXPECT_TRUE(failure.contains(u"chat.txt"_s)) << failure.toStdString();
}

TEST(ChatTraffic, NoticesBeyondThreeWithinAPopupLifeAreMerged)
{
    QStringList shown;
    TNoticeMerger merger([&](const QString& title, const QString& text) { shown << title + text; });
    merger.Online(u"甲"_s);
    merger.Offline(u"乙"_s);
    EXPECT_EQ(shown, (QStringList{u"上线提示：好友：甲 上线啦！"_s, u"下线提示：好友：乙 已经下线！"_s}));
    // A flood: the third gets its own popup, the rest one merged popup.
    for (int i = 0; i < 20000; ++i)
        merger.Online(u"p%1"_s.arg(i));
    EXPECT_EQ(shown.size(), 3);
    ASSERT_TRUE(WaitUntil([&] { return shown.size() == 4; }));
    EXPECT_EQ(shown.last(), u"上线提示：20001 位好友上线，1 位好友下线"_s);
    // More within the merged popup's life wait for it to go: still one popup at a time.
    merger.Offline(u"q"_s);
    merger.Offline(u"r"_s);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.size(), 4);
    ASSERT_TRUE(WaitUntil([&] { return shown.size() == 5; }));
    EXPECT_EQ(shown.last(), u"下线提示：2 位好友下线"_s);
    EXPECT_EQ(merger.Shown(), 5);
}

TEST(ChatTraffic, GroupMembersAreFoundByNameAndCard)
{
    const QList<QPair<QString, QString>> rows{
        {u"乙"_s, u"AAAAAAAAAAAA"_s}, {u"乙"_s, u"BBBBBBBBBBBB"_s}, {u"Li"_s, u"CCCCCCCCCCCC"_s}};
    EXPECT_EQ(GroupMemberText(u"乙"_s, u"BBBBBBBBBBBB"_s), u"乙@BBBBBBBBBBBB"_s);
    EXPECT_EQ(FindGroupMember(u"乙@BBBBBBBBBBBB"_s, rows), 1);
    EXPECT_EQ(FindGroupMember(u"乙@AAAAAAAAAAAA"_s, rows), 0);
    // A name several peers share, saved without its card or with one no longer listed: none.
    EXPECT_EQ(FindGroupMember(u"乙"_s, rows), -1);
    EXPECT_EQ(FindGroupMember(u"乙@DDDDDDDDDDDD"_s, rows), -1);
    // A unique name is found whatever its card and case; "@" in a name is kept.
    EXPECT_EQ(FindGroupMember(u"li@DDDDDDDDDDDD"_s, rows), 2);
    EXPECT_EQ(FindGroupMember(u"li"_s, rows), 2);
    QString name, card;
    SplitGroupMember(u"a@b"_s, name, card);
    EXPECT_EQ(name, u"a@b"_s);
    EXPECT_TRUE(card.isEmpty());
}
