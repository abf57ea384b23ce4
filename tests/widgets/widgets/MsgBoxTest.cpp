#include "TestSupport.h"
#include "WidgetTestSupport.h"

#include "widgets/MsgBox.h"
#include "widgets/UnattendedDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class MsgBoxTest : public WidgetTest
{
};

const TMsgBoxButtons YesNo{MsgBoxButton::Yes, MsgBoxButton::No};

// The real box, as the program's dialog service builds and runs it.
int ShowBox(QWidget* owner, const QString& text, MsgBoxKind kind, TMsgBoxButtons buttons, int focusIndex = 0)
{
    FakeDialogService real;
    return real.MessageBox(owner, text, kind, buttons, focusIndex);
}
const TMsgBoxButtons OkOnly{MsgBoxButton::OK};

// Shows a real box and answers it with one key press on its focused control.
int AnswerWithKey(TMsgBoxButtons buttons, Qt::Key key, int focusIndex = 0)
{
    WhenModal([key](QWidget* dialog) { QTest::keyClick(KeyTarget(dialog), key); });
    return ShowBox(nullptr, u"要删除这一页吗？"_s, MsgBoxKind::Confirmation, buttons, focusIndex);
}

int AnswerWithCloseBox(TMsgBoxButtons buttons)
{
    WhenModal([](QWidget* dialog) { dialog->close(); });
    return ShowBox(nullptr, u"消息"_s, MsgBoxKind::Information, buttons, 0);
}

TEST_F(MsgBoxTest, YesNoAnswersEnterYesEscAndCloseBoxNo)
{
    EXPECT_EQ(AnswerWithKey(YesNo, Qt::Key_Return), 6);
    EXPECT_EQ(AnswerWithKey(YesNo, Qt::Key_Escape), 7);
    EXPECT_EQ(AnswerWithCloseBox(YesNo), 7);
    // The focus index picks the focused button, which Enter then presses.
    EXPECT_EQ(AnswerWithKey(YesNo, Qt::Key_Return, 1), 7);
}

TEST_F(MsgBoxTest, OkAnswersEnterAndEscOkCloseBoxCancel)
{
    EXPECT_EQ(AnswerWithKey(OkOnly, Qt::Key_Return), 1);
    EXPECT_EQ(AnswerWithKey(OkOnly, Qt::Key_Escape), 1);
    EXPECT_EQ(AnswerWithCloseBox(OkOnly), 2);
}

// Presses key with modifiers on the box's focused button; a box the key leaves open is closed
// with the close box (result 2 or 7), so that a key that does nothing fails instead of hanging.
int AnswerWithPlainKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int focusIndex = 0)
{
    WhenModal([key, modifiers](QWidget* dialog) {
        QTest::keyClick(KeyTarget(dialog), key, modifiers);
        if (dialog->isVisible())
            dialog->close();
    });
    return ShowBox(nullptr, u"要删除这一页吗？"_s, MsgBoxKind::Confirmation, YesNo, focusIndex);
}

TEST_F(MsgBoxTest, PlainAccessKeysAnswerWhileAButtonHasTheFocus)
{
    EXPECT_EQ(AnswerWithPlainKey(Qt::Key_Y), 6);
    // From the other button, and with Shift (a capital letter), the key still picks its button.
    EXPECT_EQ(AnswerWithPlainKey(Qt::Key_Y, Qt::NoModifier, 1), 6);
    EXPECT_EQ(AnswerWithPlainKey(Qt::Key_Y, Qt::ShiftModifier), 6);
    EXPECT_EQ(AnswerWithPlainKey(Qt::Key_Y, Qt::AltModifier), 6);
    // No is also the close box's answer: N is told apart by the focus on Yes and Enter after it.
    WhenModal([](QWidget* dialog) {
        QTest::keyClick(KeyTarget(dialog), Qt::Key_N);
        if (dialog->isVisible())
            QTest::keyClick(KeyTarget(dialog), Qt::Key_Return);
    });
    EXPECT_EQ(ShowBox(nullptr, u"?"_s, MsgBoxKind::Confirmation, YesNo, 0), 7);
    // A letter no button carries, or Ctrl+Y, answers nothing.
    WhenModal([](QWidget* dialog) {
        QTest::keyClick(KeyTarget(dialog), Qt::Key_X);
        QTest::keyClick(KeyTarget(dialog), Qt::Key_Y, Qt::ControlModifier);
        EXPECT_TRUE(dialog->isVisible()) << "only the access keys answer";
        QTest::keyClick(KeyTarget(dialog), Qt::Key_Escape);
    });
    EXPECT_EQ(ShowBox(nullptr, u"?"_s, MsgBoxKind::Confirmation, YesNo, 0), 7);
}

TEST_F(MsgBoxTest, UnattendedBoxesAnswerAsEscWithoutWaiting)
{
    bool shown = false;
    WhenModal([&shown](QWidget* dialog) {
        shown = true;
        dialog->close();
    });
    TUnattendedDialogs service(dialogs);
    {
        const TUnattendedDialogs::TScope unattended(service);
        EXPECT_TRUE(service.Unattended());
        EXPECT_EQ(service.MessageBox(nullptr, u"要删除这一页吗？"_s, MsgBoxKind::Confirmation, YesNo), 7);
        EXPECT_EQ(service.MessageBox(nullptr, u"无法写入"_s, MsgBoxKind::Error, OkOnly), 1);
        EXPECT_EQ(
            service.MessageBox(nullptr, u"x"_s, MsgBoxKind::Custom, TMsgBoxButtons{MsgBoxButton::Abort}), 3);
    }
    EXPECT_FALSE(shown);
    EXPECT_FALSE(service.Unattended());
    // Afterwards boxes show again.
    EXPECT_EQ(service.MessageBox(nullptr, u"x"_s, MsgBoxKind::Information, OkOnly), 2);
    EXPECT_TRUE(shown);
}

TEST_F(MsgBoxTest, AFixedSizeBoxAsksForNoMinMaxButtonsAndComesBackWhenMinimised)
{
    bool restored = false;
    WhenModal([&restored](QWidget* dialog) {
        const Qt::WindowFlags flags = dialog->windowFlags();
        EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(flags & Qt::CustomizeWindowHint) << "without it the window manager's defaults apply";
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
        // A window manager that still offers a minimise button: the box must not vanish.
        dialog->setWindowState(Qt::WindowMinimized);
        restored = WaitFor([dialog] { return !dialog->isMinimized(); });
        QTest::keyClick(KeyTarget(dialog), Qt::Key_Return);
    });
    EXPECT_EQ(ShowBox(nullptr, u"x"_s, MsgBoxKind::Information, OkOnly), 1);
    EXPECT_TRUE(restored);
}

TEST_F(MsgBoxTest, CloseBoxMappingFollowsTheButtonSet)
{
    EXPECT_EQ(MapMsgBoxResult(2, TMsgBoxButtons{MsgBoxButton::Abort, MsgBoxButton::Retry}), 3);
    EXPECT_EQ(MapMsgBoxResult(2, TMsgBoxButtons{MsgBoxButton::OK, MsgBoxButton::Cancel}), 2);
    EXPECT_EQ(MapMsgBoxResult(2, TMsgBoxButtons{}), 2);
    EXPECT_EQ(MapMsgBoxResult(6, YesNo), 6);
    // A box with only Retry: Esc has no button to press and the close box stays 2.
    EXPECT_EQ(AnswerWithCloseBox(TMsgBoxButtons{MsgBoxButton::Retry}), 2);
}

TEST_F(MsgBoxTest, ButtonsCarryCaptionsResultsAndTheDefaultAndCancelRules)
{
    EXPECT_EQ(YesNo.Bits(), 3);
    EXPECT_EQ(OkOnly.Bits(), 4);
    TMessageForm all(nullptr, u"x"_s, MsgBoxKind::Custom, TMsgBoxButtons::FromBits(0x0FFF), 0);
    const QStringList captions{u"是(&Y)"_s, u"否(&N)"_s, u"确定"_s,   u"取消"_s,   u"终止"_s, u"重试"_s,
                               u"忽略"_s,   u"全部"_s,   u"全部不"_s, u"全部是"_s, u"帮助"_s, u"关闭"_s};
    const int results[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0, 11};
    int lastLeft = -1;
    for (int i = 0; i < MsgBoxButtonCount; ++i) {
        const auto b = static_cast<MsgBoxButton>(i);
        ASSERT_NE(all.Button(b), nullptr);
        EXPECT_EQ(all.Button(b)->text(), captions[i]);
        EXPECT_EQ(MsgBoxButtonResult(b), results[i]);
        EXPECT_GT(all.Button(b)->x(), lastLeft) << "buttons are laid out in bit order";
        lastLeft = all.Button(b)->x();
    }
    EXPECT_EQ(all.DefaultButton(), all.Button(MsgBoxButton::OK));
    EXPECT_EQ(all.CancelButton(), all.Button(MsgBoxButton::Cancel));
    EXPECT_EQ(all.windowTitle(), QApplication::applicationName());

    TMessageForm retry(nullptr, u"x"_s, MsgBoxKind::Error, TMsgBoxButtons{MsgBoxButton::Retry}, 0);
    EXPECT_EQ(retry.DefaultButton(), retry.Button(MsgBoxButton::Retry));
    EXPECT_EQ(retry.CancelButton(), nullptr);
    EXPECT_EQ(retry.windowTitle(), u"错误"_s);

    TMessageForm yesNo(nullptr, u"x"_s, MsgBoxKind::Confirmation, YesNo, 0);
    EXPECT_EQ(yesNo.DefaultButton(), yesNo.Button(MsgBoxButton::Yes));
    EXPECT_EQ(yesNo.CancelButton(), yesNo.Button(MsgBoxButton::No));
    EXPECT_EQ(yesNo.windowTitle(), u"确认"_s);
    EXPECT_EQ(yesNo.Button(MsgBoxButton::OK), nullptr);

    // The Help button does not close the dialog.
    WhenModal([](QWidget* dialog) {
        auto* help = dialog->findChild<QPushButton*>(u"ButtonHelp"_s);
        ASSERT_NE(help, nullptr);
        help->click();
        EXPECT_TRUE(dialog->isVisible());
        dialog->findChild<QPushButton*>(u"ButtonClose"_s)->click();
    });
    EXPECT_EQ(ShowBox(nullptr, u"x"_s, MsgBoxKind::Warning,
                      TMsgBoxButtons{MsgBoxButton::Help, MsgBoxButton::Close}),
              11);
}

TEST_F(MsgBoxTest, LayoutComesFromTheFontAndWrapsAtHalfTheScreen)
{
    const int halfScreen = QGuiApplication::primaryScreen()->geometry().width() / 2;
    QString longText;
    for (int i = 0; i < 40; ++i)
        longText += u"这是一条很长的消息 "_s;
    TMessageForm box(nullptr, longText, MsgBoxKind::Information, OkOnly, 0);
    const auto& m = box.Metrics();
    QLabel* label = box.MessageLabel();
    const QFontMetrics fm(box.font());
    EXPECT_LE(label->width(), halfScreen);
    EXPECT_GT(label->width(), halfScreen * 3 / 4);
    EXPECT_GT(label->height(), 3 * fm.height()) << "the text wraps onto several lines";
    // Icon, spacing and text between the margins.
    EXPECT_EQ(label->x(), m.horzMargin + 32 + m.horzSpacing);
    EXPECT_EQ(box.width(), label->x() + label->width() + m.horzMargin);
    EXPECT_EQ(box.height(), m.vertMargin + label->height() + m.vertSpacing + 23 + m.vertMargin);
    QPushButton* ok = box.Button(MsgBoxButton::OK);
    EXPECT_EQ(ok->y(), m.vertMargin + label->height() + m.vertSpacing);
    EXPECT_EQ(ok->x(), (box.width() - ok->width()) / 2);
    EXPECT_EQ(ok->height(), 23);

    const int w = fm.horizontalAdvance(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"_s) / 52;
    EXPECT_EQ(m.horzMargin, (8 * w + 2) / 4);
    EXPECT_EQ(m.vertSpacing, (10 * fm.height() + 4) / 8);

    // A one-line message sits on the icon's height, vertically centred.
    TMessageForm shortBox(nullptr, u"已保存。"_s, MsgBoxKind::Information, OkOnly, 0);
    QLabel* shortLabel = shortBox.MessageLabel();
    auto* icon = shortBox.findChild<QLabel*>(u"Image"_s);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->geometry(), QRect(m.horzMargin, m.vertMargin, 32, 32));
    EXPECT_EQ(shortLabel->y(), icon->y());
    EXPECT_EQ(shortLabel->height(), 32);
    EXPECT_TRUE(shortLabel->alignment() & Qt::AlignVCenter);

    // Custom has no icon: the text starts at the margin.
    TMessageForm custom(nullptr, u"x"_s, MsgBoxKind::Custom, OkOnly, 0);
    EXPECT_EQ(custom.findChild<QLabel*>(u"Image"_s), nullptr);
    EXPECT_EQ(custom.MessageLabel()->x(), m.horzMargin);
}

TEST_F(MsgBoxTest, WideCaptionsWidenEveryButtonAndAreCached)
{
    TMessageForm plain(nullptr, u"x"_s, MsgBoxKind::Information, YesNo, 0);
    const int minWidth = plain.Button(MsgBoxButton::Yes)->width();
    EXPECT_EQ(plain.Button(MsgBoxButton::No)->width(), minWidth);
    EXPECT_GT(CachedMsgBoxButtonWidth(MsgBoxButton::Yes), 0);

    TMessageForm mixed(nullptr, u"x"_s, MsgBoxKind::Information,
                       TMsgBoxButtons{MsgBoxButton::Yes, MsgBoxButton::NoToAll, MsgBoxButton::YesToAll}, 0);
    const int cached = CachedMsgBoxButtonWidth(MsgBoxButton::NoToAll);
    const QFontMetrics fm(mixed.font());
    EXPECT_EQ(cached, fm.horizontalAdvance(u"全部不"_s) + 50);
    const int expected = std::max(minWidth, cached);
    for (MsgBoxButton b : {MsgBoxButton::Yes, MsgBoxButton::NoToAll, MsgBoxButton::YesToAll})
        EXPECT_EQ(mixed.Button(b)->width(), expected);
    EXPECT_EQ(mixed.Button(MsgBoxButton::NoToAll)->x() - mixed.Button(MsgBoxButton::Yes)->x(),
              expected + mixed.Metrics().buttonSpacing);
}

TEST_F(MsgBoxTest, CentresOnTheOwnerUnlessItIsMinimised)
{
    QWidget owner;
    owner.setGeometry(100, 80, 400, 300);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    QPoint shownAt;
    QSize shownSize;
    dialogs.modal = [&](QDialog& form) {
        shownAt = form.pos();
        shownSize = form.size();
        return 1;
    };
    EXPECT_EQ(dialogs.MessageBox(&owner, u"x"_s, MsgBoxKind::Information, OkOnly), 1);
    const QRect frame = owner.frameGeometry();
    EXPECT_EQ(shownAt.x(), frame.left() + frame.width() / 2 - shownSize.width() / 2);
    EXPECT_EQ(shownAt.y(), frame.top() + frame.height() / 2 - shownSize.height() / 2);

    owner.showMinimized();
    ASSERT_TRUE(WaitFor([&] { return owner.isMinimized(); }));
    dialogs.MessageBox(&owner, u"x"_s, MsgBoxKind::Information, OkOnly);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(shownAt, QPoint(screen.width() / 2 - shownSize.width() / 2,
                              screen.height() / 2 - shownSize.height() / 2));
    owner.hide();
}

TEST_F(MsgBoxTest, OutsideTheSessionsEndBoxesGoWholeToTheWrappedService)
{
    QList<TMsgBoxCall> calls;
    dialogs.messageBox = [&](const TMsgBoxCall& call) {
        calls.append(call);
        return 6;
    };
    TUnattendedDialogs service(dialogs);
    EXPECT_EQ(service.MessageBox(nullptr, u"确定退出吗？"_s, MsgBoxKind::Confirmation, YesNo, 1, u"细节"_s),
              6);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].message, u"确定退出吗？"_s);
    EXPECT_EQ(calls[0].kind, MsgBoxKind::Confirmation);
    EXPECT_EQ(calls[0].buttons, YesNo);
    EXPECT_EQ(calls[0].focusIndex, 1);
    EXPECT_EQ(calls[0].details, u"细节"_s);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
