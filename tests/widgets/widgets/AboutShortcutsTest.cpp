#include "WidgetTestSupport.h"

#include "FakePlatform.h"
#include "widgets/AboutFrm.h"
#include "widgets/HyperLabel.h"
#include "widgets/ShortcutsFrm.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class AboutShortcutsTest : public WidgetTest
{
};

TEST_F(AboutShortcutsTest, AboutShowsNameVersionAndOpensTheLinks)
{
    FakePlatform platform;
    TAboutForm about(platform.services());
    EXPECT_EQ(about.windowTitle(), u"关于"_s);
    EXPECT_EQ(about.size(), QSize(264, 192));
    EXPECT_EQ(about.SoftNameLabel()->text(), u"Jotvane"_s);
    EXPECT_EQ(about.VersionLabel()->text(), u"4.0"_s);
    EXPECT_EQ(about.VersionLabel()->x(), about.SoftNameLabel()->geometry().right() + 1 + 8);
    EXPECT_TRUE(about.SoftNameLabel()->font().bold());
    EXPECT_EQ(about.EmailHyperLabel()->pos(), QPoint(94, 105));
    EXPECT_EQ(about.WebsiteHyperLabel()->pos(), QPoint(94, 123));
    EXPECT_FALSE(about.Image1()->pixmap().isNull());
    EXPECT_EQ(about.EmailHyperLabel()->HoverStyle().Color, QColor(255, 0, 0));

    about.EmailHyperLabel()->SetCaption(u"  someone@example.org "_s);
    QTest::mouseClick(about.EmailHyperLabel(), Qt::LeftButton);
    about.EmailHyperLabel()->SetCaption(u"mailto:other@example.org"_s);
    about.EmailHyperLabelClick();
    QTest::mouseClick(about.WebsiteHyperLabel(), Qt::LeftButton);
    EXPECT_EQ(platform.shell.opened,
              (QStringList{u"mailto:someone@example.org"_s, u"mailto:other@example.org"_s,
                           about.WebsiteHyperLabel()->Caption()}));
    EXPECT_TRUE(about.WebsiteHyperLabel()->Caption().contains(u"example.org"_s));
}

TEST_F(AboutShortcutsTest, AboutClosesWithEnterAndEsc)
{
    FakePlatform platform;
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        bool shown = false;
        WhenModal([&](QWidget* dialog) {
            shown = dialog->windowTitle() == u"关于"_s;
            QTest::keyClick(KeyTarget(dialog), key);
        });
        ShowAboutBox(dialogs, platform.services(), nullptr);
        EXPECT_TRUE(shown);
        EXPECT_TRUE(platform.shell.opened.isEmpty());
    }
}

TEST_F(AboutShortcutsTest, ShortcutTextHasTwentyOneKeyLinesAndFiveGroupBreaks)
{
    const QString text = ShortcutListText();
    ASSERT_TRUE(text.endsWith(u"显示上一页。\r\n"_s));
    EXPECT_FALSE(text.endsWith(u"\r\n\r\n"_s));
    EXPECT_FALSE(text.contains(u'\n' + QString()) && text.count(u'\n') != text.count(u"\r\n"_s));
    QStringList lines = text.split(u"\r\n"_s);
    lines.removeLast(); // after the final CR LF
    int keyLines = 0;
    int empty = 0;
    const QRegularExpression pattern(u"^(.+)  -  (.+)$"_s);
    for (const QString& line : lines) {
        if (line.isEmpty()) {
            ++empty;
            continue;
        }
        const auto match = pattern.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        ++keyLines;
        const int expectedWidth = match.captured(1).startsWith(u"Alt+左"_s) ? 12 : 16;
        EXPECT_EQ(match.captured(1).size(), expectedWidth) << line.toStdString();
    }
    EXPECT_EQ(keyLines, 21);
    EXPECT_EQ(empty, 5);
    EXPECT_TRUE(text.startsWith(u"Ctrl+F            -  查找字符串。\r\n"_s));
    EXPECT_TRUE(text.contains(u"\r\nCtrl+Shift+F      -  在所有页面中查找。\r\n"_s));
    EXPECT_TRUE(text.contains(u"\r\nCtr+Del           -  删除页面。\r\n"_s));
    EXPECT_TRUE(text.contains(u"\r\nF6                -  窗口保持在最顶层\r\n"_s));
    EXPECT_TRUE(text.contains(u"\r\nAlt+左/右 箭头    -  切换页面。\r\n"_s));
    EXPECT_TRUE(text.contains(u"隐藏/显示信使窗体。\r\n\r\nAlt+左"_s));
}

TEST_F(AboutShortcutsTest, ShortcutWindowIsReadOnlyWithItsMargins)
{
    TShortcutsForm form;
    EXPECT_EQ(form.windowTitle(), u"快捷键列表"_s);
    EXPECT_EQ(form.size(), QSize(352, 346));
    QPlainTextEdit* memo = form.Memo();
    EXPECT_EQ(memo->toPlainText().replace(u"\n"_s, u"\r\n"_s), ShortcutListText());
    EXPECT_TRUE(memo->isReadOnly());

    bool editable = true;
    WhenModal([&](QWidget* dialog) {
        auto* shown = dialog->findChild<QPlainTextEdit*>(u"Memo"_s);
        shown->setFocus();
        const QString before = shown->toPlainText();
        QTest::keyClicks(shown, u"abc"_s);
        QTest::keyClick(shown, Qt::Key_Delete);
        editable = shown->toPlainText() != before;
        EXPECT_EQ(shown->geometry(), QRect(2, 3, dialog->width() - 4, dialog->height() - 5));
        dialog->resize(500, 400);
        EXPECT_EQ(shown->geometry(), QRect(2, 3, 496, 395));
        EXPECT_EQ(shown->document()->documentMargin(), 4);
        dialog->close();
    });
    ShowShortcutHelp(dialogs, nullptr);
    EXPECT_FALSE(editable);
}

} // namespace
