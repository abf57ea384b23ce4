#include "../../unit/desktop/RecordingDeskHook.h"

#include "FakeDialogService.h"
#include "config/AppConfigMgr.h"
#include "desktop/ui/DesktopCommands.h"
#include "widgets/CommandTable.h"
#include "widgets/InputFrm.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

class FakeDesktopHost final : public IDesktopHost
{
public:
    QWidget window;
    QStringList lines{u"标题"_s, u"^"_s, u"a"_s, u"-"_s};
    QStringList pasted;
    std::optional<TFontSetting> fontAnswer;
    std::optional<TColor> colorAnswer;
    TFontSetting fontPreset;
    TColor colorPreset = 0;
    std::function<bool()> settingsAnswer = [] { return false; };
    // What the settings dialog applies after OK (the program's applies the desktop's part).
    std::function<void()> applySettings;
    QList<int> settingsPages;

    QWidget* OwnerWindow() override { return &window; }
    QStringList FirstPageLines() override { return lines; }
    void PasteAtCaret(const QString& text) override { pasted << text; }
    bool PickFont(TFontSetting& font) override
    {
        fontPreset = font;
        if (fontAnswer)
            font = *fontAnswer;
        return fontAnswer.has_value();
    }
    bool PickColor(TColor& color) override
    {
        colorPreset = color;
        if (colorAnswer)
            color = *colorAnswer;
        return colorAnswer.has_value();
    }
    bool OpenSettings(int pageIndex) override
    {
        settingsPages << pageIndex;
        const bool confirmed = settingsAnswer();
        if (confirmed && applySettings)
            applySettings();
        return confirmed;
    }
};

class DesktopCommandsTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    TAppConfigMgr config{dir.filePath(u"Config.ini"_s)};
    TRecordingDeskHook hook;
    FakeDesktopHost host;
    FakeDialogService dialogs;
    QWidget window;
    TCommandTable commands{&window};
    TDesktopActions a;
    quintptr activeDesktop = 0;
    std::unique_ptr<TDesktopCommands> desk;
    QList<TMsgBoxCall> messages;
    std::optional<QString> marginAnswer;
    QString marginProposed;

    void SetUp() override
    {
        dialogs.messageBox = [this](const TMsgBoxCall& call) {
            messages << call;
            return MsgResultOK;
        };
        desk = std::make_unique<TDesktopCommands>(
            config, hook, host, dialogs,
            TDesktopWindows{[] { return quintptr(42); }, [this] { return activeDesktop; }});
        desk->BindCommands(commands);
        a = desk->Actions();
        host.applySettings = [this] { desk->AfterSettingsConfirmed(); };
        // The margin question.
        dialogs.modal = [this](QDialog& dialog) {
            auto* input = qobject_cast<TInputForm*>(&dialog);
            EXPECT_TRUE(input);
            if (!input)
                return int(QDialog::Rejected);
            EXPECT_EQ(input->parentWidget(), &host.window);
            EXPECT_EQ(input->windowTitle(), u"Jotvane"_s);
            EXPECT_EQ(input->PromptLabel()->text(), u"请输入新边距值:       "_s);
            marginProposed = input->ValueEdit()->text();
            if (marginAnswer)
                input->ValueEdit()->setText(*marginAnswer);
            return int(marginAnswer ? QDialog::Accepted : QDialog::Rejected);
        };
    }

    QStringList fullSend(int margin = 10, int alignment = 1)
    {
        return {u"SetShowClock(0)"_s,
                u"SetDeskHook(42)"_s,
                u"SetShowDesktopWallPaper(1)"_s,
                u"SetEssayColor(65280,16777215)"_s,
                u"SetEssayFont(-15)"_s,
                u"SetEssayColor(65280,16777215)"_s,
                u"SetEssay(0,a)"_s,
                u"SetEssay(1,-)"_s,
                u"SetEssayCount(2)"_s,
                u"SetEssayAligment(%1,%2)"_s.arg(alignment).arg(margin)};
    }
};

TEST_F(DesktopCommandsTest, StartupShowsTheTextAndTogglingOffAndOnResendsIt)
{
    config.AligmentSpace = 12;
    desk->Startup();
    EXPECT_EQ(hook.calls, fullSend(12));
    EXPECT_TRUE(a.OnDesktopAction->isChecked());
    EXPECT_TRUE(a.ShowWallPaperAction->isChecked());
    EXPECT_TRUE(a.DesktopAligmentRightAction->isChecked());
    EXPECT_EQ(a.AligmentSpaceAction->text(), u"边距(&S):12"_s);
    EXPECT_TRUE(messages.isEmpty());

    hook.calls.clear();
    a.OnDesktopAction->trigger();
    EXPECT_EQ(hook.calls, QStringList{u"SetDeskHook(0)"_s});
    EXPECT_FALSE(a.OnDesktopAction->isChecked());
    EXPECT_FALSE(config.OnDesktop);

    // Settings sent while the display is off still reach the library at once.
    hook.calls.clear();
    a.ShowWallPaperAction->trigger();
    EXPECT_EQ(hook.calls, QStringList{u"SetShowDesktopWallPaper(0)"_s});
    EXPECT_FALSE(config.ShowWallPaper);
    a.ShowWallPaperAction->trigger();

    hook.calls.clear();
    a.OnDesktopAction->trigger();
    EXPECT_EQ(hook.calls, fullSend(12));
    EXPECT_TRUE(a.OnDesktopAction->isChecked());
    EXPECT_TRUE(config.OnDesktop);

    hook.calls.clear();
    desk->Shutdown();
    EXPECT_EQ(hook.calls, QStringList{u"SetDeskHook(0)"_s});
}

TEST_F(DesktopCommandsTest, AnActiveDesktopAtStartupIsReportedOnceAndUnchecks)
{
    activeDesktop = 5;
    desk->Startup();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].message, u"当活动桌面存在时，文字不能在桌面上显示！"_s);
    EXPECT_EQ(messages[0].kind, MsgBoxKind::Information);
    EXPECT_EQ(messages[0].owner, &host.window);
    EXPECT_FALSE(a.OnDesktopAction->isChecked());
    EXPECT_FALSE(config.OnDesktop);
    EXPECT_TRUE(hook.calls.isEmpty());
    desk->Shutdown();
    EXPECT_TRUE(hook.calls.isEmpty()) << "nothing to remove when the display never came on";
}

TEST_F(DesktopCommandsTest, AFailedHookShowsTheErrorAndStaysChecked)
{
    hook.installResult = false;
    desk->Startup();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].message, u"钩子安装失败！"_s);
    EXPECT_EQ(messages[0].kind, MsgBoxKind::Error);
    EXPECT_TRUE(a.OnDesktopAction->isChecked());
    EXPECT_TRUE(config.OnDesktop);
}

TEST_F(DesktopCommandsTest, ACompositorWithoutBackgroundLayerIsToldOnceWithoutABox)
{
    desk = std::make_unique<TDesktopCommands>(config, hook, host, dialogs,
                                              TDesktopWindows{[] { return quintptr(1); },
                                                              [] { return quintptr(0); },
                                                              /*waylandSession=*/true});
    desk->BindCommands(commands);
    const QStringList& notices = dialogs.notices;
    hook.installResult = false;
    desk->Startup();
    EXPECT_TRUE(messages.isEmpty()) << "no box waits at the start of a Wayland session";
    EXPECT_TRUE(notices.isEmpty()) << "the start says it on standard error only";
    EXPECT_TRUE(a.OnDesktopAction->isChecked()) << "the setting stays for a desktop that has the layer";

    // The first desktop command the user tries says why nothing shows; later ones stay quiet.
    a.DesktopAligmentLeftAction->trigger();
    a.ShowWallPaperAction->trigger();
    a.OnDesktopAction->trigger(); // off
    a.OnDesktopAction->trigger(); // on again: the hook fails again
    EXPECT_EQ(notices, QStringList{kNoBackgroundLayerMessage});
    EXPECT_EQ(dialogs.noticeOwners, QList<QWidget*>{&host.window});
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(hook.calls.contains(u"SetEssayAligment(255,10)"_s)) << "the settings are still kept and sent";
}

TEST_F(DesktopCommandsTest, MarginCommandKeepsTheAnswerAsTypedAndRefusesBadOnes)
{
    marginAnswer = u"007"_s;
    a.AligmentSpaceAction->trigger();
    EXPECT_EQ(marginProposed, u"10"_s);
    EXPECT_EQ(a.AligmentSpaceAction->text(), u"边距(&S):007"_s);
    EXPECT_EQ(config.AligmentSpace, 7);
    EXPECT_EQ(hook.calls, QStringList{u"SetEssayAligment(1,7)"_s});
    EXPECT_TRUE(messages.isEmpty());

    hook.calls.clear();
    marginAnswer = u"-1"_s;
    a.AligmentSpaceAction->trigger();
    EXPECT_EQ(marginProposed, u"007"_s) << "the caption's text after its colon is proposed";
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].message, u"边距值必须大于等于0"_s);
    EXPECT_EQ(messages[0].kind, MsgBoxKind::Information);

    marginAnswer = u"abc"_s;
    a.AligmentSpaceAction->trigger();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1].message, u"输入的不是数字!"_s);
    EXPECT_EQ(messages[1].kind, MsgBoxKind::Error);

    marginAnswer.reset(); // Cancel
    a.AligmentSpaceAction->trigger();
    EXPECT_EQ(messages.size(), 2);
    EXPECT_TRUE(hook.calls.isEmpty());
    EXPECT_EQ(config.AligmentSpace, 7);
    EXPECT_EQ(a.AligmentSpaceAction->text(), u"边距(&S):007"_s);
}

TEST_F(DesktopCommandsTest, AlignmentFontColourAndSigns)
{
    desk->RefreshMenu();
    a.DesktopAligmentLeftAction->trigger();
    a.DesktopAligmentMiddleAction->trigger();
    EXPECT_EQ(hook.calls, (QStringList{u"SetEssayAligment(255,10)"_s, u"SetEssayAligment(0,10)"_s}));
    EXPECT_EQ(config.DesktopAligment, 1);
    EXPECT_TRUE(a.DesktopAligmentMiddleAction->isChecked());
    EXPECT_FALSE(a.DesktopAligmentLeftAction->isChecked());
    EXPECT_FALSE(a.DesktopAligmentRightAction->isChecked());

    hook.calls.clear();
    a.DesktoFontAction->trigger(); // cancelled
    a.SeperatorColorAction->trigger();
    EXPECT_TRUE(hook.calls.isEmpty());
    EXPECT_EQ(host.fontPreset, config.DesktopFont());
    EXPECT_EQ(host.colorPreset, 65280);

    host.fontAnswer = TFontSetting{u"Sans"_s, 20, 1, 255, 0};
    host.colorAnswer = 0xFF0000;
    a.DesktoFontAction->trigger();
    a.SeperatorColorAction->trigger();
    EXPECT_EQ(hook.calls, (QStringList{u"SetEssayFont(-27)"_s, u"SetEssayColor(65280,255)"_s,
                                       u"SetEssayColor(16711680,255)"_s}));
    EXPECT_EQ(config.DesktopFont(), *host.fontAnswer);
    EXPECT_EQ(config.SeperatorColor, 0xFF0000);

    a.SignSeperatorAction->trigger();
    a.SignOnDeskAction->trigger();
    EXPECT_EQ(host.pasted, (QStringList{u"-"_s, u"^"_s}));
}

TEST_F(DesktopCommandsTest, SettingsDialogHidingAndRemindersResendWhatTheyShould)
{
    desk->Startup();
    hook.calls.clear();

    // Confirmed with the display switched off in the dialog: the command runs and removes it.
    host.settingsAnswer = [this] {
        config.OnDesktop = false;
        return true;
    };
    a.OnDeskAllAction->trigger();
    EXPECT_EQ(host.settingsPages, QList<int>{4});
    EXPECT_EQ(hook.calls, QStringList{u"SetDeskHook(0)"_s});
    EXPECT_FALSE(a.OnDesktopAction->isChecked());

    // Confirmed with it on again and a new margin: the display comes back with it.
    hook.calls.clear();
    host.settingsAnswer = [this] {
        config.OnDesktop = true;
        config.AligmentSpace = 30;
        return true;
    };
    a.OnDeskAllAction->trigger();
    EXPECT_EQ(hook.calls, fullSend(30));
    EXPECT_EQ(a.AligmentSpaceAction->text(), u"边距(&S):30"_s);

    // Confirmed with the display unchanged and on: the settings are sent again, once, no new hook.
    hook.calls.clear();
    host.settingsAnswer = [] { return true; };
    desk->OnDeskAllActionExecute();
    EXPECT_EQ(hook.calls, fullSend(30).mid(2));

    // Cancelled: nothing.
    hook.calls.clear();
    host.settingsAnswer = [] { return false; };
    a.OnDeskAllAction->trigger();
    EXPECT_TRUE(hook.calls.isEmpty());

    desk->MainWindowHiding(false);
    EXPECT_TRUE(hook.calls.isEmpty());
    host.lines = {u"only"_s};
    desk->MainWindowHiding(true);
    desk->ReminderFired();
    EXPECT_EQ(hook.calls, (QStringList{u"SetEssay(0,only)"_s, u"SetEssayCount(1)"_s, u"SetEssay(0,only)"_s,
                                       u"SetEssayCount(1)"_s}));
}

TEST_F(DesktopCommandsTest, HidingSendsAFirstPageThatIsNoLongerTheOneOnTheDesktop)
{
    desk->Startup();
    // The first page was deleted (or moved, or saved by a backup): the editor now at the front
    // is not modified, yet its lines are not those on the desktop.
    hook.calls.clear();
    host.lines = {u"x"_s};
    desk->MainWindowHiding(false);
    EXPECT_EQ(hook.calls, (QStringList{u"SetEssay(0,x)"_s, u"SetEssayCount(1)"_s}));
    hook.calls.clear();
    desk->MainWindowHiding(false);
    EXPECT_TRUE(hook.calls.isEmpty());
}

TEST_F(DesktopCommandsTest, NoX11DisplayMeansNoDesktopWindow)
{
    // The widget tests run on the offscreen platform.
    EXPECT_EQ(FindDesktopListView(), quintptr(0));
    EXPECT_EQ(FindActiveDesktop(), quintptr(0));
}

} // namespace
