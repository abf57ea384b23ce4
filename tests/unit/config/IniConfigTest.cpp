#include "ConfigTestSupport.h"
#include "TestSupport.h"
#include "config/BaseConfigMgr.h"
#include "config/IniConfigIO.h"
#include "core/TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

template <qsizetype N> QByteArray raw(const char (&bytes)[N])
{
    return QByteArray(bytes, N - 1);
}

class IniStore : public ConfigFileTest
{
protected:
    // Loads text (UTF-16 LE) from a file, then saves the store into the same file.
    QByteArray roundTrip(const QStringList& lines)
    {
        const QString file = path(u"rt.ini"_s);
        WriteBytes(file, IniBytes(lines));
        store.LoadFromFile(file);
        store.SaveToFile(file);
        return ReadBytes(file);
    }

    TBaseConfigMgr store;
};

} // namespace

TEST_F(IniStore, WritesSectionsInBucketOrderAsUtf16WithMark)
{
    store.WriteBool(u"Config"_s, u"RunOnStartup"_s, true);
    store.WriteBool(u"Alarm"_s, u"Alarm"_s, true);
    const QString file = path(u"six.ini"_s);
    store.SaveToFile(file);
    // FF FE, then "[Alarm]", "Alarm=True", "", "[Config]", "RunOnStartup=True", "" in UTF-16 LE.
    EXPECT_EQ(Dump(ReadBytes(file)), Dump(raw("\xFF\xFE"
                                              "[\0A\0l\0a\0r\0m\0]\0\r\0\n\0"
                                              "A\0l\0a\0r\0m\0=\0T\0r\0u\0e\0\r\0\n\0"
                                              "\r\0\n\0"
                                              "[\0C\0o\0n\0f\0i\0g\0]\0\r\0\n\0"
                                              "R\0u\0n\0O\0n\0S\0t\0a\0r\0t\0u\0p\0=\0T\0r\0u\0e\0\r\0\n\0"
                                              "\r\0\n\0")));
}

TEST_F(IniStore, LoadingAMissingFileGivesAnEmptyStoreAndCreatesTheFile)
{
    const QString file = path(u"new.ini"_s);
    store.WriteString(u"Old"_s, u"k"_s, u"v"_s);
    store.LoadFromFile(file);
    EXPECT_TRUE(store.Sections().isEmpty());
    EXPECT_EQ(store.ReadString(u"Old"_s, u"k"_s, u"dflt"_s), u"dflt"_s);
    EXPECT_EQ(ReadBytes(file), QByteArray("\xFF\xFE"));
    // Nothing but the file itself: the temporary file is gone.
    EXPECT_EQ(QDir(path(QString())).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(IniStore, DropsCommentsBlankLinesAndLinesBeforeTheFirstSection)
{
    const QByteArray bytes =
        roundTrip({u"; a comment"_s, QString(), u"Orphan=1"_s, u"  [ Config ]  "_s, u"; inside"_s,
                   u"Test=kept"_s, QString(), u"   "_s, u"[Other]"_s, u"x=1"_s});
    EXPECT_EQ(Dump(bytes),
              Dump(IniBytes({u"[Config]"_s, u"Test=kept"_s, QString(), u"[Other]"_s, u"x=1"_s, QString()})));
    EXPECT_EQ(store.ReadString(u"Config"_s, u"Orphan"_s, u"none"_s), u"none"_s);
    EXPECT_TRUE(bytes.endsWith(QByteArray("\r\0\n\0\r\0\n\0", 8)));
}

TEST_F(IniStore, ALineWithoutEqualsComesBackAsEqualsAlone)
{
    const QByteArray bytes = roundTrip({u"[Config]"_s, u"just words"_s, u"a=1"_s});
    EXPECT_EQ(Dump(bytes), Dump(IniBytes({u"[Config]"_s, u"="_s, u"a=1"_s, QString()})));
    EXPECT_EQ(store.ReadString(u"Config"_s, QString(), u"dflt"_s), QString());
    // A line starting with "=" gives the nameless entry its value.
    roundTrip({u"[Config]"_s, u"words"_s, u"= v "_s});
    EXPECT_EQ(store.ReadString(u"Config"_s, QString(), u"dflt"_s), u"v"_s);
}

TEST_F(IniStore, TrimsBlanksAroundEqualsAndTheLastDuplicateCounts)
{
    const QByteArray bytes = roundTrip({u"[Alarm]"_s, u"  Beep = true  "_s, u"Alarm=False"_s,
                                        u"alarm = True"_s, u"key=a=b"_s, u"\tEmpty ="_s});
    EXPECT_TRUE(store.ReadBool(u"Alarm"_s, u"Beep"_s, false));
    EXPECT_EQ(store.ReadString(u"Alarm"_s, u"Beep"_s, QString()), u"true"_s);
    EXPECT_TRUE(store.ReadBool(u"Alarm"_s, u"Alarm"_s, false));
    EXPECT_EQ(store.ReadString(u"Alarm"_s, u"key"_s, QString()), u"a=b"_s);
    EXPECT_EQ(Dump(bytes), Dump(IniBytes({u"[Alarm]"_s, u"Beep=true"_s, u"Alarm=True"_s, u"key=a=b"_s,
                                          u"Empty="_s, QString()})));
}

TEST_F(IniStore, StoredEmptyValueIsAValueForStringsButNotForNumbers)
{
    store.WriteString(u"S"_s, u"k"_s, QString());
    EXPECT_EQ(store.ReadString(u"S"_s, u"k"_s, u"dflt"_s), QString());
    EXPECT_EQ(store.ReadInteger(u"S"_s, u"k"_s, 7), 7);
    EXPECT_TRUE(store.ReadBool(u"S"_s, u"k"_s, true));
    EXPECT_EQ(store.ReadString(u"S"_s, u"missing"_s, u"dflt"_s), u"dflt"_s);
    EXPECT_EQ(store.ReadString(u"Missing"_s, u"k"_s, u"dflt"_s), u"dflt"_s);
}

TEST_F(IniStore, ReadsIntegersAndBooleansOrTheDefault)
{
    const struct
    {
        const char16_t* text;
        int expected;
    } integers[] = {{u"0x10", 16},        {u"0X10", 16},
                    {u"$1f", 31},         {u"x10", 16},
                    {u"-5", -5},          {u"+7", 7},
                    {u"12abc", -99},      {u"", -99},
                    {u"1.5", -99},        {u"2147483647", 2147483647},
                    {u"2147483648", -99}, {u"-2147483648", -2147483647 - 1},
                    {u"4294967296", -99}, {u"$FFFFFFFF", -1},
                    {u"0x", -99},         {u"--1", -99}};
    for (const auto& row : integers) {
        store.WriteString(u"N"_s, u"v"_s, QString::fromUtf16(row.text));
        EXPECT_EQ(store.ReadInteger(u"N"_s, u"v"_s, -99), row.expected)
            << QString::fromUtf16(row.text).toStdString();
    }
    const struct
    {
        const char16_t* text;
        bool whenDefaultFalse;
        bool whenDefaultTrue;
    } booleans[] = {{u"0", false, false},     {u"2", true, true},       {u"-1", true, true},
                    {u"yes", false, true},    {u"True", true, true},    {u"TRUE", true, true},
                    {u"false", false, false}, {u"FaLsE", false, false}, {u"", false, true},
                    {u"Truely", false, true}};
    for (const auto& row : booleans) {
        store.WriteString(u"B"_s, u"v"_s, QString::fromUtf16(row.text));
        EXPECT_EQ(store.ReadBool(u"B"_s, u"v"_s, false), row.whenDefaultFalse)
            << QString::fromUtf16(row.text).toStdString();
        EXPECT_EQ(store.ReadBool(u"B"_s, u"v"_s, true), row.whenDefaultTrue)
            << QString::fromUtf16(row.text).toStdString();
    }
    store.WriteInteger(u"N"_s, u"w"_s, -16777211);
    EXPECT_EQ(store.ReadString(u"N"_s, u"w"_s, QString()), u"-16777211"_s);
    store.WriteBool(u"B"_s, u"w"_s, false);
    EXPECT_EQ(store.ReadString(u"B"_s, u"w"_s, QString()), u"False"_s);
}

TEST_F(IniStore, SectionNamesDifferingInCaseAreOneSection)
{
    store.WriteString(u"Config"_s, u"a"_s, u"1"_s);
    store.WriteString(u"CONFIG"_s, u"b"_s, u"2"_s);
    store.WriteString(u"config"_s, u"A"_s, u"3"_s);
    ASSERT_EQ(store.Sections().size(), 1);
    EXPECT_EQ(store.ReadString(u"cOnFiG"_s, u"a"_s, QString()), u"3"_s);
    const QString file = path(u"case.ini"_s);
    store.SaveToFile(file);
    EXPECT_EQ(Dump(ReadBytes(file)), Dump(IniBytes({u"[Config]"_s, u"a=3"_s, u"b=2"_s, QString()})));

    // In a file, a repeated section continues the first one; nothing of either is hidden.
    const QByteArray bytes = roundTrip(
        {u"[Config]"_s, u"a=1"_s, u"[Other]"_s, u"o=1"_s, u"[CONFIG]"_s, u"b=2"_s, u"A=9"_s, u"[config]"_s});
    EXPECT_EQ(store.ReadString(u"Config"_s, u"a"_s, QString()), u"9"_s);
    EXPECT_EQ(store.ReadString(u"Config"_s, u"b"_s, QString()), u"2"_s);
    EXPECT_EQ(Dump(bytes), Dump(IniBytes({u"[Config]"_s, u"a=9"_s, u"b=2"_s, QString(), u"[Other]"_s,
                                          u"o=1"_s, QString()})));
}

TEST_F(IniStore, SavingRewritesOnlyTheStoresSectionsAndKeepsTheRestAhead)
{
    const QString file = path(u"keep.ini"_s);
    WriteBytes(file,
               IniBytes({u"[Desktop]"_s, u"OnDesktop=False"_s, u"[Empty]"_s, u"[Alarm]"_s, u"Beep=False"_s}));
    store.LoadFromFile(file);
    EXPECT_EQ(store.Sections().size(), 2); // Empty holds no key
    // Meanwhile someone adds a section to the file.
    WriteBytes(file, IniBytes({u"[Desktop]"_s, u"OnDesktop=False"_s, u"[Empty]"_s, u"[Alarm]"_s,
                               u"Beep=False"_s, u"[Later]"_s, u"x=1"_s}));
    store.WriteBool(u"Alarm"_s, u"Alarm"_s, true);
    store.WriteString(u"Messager"_s, u"Messager"_s, u"True"_s);
    store.SaveToFile(file);
    EXPECT_EQ(Dump(ReadBytes(file)),
              Dump(IniBytes({u"[Empty]"_s, QString(), u"[Later]"_s, u"x=1"_s, QString(), u"[Alarm]"_s,
                             u"Beep=False"_s, u"Alarm=True"_s, QString(), u"[Messager]"_s, u"Messager=True"_s,
                             QString(), u"[Desktop]"_s, u"OnDesktop=False"_s, QString()})));
}

TEST_F(IniStore, ExistingFilesKeepTheirEncoding)
{
    const QString file = path(u"enc.ini"_s);
    const QString text = u"[Config]\r\nFontName=宋体\r\nUser=张三\r\n\r\n"_s;
    const struct
    {
        const char* name;
        QByteArray bytes;
        TIniConfigIO::TEncoding encoding;
    } cases[] = {
        {"utf-8 with mark", "\xEF\xBB\xBF" + text.toUtf8(), TIniConfigIO::TEncoding::Utf8Bom},
        {"utf-8", text.toUtf8(), TIniConfigIO::TEncoding::Utf8},
        {"gb18030", AnsiFromText(text), TIniConfigIO::TEncoding::Ansi},
        {"utf-16 be", EncodeText(text, TTextEncoding::Utf16BE), TIniConfigIO::TEncoding::Utf16BE},
        {"utf-16 le", EncodeText(text, TTextEncoding::Utf16LE), TIniConfigIO::TEncoding::Utf16LE},
        {"ascii", QByteArray("[Config]\r\nFontName=Tahoma\r\n\r\n"), TIniConfigIO::TEncoding::Ansi},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TIniConfigIO::EncodingOf(c.bytes), c.encoding);
        WriteBytes(file, c.bytes);
        store.LoadFromFile(file);
        if (c.bytes.contains("Tahoma")) {
            EXPECT_EQ(store.ReadString(u"Config"_s, u"FontName"_s, QString()), u"Tahoma"_s);
            continue;
        }
        EXPECT_EQ(store.ReadString(u"Config"_s, u"FontName"_s, QString()), u"宋体"_s);
        EXPECT_EQ(store.ReadString(u"Config"_s, u"User"_s, QString()), u"张三"_s);
        // Loading writes the same bytes back; saving a change keeps the encoding.
        EXPECT_EQ(Dump(ReadBytes(file)), Dump(c.bytes));
        store.WriteString(u"Config"_s, u"User"_s, u"李四"_s);
        store.SaveToFile(file);
        const QString changed = u"[Config]\r\nFontName=宋体\r\nUser=李四\r\n\r\n"_s;
        EXPECT_EQ(Dump(ReadBytes(file)), Dump(TIniConfigIO::Encode(changed, c.encoding)));
    }
    EXPECT_EQ(AnsiFromText(u"宋体"_s), QByteArray("\xCB\xCE\xCC\xE5"));
    EXPECT_EQ(TIniConfigIO::Encode(QString(), TIniConfigIO::TEncoding::Utf16BE), QByteArray("\xFE\xFF"));
}

TEST_F(IniStore, KeepsWhatFollowsANulCharacter)
{
    const QString file = path(u"nul.ini"_s);
    const QString text = u"[A]\r\nk=x"_s + QChar(0) + u"y\r\nafter=1\r\n\r\n"_s;
    WriteBytes(file, Utf16Le(text));
    store.LoadFromFile(file);
    EXPECT_EQ(store.ReadString(u"A"_s, u"k"_s, QString()), u"x"_s + QChar(0) + u"y"_s);
    EXPECT_EQ(store.ReadString(u"A"_s, u"after"_s, QString()), u"1"_s);
    EXPECT_EQ(ReadBytes(file), Utf16Le(text));
}

// A load rewrites the file only when that changes its bytes: the same file (the same inode)
// stays in place, while a comment dropped on the way makes a new one. A missing file is made,
// also when its name is too long for a temporary twin.
TEST_F(IniStore, ALoadRewritesTheFileOnlyWhenItsBytesChange)
{
    const auto inode = [](const QString& file) {
        struct stat info = {};
        return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_ino : ino_t(0);
    };
    const QString file = path(u"same.ini"_s);
    const QByteArray canonical = IniBytes({u"[A]"_s, u"k=v"_s, QString()});
    WriteBytes(file, canonical);
    const ino_t before = inode(file);
    store.LoadFromFile(file);
    EXPECT_EQ(inode(file), before);
    EXPECT_EQ(ReadBytes(file), canonical);

    WriteBytes(file, IniBytes({u"; note"_s, u"[A]"_s, u"k=v"_s}));
    const ino_t commented = inode(file);
    store.LoadFromFile(file);
    EXPECT_NE(inode(file), commented);
    EXPECT_EQ(ReadBytes(file), canonical);

    const QString longName = unwritablePath();
    store.LoadFromFile(longName);
    EXPECT_EQ(ReadBytes(longName), QByteArray("\xFF\xFE"));
}

TEST_F(IniStore, AnUnreadableFileFailsTheLoadAndIsNeverReplaced)
{
    const QString folder = path(u"Config.ini"_s);
    ASSERT_TRUE(QDir().mkpath(folder + u"/inner"_s));
    store.WriteString(u"A"_s, u"k"_s, u"v"_s);
    EXPECT_THROW(store.LoadFromFile(folder), EFileError);
    EXPECT_TRUE(store.Sections().isEmpty());
    store.WriteString(u"A"_s, u"k"_s, u"v"_s);
    EXPECT_THROW(store.SaveToFile(folder), EFileError);
    EXPECT_TRUE(QDir(folder + u"/inner"_s).exists());
}

TEST_F(IniStore, AFileThatCannotBeWrittenStillLoads)
{
    const QString file = unwritablePath();
    const QByteArray bytes = IniBytes({u"; note"_s, u"[Alarm]"_s, u"Beep=False"_s});
    WriteBytes(file, bytes);
    ASSERT_EQ(ReadBytes(file), bytes);
    store.LoadFromFile(file);
    EXPECT_FALSE(store.ReadBool(u"Alarm"_s, u"Beep"_s, true));
    store.WriteBool(u"Alarm"_s, u"Beep"_s, true);
    EXPECT_THROW(store.SaveToFile(file), EFileError);
    EXPECT_EQ(ReadBytes(file), bytes);
}

TEST(IniConfigIO, ReadsAndWritesTheDocumentBetweenOpenAndClose)
{
    QTemporaryDir dir;
    const QString file = dir.path() + u"/io.ini"_s;
    WriteBytes(file, IniBytes({u"[S]"_s, u"a=1"_s, u"b=2"_s, u"A=3"_s, u"[T]"_s}));
    TIniConfigIO io(file);
    EXPECT_THROW(io.ReadSections(), std::logic_error);
    io.Open();
    EXPECT_EQ(io.Encoding(), TIniConfigIO::TEncoding::Utf16LE);
    EXPECT_EQ(io.ReadSections(), (QStringList{u"S"_s, u"T"_s}));
    EXPECT_EQ(io.ReadSection(u"s"_s), (QStringList{u"a"_s, u"b"_s, u"A"_s}));
    EXPECT_EQ(io.ReadSection(u"none"_s), QStringList());
    EXPECT_EQ(io.ReadValue(u"S"_s, u"a"_s, u"d"_s), u"3"_s);
    EXPECT_EQ(io.ReadValue(u"S"_s, u"c"_s, u"d"_s), u"d"_s);
    EXPECT_EQ(io.ReadValue(u"T"_s, u"a"_s, u"d"_s), u"d"_s);
    io.WriteValue(u"s"_s, u"B"_s, u" x "_s); // replaces the line, spelled as passed
    io.WriteValue(u"New"_s, u"k"_s, u"v"_s);
    io.EraseSection(u"t"_s);
    io.EraseSection(u"absent"_s);
    io.Close();
    EXPECT_EQ(Dump(ReadBytes(file)), Dump(IniBytes({u"[S]"_s, u"a=1"_s, u"B= x "_s, u"A=3"_s, QString(),
                                                    u"[New]"_s, u"k=v"_s, QString()})));
    io.Close(); // a second Close does nothing
}

// The names are indexed for large files: the indexes must give exactly the answers of a walk
// through every name.
TEST_F(IniStore, ManyKeysKeepTheLookupRules)
{
    QStringList lines{u"[Big]"_s};
    constexpr int kKeys = 60000;
    for (int i = 0; i < kKeys; ++i)
        lines.append(u"Key%1=v%1"_s.arg(i));
    // Of names equal but for ASCII case the first keeps its place and spelling, the last value
    // counts; É and é are two names.
    lines += {u"KEY7=late"_s, u"É=upper"_s, u"é=lower"_s, u"noequals"_s};
    // Section names are folded per unit (ſ is s); one that comes again continues its section.
    lines += {u"[biſ]"_s, u"More=1"_s, u"[BIG]"_s, u"key8=again"_s};
    const QString file = path(u"big.ini"_s);
    WriteBytes(file, IniBytes(lines));

    store.LoadFromFile(file);
    const TPropertyList* big = store.FindSection(u"big"_s);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->Count(), kKeys + 3);
    EXPECT_EQ(store.ReadString(u"Big"_s, u"key7"_s, QString()), u"late"_s);
    EXPECT_EQ(big->IndexOf(u"kEy7"_s), 7);
    EXPECT_EQ(big->GetItem(7).Name, u"Key7"_s);
    EXPECT_EQ(store.ReadString(u"bIG"_s, u"Key8"_s, QString()), u"again"_s);
    EXPECT_EQ(store.ReadString(u"Big"_s, u"É"_s, QString()), u"upper"_s);
    EXPECT_EQ(store.ReadString(u"Big"_s, u"é"_s, QString()), u"lower"_s);
    EXPECT_EQ(store.ReadString(u"Big"_s, QString(), u"none"_s), QString());
    EXPECT_EQ(store.ReadString(u"Big"_s, u"Key%1"_s.arg(kKeys - 1), QString()), u"v%1"_s.arg(kKeys - 1));
    EXPECT_EQ(store.ReadString(u"Bis"_s, u"more"_s, QString()), u"1"_s);

    // Saving rewrites each section once, keys in list order, the repeated ones merged.
    store.WriteString(u"Big"_s, u"NEW"_s, u"n"_s);
    store.SaveToFile(file);
    const QStringList written = SplitLines(DecodeText(ReadBytes(file)));
    const qsizetype header = written.indexOf(u"[Big]"_s);
    ASSERT_GE(header, 0);
    EXPECT_EQ(written.count(u"[Big]"_s), 1);
    EXPECT_EQ(written[header + 1 + 7], u"Key7=late"_s);
    EXPECT_EQ(written[header + 1 + kKeys + 2], u"="_s);
    EXPECT_EQ(written[header + 1 + kKeys + 3], u"NEW=n"_s);
    EXPECT_EQ(written.count(u"KEY7=late"_s), 0);
}

TEST(PropertyList, ANameChangedThroughItemsIsFoundUnderItsNewName)
{
    TPropertyList list;
    list.SetValue(u"Alpha"_s, u"1"_s);
    list.SetValue(u"Beta"_s, u"2"_s);
    list.Items(0).Name = u"Gamma"_s;
    EXPECT_EQ(list.IndexOf(u"alpha"_s), -1);
    EXPECT_EQ(list.IndexOf(u"GAMMA"_s), 0);
    list.SetValue(u"alpha"_s, u"3"_s);
    EXPECT_EQ(list.Count(), 3);
    // Add does not look for the name; the first of two equal names is the one found.
    list.Add(u"beta"_s, u"4"_s);
    EXPECT_EQ(list.IndexOf(u"BETA"_s), 1);
    list.Clear();
    EXPECT_EQ(list.IndexOf(u"beta"_s), -1);
}
