#include "widgets/MSNPopUp.h"

#include "platform/OverlayNotices.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

bool waitFor(const std::function<bool()>& condition, int ms = 3000)
{
    QDeadlineTimer deadline(ms);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return condition();
}

// A 1280 x 800 screen with a 24-pixel panel at the bottom unless told otherwise.
TPopupScreen screenWith(QRect available, QRect full = QRect(0, 0, 1280, 800))
{
    return {full, available};
}

// The compositor's overlay layer: keeps what it is shown and closed; refuses while told to.
class TRecordingOverlay final : public IOverlayNotices
{
public:
    struct TShown
    {
        QImage picture;
        int right, bottom;
    };
    bool Available() override { return true; }
    int Show(const QImage& picture, int right, int bottom) override
    {
        if (refuse)
            return 0;
        shown << TShown{picture, right, bottom};
        return int(shown.size());
    }
    void Close(int notice) override { closed << notice; }

    bool refuse = false;
    QList<TShown> shown;
    QList<int> closed;
};

// A part of a popup window by its name.
template <class T> T* part(const TfrmMSNPopUp* popup, const char* name)
{
    T* found = popup->findChild<T*>(QLatin1StringView(name));
    EXPECT_TRUE(found) << name;
    return found;
}

QTimer* timer(const TfrmMSNPopUp* popup, const char* name)
{
    return part<QTimer>(popup, name);
}

QLabel* label(const TfrmMSNPopUp* popup, const char* name)
{
    return part<QLabel>(popup, name);
}

// Pixels of picture within tolerance of colour.
int countColour(const QImage& picture, const QColor& colour, int tolerance = 60)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <=
                tolerance)
                ++count;
        }
    return count;
}

class MSNPopUpTest : public ::testing::Test
{
protected:
    TPopupScreen screen = screenWith(QRect(0, 0, 1280, 776));
    TMSNPopUp popup;
    QStringList opened;

    void SetUp() override
    {
        popup.SetScreenAreas([this] { return screen; });
        popup.SetUrlOpener([this](const QString& url) { opened << url; });
    }
    void TearDown() override
    {
        for (TfrmMSNPopUp* w : popup.Popups())
            delete w;
    }

    // Changes the settings of the popups shown from now on.
    void change(const std::function<void(TPopupSettings&)>& edit)
    {
        TPopupSettings settings = popup.Settings();
        edit(settings);
        popup.SetSettings(settings);
    }

    TfrmMSNPopUp* showOne()
    {
        const int before = popup.Popups().size();
        EXPECT_TRUE(popup.ShowPopUp());
        const QList<TfrmMSNPopUp*> list = popup.Popups();
        return list.size() > before ? list.last() : nullptr;
    }
};

TEST_F(MSNPopUpTest, MessengerNoticeSlidesInStaysAndSlidesOutWithoutFocus)
{
    popup.SetMessengerValues();
    change([](TPopupSettings& s) {
        s.Title = u"信使"_s;
        s.Text = u"张三 上线了"_s;
    });
    QPointer<TfrmMSNPopUp> w = showOne();
    ASSERT_TRUE(w);
    EXPECT_EQ(popup.Count(), 1);
    EXPECT_EQ(w->Edge(), TScreenEdge::Bottom);
    EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(label(w, "lblTitle")->text(), u"信使"_s);
    EXPECT_EQ(label(w, "lblTitle")->x(), 8) << "without an icon the title moves left";
    EXPECT_EQ(label(w, "lblText")->text(), u"张三 上线了"_s);
    EXPECT_EQ(part<QFrame>(w, "pnlBorder")->size(), QSize(200, 100));

    // Collapsed on the work area's bottom edge, 16 px from its right edge.
    EXPECT_EQ(w->geometry(), QRect(1064, 774, 200, 1));
    EXPECT_TRUE(timer(w, "tmrScroll")->isActive());
    EXPECT_EQ(timer(w, "tmrScroll")->interval(), 25);
    for (int step = 1; step <= 10; ++step) {
        w->tmrScrollTimer();
        EXPECT_EQ(w->height(), 1 + 9 * step) << "step " << step;
        EXPECT_EQ(w->y() + w->height(), 775);
    }
    EXPECT_TRUE(timer(w, "tmrScroll")->isActive());
    w->tmrScrollTimer();
    EXPECT_EQ(w->geometry(), QRect(1064, 674, 200, 100)) << "complete after 11 steps, 2 px above the bottom";
    EXPECT_FALSE(timer(w, "tmrScroll")->isActive());
    EXPECT_TRUE(timer(w, "tmrExit")->isActive());
    EXPECT_EQ(timer(w, "tmrExit")->interval(), 5000);

    w->tmrExitTimer();
    EXPECT_FALSE(timer(w, "tmrExit")->isActive());
    EXPECT_TRUE(timer(w, "tmrScrollDown")->isActive());
    for (int step = 1; step <= 11; ++step) {
        w->tmrscrollDownTimer();
        EXPECT_EQ(w->height(), 100 - 9 * step);
    }
    EXPECT_TRUE(w->isVisible());
    w->tmrscrollDownTimer(); // the 12th step closes it
    EXPECT_EQ(popup.Count(), 0);
    EXPECT_TRUE(waitFor([&] { return w.isNull(); }));
}

TEST_F(MSNPopUpTest, OnTheOverlayLayerNoticesArePicturesThatStackAndGoAfterTheirTimeOut)
{
    TRecordingOverlay overlay;
    popup.SetMessengerValues();
    popup.SetOverlay(&overlay);
    change([](TPopupSettings& s) {
        s.Options |= msnCascadePopups;
        s.TimeOut = 1;
        s.Title = u"上线提示："_s;
        s.Text = u"好友：张三 上线啦！"_s;
    });
    QPointer<TfrmMSNPopUp> first = showOne();
    change([](TPopupSettings& s) { s.Text = u"好友：李四 上线啦！"_s; });
    QPointer<TfrmMSNPopUp> second = showOne();
    ASSERT_TRUE(first && second);
    ASSERT_EQ(overlay.shown.size(), 2);
    // The corner of the free area, the second above the first: no window ever shows.
    EXPECT_EQ(overlay.shown[0].right, 16);
    EXPECT_EQ(overlay.shown[0].bottom, 2);
    EXPECT_EQ(overlay.shown[1].bottom, 2 + 100 + 2);
    EXPECT_FALSE(first->isVisible());
    EXPECT_FALSE(timer(first, "tmrScroll")->isActive()) << "nothing slides on the overlay";
    EXPECT_EQ(first->OverlayNotice(), 1);
    // The picture is the popup whole: the gradient's top colour, the title's blue, the text.
    const QImage& picture = overlay.shown[0].picture;
    EXPECT_EQ(picture.size(), QSize(200, 100));
    EXPECT_GT(countColour(picture, QColor(153, 204, 255)), 2000);
    EXPECT_GT(countColour(picture, Qt::blue, 90), 10) << "the title";
    EXPECT_GT(countColour(picture, Qt::black, 120), 10) << "the text";

    // Each goes after its time-out, and each close counts.
    EXPECT_TRUE(waitFor([&] { return overlay.closed.size() == 2; }, 5000));
    EXPECT_EQ(overlay.closed, (QList<int>{1, 2}));
    EXPECT_EQ(popup.Count(), 0);
    EXPECT_TRUE(waitFor([&] { return first.isNull() && second.isNull(); }));

    // A notice without a time-out would stay for good: it cannot be clicked away there.
    change([](TPopupSettings& s) { s.TimeOut = 0; });
    QPointer<TfrmMSNPopUp> lasting = showOne();
    ASSERT_TRUE(lasting);
    EXPECT_EQ(timer(lasting, "tmrExit")->interval(), 10000);
    EXPECT_TRUE(timer(lasting, "tmrExit")->isActive());

    // A refused picture: the notice is a sliding window as elsewhere, one that can be clicked.
    overlay.refuse = true;
    QPointer<TfrmMSNPopUp> window = showOne();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->OverlayNotice(), 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(timer(window, "tmrScroll")->isActive());
    EXPECT_EQ(timer(window, "tmrExit")->interval(), 0) << "it stays until clicked";

    // A popup that goes (with its component) takes its picture with it.
    delete lasting.data();
    EXPECT_EQ(overlay.closed.last(), 3);
}

TEST_F(MSNPopUpTest, WithoutCascadingNoticesOverlapAndEachCloseCounts)
{
    popup.SetMessengerValues();
    TfrmMSNPopUp* first = showOne();
    TfrmMSNPopUp* second = showOne();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(popup.Count(), 2);
    EXPECT_EQ(first->geometry(), second->geometry());
    EXPECT_EQ(first->Slot(), 0);
    EXPECT_EQ(second->Slot(), 0);
    first->Close();
    EXPECT_EQ(popup.Count(), 1);
    second->Close();
    EXPECT_EQ(popup.Count(), 0);
    EXPECT_TRUE(waitFor([&] { return popup.Popups().isEmpty(); }));
}

TEST_F(MSNPopUpTest, CascadedNoticesStackUntilTheWorkAreaIsFull)
{
    screen = screenWith(QRect(0, 0, 1280, 376), QRect(0, 0, 1280, 400));
    change([](TPopupSettings& s) { s.Options = msnCascadePopups; }); // shown at full size at once
    TfrmMSNPopUp* a = showOne();
    TfrmMSNPopUp* b = showOne();
    TfrmMSNPopUp* c = showOne();
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->geometry(), QRect(1280 - 148 - 16, 376 - 2 - 121, 148, 121));
    EXPECT_EQ(b->y(), a->y() - 121 - 2);
    EXPECT_EQ(c->y(), 7);
    EXPECT_EQ(popup.Offset(), 3 * 123);
    EXPECT_FALSE(popup.ShowPopUp()) << "the fourth would end above the work area";
    EXPECT_EQ(popup.Count(), 3);
    EXPECT_EQ(popup.Popups().size(), 3);

    // Once every notice is gone the stack starts from the bottom again.
    for (TfrmMSNPopUp* w : {a, b, c})
        w->Close();
    TfrmMSNPopUp* again = showOne();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->y(), a->y());
}

TEST_F(MSNPopUpTest, PanelEdgeFromTheScreenAndNoticePlaces)
{
    const QRect full(0, 0, 1280, 800);
    EXPECT_EQ(TaskbarEdge({full, QRect(0, 0, 1280, 776)}), TScreenEdge::Bottom);
    EXPECT_EQ(TaskbarEdge({full, QRect(0, 30, 1280, 770)}), TScreenEdge::Top);
    EXPECT_EQ(TaskbarEdge({full, QRect(40, 0, 1240, 800)}), TScreenEdge::Left);
    EXPECT_EQ(TaskbarEdge({full, QRect(0, 0, 1240, 800)}), TScreenEdge::Right);
    EXPECT_EQ(TaskbarEdge({full, full}), TScreenEdge::Bottom) << "no panel: placed as for a bottom panel";

    popup.SetMessengerValues();
    screen = screenWith(QRect(0, 30, 1280, 770));
    TfrmMSNPopUp* top = showOne();
    ASSERT_TRUE(top);
    EXPECT_EQ(top->geometry(), QRect(1064, 32, 200, 1));
    for (int i = 0; i < 11; ++i)
        top->tmrScrollTimer();
    EXPECT_EQ(top->geometry(), QRect(1064, 32, 200, 100));

    screen = screenWith(QRect(40, 0, 1240, 800));
    TfrmMSNPopUp* left = showOne();
    ASSERT_TRUE(left);
    EXPECT_EQ(popup.Count(), 1) << "a panel on another edge starts the count anew";
    EXPECT_EQ(left->geometry(), QRect(56, 698, 1, 100));

    screen = screenWith(QRect(0, 0, 1240, 800));
    TfrmMSNPopUp* right = showOne();
    ASSERT_TRUE(right);
    EXPECT_EQ(right->geometry(), QRect(1240 - 16, 698, 1, 100));
    for (int i = 0; i < 40 && timer(right, "tmrScroll")->isActive(); ++i)
        right->tmrScrollTimer();
    EXPECT_EQ(right->geometry(), QRect(1240 - 16 - 200, 698, 200, 100));

    screen = screenWith(full);
    TfrmMSNPopUp* none = showOne();
    ASSERT_TRUE(none);
    EXPECT_EQ(none->geometry(), QRect(1064, 798, 200, 1));
}

TEST_F(MSNPopUpTest, TimeOutZeroStaysUntilClicked)
{
    popup.SetMessengerValues();
    change([](TPopupSettings& s) {
        s.TimeOut = 0;
        s.ScrollSpeed = 500; // beyond the range: 50, still more than the height after two steps
    });
    QPointer<TfrmMSNPopUp> w = showOne();
    ASSERT_TRUE(w);
    w->tmrScrollTimer();
    w->tmrScrollTimer();
    EXPECT_EQ(w->height(), 100);
    EXPECT_FALSE(timer(w, "tmrExit")->isActive()) << "an interval of 0 never fires";
    QTest::qWait(60);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(timer(w, "tmrScrollDown")->isActive());

    // A click on the text without hyperlink mode and without OnClick only closes it.
    QTest::mouseClick(label(w, "lblText"), Qt::LeftButton);
    EXPECT_EQ(popup.Count(), 0);
    EXPECT_TRUE(waitFor([&] { return w.isNull(); }));
}

TEST_F(MSNPopUpTest, ClicksCallTheEventsWithTheGuardOpen)
{
    QList<QObject*> clickSenders;
    QStringList urls;
    QObject::connect(&popup, &TMSNPopUp::clicked, [&](QObject* sender) { clickSenders << sender; });
    QObject::connect(&popup, &TMSNPopUp::urlClicked, [&](QObject* sender, const QString& url) {
        auto* w = qobject_cast<TfrmMSNPopUp*>(sender);
        ASSERT_TRUE(w);
        EXPECT_FALSE(w->ClosingGuard());
        w->Close(); // only hides it while the event runs
        EXPECT_FALSE(w->isVisible());
        EXPECT_EQ(popup.Count(), 1);
        urls << url;
    });
    change([](TPopupSettings& s) {
        s.URL = u"https://example.invalid/"_s;
        s.Options = msnAllowHyperlink | msnAutoOpenURL;
    });
    QPointer<TfrmMSNPopUp> w = showOne();
    ASSERT_TRUE(w);
    EXPECT_TRUE(timer(w, "tmrExit")->isActive()) << "without sliding the exit timer runs at once";
    EXPECT_EQ(w->geometry().size(), QSize(148, 121));
    QLabel* text = label(w, "lblText");
    const QFont before = text->font();
    w->lblTextMouseEnter();
    EXPECT_TRUE(text->font().underline()) << "the hover font";
    w->lblTextMouseLeave();
    EXPECT_EQ(text->font(), before);
    QTest::mouseClick(label(w, "lblText"), Qt::LeftButton);
    EXPECT_EQ(urls, QStringList{u"https://example.invalid/"_s});
    EXPECT_EQ(opened, QStringList{u"https://example.invalid/"_s});
    EXPECT_TRUE(clickSenders.isEmpty());
    EXPECT_EQ(popup.Count(), 0);
    EXPECT_TRUE(waitFor([&] { return w.isNull(); }));

    // The right button on the text and any button on the title report the component.
    change([](TPopupSettings& s) { s.Options = {}; });
    QPointer<TfrmMSNPopUp> second = showOne();
    ASSERT_TRUE(second);
    QTest::mouseClick(label(second, "lblText"), Qt::RightButton);
    EXPECT_EQ(clickSenders, QList<QObject*>{&popup});
    QPointer<TfrmMSNPopUp> third = showOne();
    ASSERT_TRUE(third);
    QTest::mouseClick(label(third, "lblTitle"), Qt::MiddleButton);
    EXPECT_EQ(clickSenders.size(), 2);
    EXPECT_EQ(popup.Count(), 0);
}

TEST_F(MSNPopUpTest, VerticalGradientRows)
{
    EXPECT_EQ(BlendColor(QColor(153, 204, 255), Qt::white, 0, 100), QColor(153, 204, 255));
    EXPECT_EQ(BlendColor(QColor(153, 204, 255), Qt::white, 50, 100), QColor(204, 230, 255));
    EXPECT_EQ(BlendColor(QColor(153, 204, 255), Qt::white, 100, 100), QColor(255, 255, 255));
    EXPECT_EQ(BlendColor(Qt::white, QColor(0, 0, 1), 1, 3), QColor(170, 170, 170));

    change([](TPopupSettings& s) {
        s.Height = 104; // a 2-pixel border leaves a 100-pixel background
        s.Options = {};
    });
    TfrmMSNPopUp* w = showOne();
    ASSERT_TRUE(w);
    const QImage image = w->Background().toImage();
    ASSERT_EQ(image.height(), 100);
    EXPECT_EQ(QColor(image.pixel(10, 0)), QColor(153, 204, 255));
    EXPECT_EQ(QColor(image.pixel(10, 50)), QColor(204, 230, 255));
    EXPECT_EQ(QColor(image.pixel(10, 99)), BlendColor(QColor(153, 204, 255), Qt::white, 99, 100));
}

TEST_F(MSNPopUpTest, APictureFileBecomesTheBackgroundAndAMissingOneLeavesTheGradient)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(popup.LoadBackgroundImage(dir.filePath(u"Images/BackgroundImage.bmp"_s)));
    const QString notAPicture = dir.filePath(u"text.bmp"_s);
    QFile text(notAPicture);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    EXPECT_FALSE(popup.LoadBackgroundImage(notAPicture));
    EXPECT_TRUE(popup.Settings().BackgroundImage.isNull());

    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(QColor(200, 0, 0));
    const QString file = dir.filePath(u"BackgroundImage.bmp"_s);
    ASSERT_TRUE(red.save(file, "BMP"));
    ASSERT_TRUE(popup.LoadBackgroundImage(file));
    change([](TPopupSettings& s) { s.Options = {}; });
    TfrmMSNPopUp* w = showOne();
    ASSERT_TRUE(w);
    // Drawn at its actual size in the top left corner, the rest of the background plain.
    const QImage image = w->Background().toImage();
    EXPECT_EQ(QColor(image.pixel(2, 2)), QColor(200, 0, 0));
    EXPECT_NE(QColor(image.pixel(20, 20)), QColor(200, 0, 0));
}

} // namespace
