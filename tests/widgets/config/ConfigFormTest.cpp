#include "config/ui/ConfigFrm.h"
#include "config/ui/SettingsController.h"

#include "FakeDialogService.h"
#include "TestSupport.h"
#include "app/SysHotKey.h"
#include "notes/ui/SettingsLook.h"
#include "widgets/CommandTable.h"
#include "widgets/FontDlg.h"
#include "widgets/InputMemoFrm.h"
#include "widgets/MsgBox.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

class ConfigFormTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
    FakeDialogService dialogs;
    TAppConfigMgr config{dir.filePath(u"Config.ini"_s), QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5))};
};

bool isChecked(const QListWidget* list, const QString& caption)
{
    const auto items = list->findItems(caption, Qt::MatchExactly);
    return !items.isEmpty() && items.first()->checkState() == Qt::Checked;
}

void setChecked(QListWidget* list, const QString& caption, bool on)
{
    list->findItems(caption, Qt::MatchExactly).first()->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

// The window around the settings dialog: the hotkeys' switching goes into steps when given.
class FakeSettingsHost final : public ISettingsHost
{
public:
    explicit FakeSettingsHost(QStringList* steps = nullptr) : m_steps(steps) {}
    void enableHotKeys(bool on) override
    {
        if (m_steps)
            *m_steps << (on ? u"on"_s : u"off"_s);
    }
    bool hotKeyRegistered() override { return registered; }
    QString grantedHotKey() override { return granted; }
    bool compositorKeys() override { return wayland; }

    bool registered = true;
    QString granted;
    bool wayland = false;

private:
    QStringList* m_steps;
};

// The parts that follow the given areas of the settings, each noting into steps that it applied
// them, in the order the window's parts connect.
void followSettings(TAppConfigMgr& config, QObject* context, QStringList& steps, TSettingsAreas followed)
{
    QObject::connect(&config, &TAppConfigMgr::changed, context, [&steps, followed](TSettingsAreas areas) {
        const std::pair<TSettingsArea, QString> parts[] = {{TSettingsArea::RunOnStartup, u"autostart"_s},
                                                           {TSettingsArea::HotKey, u"hotkey"_s},
                                                           {TSettingsArea::WindowBehaviour, u"window"_s},
                                                           {TSettingsArea::Desktop, u"desktop"_s},
                                                           {TSettingsArea::ReminderMenu, u"reminders"_s}};
        for (const auto& [area, name] : parts)
            if (areas & followed & area)
                steps << name;
    });
}

} // namespace

TEST_F(ConfigFormTest, EveryPageRoundTripsThroughItsControls)
{
    config.RunOnStartup = false;
    config.DblClickTitleActionType = 2;
    config.HotKeyBase = vkF5;
    config.HotKeyModifiers = moAlt | moWin;
    config.InsertLineText = u"chars('=', 5)"_s;
    config.InsertCustomList = {u"会议记录"_s, u"a,b"_s};
    config.Beep = false;
    config.ShutDown = true;
    config.OnDesktop = false;
    config.DesktopAligment = 0;
    config.AligmentSpace = 25;
    config.SeperatorColor = 0x0000FF;

    TConfigForm form(nullptr, config, dialogs);
    form.LoadControls();
    EXPECT_FALSE(form.RunOnStartupCheckBox->isChecked());
    EXPECT_EQ(form.DblClickTitleButtons->checkedId(), 2);
    EXPECT_EQ(form.BaseHotKey->text(), u"F5"_s);
    EXPECT_FALSE(isChecked(form.HotKeyModCheckListBox, u"Ctrl"_s));
    EXPECT_TRUE(isChecked(form.HotKeyModCheckListBox, u"Alt"_s));
    EXPECT_EQ(form.InsLineEdit->text(), u"chars('=', 5)"_s);
    EXPECT_EQ(form.InsCustomListBox->count(), 2);
    EXPECT_FALSE(form.BeepCheckBox->isChecked());
    EXPECT_EQ(form.ShutDownTimeDatePicker->date(), QDate(2020, 1, 2));
    EXPECT_EQ(form.DesktopAligmentButtons->checkedId(), 0);
    EXPECT_EQ(form.AligmentSpaceLabeledEdit->text(), u"25"_s);

    // Storing what was loaded changes nothing ...
    const QByteArray before = (config.SaveSettings(), ReadBytes(config.FileName()));
    form.StoreControls();
    ASSERT_TRUE(config.SaveSettings());
    EXPECT_EQ(ReadBytes(config.FileName()), before);

    // ... and every edited control reaches its setting.
    form.MinOnCloseCheckBox->setChecked(false);
    form.DblClickTitleButtons->button(0)->setChecked(true);
    form.InsDateEdit->setText(u"date()"_s);
    form.AlarmCheckBox->setChecked(false);
    form.ShowWallPaperCheckBox->setChecked(false);
    form.DesktopAligmentButtons->button(1)->setChecked(true);
    form.AligmentSpaceLabeledEdit->setText(u"7"_s);
    form.StoreControls();
    EXPECT_FALSE(config.MinOnClose);
    EXPECT_EQ(config.DblClickTitleActionType, 0);
    EXPECT_EQ(config.InsertDateText, u"date()"_s);
    EXPECT_EQ(config.InsertCustomList, (QStringList{u"会议记录"_s, u"a,b"_s}));
    EXPECT_FALSE(config.Alarm);
    EXPECT_FALSE(config.ShowWallPaper);
    EXPECT_EQ(config.DesktopAligment, 1);
    EXPECT_EQ(config.AligmentSpace, 7);
}

TEST_F(ConfigFormTest, HotKeyFieldRecordsOneKeyAndTheModifiersComeFromTheList)
{
    TConfigForm form(nullptr, config, dialogs);
    form.LoadControls();
    // Defaults: Ctrl alone and the D key.
    EXPECT_EQ(form.BaseHotKey->text(), u"D"_s);
    EXPECT_TRUE(isChecked(form.HotKeyModCheckListBox, u"Ctrl"_s));
    EXPECT_FALSE(isChecked(form.HotKeyModCheckListBox, u"Alt"_s));

    QTest::keyClick(form.BaseHotKey, Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(form.BaseHotKey->text(), u"J"_s);
    QTest::keyClick(form.BaseHotKey, Qt::Key_Shift, Qt::ShiftModifier); // a modifier alone is no key
    EXPECT_EQ(form.BaseHotKey->text(), u"J"_s);

    setChecked(form.HotKeyModCheckListBox, u"Ctrl"_s, false);
    setChecked(form.HotKeyModCheckListBox, u"Shift"_s, true);
    setChecked(form.HotKeyModCheckListBox, u"Win"_s, true);
    form.StoreControls();
    EXPECT_EQ(config.HotKeyBase, vkJ);
    EXPECT_EQ(config.HotKeyModifiers, 9);
}

TEST_F(ConfigFormTest, ShutDownMomentIsTheDateFieldsDayAtTheTimeFieldsTime)
{
    TConfigForm form(nullptr, config, dialogs);
    form.LoadControls();
    form.ShutDownTimeDatePicker->setDate(QDate(2009, 4, 3));
    form.ShutDownTimeTimePicker->setTime(QTime(15, 14, 35, 250));
    form.StoreControls();
    EXPECT_EQ(config.ShutDownTime, QDateTime(QDate(2009, 4, 3), QTime(15, 14, 35, 250)));
}

TEST_F(ConfigFormTest, EmptyMarginKeepsTheOldMarginWhileEverythingElseTakesEffect)
{
    const TFontSetting font{u"Serif"_s, 20, 1, 0x123456, 134};
    dialogs.chooseFont = [&](QWidget*, QFont& f, QColor& c) {
        f = FontFromSetting(font);
        c = ColorFromSetting(font.Color);
        return true;
    };
    TConfigForm form(nullptr, config, dialogs);
    form.LoadControls();
    form.AligmentSpaceLabeledEdit->setText(QString());
    form.OnDesktopCheckBox->setChecked(false);
    form.DesktoFontButton->click();
    form.StoreControls();
    EXPECT_EQ(config.AligmentSpace, 10);
    EXPECT_FALSE(config.OnDesktop);
    EXPECT_EQ(config.DesktopFont(), font); // the step after the margin still ran
}

TEST_F(ConfigFormTest, OpensOnTheAskedPageAndCancelChangesNothingEvenAPickedFont)
{
    ASSERT_TRUE(config.SaveSettings());
    const QByteArray before = ReadBytes(config.FileName());
    dialogs.chooseFont = [](QWidget*, QFont& f, QColor&) {
        f.setFamily(u"Serif"_s);
        f.setPointSize(30);
        return true;
    };
    dialogs.chooseColor = [](QWidget*, QColor& c) {
        c = ColorFromSetting(0xFF);
        return true;
    };
    QString shownPage;
    dialogs.modal = [&](QDialog& dialog) {
        auto& form = static_cast<TConfigForm&>(dialog);
        shownPage = form.PageControl->tabText(form.PageControl->currentIndex());
        form.DesktoFontButton->click();
        form.SeperatorColorButton->click();
        EXPECT_EQ(form.WorkingFont().Size, 30);
        form.InsLineEdit->setText(u"x"_s);
        form.RunOnStartupCheckBox->setChecked(false);
        return int(QDialog::Rejected);
    };
    EXPECT_FALSE(ShowSettingsDialog(dialogs, nullptr, config, TConfigForm::InsTextPage));
    EXPECT_EQ(shownPage, u"插入文本"_s);
    ASSERT_TRUE(config.SaveSettings());
    EXPECT_EQ(ReadBytes(config.FileName()), before);

    // The same steps confirmed with OK store all of them.
    dialogs.modal = [&](QDialog& dialog) {
        auto& form = static_cast<TConfigForm&>(dialog);
        form.DesktoFontButton->click();
        form.SeperatorColorButton->click();
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(ShowSettingsDialog(dialogs, nullptr, config, TConfigForm::DesktopPage));
    EXPECT_EQ(config.DesktoFontSize, 30);
    EXPECT_EQ(config.SeperatorColor, 0xFF);
}

TEST_F(ConfigFormTest, HiddenCustomTextBlockAddsModifiesAndDeletes)
{
    QStringList answers{u"第一行\r\n第二行\r\n"_s, u"新 文本\r\n"_s};
    QStringList seen;
    bool yes = false;
    dialogs.modal = [&](QDialog& dialog) {
        auto& input = static_cast<TInputMemoForm&>(dialog);
        seen << input.windowTitle() + u':' + input.Memo()->toPlainText().replace(u'\n', u"\r\n"_s);
        input.SetText(answers.takeFirst());
        return int(QDialog::Accepted);
    };
    dialogs.messageBox = [&](const TMsgBoxCall& call) {
        seen << call.message;
        return yes ? MsgResultYes : MsgResultNo;
    };
    TConfigForm form(nullptr, config, dialogs);
    form.LoadControls();
    EXPECT_TRUE(form.InsCustomListBox->isHidden());
    EXPECT_TRUE(form.InsCustomAddButton->isHidden());

    form.InsCustomAddButtonClick();
    ASSERT_EQ(form.InsCustomListBox->count(), 1);
    EXPECT_EQ(form.InsCustomListBox->item(0)->text(), u"第一行,第二行"_s);

    form.InsCustomModifyButtonClick(); // nothing selected: nothing asked
    EXPECT_EQ(seen.size(), 1);
    form.InsCustomListBox->setCurrentRow(0);
    form.InsCustomModifyButtonClick();
    EXPECT_EQ(seen.last(), u"修改:第一行\r\n第二行"_s);
    EXPECT_EQ(form.InsCustomListBox->item(0)->text(), u"\"新 文本\""_s);

    form.InsCustomDeleteButtonClick(); // answered No
    EXPECT_EQ(seen.last(), u"确实删除吗？"_s);
    EXPECT_EQ(form.InsCustomListBox->count(), 1);
    yes = true;
    form.InsCustomDeleteButtonClick();
    EXPECT_EQ(form.InsCustomListBox->count(), 0);
    form.StoreControls();
    EXPECT_TRUE(config.InsertCustomList.isEmpty());
}

TEST_F(ConfigFormTest, SettingsCommandTurnsTheHotKeyOffSavesAndAppliesOnOk)
{
    QWidget owner;
    TCommandTable commands(&owner);
    QAction& configAction = *commands.action(Command::Config);
    QStringList steps;
    FakeSettingsHost host(&steps);
    followSettings(config, &owner, steps, TSettingsArea::All);
    TSettingsController controller(&owner, config, host, dialogs);
    controller.BindCommands(commands);
    QStringList messages;
    dialogs.messageBox = [&](const TMsgBoxCall& call) {
        messages << call.message;
        return MsgResultOK;
    };

    const QByteArray before = ReadBytes(config.FileName());
    int answer = QDialog::Rejected;
    dialogs.modal = [&](QDialog& dialog) {
        auto& form = static_cast<TConfigForm&>(dialog);
        steps << u"dialog page %1"_s.arg(form.PageControl->currentIndex());
        form.BaseHotKey->SetKeyCode(CodeFromVirtualKey(vkJ));
        setChecked(form.HotKeyModCheckListBox, u"Alt"_s, true);
        return answer;
    };
    configAction.trigger();
    EXPECT_EQ(steps, (QStringList{u"off"_s, u"dialog page 0"_s, u"on"_s}));
    EXPECT_EQ(ReadBytes(config.FileName()), before);
    EXPECT_EQ(config.HotKeyBase, vkD);

    steps.clear();
    answer = QDialog::Accepted;
    configAction.trigger();
    EXPECT_EQ(steps, (QStringList{u"off"_s, u"dialog page 0"_s, u"autostart"_s, u"hotkey"_s, u"window"_s,
                                  u"desktop"_s, u"reminders"_s, u"on"_s}));
    EXPECT_TRUE(ReadBytes(config.FileName()).contains(Utf16Le(u"HotKeyModifiers=6"_s).mid(2)));
    EXPECT_TRUE(messages.isEmpty());

    // A combination another program holds is reported once the hotkeys are on again.
    host.registered = false;
    configAction.trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(u"Ctrl+Alt+J"_s)) << messages.first().toStdString();
}

TEST_F(ConfigFormTest, HotKeyPageShowsTheGrantedKeyAndTheCompositorBindingWhereTheDesktopHasThem)
{
    QWidget owner;
    FakeSettingsHost host;
    QString& granted = host.granted;
    bool& wayland = host.wayland;
    TSettingsController controller(&owner, config, host, dialogs);
    bool visible = true, hintVisible = true;
    QString shown, hint;
    QRect grantedPlace, hintPlace;
    dialogs.modal = [&](QDialog& dialog) {
        auto& form = static_cast<TConfigForm&>(dialog);
        form.show(); // the pages get their real size
        visible = form.GrantedHotKeyLabel->isVisibleTo(&form);
        shown = form.GrantedHotKeyLabel->text();
        hintVisible = form.CompositorKeyLabel->isVisibleTo(&form);
        hint = form.CompositorKeyLabel->text();
        grantedPlace = form.GrantedHotKeyLabel->geometry();
        hintPlace = form.CompositorKeyLabel->geometry();
        const QRect page = form.CompositorKeyLabel->parentWidget()->rect();
        EXPECT_TRUE(page.contains(hintPlace)) << "the hint fits on the page";
        return int(QDialog::Rejected);
    };
    controller.ShowDialog(TConfigForm::HotKeyPage);
    EXPECT_FALSE(visible) << "X11 grabs take the configured key: nothing to add";
    EXPECT_FALSE(hintVisible) << "X11: the hotkey works everywhere";

    // A Wayland session whose portal gave a key of its choice: both notes, one below the other.
    granted = u"Ctrl+Alt+J"_s;
    wayland = true;
    controller.ShowDialog(TConfigForm::HotKeyPage);
    EXPECT_TRUE(visible);
    EXPECT_TRUE(shown.contains(u"Ctrl+Alt+J"_s)) << shown.toStdString();
    EXPECT_TRUE(hintVisible);
    for (const QString& word : {u"jotvane --toggle"_s, u"sway"_s, u"bindsym"_s, u"GNOME"_s, u"KDE"_s})
        EXPECT_TRUE(hint.contains(word)) << word.toStdString();
    EXPECT_GE(hintPlace.top(), grantedPlace.bottom()) << "the notes do not overlap";

    // Without a portal: the hint alone, where the granted key would stand.
    granted.clear();
    controller.ShowDialog(TConfigForm::HotKeyPage);
    EXPECT_FALSE(visible);
    EXPECT_TRUE(hintVisible);
    EXPECT_EQ(hintPlace.top(), grantedPlace.top());
}

TEST_F(ConfigFormTest, DialogOpenedOnAnotherPageAlsoSavesAndAppliesWhatItStores)
{
    QWidget owner;
    QStringList steps;
    FakeSettingsHost host(&steps);
    followSettings(config, &owner, steps, TSettingsArea::HotKey);
    TSettingsController controller(&owner, config, host, dialogs);
    dialogs.modal = [&](QDialog& dialog) {
        auto& form = static_cast<TConfigForm&>(dialog);
        steps << u"dialog page %1"_s.arg(form.PageControl->currentIndex());
        // The shutdown command opens the reminder page; the user also changes the hotkey.
        form.BaseHotKey->SetKeyCode(CodeFromVirtualKey(vkJ));
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(controller.ShowDialog(TConfigForm::AlarmPage));
    EXPECT_EQ(steps, (QStringList{u"off"_s, u"dialog page 3"_s, u"hotkey"_s, u"on"_s}));
    EXPECT_TRUE(ReadBytes(config.FileName()).contains(Utf16Le(u"HotKeyBase=%1"_s.arg(int(vkJ))).mid(2)));
}

TEST_F(ConfigFormTest, SettingsAreAppliedOnceAndTheFileHoldsWhatTookEffect)
{
    QWidget owner;
    QStringList steps;
    config.OnDesktop = false;
    FakeSettingsHost host;
    // The desktop display cannot be switched on: the step turns the setting off again.
    QObject::connect(&config, &TAppConfigMgr::changed, &owner, [&](TSettingsAreas areas) {
        if (!(areas & TSettingsArea::Desktop))
            return;
        steps << u"desktop"_s;
        config.OnDesktop = false;
    });
    TSettingsController controller(&owner, config, host, dialogs);
    dialogs.modal = [&](QDialog& dialog) {
        static_cast<TConfigForm&>(dialog).OnDesktopCheckBox->setChecked(true);
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(controller.ShowDialog(TConfigForm::DesktopPage));
    EXPECT_EQ(steps, QStringList{u"desktop"_s});
    const QByteArray written = ReadBytes(config.FileName());
    EXPECT_TRUE(written.contains(Utf16Le(u"OnDesktop=False"_s).mid(2))) << Dump(written);
}

TEST_F(ConfigFormTest, AHotKeyThatTakesAwayATypingKeyIsConfirmedFirst)
{
    EXPECT_TRUE(IsTypingHotKey(vkD, 0));
    EXPECT_TRUE(IsTypingHotKey(vkSpace, moShift));
    EXPECT_TRUE(IsTypingHotKey(vkNumpad5, 0));
    EXPECT_TRUE(IsTypingHotKey(vkReturn, 0));
    EXPECT_FALSE(IsTypingHotKey(vkD, moControl));
    EXPECT_FALSE(IsTypingHotKey(vkD, moShift | moWin));
    EXPECT_FALSE(IsTypingHotKey(vkF5, 0));
    EXPECT_FALSE(IsTypingHotKey(vkNone, 0));

    QStringList questions;
    bool yes = false;
    dialogs.messageBox = [&](const TMsgBoxCall& call) {
        questions << call.message;
        return yes ? MsgResultYes : MsgResultNo;
    };
    // OK pressed on the general page after unticking Ctrl on the hotkey page.
    dialogs.modal = [&](QDialog& dialog) {
        auto& form = static_cast<TConfigForm&>(dialog);
        setChecked(form.HotKeyModCheckListBox, u"Ctrl"_s, false);
        form.PageControl->setCurrentIndex(TConfigForm::GeneralPage);
        form.OkButton->click();
        if (form.result() != QDialog::Accepted) { // answered No: the dialog stays, on the hotkey page
            EXPECT_EQ(form.PageControl->currentIndex(), int(TConfigForm::HotKeyPage));
        }
        return form.result();
    };
    EXPECT_FALSE(ShowSettingsDialog(dialogs, nullptr, config, TConfigForm::GeneralPage));
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions.first().contains(u"“D”"_s)) << questions.first().toStdString();
    EXPECT_EQ(config.HotKeyModifiers, moControl);

    yes = true;
    EXPECT_TRUE(ShowSettingsDialog(dialogs, nullptr, config, TConfigForm::GeneralPage));
    EXPECT_EQ(config.HotKeyModifiers, 0);
    EXPECT_EQ(config.HotKeyBase, vkD);

    // A plain key the user already has is not questioned again; one with Ctrl never is.
    questions.clear();
    dialogs.modal = [&](QDialog& dialog) {
        static_cast<TConfigForm&>(dialog).OkButton->click();
        return dialog.result();
    };
    EXPECT_TRUE(ShowSettingsDialog(dialogs, nullptr, config, TConfigForm::GeneralPage));
    config.HotKeyModifiers = moControl | moAlt;
    EXPECT_TRUE(ShowSettingsDialog(dialogs, nullptr, config, TConfigForm::GeneralPage));
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(ConfigFormTest, FontButtonOpensOnTheShownFaceKeepsWhatIsUnchangedAndChoosesTheColour)
{
    // The default desktop font is "宋体" 11 in white; no face of that name is installed.
    TConfigForm form(nullptr, config, dialogs);
    dialogs.chooseFont = [&](QWidget* owner, QFont& font, QColor& color) {
        return ChooseFontDialog(dialogs, owner, font, color);
    };
    form.LoadControls();
    QString shownFamily;
    int shownSize = 0;
    std::function<void(TFontDlg&)> answer;
    dialogs.modal = [&](QDialog& dialog) {
        auto* fontDialog = dynamic_cast<TFontDlg*>(&dialog);
        EXPECT_NE(fontDialog, nullptr);
        if (!fontDialog)
            return int(QDialog::Rejected);
        EXPECT_EQ(fontDialog->windowTitle(), u"字体"_s);
        shownFamily = fontDialog->FontPicker->currentFont().family();
        shownSize = fontDialog->FontPicker->currentFont().pointSize();
        answer(*fontDialog);
        return int(QDialog::Accepted);
    };

    // OK without a change keeps the stored face.
    answer = [](TFontDlg& dialog) { EXPECT_EQ(dialog.SelectedColor(), QColor(Qt::white)); };
    form.DesktoFontButton->click();
    EXPECT_TRUE(QFontDatabase::families().contains(shownFamily)) << shownFamily.toStdString();
    EXPECT_EQ(shownFamily, ShownFontFamily(QFont(u"宋体"_s)));
    EXPECT_EQ(shownSize, 11);
    form.StoreControls();
    EXPECT_EQ(config.DesktoFontName, u"宋体"_s);
    EXPECT_EQ(config.DesktoFontSize, 11);
    EXPECT_EQ(config.DesktoFontColor, 0xFFFFFF);

    // Another face, size, style and colour are all taken.
    answer = [](TFontDlg& dialog) {
        QFont serif(u"DejaVu Serif"_s, 14);
        serif.setBold(true);
        dialog.FontPicker->setCurrentFont(serif);
        dialog.SetSelectedColor(QColor(0x20, 0x40, 0x80));
    };
    form.DesktoFontButton->click();
    form.StoreControls();
    EXPECT_EQ(config.DesktoFontName, u"DejaVu Serif"_s);
    EXPECT_EQ(config.DesktoFontSize, 14);
    EXPECT_EQ(config.DesktoFontStyle, 1);
    EXPECT_EQ(config.DesktoFontColor, 0x804020);

    // A face stored in pixels keeps its pixel size when only the colour changes.
    QFont pixels(u"宋体"_s);
    pixels.setPixelSize(12);
    TFontDlg dialog(nullptr, pixels, Qt::black);
    EXPECT_EQ(dialog.SelectedFont().family(), u"宋体"_s);
    EXPECT_EQ(dialog.SelectedFont().pixelSize(), 12);
}

TEST_F(ConfigFormTest, FontDialogOverAWindowAtTheScreensEdgeStaysOnTheScreen)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget owner;
    owner.setGeometry(area.right() - 300, area.bottom() - 200, 300, 200);
    owner.show();
    ASSERT_TRUE(WaitFor([&] { return owner.isVisible(); }));
    TFontDlg dialog(&owner, QFont(u"宋体"_s, 11), Qt::white);
    dialog.show();
    ASSERT_TRUE(WaitFor([&] { return dialog.isVisible(); }));
    // Centred over the owner it would reach past the right and bottom edges.
    const QRect frame = dialog.frameGeometry();
    EXPECT_GE(frame.left(), area.left());
    EXPECT_GE(frame.top(), area.top());
    if (frame.width() <= area.width()) {
        EXPECT_LE(frame.right(), area.right());
    }
    if (frame.height() <= area.height()) {
        EXPECT_LE(frame.bottom(), area.bottom());
    }
    dialog.reject();
}
