#include "core/TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "TestSupport.h"

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

TEST(TextFile, AFolderThatRefusesNewFilesKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + u"/kept.txt"_s;
    WriteTextFileLines(path, {u"old"_s});
    const QByteArray before = ReadBytes(path);
    // The folder refuses new files: the temporary file cannot be created.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(dir.path()).isWritable()) {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        GTEST_SKIP() << "running as root: folder permissions do not stop this user";
    }
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
