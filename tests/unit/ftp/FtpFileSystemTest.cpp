// The server's mapping of FTP commands onto the disk, on temporary folders: the two accounts,
// hex names, going up and down, and every way out of the offered item that must stay shut.
#include "messenger/ftp/FtpFileSystem.h"
#include "core/TextFile.h"
#include "messenger/ftp/FtpNames.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {
const QHostAddress Peer(u"10.0.0.2"_s);
const QHostAddress Stranger(u"10.0.0.3"_s);

class FtpFileSystemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_base = m_dir.path() + u"/base/"_s;
        QDir().mkpath(m_base + u"相册/子目录"_s);
        QDir().mkpath(m_base + u"beside"_s);
        WriteBytes(m_base + u"相册/照片.txt"_s, "photo");
        WriteBytes(m_base + u"相册/子目录/深.txt"_s, "deep");
        WriteBytes(m_base + u"secret.txt"_s, "secret");
        WriteBytes(m_base + u"offered.txt"_s, "file offer");
        QDir().mkpath(m_dir.path() + u"/share"_s);
        WriteBytes(m_dir.path() + u"/share/a.txt"_s, "aaa");
        WriteBytes(m_dir.path() + u"/share/b.txt"_s, "bbb");
        m_access.SetShareRoot(m_dir.path() + u"/share/"_s);
        m_access.OfferItems(Peer, {u"Dir="_s + m_base + u"相册"_s, u"File="_s + m_base + u"offered.txt"_s});
    }
    QStringList Names(const QList<TFtpListItem>& items)
    {
        QStringList names;
        for (const TFtpListItem& item : items)
            names << TextFromHex(item.name);
        return names;
    }

    QTemporaryDir m_dir;
    QString m_base;
    TFtpAccess m_access;
};
} // namespace

TEST(FtpNamesTest, HexTextIsGb18030BytesAndOnlyTheLastSegmentIsDecoded)
{
    EXPECT_EQ(HexText(u"测试"_s), u"B2E2CAD4"_s);
    EXPECT_EQ(HexText(QString()), QString());
    EXPECT_EQ(TextFromHex(u"b2e2cad4"_s), u"测试"_s);
    EXPECT_EQ(DecodeLastSegment(u"/a/b/C4E3"_s), u"/a/b/你"_s);
    EXPECT_EQ(DecodeLastSegment(u"C4E3"_s), u"你"_s);
    EXPECT_EQ(DecodeLastSegment(u"/a/"_s), u"/a/"_s);
    EXPECT_TRUE(IsHexText(u"0aFF"_s));
    EXPECT_FALSE(IsHexText(u"0aF"_s));
    EXPECT_FALSE(IsHexText(u"zz"_s));
    for (const QString& bad : {u""_s, u"."_s, u".."_s, u"a/b"_s, u"a\\b"_s, QString(u"a"_s + QChar(0))})
        EXPECT_FALSE(IsPlainName(bad)) << bad.toStdString();
    EXPECT_EQ(FolderPart(u"/home/u/x.txt"_s), u"/home/u/"_s);
    EXPECT_EQ(NamePart(u"C:\\dir\\x.txt"_s), u"x.txt"_s);
}

TEST_F(FtpFileSystemTest, ParentDirLoginNeedsAnOfferToThatAddressFromThatFolder)
{
    EXPECT_TRUE(TFtpFileSystem(m_access, Peer).Login(u"ParentDir"_s, HexText(m_base)));
    EXPECT_TRUE(
        TFtpFileSystem(m_access, QHostAddress(u"::ffff:10.0.0.2"_s)).Login(u"ParentDir"_s, HexText(m_base)));
    // Anyone else, any other folder, a folder that does not exist, text that is not hex.
    EXPECT_FALSE(TFtpFileSystem(m_access, Stranger).Login(u"ParentDir"_s, HexText(m_base)));
    EXPECT_FALSE(TFtpFileSystem(m_access, Peer).Login(u"ParentDir"_s, HexText(u"/etc"_s)));
    EXPECT_FALSE(TFtpFileSystem(m_access, Peer).Login(u"ParentDir"_s, HexText(u"/"_s)));
    EXPECT_FALSE(TFtpFileSystem(m_access, Peer).Login(u"ParentDir"_s, HexText(m_base + u"相册"_s)));
    EXPECT_FALSE(TFtpFileSystem(m_access, Peer).Login(u"ParentDir"_s, m_base));
    EXPECT_FALSE(TFtpFileSystem(m_access, Peer).Login(u"parentdir"_s, HexText(m_base)));
    QDir(m_base).removeRecursively();
    EXPECT_FALSE(TFtpFileSystem(m_access, Peer).Login(u"ParentDir"_s, HexText(m_base)));

    EXPECT_TRUE(TFtpFileSystem(m_access, Stranger).Login(u"SharePath"_s, u"anything"_s));
    EXPECT_FALSE(TFtpFileSystem(m_access, Stranger).Login(u"Guest"_s, QString()));
    TFtpAccess noShare;
    EXPECT_FALSE(TFtpFileSystem(noShare, Peer).Login(u"SharePath"_s, u"x"_s));
}

TEST_F(FtpFileSystemTest, OfferedFolderIsListedInHexAndWalkedDownAndUp)
{
    TFtpFileSystem fs(m_access, Peer);
    ASSERT_TRUE(fs.Login(u"ParentDir"_s, HexText(m_base)));
    // The top shows the offered items only.
    EXPECT_EQ(Names(fs.List(QString())), (QStringList{u"."_s, u".."_s, u"相册"_s, u"offered.txt"_s}));

    fs.ChangeDir(HexText(u"相册"_s));
    EXPECT_EQ(fs.CurrentDir(), u"/相册"_s);
    const QList<TFtpListItem> items = fs.List(QString());
    EXPECT_EQ(Names(items), (QStringList{u"."_s, u".."_s, u"子目录"_s, u"照片.txt"_s}));
    const TFtpListItem& photo = items.last();
    EXPECT_TRUE(QRegularExpression(u"^[0-9A-F]+$"_s).match(photo.name).hasMatch());
    EXPECT_EQ(photo.name.size(), 2 * AnsiFromText(u"照片.txt"_s).size());
    EXPECT_EQ(photo.size, 5);
    EXPECT_TRUE(items[2].isFolder);

    fs.ChangeDir(HexText(u"子目录"_s));
    EXPECT_EQ(fs.CurrentDir(), u"/相册/子目录"_s);
    EXPECT_EQ(ReadBytes(fs.RetrievePath(HexText(u"深.txt"_s))), "deep");
    fs.ChangeDir(u"..\\"_s);
    EXPECT_EQ(fs.CurrentDir(), u"/相册"_s);
    fs.ChangeDir(u".."_s);
    fs.ChangeDir(u".."_s); // the top is as far as it goes
    EXPECT_EQ(fs.CurrentDir(), u"/"_s);
    EXPECT_EQ(ReadBytes(fs.RetrievePath(HexText(u"offered.txt"_s))), "file offer");
}

TEST_F(FtpFileSystemTest, RetrieveDecodesForParentDirAndIsLiteralForSharePath)
{
    TFtpFileSystem parent(m_access, Peer);
    ASSERT_TRUE(parent.Login(u"ParentDir"_s, HexText(m_base)));
    // Only the last segment is hex: folders above it are as the current directory holds them.
    EXPECT_EQ(ReadBytes(parent.RetrievePath(u"/相册/"_s + HexText(u"照片.txt"_s))), "photo");

    TFtpFileSystem share(m_access, Peer);
    ASSERT_TRUE(share.Login(u"SharePath"_s, QString()));
    EXPECT_EQ(ReadBytes(share.RetrievePath(u"a.txt"_s)), "aaa");
    EXPECT_THROW(share.RetrievePath(HexText(u"a.txt"_s)), EFtpRefused);
}

TEST_F(FtpFileSystemTest, NothingBesideTheOfferedItemIsReachable)
{
    QFile::link(m_base + u"secret.txt"_s, m_base + u"相册/link-out.txt"_s);
    QFile::link(m_base + u"相册/照片.txt"_s, m_base + u"相册/link-in.txt"_s);
    TFtpFileSystem fs(m_access, Peer);
    ASSERT_TRUE(fs.Login(u"ParentDir"_s, HexText(m_base)));
    const QStringList refused{
        HexText(u"secret.txt"_s),                      // beside the offered items
        HexText(u"beside"_s) + u'/' + HexText(u"x"_s), // a folder that was not offered
        HexText(u".."_s),                              // up out of the root
        HexText(u"../secret.txt"_s),                   // a name that holds "/"
        HexText(u"..\\secret.txt"_s),                  // or "\"
        u"/"_s + HexText(u"/etc/passwd"_s),
        u"../"_s + HexText(u"secret.txt"_s),
        u"/"_s + HexText(u"相册"_s) + u"/../"_s + HexText(u"secret.txt"_s),
        u"/"_s + HexText(u"offered.txt"_s) + u'/' + HexText(u"x"_s),
        u"/"_s + HexText(u"相册"_s) + u'/' + HexText(u"link-out.txt"_s),
        u"secret.txt"_s, // not hex at all
    };
    for (const QString& path : refused)
        EXPECT_THROW(fs.RetrievePath(path), EFtpRefused) << path.toStdString();
    EXPECT_THROW(fs.ChangeDir(HexText(u"beside"_s)), EFtpRefused);
    EXPECT_THROW(fs.ChangeDir(HexText(u".."_s)), EFtpRefused);
    EXPECT_THROW(fs.List(u"/"_s + HexText(u"beside"_s)), EFtpRefused);
    EXPECT_THROW(fs.StorePath(HexText(u"new.txt"_s)), EFtpRefused);
    EXPECT_THROW(fs.MakeDir(HexText(u"new"_s)), EFtpRefused);

    fs.ChangeDir(HexText(u"相册"_s));
    const QStringList names = Names(fs.List(QString()));
    EXPECT_FALSE(names.contains(u"link-out.txt"_s));
    EXPECT_TRUE(names.contains(u"link-in.txt"_s));
    EXPECT_EQ(ReadBytes(fs.RetrievePath(HexText(u"link-in.txt"_s))), "photo");
}

TEST_F(FtpFileSystemTest, LinksBackUpTheOfferedTreeAreNotListed)
{
    // A link to the offered folder itself, and two folders whose links point at each other:
    // listed, they would make the tree endless for a receiver walking it.
    QFile::link(m_base + u"相册"_s, m_base + u"相册/子目录/up"_s);
    QDir().mkpath(m_base + u"相册/甲"_s);
    QFile::link(m_base + u"相册/子目录"_s, m_base + u"相册/甲/to-sub"_s);
    QFile::link(m_base + u"相册/甲"_s, m_base + u"相册/子目录/to-jia"_s);
    TFtpFileSystem fs(m_access, Peer);
    ASSERT_TRUE(fs.Login(u"ParentDir"_s, HexText(m_base)));
    fs.ChangeDir(HexText(u"相册"_s));
    fs.ChangeDir(HexText(u"子目录"_s));
    // From 子目录 the link to 甲 leads somewhere new; the one to 相册 leads back.
    EXPECT_EQ(Names(fs.List(QString())), (QStringList{u"."_s, u".."_s, u"to-jia"_s, u"深.txt"_s}));
    fs.ChangeDir(HexText(u"to-jia"_s));
    EXPECT_EQ(Names(fs.List(QString())), (QStringList{u"."_s, u".."_s}));
}

TEST_F(FtpFileSystemTest, ShareFolderWritesStayInsideAndRenameNeverOverwrites)
{
    const QString share = m_dir.path() + u"/share/"_s;
    QFile::link(m_base, share + u"out"_s);
    TFtpFileSystem fs(m_access, Stranger);
    ASSERT_TRUE(fs.Login(u"SharePath"_s, u"x"_s));
    EXPECT_EQ(fs.StorePath(u"up.txt"_s), share + u"up.txt"_s);
    EXPECT_THROW(fs.StorePath(u"../escape.txt"_s), EFtpRefused);
    EXPECT_THROW(fs.StorePath(u"out/secret.txt"_s), EFtpRefused);
    EXPECT_THROW(fs.RetrievePath(u"out/secret.txt"_s), EFtpRefused);

    fs.MakeDir(u"made"_s);
    EXPECT_TRUE(QFileInfo(share + u"made"_s).isDir());
    EXPECT_EQ(fs.Size(u"a.txt"_s), 3);
    EXPECT_EQ(fs.Size(u"missing"_s), 0);

    fs.RemoveDir(u"/"_s);
    fs.RemoveDir(QString());
    EXPECT_TRUE(QFileInfo::exists(share + u"a.txt"_s));
    fs.RemoveDir(u"made"_s);
    EXPECT_FALSE(QFileInfo::exists(share + u"made"_s));

    fs.RenameFrom(u"a.txt"_s);
    try {
        fs.RenameTo(u"b.txt"_s);
        ADD_FAILURE() << "rename onto an existing name went through";
    } catch (const EFtpRefused& e) {
        EXPECT_EQ(e.message(), u"b.txt已经存在,请重新改变文件名称."_s);
    }
    EXPECT_EQ(ReadBytes(share + u"a.txt"_s), "aaa");
    EXPECT_EQ(ReadBytes(share + u"b.txt"_s), "bbb");
    fs.RenameFrom(u"a.txt"_s);
    fs.RenameTo(u"c.txt"_s);
    EXPECT_EQ(ReadBytes(share + u"c.txt"_s), "aaa");

    fs.DeleteFile(u"c.txt"_s);
    EXPECT_FALSE(QFileInfo::exists(share + u"c.txt"_s));
    EXPECT_TRUE(QFileInfo::exists(m_base + u"secret.txt"_s));
}

TEST_F(FtpFileSystemTest, OfferedItemsReplacedByLinksReachNothingAndOffersEnd)
{
    TFtpFileSystem before(m_access, Peer);
    ASSERT_TRUE(before.Login(u"ParentDir"_s, HexText(m_base)));
    EXPECT_EQ(ReadBytes(before.RetrievePath(HexText(u"offered.txt"_s))), "file offer");

    // After the offer the file becomes a link to a file outside, and the folder a link to "/".
    QFile::remove(m_base + u"offered.txt"_s);
    ASSERT_TRUE(QFile::link(m_base + u"secret.txt"_s, m_base + u"offered.txt"_s));
    ASSERT_TRUE(QDir(m_base + u"相册"_s).removeRecursively());
    ASSERT_TRUE(QFile::link(u"/"_s, m_base + u"相册"_s));
    TFtpFileSystem fs(m_access, Peer);
    ASSERT_TRUE(fs.Login(u"ParentDir"_s, HexText(m_base)));
    EXPECT_THROW(fs.RetrievePath(HexText(u"offered.txt"_s)), EFtpRefused);
    EXPECT_THROW(fs.OpenForRetrieve(HexText(u"offered.txt"_s)), EFtpRefused);
    EXPECT_THROW(before.OpenForRetrieve(HexText(u"offered.txt"_s)), EFtpRefused);
    EXPECT_THROW(fs.List(u"/相册"_s), EFtpRefused);
    EXPECT_THROW(fs.RetrievePath(u"/相册/etc/"_s + HexText(u"passwd"_s)), EFtpRefused);
    EXPECT_THROW(fs.ChangeDir(HexText(u"相册"_s)), EFtpRefused);
    EXPECT_EQ(Names(fs.List(QString())), (QStringList{u"."_s, u".."_s}));

    // New offers to the peer end its old ones; a refusal then says the offer ended, which a
    // stranger's or a forgotten one's does not.
    m_access.OfferItems(Peer, {u"File="_s + m_base + u"secret.txt"_s});
    TFtpFileSystem renewed(m_access, Peer);
    ASSERT_TRUE(renewed.Login(u"ParentDir"_s, HexText(m_base)));
    EXPECT_EQ(ReadBytes(renewed.RetrievePath(HexText(u"secret.txt"_s))), "secret");
    EXPECT_EQ(Names(renewed.List(QString())), (QStringList{u"."_s, u".."_s, u"secret.txt"_s}));
    m_access.EndOffers();
    TFtpFileSystem ended(m_access, Peer);
    EXPECT_FALSE(ended.Login(u"ParentDir"_s, HexText(m_base)));
    EXPECT_TRUE(ended.OfferEnded());
    TFtpFileSystem stranger(m_access, Stranger);
    EXPECT_FALSE(stranger.Login(u"ParentDir"_s, HexText(m_base)));
    EXPECT_FALSE(stranger.OfferEnded());
    // An offer outlives its lifetime by nothing.
    m_access.SetOfferLifetime(0);
    m_access.OfferItems(Stranger, {u"File="_s + m_base + u"secret.txt"_s});
    EXPECT_FALSE(stranger.Login(u"ParentDir"_s, HexText(m_base)));
    EXPECT_TRUE(stranger.OfferEnded());
}

TEST_F(FtpFileSystemTest, LinuxPathsGoOutSoThatAPeerSplittingAtBackslashOrColonFindsThem)
{
    WriteBytes(m_base + u"会议:纪要.txt"_s, "colon");
    const QStringList wire =
        m_access.OfferItems(Peer, {u"Dir="_s + m_base + u"相册/"_s, u"File="_s + m_base + u"会议:纪要.txt"_s,
                                   u"File=C:\\dir\\x.txt"_s});
    ASSERT_EQ(wire.size(), 3);
    EXPECT_EQ(wire[0], u"Dir="_s + QString(m_base).replace(u'/', u'\\') + u"相册"_s);
    EXPECT_FALSE(wire[1].contains(u'/'));
    EXPECT_EQ(wire[2], u"File=C:\\dir\\x.txt"_s); // a peer's own form goes out as it is

    // A peer built to the design: the folder part runs to the last "\" or ":", the name after it.
    auto split = [](const QString& item, QString& folder, QString& name) {
        const QString value = item.mid(item.indexOf(u'=') + 1);
        const qsizetype cut = std::max(value.lastIndexOf(u'\\'), value.lastIndexOf(u':'));
        folder = value.left(cut + 1);
        name = value.mid(cut + 1);
    };
    QString folder, name;
    split(wire[0], folder, name);
    TFtpFileSystem dir(m_access, Peer);
    ASSERT_TRUE(dir.Login(u"ParentDir"_s, HexText(folder)));
    dir.ChangeDir(HexText(name));
    EXPECT_EQ(Names(dir.List(QString())), (QStringList{u"."_s, u".."_s, u"子目录"_s, u"照片.txt"_s}));
    EXPECT_EQ(ReadBytes(dir.RetrievePath(HexText(u"照片.txt"_s))), "photo");

    split(wire[1], folder, name);
    EXPECT_EQ(name, u"纪要.txt"_s);
    TFtpFileSystem file(m_access, Peer);
    ASSERT_TRUE(file.Login(u"ParentDir"_s, HexText(folder)));
    EXPECT_EQ(ReadBytes(file.RetrievePath(HexText(name))), "colon");
    // A copy that splits at "/" as well still logs in with the local folder.
    TFtpFileSystem local(m_access, Peer);
    ASSERT_TRUE(local.Login(u"ParentDir"_s, HexText(m_base)));
    EXPECT_EQ(ReadBytes(local.RetrievePath(u"/相册/"_s + HexText(u"照片.txt"_s))), "photo");
}
