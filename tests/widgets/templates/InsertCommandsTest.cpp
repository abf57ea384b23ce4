#include "templates/ui/InsertController.h"

#include "TestSupport.h"
#include "config/AppConfigMgr.h"
#include "core/PubUtils.h"
#include "notes/ui/PadMemo.h"
#include "widgets/CommandTable.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// The fixture is the window around the commands: its current page and the settings pages shown.
class InsertCommandsTest : public ::testing::Test, public IInsertHost
{
protected:
    InsertCommandsTest()
    {
        editor.SetPageText(u"abc"_s);
        controller = std::make_unique<TInsertController>(
            &menu, &window, config, *this, [] { return QDateTime(QDate(2009, 4, 3), QTime(15, 14, 35)); });
        controller->BindCommands(commands);
    }

    TPadMemo* currentEditor() override { return current; }
    bool showSettingsDialog(int page) override
    {
        pagesShown << page;
        return true;
    }

    QStringList menuTexts()
    {
        QStringList texts;
        for (QAction* a : menu.actions())
            texts << (a->isSeparator() ? u"-"_s : a->text());
        return texts;
    }

    QTemporaryDir dir;
    TAppConfigMgr config{dir.filePath(u"Config.ini"_s)};
    QWidget window;
    TPadMemo editor{&window};
    TPadMemo* current = &editor;
    // The Insert menu and its commands as the note window has them.
    TCommandTable commands{&window};
    QMenuBar bar;
    QMenu& menu = [this]() -> QMenu& {
        commands.BuildMainMenu(&bar);
        return *bar.findChild<QMenu*>(u"InsertMenu"_s);
    }();
    QAction* n1 = menu.findChild<QAction*>(u"InsertN1Item"_s);
    QAction* n2 = menu.findChild<QAction*>(u"InsertN2Item"_s);
    QAction& line = *commands.action(Command::InsertLine);
    QAction& date = *commands.action(Command::InsertDate);
    QAction& lineDate = *commands.action(Command::InsertLineDate);
    QAction& settings = *commands.action(Command::InsertConfig);
    QList<int> pagesShown;
    std::unique_ptr<TInsertController> controller;
};

} // namespace

TEST_F(InsertCommandsTest, DefaultTemplatesInsertLinesAndTheDateAtTheCaret)
{
    editor.SetSelection(3, 0);
    line.trigger();
    EXPECT_EQ(editor.PageText(), u"abc\n"_s + QString(80, u'-') + u"\n"_s);
    editor.SetPageText(QString());
    lineDate.trigger();
    const QString middle = QString(29, u'-') + u" 2009-04-03 15:14:35 "_s + QString(30, u'-');
    EXPECT_EQ(middle.size(), 80);
    EXPECT_EQ(editor.PageText(), u"\n"_s + middle + u"\n"_s);

    // With text selected the date replaces it, and one undo brings the selection's text back.
    editor.SetPageText(u"one two three"_s);
    editor.SetSelection(4, 3);
    date.trigger();
    EXPECT_EQ(editor.PageText(), u"one 2009-04-03 15:14:35 three"_s);
    EXPECT_EQ(editor.SelStart(), 23);
    editor.undo();
    EXPECT_EQ(editor.PageText(), u"one two three"_s);

    // Without a current page nothing happens; the settings item opens the insert-text page.
    current = nullptr;
    date.trigger();
    settings.trigger();
    EXPECT_EQ(pagesShown, QList<int>{2});
}

TEST_F(InsertCommandsTest, TemplatesThatAreNoExpressionAreInsertedLiterally)
{
    config.InsertDateText = u"1/0"_s;
    editor.SetPageText(QString());
    date.trigger();
    EXPECT_EQ(editor.PageText(), u"1/0"_s);

    config.InsertCustomList = {TextToCommaText(u"会议记录"_s),
                               TextToCommaText(u"'Tel: ' + chars('_', 10)"_s)};
    editor.SetPageText(QString());
    controller->InsertCustomText(0);
    controller->InsertCustomText(1);
    EXPECT_EQ(editor.PageText(), u"会议记录Tel: __________"_s);

    // A value the language can hold but a page cannot take at once is no value to insert.
    const QString tooLong = u"chars('x', %1)"_s.arg(TPadMemo::MaxInsertLength + 1);
    const QString longest = u"chars('x', %1)"_s.arg(TPadMemo::MaxInsertLength);
    config.InsertCustomList = {TextToCommaText(tooLong), TextToCommaText(longest)};
    editor.SetPageText(QString());
    controller->InsertCustomText(0);
    EXPECT_EQ(editor.PageText(), tooLong);
    editor.SetPageText(QString());
    controller->InsertCustomText(1);
    EXPECT_EQ(editor.PageText(), QString(TPadMemo::MaxInsertLength, u'x'));
}

TEST_F(InsertCommandsTest, MenuListsTheCustomTextsBetweenTheSeparatorsEachTimeItOpens)
{
    menu.aboutToShow();
    EXPECT_EQ(menuTexts(), (QStringList{u"分隔行(&L)"_s, u"日期/时间(&D)"_s, u"日期时间分隔行(&B)"_s, u"-"_s,
                                        u"-"_s, u"插入文本设置(&C)..."_s}));

    QStringList custom{TextToCommaText(u"第一行\r\n第二行\r\n第三行"_s)};
    for (int i = 2; i <= 10; ++i)
        custom << QString::number(i);
    config.InsertCustomList = custom;
    menu.aboutToShow();
    menu.aboutToShow(); // rebuilt, not added twice
    const QStringList texts = menuTexts();
    ASSERT_EQ(texts.size(), 16);
    EXPECT_TRUE(texts[4].startsWith(u"&1 第一行 "_s)) << texts[4].toStdString();
    EXPECT_FALSE(texts[4].contains(u'\n') || texts[4].contains(u'\r'));
    EXPECT_EQ(texts[13], u"&10 10"_s);
    EXPECT_EQ(texts[14], u"-"_s);

    // A long caption is cut to fit 100 pixels of the window's font.
    config.InsertCustomList = {QString(200, u'W')};
    menu.aboutToShow();
    const QString caption = menu.actions()[4]->text();
    EXPECT_TRUE(caption.endsWith(u"..."_s));
    EXPECT_LE(QFontMetrics(window.font()).horizontalAdvance(caption.mid(3)), 100);

    // The item inserts the text with its line breaks.
    config.InsertCustomList = custom;
    menu.aboutToShow();
    editor.SetPageText(QString());
    menu.actions()[4]->trigger();
    EXPECT_EQ(editor.PageText(), u"第一行\n第二行\n第三行"_s);
}

TEST_F(InsertCommandsTest, WithoutCustomTextsBothSeparatorsAreDrawn)
{
    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(WaitFor([this] { return menu.isVisible(); }));
    const QRect first = menu.actionGeometry(n1);
    const QRect second = menu.actionGeometry(n2);
    EXPECT_FALSE(first.isEmpty());
    EXPECT_FALSE(second.isEmpty()) << "the second separator was merged into the first";
    EXPECT_GE(second.top(), first.bottom());
    EXPECT_GE(menu.actionGeometry(&settings).top(), second.bottom());
    menu.hide();
}
