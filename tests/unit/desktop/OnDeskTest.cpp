#include "RecordingDeskHook.h"

#include "AppConfigMgr.h"
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
    quintptr activeDesktop = 0;
    TDesktopWindows windows{[] { return quintptr(0x1e5); }, [this] { return activeDesktop; }};
    TDeskNotify notify = [this](const QString& text, TDeskNoticeKind kind) {
        notices << (kind == TDeskNoticeKind::Error ? u"E:"_s : u"I:"_s) + text;
    };

    // Every call ApplyDesktopSettings makes with the default settings and these lines.
    QStringList settingsCalls(const QStringList& lines)
    {
        QStringList calls{u"SetShowDesktopWallPaper(1)"_s, u"SetEssayColor(65280,16777215)"_s,
                          u"SetEssayFont(-15)"_s, u"SetEssayColor(65280,16777215)"_s};
        for (int i = 0; i < lines.size(); ++i)
            calls << u"SetEssay(%1,%2)"_s.arg(i).arg(lines[i]);
        calls << u"SetEssayCount(%1)"_s.arg(lines.size()) << u"SetEssayAligment(1,10)"_s;
        return calls;
    }
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

TEST_F(OnDeskTest, SwitchingOnSendsEverythingInOrderAndOffOnlyRemovesTheHook)
{
    const QStringList page = L({u"title", u"^", u"a", u"-", u"b"});
    EXPECT_TRUE(SetDesktopDisplay(true, hook, config, page, windows, notify));
    QStringList expected{u"SetShowClock(0)"_s, u"SetDeskHook(485)"_s};
    expected << settingsCalls(L({u"a", u"-", u"b"}));
    EXPECT_EQ(hook.calls, expected);
    EXPECT_TRUE(notices.isEmpty());

    hook.calls.clear();
    EXPECT_FALSE(SetDesktopDisplay(false, hook, config, page, windows, notify));
    EXPECT_EQ(hook.calls, QStringList{u"SetDeskHook(0)"_s});

    hook.calls.clear();
    EXPECT_TRUE(SetDesktopDisplay(true, hook, config, page, windows, notify));
    EXPECT_EQ(hook.calls, expected) << "on again re-sends everything";
}

TEST_F(OnDeskTest, AFailedHookIsReportedAndStillCountsAsOn)
{
    hook.installResult = false;
    EXPECT_TRUE(SetDesktopDisplay(true, hook, config, {u"a"_s}, windows, notify));
    EXPECT_EQ(notices, QStringList{u"E:钩子安装失败！"_s});
    EXPECT_EQ(hook.calls.last(), u"SetEssayAligment(1,10)"_s) << "the settings are sent anyway";

    // Without an X11 display there is no root window: the hook is asked with 0 and fails.
    hook.calls.clear();
    notices.clear();
    hook.installResult = true;
    TDesktopWindows none{[] { return quintptr(0); }, [] { return quintptr(0); }};
    EXPECT_TRUE(SetDesktopDisplay(true, hook, config, {}, none, notify));
    EXPECT_EQ(hook.calls.mid(0, 2), (QStringList{u"SetShowClock(0)"_s, u"SetDeskHook(0)"_s}));
    EXPECT_EQ(notices, QStringList{u"E:钩子安装失败！"_s});
}

TEST_F(OnDeskTest, AnActiveDesktopKeepsTheDisplayOffWithoutACall)
{
    activeDesktop = 77;
    EXPECT_FALSE(SetDesktopDisplay(true, hook, config, {u"a"_s}, windows, notify));
    EXPECT_TRUE(hook.calls.isEmpty());
    EXPECT_EQ(notices, QStringList{u"I:当活动桌面存在时，文字不能在桌面上显示！"_s});
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
