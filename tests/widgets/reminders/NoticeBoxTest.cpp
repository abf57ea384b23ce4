#include "reminders/ui/NoticeBox.h"
#include "reminders/ui/InputGuard.h"
#include "reminders/ui/ShutDownCountdown.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>

using namespace Qt::StringLiterals;

namespace {

void Key(QWidget* target, Qt::Key key, bool autoRepeat = false)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(target, &release);
}

// Keys typed for another window while the box appears do not answer it: neither in its first
// second, nor a key held down since then (auto-repeat); a fresh press afterwards does.
TEST(NoticeBox, KeysTypedBeforeItAppearedDoNotAnswerIt)
{
    int answered = 0;
    QPointer<TNoticeBox> box =
        new TNoticeBox(nullptr, u"时间到：a @2009-05-01 08:30"_s, MsgBoxKind::Information);
    QObject::connect(box, &TNoticeBox::answered, [&] { ++answered; });
    box->Open();
    EXPECT_TRUE(box->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(box->windowTitle(), u"提示"_s);
    for (QWidget* target : {static_cast<QWidget*>(box.data()), static_cast<QWidget*>(box->OkButton())}) {
        Key(target, Qt::Key_Space);
        Key(target, Qt::Key_Return);
        Key(target, Qt::Key_Escape);
    }
    const QPointF centre = QRectF(box->OkButton()->rect()).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, centre, box->OkButton()->mapToGlobal(centre), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(box->OkButton(), &click);
    }
    EXPECT_TRUE(box->Guard()->Quiet());
    ASSERT_TRUE(WaitFor([&] { return !box->Guard()->Quiet(); }));
    Key(box->OkButton(), Qt::Key_Return, true);
    Key(box, Qt::Key_Return, true);
    QApplication::processEvents();
    EXPECT_EQ(answered, 0);
    ASSERT_TRUE(box && box->isVisible());
    Key(box, Qt::Key_Return);
    EXPECT_EQ(answered, 1);
    ASSERT_TRUE(WaitFor([&] { return box.isNull(); })); // deletes itself
}

TEST(NoticeBox, ALongListScrollsInsideHalfTheScreen)
{
    QStringList lines{u"时间到："_s};
    for (int i = 0; i < 500; ++i)
        lines << u"line %1 @2009-05-01 08:30"_s.arg(i);
    TNoticeBox box(nullptr, lines.join(u'\n'), MsgBoxKind::Information);
    box.Open();
    const int half = QGuiApplication::primaryScreen()->availableSize().height() / 2;
    EXPECT_LE(box.findChild<QScrollArea*>(u"MessageArea"_s)->height(), half);
    EXPECT_LT(box.height(), half + 200);
    EXPECT_EQ(box.MessageLabel()->text().count(u'\n'), 500);

    TNoticeBox small(nullptr, u"short"_s, MsgBoxKind::Error);
    small.Open();
    EXPECT_EQ(small.windowTitle(), u"错误"_s);
    EXPECT_LT(small.height(), 150);
}

TEST(ShutDownCountdown, RunsOutOrIsCancelled)
{
    std::optional<bool> decision;
    QPointer<TShutDownCountdown> countdown = new TShutDownCountdown(nullptr, 1);
    QObject::connect(countdown, &TShutDownCountdown::decided, [&](bool powerOff) { decision = powerOff; });
    countdown->Open();
    EXPECT_EQ(countdown->MessageLabel()->text(), u"这是由Jotvane发起的自动关机！\n将在 1 秒后关机"_s);
    Key(countdown, Qt::Key_Escape); // too early to count
    ASSERT_TRUE(WaitFor([&] { return decision.has_value(); }));
    EXPECT_TRUE(*decision);
    ASSERT_TRUE(WaitFor([&] { return countdown.isNull(); }));

    decision.reset();
    countdown = new TShutDownCountdown(nullptr, 30);
    QObject::connect(countdown, &TShutDownCountdown::decided, [&](bool powerOff) { decision = powerOff; });
    countdown->Open();
    EXPECT_EQ(countdown->Remaining(), 30);
    Key(countdown, Qt::Key_Escape);
    EXPECT_FALSE(decision.has_value()); // still in its first second
    ASSERT_TRUE(
        WaitFor([&] { return countdown->MessageLabel()->text().endsWith(u"将在 29 秒后关机"_s); }, 3000));
    countdown->CancelButton()->click();
    ASSERT_TRUE(decision.has_value());
    EXPECT_FALSE(*decision);
    countdown->NowButton()->click(); // decided once only
    EXPECT_FALSE(*decision);
}

} // namespace
