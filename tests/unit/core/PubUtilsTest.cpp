#include "core/PubUtils.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TestSupport.h"

using namespace Qt::StringLiterals;

TEST(NormalizeDir, AddsOneSeparatorAndTrimsBlanksAndControls)
{
    EXPECT_EQ(NormalizeDir(QString()), QString());
    EXPECT_EQ(NormalizeDir(u"  \t "_s), QString());
    EXPECT_EQ(NormalizeDir(u"  /tmp/x \r\n"_s), u"/tmp/x/"_s);
    EXPECT_EQ(NormalizeDir(u"/tmp/x/"_s), u"/tmp/x/"_s);
    // A path received from a Windows peer keeps its own separator.
    EXPECT_EQ(NormalizeDir(u"C:\\x\\"_s), u"C:\\x\\"_s);
}

TEST(IsInteger, AcceptsTheDecimalAndHexFormsWithinThirtyTwoBits)
{
    EXPECT_TRUE(IsInteger(u"12"_s));
    EXPECT_TRUE(IsInteger(u" -7"_s));
    EXPECT_TRUE(IsInteger(u"+7"_s));
    EXPECT_TRUE(IsInteger(u"$1F"_s));
    EXPECT_TRUE(IsInteger(u"0x10"_s));
    EXPECT_TRUE(IsInteger(u"x10"_s));
    EXPECT_TRUE(IsInteger(u"2147483647"_s));
    EXPECT_TRUE(IsInteger(u"-2147483648"_s));
    EXPECT_FALSE(IsInteger(u"12 "_s));
    EXPECT_FALSE(IsInteger(QString()));
    EXPECT_FALSE(IsInteger(u"1.5"_s));
    EXPECT_FALSE(IsInteger(u"2147483648"_s));
    EXPECT_FALSE(IsInteger(u"-2147483649"_s));
    EXPECT_FALSE(IsInteger(u"12abc"_s));
    EXPECT_FALSE(IsInteger(u"-"_s));
    EXPECT_FALSE(IsInteger(u"0x"_s));
    EXPECT_EQ(StrToIntDef(u"0x10"_s, -1), 16);
    EXPECT_EQ(StrToIntDef(u"$FFFFFFFF"_s, 0), -1);
    EXPECT_EQ(StrToIntDef(u" -7"_s, 0), -7);
    EXPECT_EQ(StrToIntDef(u"12abc"_s, 99), 99);
}

TEST(CharHelpers, LastCharPosIsOneBasedAndReplaceCharReplacesAll)
{
    EXPECT_EQ(LastCharPos(u'\\', u"a\\b\\c"_s), 4);
    EXPECT_EQ(LastCharPos(u'z', u"abc"_s), 0);
    EXPECT_EQ(ReplaceChar(u"a/b/c"_s, u'/', u'\\'), u"a\\b\\c"_s);
}

TEST(Hex, RoundTripsAndReadsLowerCase)
{
    EXPECT_EQ(BytesToHex(QByteArray("\x0A\xFF", 2)), QByteArray("0AFF"));
    EXPECT_EQ(BytesToHex(QByteArray()), QByteArray());
    EXPECT_EQ(HexToBytes("0aff"), QByteArray("\x0A\xFF", 2));
    EXPECT_EQ(HexToBytes("0AFF"), QByteArray("\x0A\xFF", 2));
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    EXPECT_EQ(HexToBytes(BytesToHex(all)), all);
    // An odd last digit is the high nibble of one more byte; nothing runs past the end.
    EXPECT_EQ(HexToBytes("41A"), QByteArray("\x41\xA0", 2));
}

TEST(CopyFolder, CopiesTreesAndOverwritesTargets)
{
    QTemporaryDir dir;
    const QString source = dir.path() + u"/src"_s;
    QDir().mkpath(source + u"/sub/deeper"_s);
    WriteBytes(source + u"/a.txt"_s, "A");
    WriteBytes(source + u"/.hidden"_s, "H");
    WriteBytes(source + u"/sub/b.txt"_s, "B");
    WriteBytes(source + u"/sub/deeper/c.txt"_s, "C");
    const QString target = dir.path() + u"/out/nested"_s;
    QDir().mkpath(target);
    WriteBytes(target + u"/a.txt"_s, "old");

    CopyFolder(u" "_s + source + u" "_s, target, true);
    EXPECT_EQ(ReadBytes(target + u"/a.txt"_s), QByteArray("A"));
    EXPECT_EQ(ReadBytes(target + u"/.hidden"_s), QByteArray("H"));
    EXPECT_EQ(ReadBytes(target + u"/sub/b.txt"_s), QByteArray("B"));
    EXPECT_EQ(ReadBytes(target + u"/sub/deeper/c.txt"_s), QByteArray("C"));

    const QString flat = dir.path() + u"/flat"_s;
    CopyFolder(source, flat, false);
    EXPECT_EQ(ReadBytes(flat + u"/a.txt"_s), QByteArray("A"));
    EXPECT_FALSE(QFile::exists(flat + u"/sub"_s));

    // A missing source copies nothing and creates the target.
    CopyFolder(dir.path() + u"/missing"_s, dir.path() + u"/empty"_s, true);
    EXPECT_TRUE(QDir(dir.path() + u"/empty"_s).exists());
}

TEST(IsFolder, TellsFoldersFromFilesAndFollowsWildcards)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + u"/folder"_s);
    WriteBytes(dir.path() + u"/file.txt"_s, "x");
    EXPECT_TRUE(IsFolder(dir.path() + u"/folder"_s));
    EXPECT_FALSE(IsFolder(dir.path() + u"/file.txt"_s));
    EXPECT_FALSE(IsFolder(dir.path() + u"/none"_s));
    EXPECT_FALSE(IsFolder(QString()));
    EXPECT_TRUE(IsFolder(dir.path() + u"/fold*"_s));
    EXPECT_FALSE(IsFolder(dir.path() + u"/*.txt"_s));
}
