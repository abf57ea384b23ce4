// The note window as a whole: hiding with Esc, keys that belong to the window rather than the
// editor, the calculator, find, the edit commands' states, the format commands and what a
// restart brings back.
#include "MainFormFixture.h"

#include "TestSupport.h"
#include "app/WindowBounds.h"
#include "config/ui/SettingsLook.h"
#include "core/TextFile.h"
#include "notes/ui/FindReplace.h"
#include "notes/ui/PadMemo.h"
#include "templates/ExprErrors.h"
#include "widgets/FindDlg.h"
#include "widgets/LayerList.h"
#include "widgets/PadTabSet.h"
#include "widgets/ReplaceDlg.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Records the key presses that reach a widget.
class KeyRecorder final : public QObject
{
public:
    QList<int> pressed;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            pressed.append(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

class MainWindowTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        Build();
        Show();
    }

    TPadMemo* Editor() const { return form->CurrentEditor(); }
};

TEST_F(MainWindowTest, EscMinimisesWithoutTrayWritesModifiedPagesAndStaysOutOfTheEditor)
{
    ASSERT_FALSE(form->HasTray());
    Type(u"abc"_s);
    KeyRecorder recorder;
    Editor()->installEventFilter(&recorder);
    Key(Qt::Key_Escape);
    Editor()->removeEventFilter(&recorder);
    EXPECT_FALSE(recorder.pressed.contains(Qt::Key_Escape)) << "Esc reached the editor";
    EXPECT_TRUE(form->isMinimized());
    // Only minimised: where the desktop cannot minimise it, the window must still take input.
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(ReadBytes(store->fileName(0)), Utf16Le(u"0\r\n默认页\r\n\r\nabc\r\n"_s));
    EXPECT_FALSE(Editor()->Modified());
    EXPECT_EQ(Editor()->PageText(), u"abc"_s);

    form->ShowMainWindow();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(MainWindowTest, RestoringTheMinimisedWindowEnablesItAgain)
{
    Key(Qt::Key_Escape);
    ASSERT_TRUE(form->isMinimized());
    EXPECT_EQ(TrayItem()->text(), u"打开(&O)"_s);
    // What the taskbar button does.
    form->setWindowState(form->windowState() & ~Qt::WindowMinimized);
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(TrayItem()->text(), u"隐藏(&D)"_s);
    Show();
    Type(u"back"_s);
    EXPECT_EQ(Editor()->PageText(), u"back"_s);
}

TEST_F(MainWindowTest, TrayMenuItemToggles)
{
    QAction* item = TrayItem();
    EXPECT_EQ(item->text(), u"隐藏(&D)"_s);
    item->trigger();
    EXPECT_TRUE(form->isMinimized());
    EXPECT_EQ(item->text(), u"打开(&O)"_s);
    item->trigger();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(item->text(), u"隐藏(&D)"_s);
}

TEST_F(MainWindowTest, HotKeyHidesTheActiveWindowAndShowsItOtherwise)
{
    ASSERT_NE(grabber, nullptr);
    ASSERT_TRUE(grabber->isRegistered(0));
    EXPECT_EQ(grabber->registered.value(0), QKeyCombination(Qt::CTRL | Qt::Key_D));

    Type(u"saved by the hotkey"_s);
    ASSERT_TRUE(grabber->press(0));
    EXPECT_TRUE(form->isMinimized());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(FileLines(0).value(3), u"saved by the hotkey"_s);
    const int raised = platform.windowSystem.raised;
    grabber->press(0);
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_GT(platform.windowSystem.raised, raised);

    // Visible, but another window is in front: the hotkey brings it forward.
    Show();
    QWidget other;
    other.setWindowTitle(u"other"_s);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    other.activateWindow();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    const int raisedBefore = platform.windowSystem.raised;
    grabber->press(0);
    EXPECT_GT(platform.windowSystem.raised, raisedBefore);
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isEnabled());
    other.close();
}

TEST_F(MainWindowTest, HotKeyAndTrayItemDoNothingWhileAModalDialogIsOpen)
{
    QDialog dialog(form.get());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    grabber->press(0);
    TrayItem()->trigger();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isEnabled());
    dialog.close();
}

TEST_F(MainWindowTest, NoHotKeyIsRegisteredForKeyNone)
{
    Release();
    beforeForm = [](TAppConfigMgr& c) { c.HotKeyBase = 0; };
    Build();
    ASSERT_NE(grabber, nullptr);
    EXPECT_TRUE(grabber->registered.isEmpty());
    EXPECT_FALSE(grabber->press(0));
}

TEST_F(MainWindowTest, ProgrammaticCloseWithMinOnCloseOnlyHides)
{
    ASSERT_TRUE(config->MinOnClose);
    Type(u"not yet"_s);
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->isEnabled()) << "no disabling";
    EXPECT_EQ(FileLines(0).size(), 3) << "no saving";
    EXPECT_TRUE(Editor()->Modified());
}

TEST_F(MainWindowTest, WindowCommandsWinOverTheEditorsOwnKeys)
{
    Type(u"one two"_s);
    // Ctrl+Z is the editor's undo too; the window's Undo runs it once.
    ASSERT_TRUE(form->Commands().action(Command::Undo)->isEnabled());
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Editor()->PageText(), QString());
    // Ctrl+A selects all through the window's command as well.
    Type(u"three"_s);
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Editor()->SelLength(), 5);
    // Ctrl+N makes a page instead of reaching the editor.
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(form->PageCount(), 2);
    EXPECT_EQ(form->EditorAt(0)->PageText(), u"three"_s);
}

TEST_F(MainWindowTest, CtrlEnterCalculatesUndoRemovesTheResultAndErrorsChangeNothing)
{
    Type(u"1+2"_s);
    Key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(Editor()->PageText(), u"1+2 = 3\n"_s);
    EXPECT_EQ(Editor()->SelStart(), 8);
    EXPECT_TRUE(msgCalls.isEmpty());
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Editor()->PageText(), u"1+2"_s);

    // An expression that does not parse: the parser's own message, nothing changed.
    Editor()->SetPageText(QString());
    Type(u"1+"_s);
    QString expected;
    try {
        TExprParser().ParseAndEvaluate(u"1+"_s);
    } catch (const EExprError& error) {
        expected = error.message();
    }
    ASSERT_TRUE(expected.startsWith(u"表达式错误"_s)) << expected.toStdString();
    Key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_EQ(msgCalls[0].message, expected);
    EXPECT_EQ(msgCalls[0].kind, MsgBoxKind::Information);
    EXPECT_EQ(msgCalls[0].buttons, TMsgBoxButtons{MsgBoxButton::OK});
    EXPECT_EQ(msgCalls[0].owner, form.get());
    EXPECT_EQ(Editor()->PageText(), u"1+"_s);
    EXPECT_EQ(Editor()->SelStart(), 2);
}

// Hiding disables the note window; nothing that must work meanwhile may depend on it, and
// nothing it owned may stay behind on screen greyed out.
TEST_F(MainWindowTest, HiddenWindowLeavesTheTrayMenuWorkingAndTakesTheFindDialogAlong)
{
    Type(u"abc"_s);
    Key(Qt::Key_F, Qt::ControlModifier);
    TFindDialog* dialog = form->FindReplace()->FindDialog();
    ASSERT_TRUE(dialog->isVisible());

    Key(Qt::Key_Escape);
    ASSERT_TRUE(form->isMinimized());
    EXPECT_FALSE(dialog->isVisible()) << "the find dialog stayed on screen";
    QMenu* tray = form->TrayPopupMenu();
    EXPECT_EQ(tray->parentWidget(), nullptr);
    EXPECT_TRUE(tray->isEnabled());
    EXPECT_TRUE(TrayItem()->isEnabled());
    EXPECT_TRUE(form->Commands().action(Command::Exit)->isEnabled());

    TrayItem()->trigger();
    EXPECT_TRUE(form->isEnabled());
    EXPECT_TRUE(dialog->isVisible()) << "the find dialog comes back with the window";
    EXPECT_TRUE(dialog->isEnabled());
    dialog->close();
}

TEST_F(MainWindowTest, AGreyedOutCommandsKeyTypesNothing)
{
    QAction* newPage = form->Commands().action(Command::NewPage);
    newPage->setEnabled(false);
    Type(u"x"_s);
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(form->PageCount(), 1);
    EXPECT_EQ(Editor()->PageText(), u"x"_s);
    // Enabled again, the same key runs the command.
    newPage->setEnabled(true);
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(form->PageCount(), 2);
}

TEST_F(MainWindowTest, FindThroughTheWindowsCommands)
{
    Type(u"abc abc"_s);
    Editor()->SetSelection(0, 0);
    // F3 without a find text opens the dialog, as Ctrl+F does.
    Key(Qt::Key_F3);
    TFindDialog* dialog = form->FindReplace()->FindDialog();
    ASSERT_TRUE(dialog->isVisible());
    dialog->close();
    Show();
    Editor()->SetSelection(0, 0);
    Key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(dialog->isVisible());
    auto* edit = dialog->findChild<QLineEdit*>(u"FindEdit"_s);
    ASSERT_NE(edit, nullptr);
    edit->setText(u"abc"_s);
    auto* next = dialog->findChild<QPushButton*>(u"FindNextButton"_s);
    ASSERT_NE(next, nullptr);
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(Editor()->SelStart(), 0);
    EXPECT_EQ(Editor()->SelLength(), 3);
    dialog->close();

    Show();
    Editor()->SetSelection(0, 3);
    Key(Qt::Key_F3);
    EXPECT_EQ(Editor()->SelStart(), 4);
    EXPECT_EQ(Editor()->SelLength(), 3);
    EXPECT_TRUE(msgCalls.isEmpty());
    Key(Qt::Key_F3);
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_EQ(msgCalls[0].message, u"找不到“abc”"_s);
    EXPECT_EQ(msgCalls[0].kind, MsgBoxKind::Information);
    EXPECT_EQ(msgCalls[0].owner, form.get());
    EXPECT_EQ(Editor()->SelStart(), 4) << "the selection stays";
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(MainWindowTest, FindSearchesThePageThatIsShown)
{
    Type(u"only here"_s);
    Key(Qt::Key_N, Qt::ControlModifier);
    form->FindReplace()->SetSearch(u"here"_s, QString(), 1);
    Key(Qt::Key_F3);
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_EQ(msgCalls[0].message, u"找不到“here”"_s);
    Key(Qt::Key_Tab, Qt::ControlModifier);
    msgCalls.clear();
    Editor()->SetSelection(0, 0);
    Key(Qt::Key_F3);
    EXPECT_TRUE(msgCalls.isEmpty());
    EXPECT_EQ(Editor()->SelStart(), 5);
}

TEST_F(MainWindowTest, EditCommandsFollowSelectionAndClipboard)
{
    auto a = [this](TCommandName name) { return form->Commands().action(name); };
    EXPECT_FALSE(a(Command::Cut)->isEnabled());
    EXPECT_FALSE(a(Command::Copy)->isEnabled());
    EXPECT_FALSE(a(Command::Paste)->isEnabled());
    EXPECT_FALSE(a(Command::Undo)->isEnabled());

    Type(u"hello"_s);
    EXPECT_FALSE(a(Command::Cut)->isEnabled());
    EXPECT_TRUE(a(Command::Undo)->isEnabled());
    Key(Qt::Key_Left, Qt::ShiftModifier);
    Key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_TRUE(a(Command::Cut)->isEnabled());
    EXPECT_TRUE(a(Command::Copy)->isEnabled());
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"lo"_s);
    EXPECT_TRUE(a(Command::Paste)->isEnabled());
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Editor()->PageText(), u"hel"_s);
    EXPECT_FALSE(a(Command::Cut)->isEnabled());
    EXPECT_FALSE(a(Command::Copy)->isEnabled());
    Key(Qt::Key_V, Qt::ControlModifier);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Editor()->PageText(), u"hellolo"_s);

    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(a(Command::Paste)->isEnabled());
    QGuiApplication::clipboard()->setText(u"x"_s);
    EXPECT_TRUE(a(Command::Paste)->isEnabled());

    // A page switch takes the state of the page that is shown.
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(a(Command::Copy)->isEnabled());
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_FALSE(a(Command::Copy)->isEnabled());
    EXPECT_FALSE(a(Command::Undo)->isEnabled());
    Key(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(a(Command::Copy)->isEnabled());

    // Text another program put on the clipboard before the start can be pasted once the window
    // is up, on every page.
    Restart();
    EXPECT_FALSE(a(Command::Paste)->isEnabled());
    form->CompleteStart();
    EXPECT_TRUE(a(Command::Paste)->isEnabled());
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(a(Command::Paste)->isEnabled());
}

TEST_F(MainWindowTest, F6TogglesStayOnTopAndItsSetting)
{
    ASSERT_FALSE(config->StayOnTop);
    Key(Qt::Key_F6);
    EXPECT_TRUE(form->Commands().action(Command::StayOnTop)->isChecked());
    EXPECT_TRUE(config->StayOnTop);
    EXPECT_TRUE(platform.windowSystem.onTop);
    Key(Qt::Key_F6);
    EXPECT_FALSE(form->Commands().action(Command::StayOnTop)->isChecked());
    EXPECT_FALSE(config->StayOnTop);
    EXPECT_FALSE(platform.windowSystem.onTop);
}

TEST_F(MainWindowTest, FontAndBackgroundChangeEveryEditorAndTheSettings)
{
    Key(Qt::Key_N, Qt::ControlModifier);
    Key(Qt::Key_N, Qt::ControlModifier);
    QFont chosen(u"Tahoma"_s);
    chosen.setPointSize(15);
    chosen.setBold(true);
    QFont preset;
    QColor presetColor;
    bool accept = false;
    dialogs.chooseFont = [&](QWidget* owner, QFont& font, QColor& color) {
        EXPECT_EQ(owner, form.get());
        preset = font;
        presetColor = color;
        if (accept) {
            font = chosen;
            color = QColor(0, 0, 128);
        }
        return accept;
    };
    form->Commands().action(Command::Font)->trigger();
    EXPECT_EQ(config->FontSize, 9) << "Cancel changes nothing";
    EXPECT_EQ(preset, form->MemoPanel()->font());
    EXPECT_EQ(presetColor, QColor(Qt::black)) << "the text colour comes with the font";

    accept = true;
    form->Commands().action(Command::Font)->trigger();
    for (int i = 0; i < form->PageCount(); ++i) {
        EXPECT_EQ(form->EditorAt(i)->font().pointSize(), 15) << "page " << i;
        EXPECT_TRUE(form->EditorAt(i)->font().bold()) << "page " << i;
        EXPECT_EQ(form->EditorAt(i)->palette().color(QPalette::Text), QColor(0, 0, 128)) << "page " << i;
    }
    EXPECT_EQ(config->FontName, u"Tahoma"_s);
    EXPECT_EQ(config->FontSize, 15);
    EXPECT_EQ(config->FontStyle, 1);
    EXPECT_EQ(config->FontColor, 0x800000);

    const QColor colour(10, 200, 30);
    QColor colourPreset;
    dialogs.chooseColor = [&](QWidget*, QColor& c) {
        colourPreset = c;
        c = colour;
        return true;
    };
    form->Commands().action(Command::BgColor)->trigger();
    EXPECT_EQ(colourPreset, QColor(Qt::white)) << "the default background is the window colour";
    for (int i = 0; i < form->PageCount(); ++i)
        EXPECT_EQ(form->EditorAt(i)->palette().color(QPalette::Base), colour) << "page " << i;
    EXPECT_EQ(config->BgColor, 0x1EC80A);

    dialogs.chooseColor = [&](QWidget*, QColor& c) {
        c = Qt::red;
        return false;
    };
    form->Commands().action(Command::BgColor)->trigger();
    EXPECT_EQ(config->BgColor, 0x1EC80A);
    EXPECT_EQ(Editor()->palette().color(QPalette::Base), colour);

    // Both survive a restart, also for pages made afterwards.
    Restart();
    Key(Qt::Key_N, Qt::ControlModifier);
    for (int i = 0; i < form->PageCount(); ++i) {
        EXPECT_EQ(form->EditorAt(i)->font().pointSize(), 15) << "page " << i;
        EXPECT_TRUE(form->EditorAt(i)->font().bold()) << "page " << i;
        EXPECT_EQ(form->EditorAt(i)->palette().color(QPalette::Base), colour) << "page " << i;
    }
}

TEST_F(MainWindowTest, WordWrapCommandSwitchesEveryEditor)
{
    Key(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(form->Commands().action(Command::WordWrap)->isChecked());
    form->Commands().action(Command::WordWrap)->trigger();
    EXPECT_FALSE(config->WordWrap);
    for (int i = 0; i < form->PageCount(); ++i)
        EXPECT_FALSE(form->EditorAt(i)->WrapMode()) << "page " << i;
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_FALSE(Editor()->WrapMode()) << "a new page follows the command";
}

TEST_F(MainWindowTest, RestartRestoresPageWordWrapAndBounds)
{
    Key(Qt::Key_N, Qt::ControlModifier);
    Key(Qt::Key_N, Qt::ControlModifier);
    Type(u"unsaved"_s);
    form->TabSet()->SetTabIndex(1);
    form->Commands().action(Command::WordWrap)->trigger();
    const QRect bounds(40, 50, 420, 330);
    form->setGeometry(bounds);
    ASSERT_TRUE(WaitFor([&] { return form->geometry() == bounds; }));

    Restart();
    EXPECT_EQ(form->PageIndex(), 1);
    EXPECT_EQ(form->LayerList()->ActiveLayerIndex(), 1);
    EXPECT_FALSE(form->Commands().action(Command::WordWrap)->isChecked());
    for (int i = 0; i < form->PageCount(); ++i)
        EXPECT_FALSE(form->EditorAt(i)->WrapMode()) << "page " << i;
    EXPECT_EQ(form->geometry(), bounds);
    EXPECT_EQ(form->EditorAt(2)->PageText(), u"unsaved\n"_s) << "the destroy handler saved the page";
}

TEST_F(MainWindowTest, MaximisedOrMinimisedAtExitKeepsTheSavedRectangle)
{
    const QRect bounds(30, 20, 500, 400);
    form->setGeometry(bounds);
    ASSERT_TRUE(WaitFor([&] { return form->geometry() == bounds; }));
    Restart();
    ASSERT_EQ(form->geometry(), bounds);

    // Minimised (Esc without a tray) at the end: the rectangle stays, the window opens normal.
    form->setGeometry(QRect(60, 70, 300, 250));
    Key(Qt::Key_Escape);
    ASSERT_TRUE(form->isMinimized());
    Restart();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_EQ(form->geometry(), bounds);

    // Maximised at the end: opens maximised, the rectangle is still the one saved before.
    form->showMaximized();
    ASSERT_TRUE(WaitFor([&] { return form->isMaximized(); }));
    Restart();
    EXPECT_TRUE(form->isMaximized());
    EXPECT_TRUE(config->WinMaximized);
    EXPECT_EQ(WindowBounds::FromEdges(config->WinLeft, config->WinTop, config->WinRight, config->WinBottom),
              bounds);
}

class PageIndexTest : public MainFormTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(PageIndexTest, PageIndexOutOfRangeSelectsTheFirstPage)
{
    // Three pages on disk, then a start with the stored index.
    Build();
    form->CreatePage(u"B"_s, QString());
    form->CreatePage(u"C"_s, QString());
    Release();
    beforeForm = [](TAppConfigMgr& c) { c.PageIndex = GetParam(); };
    Build();
    Show();
    const int expected = GetParam() >= 0 && GetParam() < 3 ? GetParam() : 0;
    EXPECT_EQ(form->PageIndex(), expected);
    EXPECT_EQ(form->LayerList()->ActiveLayerIndex(), expected);
    EXPECT_TRUE(form->CurrentEditor()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Indexes, PageIndexTest, ::testing::Values(-1, 0, 2, 3, 100));

TEST_F(MainWindowTest, AltDOpensThePageListRatherThanTheDesktopMenu)
{
    Key(Qt::Key_N, Qt::ControlModifier);
    Key('d', Qt::AltModifier);
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), u"PickMenu"_s);
    popup->close();
    EXPECT_EQ(Editor()->PageText(), QString()) << "no d typed";
    // Alt+F, which is no page key, still opens its menu.
    Key('f', Qt::AltModifier);
    popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), u"FileMenu"_s);
    popup->close();
}

TEST_F(MainWindowTest, CtrlPDoesNothingAndShowsNothing)
{
    Type(u"text"_s);
    Key(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(Editor()->PageText(), u"text"_s);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(msgCalls.isEmpty());
}

// A page file that cannot be written: a folder stands where the file was.
void BlockFile(const QString& file)
{
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir().mkdir(file));
}

void UnblockFile(const QString& file)
{
    ASSERT_TRUE(QDir().rmdir(file));
}

TEST_F(MainWindowTest, HidingWithAnUnwritablePageSavesTheOthersAndReportsIt)
{
    Type(u"first"_s);
    Key(Qt::Key_N, Qt::ControlModifier);
    Type(u"second"_s);
    Key(Qt::Key_N, Qt::ControlModifier);
    Type(u"third"_s);
    const QString blocked = store->fileName(1);
    BlockFile(blocked);
    Key(Qt::Key_Escape);
    EXPECT_TRUE(form->isMinimized());
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_EQ(msgCalls[0].kind, MsgBoxKind::Error);
    EXPECT_TRUE(msgCalls[0].message.contains(blocked)) << msgCalls[0].message.toStdString();
    EXPECT_EQ(FileLines(0).value(3), u"first"_s);
    EXPECT_EQ(FileLines(2).value(3), u"third"_s) << "pages after the failing one are saved too";
    EXPECT_TRUE(form->EditorAt(1)->Modified());
    EXPECT_FALSE(form->EditorAt(2)->Modified());

    // Once the file can be written again, the next hide saves it.
    UnblockFile(blocked);
    form->ShowMainWindow();
    Show();
    Key(Qt::Key_Escape);
    EXPECT_EQ(msgCalls.size(), 1);
    EXPECT_EQ(FileLines(1).value(3), u"second"_s);
}

TEST_F(MainWindowTest, PageCommandsReportFileErrorsAndTheWindowCarriesOn)
{
    Key(Qt::Key_N, Qt::ControlModifier);
    BlockFile(store->fileName(1));
    dialogs.modal = [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(u"ValueEdit"_s)->setText(u"Renamed"_s);
        return int(QDialog::Accepted);
    };
    Key(Qt::Key_F2);
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_EQ(msgCalls[0].kind, MsgBoxKind::Error);
    EXPECT_EQ(form->PageTitle(1), u"新建页"_s) << "the rename stopped before the tab";
    // The window goes on working.
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(form->PageCount(), 3);
    EXPECT_EQ(store->count(), 3);
}

TEST_F(MainWindowTest, ExitWithAnUnwritablePageStillSavesTheWindowState)
{
    Key(Qt::Key_N, Qt::ControlModifier);
    Type(u"lost?"_s);
    Key(Qt::Key_N, Qt::ControlModifier);
    Type(u"kept"_s);
    BlockFile(store->fileName(1));
    form->TabSet()->SetTabIndex(1);
    form->hide();
    Release();
    TAppConfigMgr reread(configFile);
    EXPECT_EQ(reread.PageIndex, 1);
    Build();
    EXPECT_EQ(form->EditorAt(1)->PageText(), u"kept\n"_s);
}

} // namespace
