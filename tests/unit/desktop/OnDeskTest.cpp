#include "RecordingDeskHook.h"

#include "config/AppConfigMgr.h"
#include "desktop/OnDesk.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QStringList L(std::initializer_list<const char16_t*> items)
{
    QStringList list;
    for (const char16_t* item : items)
        list << QString::fromUtf16(item);
    return list;
}

class OnDeskTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    TAppConfigMgr config{dir.filePath(u"Config.ini"_s)};
    TRecordingDeskHook hook;
    QStringList notices;
    TDeskNotify notify = [this](const QString& text, TDeskNoticeKind kind) {
        notices << (kind == TDeskNoticeKind::Error ? u"E:"_s : u"I:"_s) + text;
    };
};

TEST_F(OnDeskTest, LinesBelowTheFirstExactMarkerAreSent)
{
    SendDesktopLines(hook, L({u"note", u"^", u"a", u"b"}));
    EXPECT_EQ(hook.calls, (QStringList{u"SetEssay(0,a)"_s, u"SetEssay(1,b)"_s, u"SetEssayCount(2)"_s}));

    hook.calls.clear();
    SendDesktopLines(hook, L({u"note", u"^ ", u"a"}));
    EXPECT_EQ(hook.calls, (QStringList{u"SetEssay(0,note)"_s, u"SetEssay(1,^ )"_s, u"SetEssay(2,a)"_s,
                                       u"SetEssayCount(3)"_s}))
        << "a marker with a trailing blank is an ordinary line";

    hook.calls.clear();
    SendDesktopLines(hook, L({u"x", u"^", u"a", u"^", u"-", u"中文"}));
    EXPECT_EQ(hook.calls, (QStringList{u"SetEssay(0,a)"_s, u"SetEssay(1,^)"_s, u"SetEssay(2,-)"_s,
                                       u"SetEssay(3,中文)"_s, u"SetEssayCount(4)"_s}))
        << "the second marker is sent as a line";

    hook.calls.clear();
    SendDesktopLines(hook, EditorLines(QString()));
    EXPECT_EQ(hook.calls, QStringList{u"SetEssayCount(0)"_s}) << "an empty page still closes the set";

    hook.calls.clear();
    SendDesktopLines(hook, L({u"a", u"^"}));
    EXPECT_EQ(hook.calls, QStringList{u"SetEssayCount(0)"_s}) << "a marker on the last line sends nothing";
}

TEST_F(OnDeskTest, EditorLinesFollowTheEditorsLineBreaks)
{
    EXPECT_EQ(EditorLines(u"a\r\nb\nc\rd"_s), (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s}));
    EXPECT_EQ(EditorLines(u"a\n"_s), QStringList{u"a"_s});
    EXPECT_EQ(EditorLines(u"a\n\n"_s), (QStringList{u"a"_s, QString()}));
    EXPECT_EQ(EditorLines(u"\n"_s), QStringList{QString()});
    EXPECT_TRUE(EditorLines(QString()).isEmpty());
}

TEST_F(OnDeskTest, WithoutX11TheHookIsAskedWithNoWindowAndFails)
{
    // The switching itself is covered with the menu commands; this is the case without a display.
    TDesktopWindows none{[] { return quintptr(0); }, [] { return quintptr(0); }};
    EXPECT_TRUE(SetDesktopDisplay(true, hook, config, {}, none, notify));
    EXPECT_EQ(hook.calls.mid(0, 2), (QStringList{u"SetShowClock(0)"_s, u"SetDeskHook(0)"_s}));
    EXPECT_EQ(notices, QStringList{u"E:钩子安装失败！"_s});
}

TEST_F(OnDeskTest, SettingsReachTheLibraryAsStored)
{
    config.ShowWallPaper = false;
    config.SeperatorColor = 255;
    config.DesktoFontColor = 0x123456;
    config.DesktopAligment = 0;
    config.AligmentSpace = 7;
    config.DesktoFontSize = 12;
    config.DesktoFontStyle = 1 | 2 | 8;
    config.DesktoFontName = u"A very long face name that goes past the limit"_s;
    ApplyDesktopSettings(hook, config, {});
    EXPECT_EQ(hook.calls, (QStringList{u"SetShowDesktopWallPaper(0)"_s, u"SetEssayColor(255,1193046)"_s,
                                       u"SetEssayFont(-16)"_s, u"SetEssayColor(255,1193046)"_s,
                                       u"SetEssayCount(0)"_s, u"SetEssayAligment(255,7)"_s}));
    const TLogFontW& lf = hook.lastFont;
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfUnderline, 0);
    EXPECT_EQ(lf.lfStrikeOut, 1);
    EXPECT_EQ(lf.lfCharSet, 134);
    EXPECT_EQ(lf.lfFaceName[30], u's');
    EXPECT_EQ(lf.lfFaceName[31], 0) << "the face name keeps its terminating NUL";

    EXPECT_EQ(quint8(AlignmentCode(0)), 0xFF);
    EXPECT_EQ(AlignmentCode(1), 0);
    EXPECT_EQ(AlignmentCode(2), 1);
}

TEST_F(OnDeskTest, DefaultFontIsSongTiElevenPoints)
{
    static_assert(sizeof(TLogFontW) == 92);
    const TLogFontW lf = LogFontFromSetting(config.DesktopFont());
    EXPECT_EQ(lf.lfHeight, -15);
    EXPECT_EQ(lf.lfWeight, 400);
    EXPECT_EQ(lf.lfFaceName[0], u'宋');
    EXPECT_EQ(lf.lfFaceName[1], u'体');
    EXPECT_EQ(lf.lfFaceName[2], 0);
}

TEST_F(OnDeskTest, MarginAnswers)
{
    EXPECT_EQ(ProposedMargin(u"边距(&S):10"_s), u"10"_s);
    EXPECT_EQ(ProposedMargin(u"边距(&S):007"_s), u"007"_s);
    qint32 margin = 10;
    EXPECT_EQ(ParseMargin(u"007"_s, margin), TMarginAnswer::Accepted);
    EXPECT_EQ(margin, 7);
    EXPECT_EQ(ParseMargin(u"-1"_s, margin), TMarginAnswer::Negative);
    EXPECT_EQ(ParseMargin(u"abc"_s, margin), TMarginAnswer::NotANumber);
    EXPECT_EQ(ParseMargin(QString(), margin), TMarginAnswer::NotANumber);
    EXPECT_EQ(ParseMargin(u"99999999999"_s, margin), TMarginAnswer::NotANumber);
    EXPECT_EQ(margin, 7) << "a refused answer leaves the margin alone";
    EXPECT_EQ(ParseMargin(u"0"_s, margin), TMarginAnswer::Accepted);
    EXPECT_EQ(margin, 0);
}

} // namespace
