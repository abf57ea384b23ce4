#include "core/DelimitedText.h"
#include "core/PubUtils.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(DelimitedText, JoinsAndSplitsByTheRule)
{
    const QChar bar(u'|');
    EXPECT_EQ(JoinDelimited({}, bar), QString());
    EXPECT_EQ(JoinDelimited({QString()}, bar), u"\"\""_s);
    EXPECT_EQ(JoinDelimited({u"a"_s, QString(), u"b c"_s, u"x|y"_s, u"say \"hi\""_s, u"t\tab"_s}, bar),
              u"a||\"b c\"|\"x|y\"|\"say \"\"hi\"\"\"|\"t\tab\""_s);
    EXPECT_EQ(JoinDelimited({u"a_b"_s, u"c"_s}, QChar(u'_')), u"\"a_b\"_c"_s);

    EXPECT_EQ(SplitDelimited(QString(), bar), QStringList());
    EXPECT_EQ(SplitDelimited(u"   "_s, bar), QStringList());
    EXPECT_EQ(SplitDelimited(u"\"\""_s, bar), QStringList{QString()});
    EXPECT_EQ(SplitDelimited(u"a|"_s, bar), (QStringList{u"a"_s, QString()}));
    EXPECT_EQ(SplitDelimited(u"a| "_s, bar), QStringList{u"a"_s});
    EXPECT_EQ(SplitDelimited(u"|a"_s, bar), (QStringList{QString(), u"a"_s}));
    EXPECT_EQ(SplitDelimited(u" a b |  c"_s, bar), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    EXPECT_EQ(SplitDelimited(u"\"say \"\"hi\"\"\"|\"x|y\""_s, bar), (QStringList{u"say \"hi\""_s, u"x|y"_s}));
    EXPECT_EQ(SplitDelimited(u"\"ab\"cd|e"_s, bar), (QStringList{u"ab"_s, u"cd"_s, u"e"_s}));
    EXPECT_EQ(SplitDelimited(u"\"open"_s, bar), QStringList{u"open"_s});
    EXPECT_EQ(SplitDelimited(u"张三_李 四"_s, QChar(u'_')), (QStringList{u"张三"_s, u"李"_s, u"四"_s}));
    EXPECT_EQ(SplitDelimited(QStringLiteral("a|b") + QChar(0) + QStringLiteral("|c"), bar),
              (QStringList{u"a"_s, u"b"_s}));

    // Anything joined splits back into the same list.
    const QList<QStringList> lists = {{u"a"_s, QString()},
                                      {QString(), QString()},
                                      {u" lead"_s, u"trail "_s},
                                      {u"名=/家/文 件"_s, u"\"q\""_s, u"|"_s}};
    for (const QStringList& list : lists)
        EXPECT_EQ(SplitDelimited(JoinDelimited(list, bar), bar), list)
            << JoinDelimited(list, bar).toStdString();
}

TEST(CommaText, WritesQuotedItemsOnlyWhereNeeded)
{
    const QChar comma(u',');
    EXPECT_EQ(TextToCommaText(u"a b\r\nc"_s), u"\"a b\",c"_s);
    EXPECT_EQ(TextToCommaText(QString()), QString());
    EXPECT_EQ(TextToCommaText(u"\r\n"_s), u"\"\""_s);
    EXPECT_EQ(JoinDelimited({u"say \"hi\""_s, u"x,y"_s, QString(), u"z"_s}, comma),
              u"\"say \"\"hi\"\"\",\"x,y\",,z"_s);
    EXPECT_EQ(JoinDelimited({u"tab\there"_s}, comma), u"\"tab\there\""_s);
}

TEST(CommaText, ReadsItemsQuotesAndEmptyItems)
{
    const QChar comma(u',');
    EXPECT_EQ(SplitDelimited(u"a,,b"_s, comma), (QStringList{u"a"_s, QString(), u"b"_s}));
    EXPECT_EQ(SplitDelimited(u"a,"_s, comma), (QStringList{u"a"_s, QString()}));
    EXPECT_EQ(SplitDelimited(u"  \"x \"\"y\"\"\" , z"_s, comma), (QStringList{u"x \"y\""_s, u"z"_s}));
    EXPECT_EQ(SplitDelimited(u"\"unclosed"_s, comma), (QStringList{u"unclosed"_s}));
    EXPECT_EQ(SplitDelimited(u"a b"_s, comma), (QStringList{u"a"_s, u"b"_s}));
    EXPECT_EQ(SplitDelimited(QString(), comma), QStringList());
    // A NUL ends the text, also inside quotes.
    EXPECT_EQ(SplitDelimited(u"\"a"_s + QChar(0) + u"b\",c"_s, comma), QStringList{u"a"_s});
    EXPECT_EQ(CommaTextToText(u"\"a b\",c"_s), u"a b\r\nc"_s);
    EXPECT_EQ(CommaTextToText(u"\"\""_s), QString());
    const QString text = u"first line\r\n\"quoted\", and commas\r\n\r\nlast"_s;
    EXPECT_EQ(CommaTextToText(TextToCommaText(text)), text);
}
