#include "WidgetTestSupport.h"

#include "widgets/HyperLabel.h"

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class HyperLabelTest : public WidgetTest
{
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        parent = std::make_unique<QWidget>();
        parent->resize(300, 100);
        label = new THyperLabel(parent.get());
        label->move(40, 20);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, QColor(10, 20, 30));
        label->setPalette(p);
        label->SetCaption(u"jotvane@example.org"_s);
        parent->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(parent.get()));
    }
    void TearDown() override
    {
        parent.reset();
        WidgetTest::TearDown();
    }
    void Enter()
    {
        QEnterEvent event(QPointF(2, 2), QPointF(2, 2), label->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(label, &event);
    }
    void Leave()
    {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(label, &event);
    }
    // Rows of the label's picture that hold any pixel of colour.
    int RowsWith(const QImage& image, const QColor& colour) const
    {
        int rows = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == colour) {
                    ++rows;
                    break;
                }
        return rows;
    }
    std::unique_ptr<QWidget> parent;
    THyperLabel* label = nullptr;
};

TEST_F(HyperLabelTest, AutoSizeLeavesRoomForTheUnderline)
{
    const QSize text = label->fontMetrics().size(Qt::TextExpandTabs, label->Caption());
    EXPECT_EQ(label->size(), QSize(text.width(), text.height() + 1));
    EXPECT_EQ(label->pos(), QPoint(40, 20));
    THoverStyle noUnderline;
    noUnderline.Underline = false;
    label->SetHoverStyle(noUnderline);
    EXPECT_EQ(label->height(), text.height()) << "one pixel lower without the underline";

    // Right alignment keeps the right edge.
    const int right = label->geometry().right();
    label->SetAlignment(Qt::AlignRight);
    label->SetCaption(u"x"_s);
    EXPECT_EQ(label->geometry().right(), right);
    label->SetAutoSize(false);
    label->SetCaption(u"a much longer caption"_s);
    EXPECT_EQ(label->geometry().right(), right);
    EXPECT_EQ(label->width(), label->fontMetrics().size(Qt::TextExpandTabs, u"x"_s).width());
}

TEST_F(HyperLabelTest, HoverChangesColourAndDrawsTheUnderline)
{
    QSignalSpy entered(label, &THyperLabel::OnMouseEnter);
    QSignalSpy left(label, &THyperLabel::OnMouseLeave);
    EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
    const QColor normal(10, 20, 30);
    EXPECT_EQ(RowsWith(label->grab().toImage(), QColor(0, 0, 255)), 0);

    Enter();
    EXPECT_TRUE(label->Hovering());
    EXPECT_EQ(entered.count(), 1);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_FALSE(label->font().underline()) << "the underline is drawn, not a font style";
    const QImage hovered = label->grab().toImage();
    // The underline is a full row of the hover colour at the bottom.
    const int y = label->height() - 1;
    for (int x = 0; x < label->width(); x += 7)
        EXPECT_EQ(hovered.pixelColor(x, y), QColor(0, 0, 255)) << x;

    Leave();
    EXPECT_FALSE(label->Hovering());
    EXPECT_EQ(left.count(), 1);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), normal);
}

TEST_F(HyperLabelTest, NoColourKeepsTheTextColourAndDisabledShowsNoUnderline)
{
    THoverStyle style;
    style.Color = QColor(); // the no-colour value
    label->SetHoverStyle(style);
    Enter();
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(10, 20, 30));
    const QImage hovered = label->grab().toImage();
    EXPECT_EQ(hovered.pixelColor(0, label->height() - 1), QColor(10, 20, 30))
        << "only the underline is added";
    Leave();

    label->setEnabled(false);
    Enter();
    const QImage disabled = label->grab().toImage();
    EXPECT_NE(disabled.pixelColor(0, label->height() - 1), QColor(10, 20, 30));
    // Embossed: the highlight colour shows beside the shadow colour.
    const QColor light = label->palette().color(QPalette::Disabled, QPalette::Light);
    const QColor dark = label->palette().color(QPalette::Disabled, QPalette::Dark);
    EXPECT_GT(RowsWith(disabled, light), 0);
    EXPECT_GT(RowsWith(disabled, dark), 0);
    Leave();
}

TEST_F(HyperLabelTest, ClicksAndDoubleClicks)
{
    QSignalSpy clicked(label, &THyperLabel::OnClick);
    QSignalSpy doubled(label, &THyperLabel::OnDblClick);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    QTest::mouseClick(label, Qt::RightButton);
    EXPECT_EQ(clicked.count(), 1);
    // A release outside the label is no click.
    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(-20, 2));
    EXPECT_EQ(clicked.count(), 1);
    DoubleClick(label, QPoint(3, 3));
    EXPECT_EQ(doubled.count(), 1);
    EXPECT_EQ(clicked.count(), 2) << "the first click of the pair";
    label->SetAllowDblClick(false);
    DoubleClick(label, QPoint(3, 3));
    EXPECT_EQ(doubled.count(), 1);
    EXPECT_EQ(clicked.count(), 4) << "without double-clicks, two clicks";
}

} // namespace
