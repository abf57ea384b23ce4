// The server and the client together on loopback, and the server driven by hand: downloads of a
// tree, refusals of strangers and bounces, idle and crowded connections, stalls and cancel.
#include "messenger/ftp/FtpServer.h"
#include "messenger/ftp/CurlLibrary.h"
#include "messenger/ftp/FtpClient.h"
#include "messenger/ftp/FtpNames.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {
const QHostAddress Loopback(QHostAddress::LocalHost);

// A control connection driven line by line, blocking.
class TRawControl
{
public:
    bool Open(quint16 port, const QHostAddress& from = QHostAddress())
    {
        if (!from.isNull())
            m_socket.bind(from, 0);
        m_socket.connectToHost(Loopback, port);
        return m_socket.waitForConnected(5000);
    }
    // One reply, the lines of a multi-line reply joined by "\n".
    QString Read()
    {
        QString reply;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            while (m_socket.canReadLine()) {
                const QString line = QString::fromUtf8(m_socket.readLine()).trimmed();
                reply += (reply.isEmpty() ? QString() : u"\n"_s) + line;
                if (line.size() >= 4 && line[3] == u' ')
                    return reply;
            }
            if (!m_socket.waitForReadyRead(100) && m_socket.state() != QAbstractSocket::ConnectedState)
                break;
        }
        return reply;
    }
    QString Command(const QString& line)
    {
        m_socket.write(line.toUtf8() + "\r\n");
        m_socket.waitForBytesWritten(1000);
        return Read();
    }
    bool Closed()
    {
        QElapsedTimer t;
        t.start();
        while (m_socket.state() == QAbstractSocket::ConnectedState && t.elapsed() < 5000)
            m_socket.waitForReadyRead(100);
        return m_socket.state() != QAbstractSocket::ConnectedState;
    }

private:
    QTcpSocket m_socket;
};

// Relative path -> contents of every file, "<dir>" for every folder.
QMap<QString, QByteArray> Tree(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        tree[QDir(root).relativeFilePath(path)] = QFileInfo(path).isDir() ? "<dir>" : ReadBytes(path);
    }
    return tree;
}

class FtpServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_base = m_dir.path() + u"/base/"_s;
        m_offer = m_base + u"发送"_s;
        QDir().mkpath(m_offer + u"/空"_s);
        QDir().mkpath(m_offer + u"/二级/更深"_s);
        QByteArray big(3 * 1024 * 1024, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(big.data()), big.size() / 4);
        WriteBytes(m_offer + u"/大.bin"_s, big);
        WriteBytes(m_offer + u"/二级/三.txt"_s, "three");
        WriteBytes(m_offer + u"/二级/更深/x.txt"_s, "deep");
        WriteBytes(m_offer + u"/二级/z.txt"_s, "after the subfolder");
        WriteBytes(m_base + u"beside.txt"_s, "beside");
        QDir().mkpath(m_dir.path() + u"/share"_s);
        m_server.SetSharePath(m_dir.path() + u"/share"_s);
        ASSERT_TRUE(m_server.Start(0, 0, Loopback));
        m_server.Access().Offer(Loopback, m_offer, true);
        m_server.Access().Offer(Loopback, m_base + u"beside.txt"_s, false);
        m_client.SetHost(u"127.0.0.1"_s);
        m_client.SetPort(m_server.ControlPort());
        m_client.SetUser(u"ParentDir"_s);
        m_client.SetPassword(HexText(m_base));
        m_dest = m_dir.path() + u"/dest/"_s;
        QDir().mkpath(m_dest);
    }

    QTemporaryDir m_dir;
    QString m_base, m_offer, m_dest;
    TFtpServer m_server;
    TFtpClient m_client;
};
} // namespace

TEST_F(FtpServerTest, OfferedFolderArrivesWholeDepthFirstAndAFileAlone)
{
    m_client.Connect();
    m_client.DownloadFolder(u"发送"_s, m_dest);
    m_client.Retrieve(HexText(u"beside.txt"_s), m_dest + u"beside.txt"_s);
    m_client.Disconnect();
    EXPECT_EQ(Tree(m_dest + u"发送"_s), Tree(m_offer));
    EXPECT_TRUE(QFileInfo(m_dest + u"发送/空"_s).isDir());
    EXPECT_EQ(ReadBytes(m_dest + u"beside.txt"_s), "beside");

    // A file that vanished fails and leaves what was there before.
    WriteBytes(m_dest + u"old.txt"_s, "keep me");
    m_client.Connect();
    EXPECT_THROW(m_client.Retrieve(HexText(u"gone.txt"_s), m_dest + u"old.txt"_s), EFtpError);
    EXPECT_EQ(ReadBytes(m_dest + u"old.txt"_s), "keep me");
}

TEST_F(FtpServerTest, EveryCommandGetsItsReplyBeforeAndAfterTheLogin)
{
    TRawControl peer;
    ASSERT_TRUE(peer.Open(m_server.ControlPort()));
    EXPECT_TRUE(peer.Read().startsWith(u"220"_s));
    // Each line a command and its reply. Verbs are read in any case; only the first few are
    // answered before a login.
    const QString conversation = uR"(noop|200 NOOP command successful.
SYST|215 UNIX Type: L8
PASS x|503 Login with USER first.
PWD|530 Please login with USER and PASS.
XCUP|530 Please login with USER and PASS.
SIZE %1|530 Please login with USER and PASS.
SITE CHMOD 777 x|500 Syntax error, command unrecognized.
USER ParentDir|331 Password required for ParentDir.
PASS %2|230 User logged in.
TYPE i|200 Type set to I.
TYPE E|504 Type not supported.
MODE S|200 Mode set to S.
MODE B|504 Only stream mode is supported.
STRU F|200 Structure set to F.
STRU R|504 Only file structure is supported.
SIZE %1|213 6
XCWD %3|250 CWD command successful.
CDUP|250 CWD command successful.
XPWD|257 "/" is the current directory.
QUIT|221 Goodbye.)"_s.arg(HexText(u"beside.txt"_s), HexText(m_base), HexText(u"发送"_s));
    for (const QString& line : conversation.split(u'\n')) {
        const QString command = line.section(u'|', 0, 0);
        EXPECT_EQ(peer.Command(command), line.section(u'|', 1)) << command.toStdString();
    }
}

TEST_F(FtpServerTest, StrangersBouncesAndUnknownCommandsAreRefused)
{
    TRawControl stranger;
    ASSERT_TRUE(stranger.Open(m_server.ControlPort(), QHostAddress(u"127.0.0.2"_s)));
    EXPECT_TRUE(stranger.Read().startsWith(u"220"_s));
    stranger.Command(u"USER ParentDir"_s);
    EXPECT_TRUE(stranger.Command(u"PASS "_s + HexText(m_base)).startsWith(u"530"_s));
    stranger.Command(u"USER ParentDir"_s);
    EXPECT_TRUE(stranger.Command(u"PASS "_s + HexText(u"/etc"_s)).startsWith(u"530"_s));
    EXPECT_TRUE(stranger.Command(u"LIST"_s).startsWith(u"530"_s));

    TRawControl peer;
    ASSERT_TRUE(peer.Open(m_server.ControlPort()));
    peer.Read();
    EXPECT_EQ(peer.Command(u"XYZ"_s), u"500 Syntax error, command unrecognized."_s);
    peer.Command(u"USER ParentDir"_s);
    EXPECT_TRUE(peer.Command(u"PASS "_s + HexText(m_base)).startsWith(u"230"_s));
    EXPECT_TRUE(peer.Command(u"PORT 127,0,0,2,200,10"_s).startsWith(u"504"_s));
    EXPECT_TRUE(peer.Command(u"PORT 127,0,0,1,0,21"_s).startsWith(u"504"_s));
    EXPECT_TRUE(peer.Command(u"PORT 127,0,0,1,200,10"_s).startsWith(u"200"_s));
    EXPECT_TRUE(peer.Command(u"RETR "_s + HexText(u"../beside.txt"_s)).startsWith(u"550"_s));
    EXPECT_TRUE(peer.Command(u"CWD "_s + HexText(u"发送"_s)).startsWith(u"250"_s));
    EXPECT_TRUE(peer.Command(u"RETR ../"_s + HexText(u"beside.txt"_s)).startsWith(u"550"_s));
    EXPECT_TRUE(peer.Command(u"STOR "_s + HexText(u"new"_s)).startsWith(u"550"_s));
    EXPECT_TRUE(peer.Command(u"QUIT"_s).startsWith(u"221"_s));
}

TEST_F(FtpServerTest, IdleAndCrowdedConnectionsAreClosed)
{
    m_server.SetMaxConnectionsPerAddress(2);
    TRawControl first, second, third;
    ASSERT_TRUE(first.Open(m_server.ControlPort()) && second.Open(m_server.ControlPort()));
    EXPECT_TRUE(first.Read().startsWith(u"220"_s));
    EXPECT_TRUE(second.Read().startsWith(u"220"_s));
    ASSERT_TRUE(third.Open(m_server.ControlPort()));
    EXPECT_EQ(third.Read(), u"300 现在因为网络连接过多,不能给您提供服务，请稍候再试."_s);
    EXPECT_TRUE(third.Closed());

    m_server.SetIdleTimeout(300);
    EXPECT_TRUE(first.Command(u"NOOP"_s).startsWith(u"200"_s));
    EXPECT_TRUE(first.Read().startsWith(u"421"_s));
    EXPECT_TRUE(first.Closed());
}

TEST_F(FtpServerTest, ClientGivesUpOnASilentServerAndCanBeCancelled)
{
    QTcpServer silent; // accepts (the kernel does) but never greets
    ASSERT_TRUE(silent.listen(Loopback, 0));
    TFtpClient client;
    client.SetHost(u"127.0.0.1"_s);
    client.SetPort(silent.serverPort());
    client.SetStallSeconds(1);
    int calls = 0;
    client.SetProgressHandler([&](const TFtpProgress&) { return ++calls > 0; });
    QElapsedTimer t;
    t.start();
    EXPECT_THROW(client.Connect(), EFtpError);
    EXPECT_LT(t.elapsed(), 15000);
    EXPECT_GT(calls, 0); // the window gets its turn while waiting

    m_client.Connect();
    m_client.SetProgressHandler([](const TFtpProgress&) { return false; });
    m_client.ChangeDir(HexText(u"发送"_s));
    EXPECT_THROW(m_client.Retrieve(HexText(u"大.bin"_s), m_dest + u"大.bin"_s), EFtpCancelled);
    EXPECT_FALSE(QFileInfo::exists(m_dest + u"大.bin"_s));
}

TEST_F(FtpServerTest, ShareFolderThatCannotBeMadeKeepsThePreviousOne)
{
    const QString before = m_server.ShareRoot();
    const QString blocked = m_dir.path() + u"/base/beside.txt/share"_s; // below a file
    try {
        m_server.SetSharePath(blocked);
        ADD_FAILURE() << "a share folder below a file was accepted";
    } catch (const EJotvaneError& e) {
        EXPECT_EQ(e.message(), u"文件共享路径："_s + blocked + u" 不存在，创建共享服务失败！"_s);
    }
    EXPECT_EQ(m_server.ShareRoot(), before);
    m_server.SetSharePath(m_dir.path() + u"/new/share "_s);
    EXPECT_EQ(m_server.ShareRoot(), m_dir.path() + u"/new/share/"_s);
    EXPECT_TRUE(QFileInfo(m_server.ShareRoot()).isDir());
}

TEST(FtpListingTest, UnixLongFormIsParsed)
{
    const QList<TFtpRemoteItem> items =
        TFtpClient::ParseListing("total 3\r\n"
                                 "drwxr-xr-x 1 owner group            0 Dec 09 12:00 2E\r\n"
                                 "-rw-r--r--    1 1000     1000       12345 Jan 01  2020 C4E3\r\n"
                                 "lrwxrwxrwx 1 u g 4 Jan 01 2020 6C -> /etc\r\n"
                                 "garbage\r\n");
    ASSERT_EQ(items.size(), 3);
    EXPECT_TRUE(items[0].isFolder);
    EXPECT_EQ(items[0].name, u"2E"_s);
    EXPECT_EQ(items[1].name, u"C4E3"_s);
    EXPECT_EQ(items[1].size, 12345);
    EXPECT_TRUE(items[2].isLink);
    EXPECT_EQ(items[2].name, u"6C"_s);
}

TEST_F(FtpServerTest, WithoutLibcurlADownloadFailsWithItsReasonAndWorksOnceItIsThere)
{
    const QString installed = CurlLibrary::FileName();
    CurlLibrary::SetFileName(u"libjv-absent-curl.so.4"_s);
    try {
        m_client.Connect();
        ADD_FAILURE() << "a download started without its library";
    } catch (const EFtpLibraryMissing& error) {
        EXPECT_TRUE(error.message().contains(u"libjv-absent-curl.so.4"_s)) << error.message().toStdString();
    }
    EXPECT_FALSE(m_client.Connected());
    m_client.Disconnect();

    CurlLibrary::SetFileName(installed);
    m_client.Connect();
    m_client.Retrieve(HexText(u"beside.txt"_s), m_dest + u"beside.txt"_s);
    EXPECT_EQ(ReadBytes(m_dest + u"beside.txt"_s), "beside");
}

TEST_F(FtpServerTest, LongLinesAreRefusedWholeAndAllConnectionsTogetherAreCapped)
{
    TRawControl peer;
    ASSERT_TRUE(peer.Open(m_server.ControlPort()));
    EXPECT_TRUE(peer.Read().startsWith(u"220"_s));
    // The tail of an over-long line is never taken for a command of its own.
    EXPECT_TRUE(peer.Command(u"NOOP "_s + QString(5000, u'x') + u" USER SharePath"_s).startsWith(u"500"_s));
    EXPECT_TRUE(peer.Command(u"PASS x"_s).startsWith(u"503"_s));
    EXPECT_TRUE(peer.Command(u"NOOP "_s + QString(4090, u'y')).startsWith(u"200"_s)); // 4,095 bytes
    EXPECT_TRUE(peer.Command(u"NOOP "_s + QString(4091, u'y')).startsWith(u"500"_s));
    EXPECT_TRUE(peer.Command(u"USER SharePath"_s).startsWith(u"331"_s));

    // All addresses together: the third connection is turned away with the busy reply.
    m_server.SetMaxConnections(2);
    TRawControl second, third;
    ASSERT_TRUE(second.Open(m_server.ControlPort(), QHostAddress(u"127.0.0.2"_s)));
    EXPECT_TRUE(second.Read().startsWith(u"220"_s));
    ASSERT_TRUE(third.Open(m_server.ControlPort(), QHostAddress(u"127.0.0.3"_s)));
    EXPECT_EQ(third.Read(), u"300 现在因为网络连接过多,不能给您提供服务，请稍候再试."_s);
    EXPECT_TRUE(third.Closed());
    EXPECT_EQ(m_server.ConnectionCount(), 2);

    // Ended sessions' threads are collected by the server as they end.
    EXPECT_TRUE(peer.Command(u"QUIT"_s).startsWith(u"221"_s));
    EXPECT_TRUE(second.Command(u"QUIT"_s).startsWith(u"221"_s));
    ASSERT_TRUE(WaitFor([&] { return m_server.SessionThreadCount() == 0; }));
    EXPECT_EQ(m_server.ConnectionCount(), 0);
}

TEST_F(FtpServerTest, DownloadsLandInNewFoldersWithoutLeadingDotsAndNeverReplace)
{
    const QString hidden = m_base + u".config"_s;
    QDir().mkpath(hidden + u"/autostart"_s);
    WriteBytes(hidden + u"/autostart/evil.desktop"_s, "[Desktop Entry]");
    m_server.Access().Offer(Loopback, hidden, true);
    QDir().mkpath(m_dest + u"config"_s);
    WriteBytes(m_dest + u"config/keep.txt"_s, "mine");
    QDir().mkpath(m_dest + u".config"_s);
    // A name of 249 bytes: its temporary name must still fit in 255.
    const QString longName = QString(83, QChar(0x6587));
    WriteBytes(m_offer + u"/"_s + longName, "long");

    m_client.Connect();
    EXPECT_EQ(m_client.DownloadFolder(u".config"_s, m_dest), m_dest + u"config (2)"_s);
    EXPECT_EQ(m_client.DownloadFolder(u".config"_s, m_dest), m_dest + u"config (3)"_s);
    EXPECT_EQ(m_client.DownloadFolder(u"发送"_s, m_dest), m_dest + u"发送"_s);
    EXPECT_EQ(m_client.DownloadFolder(u"发送"_s, m_dest), m_dest + u"发送 (2)"_s);
    m_client.Disconnect();
    EXPECT_EQ(ReadBytes(m_dest + u"config (2)/autostart/evil.desktop"_s), "[Desktop Entry]");
    EXPECT_EQ(Tree(m_dest + u"config"_s), (QMap<QString, QByteArray>{{u"keep.txt"_s, "mine"}}));
    EXPECT_TRUE(QDir(m_dest + u".config"_s).isEmpty());
    EXPECT_EQ(ReadBytes(m_dest + u"发送/"_s + longName), "long");
    EXPECT_EQ(Tree(m_dest + u"发送 (2)"_s), Tree(m_offer));

    // A file is replaced only when the caller says the user agreed.
    WriteBytes(m_dest + u"old.txt"_s, "keep me");
    m_client.Connect();
    EXPECT_THROW(
        m_client.Retrieve(HexText(u"beside.txt"_s), m_dest + u"old.txt"_s, 0, TFtpClient::TReplace::Never),
        EFtpError);
    EXPECT_EQ(ReadBytes(m_dest + u"old.txt"_s), "keep me");
    m_client.Retrieve(HexText(u"beside.txt"_s), m_dest + u"old.txt"_s);
    EXPECT_EQ(ReadBytes(m_dest + u"old.txt"_s), "beside");
    m_client.Disconnect();
    EXPECT_EQ(QDir(m_dest).entryList({u".jv-download-*"_s}, QDir::Hidden | QDir::Files), QStringList());
}

TEST_F(FtpServerTest, EndlessListingsAndForgottenOffersFailWithTheirReason)
{
    auto reason = [this](const std::function<void()>& steps) {
        try {
            steps();
        } catch (const EFtpExplained& e) {
            m_client.Disconnect();
            return e.message();
        }
        m_client.Disconnect();
        return QString();
    };
    m_client.SetListingLimits(4, 1 << 20); // 发送 lists ., .., 空, 二级, 大.bin
    EXPECT_TRUE(reason([&] {
                    m_client.Connect();
                    m_client.DownloadFolder(u"发送"_s, m_dest);
                }).contains(u"下载已停止"_s));
    m_client.SetListingLimits(1000, 100);
    EXPECT_TRUE(reason([&] {
                    m_client.Connect();
                    m_client.DownloadFolder(u"发送"_s, m_dest);
                }).contains(u"下载已停止"_s));

    // A copy that started again knows nothing of its earlier offers; one that ended them says so.
    TFtpServer restarted;
    ASSERT_TRUE(restarted.Start(0, 0, Loopback));
    TFtpClient client;
    client.SetHost(u"127.0.0.1"_s);
    client.SetPort(restarted.ControlPort());
    client.SetUser(u"ParentDir"_s);
    client.SetPassword(HexText(m_base));
    try {
        client.Connect();
        ADD_FAILURE() << "a forgotten offer was served";
    } catch (const EFtpExplained& e) {
        EXPECT_EQ(e.message(), u"对方已重新启动，请让对方重新发送"_s);
    }
    m_server.Access().EndOffers();
    EXPECT_TRUE(reason([&] { m_client.Connect(); }).contains(u"撤回"_s));
}
