#include "core/TextFile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "TestSupport.h"

#include <algorithm>
#include <utility>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

TEST(SplitLines, EndsLinesAtCrLfLoneCrAndLoneLf)
{
    EXPECT_EQ(SplitLines(u"a\r\nb\rc\nd"_s), (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s}));
    EXPECT_EQ(SplitLines(u"a\r\n"_s), QStringList{u"a"_s});
    EXPECT_EQ(SplitLines(u"a\r\n\r\n"_s), (QStringList{u"a"_s, QString()}));
    EXPECT_EQ(SplitLines(u"\r\n"_s), QStringList{QString()});
    EXPECT_EQ(SplitLines(QString()), QStringList());
    EXPECT_EQ(SplitLines(u"a\n\rb"_s), (QStringList{u"a"_s, QString(), u"b"_s}));
    // A NUL ends the text.
    EXPECT_EQ(SplitLines(u"a\r\nb"_s + QChar(0) + u"c\r\nd"_s), (QStringList{u"a"_s, u"b"_s}));
    EXPECT_EQ(JoinLines({u"a"_s, QString(), u"b"_s}), u"a\r\n\r\nb\r\n"_s);
    EXPECT_EQ(JoinLines({}), QString());
}

TEST(TextEncoding, DecodesByMarkAndGb18030WithoutOne)
{
    const QString chinese = u"默认页 – 你好"_s;
    TTextEncoding found{};
    EXPECT_EQ(DecodeText(Utf16Le(chinese), &found), chinese);
    EXPECT_EQ(found, TTextEncoding::Utf16LE);
    EXPECT_EQ(DecodeText(EncodeText(chinese, TTextEncoding::Utf16BE), &found), chinese);
    EXPECT_EQ(found, TTextEncoding::Utf16BE);
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF" + chinese.toUtf8(), &found), chinese);
    EXPECT_EQ(found, TTextEncoding::Utf8);
    // 你好 in GB18030 (and GBK) is C4 E3 BA C3.
    EXPECT_EQ(DecodeText(QByteArray("\xC4\xE3\xBA\xC3"), &found), u"你好"_s);
    EXPECT_EQ(found, TTextEncoding::Ansi);
    EXPECT_EQ(AnsiFromText(u"你好"_s), QByteArray("\xC4\xE3\xBA\xC3"));
    // GB18030 holds every character, also those outside GBK.
    const QString rare = u"😀€"_s;
    EXPECT_EQ(TextFromAnsi(AnsiFromText(rare)), rare);
    EXPECT_EQ(EncodeText(u"A"_s, TTextEncoding::Utf16LE), QByteArray("\xFF\xFE"
                                                                     "A\0",
                                                                     4));
    EXPECT_EQ(DecodeText(QByteArray()), QString());
}

TEST(TextFile, WritesUtf16WithMarkAndCrLfAfterEveryLine)
{
    QTemporaryDir dir;
    const QString path = dir.path() + u"/page.txt"_s;
    WriteTextFileLines(path, {u"0"_s, u"标题"_s, QString()});
    EXPECT_EQ(ReadBytes(path), Utf16Le(u"0\r\n标题\r\n\r\n"_s));
    EXPECT_EQ(ReadTextFileLines(path), (QStringList{u"0"_s, u"标题"_s, QString()}));
    // No temporary file stays behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(TextFile, FailedWritesRaise)
{
    QTemporaryDir dir;
    EXPECT_THROW(WriteTextFileLines(dir.path() + u"/no/such/folder/x.txt"_s, {u"x"_s}), EFileError);
    EXPECT_THROW(ReadTextFile(dir.path() + u"/missing.txt"_s), EFileError);
}

namespace {

// Runs the current test case again in a copy of this program as the user nobody (through
// setpriv), and expects it to pass there. Folder permissions do not stop root, so a case about
// them runs this way when the tests run as root, as they do in CI.
void RunAsNobody()
{
    ASSERT_FALSE(QStandardPaths::findExecutable(u"setpriv"_s).isEmpty())
        << "setpriv (util-linux) runs this case as nobody";
    // The build folder may be closed to other users: the copy goes where every user can read it.
    QTemporaryDir shared(u"/tmp/jv-nobody-XXXXXX"_s);
    ASSERT_TRUE(shared.isValid());
    ASSERT_TRUE(QFile::setPermissions(shared.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadOther | QFile::ExeOther));
    const QString copy =
        shared.path() + u"/"_s + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    const ::testing::TestInfo* self = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TMPDIR"_s, u"/tmp"_s);
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(shared.path());
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(u"setpriv"_s, {u"--reuid=nobody"_s, u"--regid=nogroup"_s, u"--clear-groups"_s, copy,
                               u"--gtest_filter=%1.%2"_s.arg(QLatin1String(self->test_suite_name()),
                                                             QLatin1String(self->name()))});
    ASSERT_TRUE(child.waitForFinished(120'000));
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output;
    EXPECT_EQ(child.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << "the case ran as nobody:\n"
                                                                      << output;
}

} // namespace

TEST(TextFile, AFolderThatRefusesNewFilesKeepsTheOldFile)
{
    if (::geteuid() == 0) {
        RunAsNobody();
        return;
    }
    QTemporaryDir dir;
    const QString path = dir.path() + u"/kept.txt"_s;
    WriteTextFileLines(path, {u"old"_s});
    const QByteArray before = ReadBytes(path);
    // The folder refuses new files: the temporary file cannot be created.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_FALSE(QFileInfo(dir.path()).isWritable()) << "this user is not stopped by folder permissions";
    EXPECT_THROW(WriteTextFileLines(path, {u"new"_s}), EFileError);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(ReadBytes(path), before);
}

TEST(TextEncoding, WithoutAMarkValidUtf8IsUtf8AndAnythingElseGb18030)
{
    TTextEncoding found{};
    // A UTF-8 file as Linux editors write it: no mark.
    EXPECT_EQ(DecodeText(u"笔记\r\n"_s.toUtf8(), &found), u"笔记\r\n"_s);
    EXPECT_EQ(found, TTextEncoding::Utf8NoMark);
    // One byte that is not UTF-8 makes the whole file GB18030.
    EXPECT_EQ(DecodeText(u"笔记"_s.toUtf8() + AnsiFromText(u"你好"_s), &found),
              TextFromAnsi(u"笔记"_s.toUtf8()) + u"你好"_s);
    EXPECT_EQ(found, TTextEncoding::Ansi);
    // Plain ASCII reads the same either way.
    EXPECT_EQ(DecodeText(QByteArray("0\r\nabc\r\n"), &found), u"0\r\nabc\r\n"_s);
    EXPECT_EQ(found, TTextEncoding::Ansi);
    // The rule's known ambiguity: 十一 in GBK (CA AE D2 BB) is also valid UTF-8, and reads as such.
    const QByteArray shiYi("\xCA\xAE\xD2\xBB");
    EXPECT_EQ(AnsiFromText(u"十一"_s), shiYi);
    EXPECT_EQ(DecodeText(shiYi, &found), u"\u02AE\u04BB"_s);
    EXPECT_EQ(found, TTextEncoding::Utf8NoMark);
    // A mark still decides before the rule.
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF" + shiYi, &found), u"\u02AE\u04BB"_s);
    EXPECT_EQ(found, TTextEncoding::Utf8);
    EXPECT_EQ(DecodeTextAs(shiYi, TTextEncoding::Ansi), u"十一"_s);
}

namespace {

// Fills the file system holding folder until only about `room` bytes are left.
void fillLeaving(const QString& folder, qint64 room)
{
    QFile filler(folder + u"/filler"_s);
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size()) {
    }
    filler.close();
    ASSERT_TRUE(filler.resize(std::max<qint64>(0, filler.size() - room)));
}

// Runs the body in a child that has its own mount namespace with a 64 KB file system mounted
// on folder; returns the child's exit status, or -1 when namespaces are not available here.
template <typename Body> int onSmallDisk(const QString& folder, Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0)
            ::_exit(77);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(TextFile, AFullDiskKeepsTheOldFileWhole)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const int status = onSmallDisk(folder, [&] {
        const QString path = folder + u"/1.txt"_s;
        const QByteArray old(3700, 'a');
        WriteFileAtomically(path, old);
        // Small writes stay in the buffer until the flush; the larger ones go straight out.
        for (const auto& [room, size] : {std::pair{0, 3700}, {8192, 12400}, {8192, 40000}}) {
            fillLeaving(folder, room);
            bool raised = false;
            try {
                WriteFileAtomically(path, QByteArray(size, 'b'));
            } catch (const EFileError& e) {
                raised = e.message() == u"无法写入文件 \""_s + path + u"\"。磁盘已满。"_s;
            }
            QFile::remove(folder + u"/filler"_s);
            if (!raised || ReadFileBytes(path) != old || QDir(folder).entryList(QDir::Files).size() != 1)
                return false;
        }
        return true;
    });
    if (status == 77)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(status, 0);
}

TEST(TextFile, ErrorsNameTheFileAndTheSystemsReason)
{
    QTemporaryDir dir;
    const QString missing = dir.path() + u"/none/1.txt"_s;
    try {
        ReadFileBytes(missing);
        ADD_FAILURE() << "a missing file was read";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.message(), u"无法打开文件 \""_s + missing + u"\"。文件或文件夹不存在。"_s);
    }
    try {
        WriteFileAtomically(missing, "x");
        ADD_FAILURE() << "a file was written into a missing folder";
    } catch (const EFileError& e) {
        EXPECT_TRUE(e.message().startsWith(u"无法创建文件 \""_s + missing + u"\"。"_s)) << e.what();
        EXPECT_FALSE(e.message().contains(u"error"_s, Qt::CaseInsensitive)) << e.what();
    }
}
