#include "notes/FileCommands.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

class BackupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        app = dir.filePath(u"app/"_s);
        ASSERT_TRUE(QDir().mkpath(app + u"Data/sub/empty"_s));
        WriteBytes(app + u"Data/{1}.txt"_s, Utf16Le(u"1\r\n页\r\n"_s));
        WriteBytes(app + u"Data/.hidden"_s, "h");
        WriteBytes(app + u"Data/sub/deep.bin"_s, QByteArray("\0\1\2", 3));
        WriteBytes(app + u"chat.txt"_s, Utf16Le(u"chat\r\n"_s));
        WriteBytes(app + u"Config.ini"_s, Utf16Le(u"[Config]\r\n"_s));
        WriteBytes(app + QString::fromUtf16(kAddressBookDataFile), "cards");
    }
    QTemporaryDir dir;
    QString app;
};

} // namespace

TEST_F(BackupTest, CopiesDataWithHiddenFilesAndTheSettingsByteForByte)
{
    const QString target = dir.filePath(u"backup/"_s);
    ASSERT_TRUE(QDir().mkpath(target + u"Data"_s));
    WriteBytes(target + u"Data/{1}.txt"_s, "older");
    WriteBytes(target + u"keep.txt"_s, "mine");

    const QList<TBackupEntry> plan = PlanBackup(app, target);
    QStringList names;
    for (const TBackupEntry& e : plan)
        names << e.name;
    EXPECT_EQ(names, (QStringList{u"Data"_s, u"Data/.hidden"_s, u"Data/sub"_s, u"Data/sub/deep.bin"_s,
                                  u"Data/sub/empty"_s, u"Data/{1}.txt"_s, u"chat.txt"_s, u"Config.ini"_s,
                                  QString::fromUtf16(kAddressBookDataFile)}));
    EXPECT_TRUE(RunBackup(plan).isEmpty());
    for (const QString& name : names.mid(1)) {
        if (QFileInfo(app + name).isFile()) {
            EXPECT_EQ(ReadBytes(target + name), ReadBytes(app + name)) << name.toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo(target + u"Data/sub/empty"_s).isDir());
    EXPECT_EQ(ReadBytes(target + u"keep.txt"_s), "mine");
    EXPECT_FALSE(QFile::exists(target + u"MSGConfig.ini"_s)); // absent in the source: not copied
}

TEST_F(BackupTest, ASkippedFileIsReportedAndTheRestStillCopied)
{
    const QString target = dir.filePath(u"backup/"_s);
    ASSERT_TRUE(QDir().mkpath(target + u"chat.txt"_s)); // a folder where the file should go
    const QList<TBackupFailure> failed = RunBackup(PlanBackup(app, target));
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed.first().name, u"chat.txt"_s);
    EXPECT_EQ(failed.first().reason, u"这是一个文件夹"_s);
    EXPECT_EQ(ReadBytes(target + u"Config.ini"_s), ReadBytes(app + u"Config.ini"_s));
    EXPECT_EQ(ReadBytes(target + u"Data/sub/deep.bin"_s), QByteArray("\0\1\2", 3));
}

TEST_F(BackupTest, RefusesTargetsThatWouldCopyAFolderIntoItself)
{
    EXPECT_FALSE(BackupTargetProblem(app, app).isEmpty());
    EXPECT_FALSE(BackupTargetProblem(app, app + u"Data/"_s).isEmpty());
    EXPECT_FALSE(BackupTargetProblem(app, app + u"Data/sub/new/"_s).isEmpty()); // not made yet
    ASSERT_TRUE(QFile::link(app + u"Data"_s, dir.filePath(u"link"_s)));
    EXPECT_FALSE(BackupTargetProblem(app, dir.filePath(u"link/sub/"_s)).isEmpty());

    EXPECT_EQ(BackupTargetProblem(app, app + u"Data2/"_s), QString());
    EXPECT_EQ(BackupTargetProblem(app, app + u"backups/"_s), QString());
    EXPECT_EQ(BackupTargetProblem(app, dir.filePath(u"elsewhere/"_s)), QString());
}
