#include "notes/ui/PadMemo.h"
#include "FakePlatform.h"
#include "notes/DataManager.h"
#include "notes/ui/MemoFormat.h"
#include "templates/ExprErrors.h"
#include "templates/ExprParser.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>
#include <QVBoxLayout>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// Stands in for the expression parser: sums integers joined by "+", anything else fails with
// a message in the parser's style.
QString AddIntegers(const QString& expression)
{
    qint64 sum = 0;
    for (const QString& part : expression.split(u'+')) {
        bool ok = false;
        const qint64 value = part.trimmed().toLongLong(&ok);
        if (!ok)
            throw std::runtime_error(u"表达式错误: 无法识别“%1”"_s.arg(part.trimmed()).toStdString());
        sum += value;
    }
    return QString::number(sum);
}

class PadMemoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        panel.resize(320, 240);
        auto* layout = new QVBoxLayout(&panel);
        layout->setContentsMargins(0, 0, 0, 0);
        memo = new TPadMemo(&panel);
        layout->addWidget(memo);
        memo->SetEvaluator([this](const QString& expression) {
            expressions.append(expression);
            return AddIntegers(expression);
        });
        memo->SetMessageHandler([this](const QString& message) { messages.append(message); });
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        memo->setFocus();
    }

    // Puts text into the editor as a loaded page and the caret at pos (the end when -1).
    void Load(const QString& text, int pos = -1)
    {
        memo->SetPageText(text);
        memo->SetSelection(pos < 0 ? int(text.size()) : pos, 0);
    }

    void CtrlEnter() { QTest::keyClick(memo, Qt::Key_Return, Qt::ControlModifier); }

    QWidget panel;
    TPadMemo* memo = nullptr;
    QStringList expressions;
    QStringList messages;
};

TEST_F(PadMemoTest, KeepsFourPixelMarginsWithAndWithoutWrap)
{
    memo->SetPageText(QString(300, u'x'));
    for (const bool wrap : {true, false, true}) {
        SCOPED_TRACE(wrap ? "wrap" : "no wrap");
        memo->SetWrapMode(wrap);
        QCoreApplication::processEvents();
        EXPECT_EQ(memo->WrapMode(), wrap);
        const QRect caret = memo->cursorRect(QTextCursor(memo->document()));
        EXPECT_EQ(caret.left() + memo->horizontalScrollBar()->value(), 4);
        EXPECT_EQ(caret.top(), 4);
        const QTextLayout* layout = memo->document()->firstBlock().layout();
        if (wrap) {
            // The long word breaks 4 pixels before the right edge of the visible area.
            EXPECT_GT(layout->lineCount(), 1);
            EXPECT_DOUBLE_EQ(layout->lineAt(0).width(), memo->viewport()->width() - 8);
            EXPECT_LE(layout->lineAt(0).naturalTextWidth(), memo->viewport()->width() - 8);
            EXPECT_FALSE(memo->horizontalScrollBar()->isVisible());
        } else {
            EXPECT_EQ(layout->lineCount(), 1);
            EXPECT_TRUE(memo->horizontalScrollBar()->isVisible());
            EXPECT_GT(memo->horizontalScrollBar()->maximum(), 0);
        }
        EXPECT_TRUE(memo->verticalScrollBar()->isVisible());
    }
    EXPECT_EQ(memo->frameShape(), QFrame::NoFrame);
}

TEST_F(PadMemoTest, PageTextKeepsEveryCharacter)
{
    // Line breaks of any kind become one LF; a no-break space stays what it is (the document's
    // own plain-text form would turn it into a blank and change the page on saving).
    memo->SetPageText(u"a\u00A0b\r\nc\rd\n"_s);
    EXPECT_EQ(memo->PageText(), u"a\u00A0b\nc\nd\n"_s);
    memo->SetSelection(1, 0);
    memo->ReplaceSelection(QString(QChar(QChar::LineSeparator)), true);
    EXPECT_EQ(memo->PageText(), u"a\n\u00A0b\nc\nd\n"_s);
    EXPECT_EQ(memo->PageText().size(), memo->document()->characterCount() - 1);
}

TEST_F(PadMemoTest, ModifiedFlagFollowsEveryChange)
{
    EXPECT_FALSE(memo->Modified());
    memo->SetPageText(u"loaded text"_s);
    EXPECT_FALSE(memo->Modified());
    EXPECT_EQ(memo->SelStart(), 0);
    EXPECT_FALSE(memo->document()->isUndoAvailable());

    QTest::keyClicks(memo, u"ab"_s);
    EXPECT_TRUE(memo->Modified());
    EXPECT_EQ(memo->PageText(), u"abloaded text"_s);
    memo->SetModified(false);
    EXPECT_FALSE(memo->Modified());

    memo->ReplaceSelection(u"x"_s, true);
    EXPECT_TRUE(memo->Modified());
    memo->SetModified(false);
    memo->ReplaceSelection(u"y"_s, false);
    EXPECT_TRUE(memo->Modified());
    memo->SetModified(false);
    memo->PasteAtCaret(u"z"_s);
    EXPECT_TRUE(memo->Modified());
    memo->SetModified(false);
    Load(u"1+2"_s);
    CtrlEnter();
    EXPECT_TRUE(memo->Modified());
    memo->SetModified(true);
    EXPECT_TRUE(memo->Modified());
}

TEST_F(PadMemoTest, ReplaceSelectionInsertsAsOneUndoableStep)
{
    Load(u"hello world"_s, 6);
    QTest::keyClicks(memo, u"big "_s);
    EXPECT_EQ(memo->PageText(), u"hello big world"_s);

    memo->SetSelection(6, 3);
    memo->ReplaceSelection(u"new\r\nline\rand\nmore"_s, true);
    EXPECT_EQ(memo->PageText(), u"hello new\nline\nand\nmore world"_s);
    EXPECT_EQ(memo->document()->blockCount(), 4);
    EXPECT_EQ(memo->SelStart(), 23);
    EXPECT_EQ(memo->SelLength(), 0);

    // Undo takes back the insertion alone, not the typing before it.
    QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(memo->PageText(), u"hello big world"_s);
    QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(memo->PageText(), u"hello world"_s);

    // Typing after an insertion is a step of its own as well.
    Load(u"a"_s);
    memo->ReplaceSelection(u"b"_s, true);
    QTest::keyClicks(memo, u"c"_s);
    memo->undo();
    EXPECT_EQ(memo->PageText(), u"ab"_s);
    memo->undo();
    EXPECT_EQ(memo->PageText(), u"a"_s);
}

TEST_F(PadMemoTest, ReplaceSelectionWithoutUndo)
{
    Load(u"abc"_s);
    QTest::keyClicks(memo, u"d"_s);
    memo->ReplaceSelection(u"e"_s, false);
    EXPECT_EQ(memo->PageText(), u"abcde"_s);
    EXPECT_FALSE(memo->document()->isUndoAvailable());
    memo->undo();
    EXPECT_EQ(memo->PageText(), u"abcde"_s);
}

TEST_F(PadMemoTest, PasteAtCaretReplacesTheClipboard)
{
    auto* old = new QMimeData;
    old->setText(u"old text"_s);
    old->setHtml(u"<b>old</b>"_s);
    old->setUrls({QUrl(u"file:///tmp/x"_s)});
    QGuiApplication::clipboard()->setMimeData(old);

    Load(u"line  end"_s, 5);
    memo->SetSelection(5, 1);
    memo->PasteAtCaret(u"√"_s);
    EXPECT_EQ(memo->PageText(), u"line √end"_s);
    EXPECT_EQ(memo->SelStart(), 6);

    const QMimeData* now = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->text(), u"√"_s);
    EXPECT_FALSE(now->hasHtml());
    EXPECT_FALSE(now->hasUrls());

    memo->PasteAtCaret(u"@2024-05-06 07:08"_s);
    EXPECT_EQ(memo->PageText(), u"line √@2024-05-06 07:08end"_s);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"@2024-05-06 07:08"_s);
}

TEST_F(PadMemoTest, GetLineToCaret)
{
    Load(QString());
    EXPECT_EQ(memo->GetLineToCaret(), QString());
    Load(u"1+2"_s, 0);
    EXPECT_EQ(memo->GetLineToCaret(), QString());
    Load(u"first\nsecond line"_s, 9);
    EXPECT_EQ(memo->GetLineToCaret(), u"sec"_s);
    Load(u"first\nsecond"_s, 5);
    EXPECT_EQ(memo->GetLineToCaret(), u"first"_s);
    // At the start of a line: the line above with its line break.
    Load(u"first\nsecond"_s, 6);
    EXPECT_EQ(memo->GetLineToCaret(), u"first\n"_s);
    Load(u"first\n\n\nx"_s, 8);
    EXPECT_EQ(memo->GetLineToCaret(), u"first\n\n\n"_s);
    Load(u"\n\nx"_s, 2);
    EXPECT_EQ(memo->GetLineToCaret(), u"\n\n"_s);
    // With a selection, the part before its start.
    Load(u"abcdef"_s);
    memo->SetSelection(2, 3);
    EXPECT_EQ(memo->GetLineToCaret(), u"ab"_s);
}

TEST_F(PadMemoTest, CalculatorWritesTheResultBehindTheExpression)
{
    struct TCase
    {
        QString text;
        QString expected;
    };
    const TCase cases[] = {
        {u"3+4"_s, u"3+4 = 7\n"_s},
        {u"3+4="_s, u"3+4= 7\n"_s},
        {u"3+4 = "_s, u"3+4 = 7\n"_s},
        {u"3+4 "_s, u"3+4 = 7\n"_s},
        {u"    10+20"_s, u"    10+20 = 30\n"_s},
        {u"\t5"_s, u"\t5 = 5\n"_s},
        {u"above\n1+2"_s, u"above\n1+2 = 3\n"_s},
        // The empty line right below the expression: the result goes onto the empty line.
        {u"1+2\n"_s, u"1+2\n = 3\n"_s},
        {u"1+2\n\n"_s, u"1+2\n\n = 3\n"_s},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Load(c.text);
        CtrlEnter();
        EXPECT_EQ(memo->PageText(), c.expected);
        // The caret stands at the start of the new line below.
        EXPECT_EQ(memo->SelStart(), c.expected.size());
    }
    EXPECT_EQ(expressions, (QStringList{u"3+4"_s, u"3+4"_s, u"3+4 "_s, u"3+4"_s, u"10+20"_s, u"5"_s, u"1+2"_s,
                                        u"1+2"_s, u"1+2"_s}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PadMemoTest, CalculatorAtCaretInsideTextAndOverSelection)
{
    Load(u"1+2 tail\nnext"_s, 3);
    CtrlEnter();
    EXPECT_EQ(memo->PageText(), u"1+2 = 3\n tail\nnext"_s);

    Load(u"2+2XYZ"_s);
    memo->SetSelection(3, 3);
    CtrlEnter();
    EXPECT_EQ(memo->PageText(), u"2+2 = 4\n"_s);

    // The keypad's Enter works the same.
    Load(u"4+4"_s);
    QTest::keyClick(memo, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(memo->PageText(), u"4+4 = 8\n"_s);
}

TEST_F(PadMemoTest, CalculatorIgnoresStartOfTextAndBlankLines)
{
    const std::pair<QString, int> cases[] = {
        {QString(), 0}, {u"1+2"_s, 0}, {u"   "_s, 3}, {u"1+2\n  \t "_s, 8}, {u"\n\n"_s, 2}};
    for (const auto& [text, caret] : cases) {
        SCOPED_TRACE(text.toStdString());
        Load(text, caret);
        CtrlEnter();
        EXPECT_EQ(memo->PageText(), text); // no line break either
        EXPECT_EQ(memo->SelStart(), caret);
        EXPECT_FALSE(memo->Modified());
    }
    EXPECT_TRUE(expressions.isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PadMemoTest, CalculatorErrorShowsTheMessageAndChangesNothing)
{
    Load(u"first\n1+x"_s);
    CtrlEnter();
    EXPECT_EQ(memo->PageText(), u"first\n1+x"_s);
    EXPECT_EQ(memo->SelStart(), 9);
    EXPECT_FALSE(memo->Modified());
    EXPECT_EQ(messages, QStringList{u"表达式错误: 无法识别“x”"_s});
}

TEST_F(PadMemoTest, CalculatorInsertionCanBeUndone)
{
    Load(QString());
    QTest::keyClicks(memo, u"20+22"_s);
    CtrlEnter();
    EXPECT_EQ(memo->PageText(), u"20+22 = 42\n"_s);
    QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(memo->PageText(), u"20+22"_s);
    EXPECT_EQ(memo->SelStart(), 5);
}

TEST_F(PadMemoTest, EnterKeysMakePlainLineBreaks)
{
    Load(u"ab"_s, 1);
    QTest::keyClick(memo, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClick(memo, Qt::Key_Tab);
    EXPECT_EQ(memo->PageText(), u"a\n\n\tb"_s);
    EXPECT_EQ(memo->document()->blockCount(), 3);
}

TEST_F(PadMemoTest, DroppedFilesAreForwardedNotInserted)
{
    QSignalSpy dropped(memo, &TPadMemo::FilesDropped);
    Load(u"text"_s);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(u"/tmp/one.txt"_s), QUrl(u"https://example.org/x"_s),
                  QUrl::fromLocalFile(u"/tmp/二.txt"_s)});
    const QPoint at = memo->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(memo->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(memo->viewport(), &drop);
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).toStringList(), (QStringList{u"/tmp/one.txt"_s, u"/tmp/二.txt"_s}));
    EXPECT_EQ(memo->PageText(), u"text"_s);
    EXPECT_FALSE(memo->Modified());
}

TEST_F(PadMemoTest, FormatCommandsChangeEveryEditorOfTheContainer)
{
    auto* second = new TPadMemo(&panel);
    panel.layout()->addWidget(second);
    EXPECT_EQ(EditorsIn(&panel), (QList<TPadMemo*>{memo, second}));

    QFont font(u"宋体"_s);
    font.setPixelSize(21);
    font.setBold(true);
    SetMemoFont(&panel, font, QColor(200, 10, 20));
    SetMemoColor(&panel, QColor(1, 2, 3));
    auto* later = new TPadMemo(&panel); // an editor created afterwards follows too
    panel.layout()->addWidget(later);
    for (TPadMemo* editor : {memo, second, later}) {
        EXPECT_EQ(editor->font().pixelSize(), 21);
        EXPECT_TRUE(editor->font().bold());
        EXPECT_EQ(editor->viewport()->palette().color(editor->viewport()->backgroundRole()), QColor(1, 2, 3));
        EXPECT_EQ(editor->palette().color(QPalette::Text), QColor(200, 10, 20));
    }
    EXPECT_EQ(MemoFont(&panel).pixelSize(), 21);
    EXPECT_EQ(MemoColor(&panel), QColor(1, 2, 3));
    EXPECT_EQ(MemoFontColor(&panel), QColor(200, 10, 20));

    // The editor paints the colour: a pixel of its empty area has it.
    later->SetPageText(QString());
    QCoreApplication::processEvents();
    const QImage image = later->grab().toImage();
    EXPECT_EQ(QColor(image.pixel(image.width() / 2, image.height() - 10)), QColor(1, 2, 3));

    SetWordWrapAll(&panel, false);
    for (TPadMemo* editor : {memo, second, later})
        EXPECT_FALSE(editor->WrapMode());
    SetWordWrapAll(&panel, true);
    for (TPadMemo* editor : {memo, second, later})
        EXPECT_TRUE(editor->WrapMode());

    memo->document()->setDocumentMargin(0);
    AdjustAllMargins(&panel);
    EXPECT_EQ(memo->document()->documentMargin(), 4);
}

TEST_F(PadMemoTest, LongLineWrapsAtAnyCharacterTakesKeysAndSavesUnchanged)
{
    const QString longLine = QString(10 * TPadMemo::LongLineLength, u'x');
    const QString text = u"1+2\n"_s + longLine + u"\nend"_s;
    memo->SetWrapMode(true);
    memo->SetPageText(text);
    memo->repaint();
    EXPECT_TRUE(memo->HasLongLines());
    EXPECT_EQ(memo->wordWrapMode(), QTextOption::WrapAnywhere);
    EXPECT_TRUE(memo->font().styleStrategy() & QFont::PreferNoShaping);
    EXPECT_EQ(memo->font().family(), panel.font().family());
    EXPECT_GT(memo->document()->findBlockByNumber(1).layout()->lineCount(), 100);

    // Typing in the long line, and switching wrap off and on, keep the cheap layout.
    memo->SetSelection(4 + 1000, 0);
    QTest::keyClicks(memo, u"ab"_s);
    QString typed = text;
    typed.insert(4 + 1000, u"ab"_s);
    EXPECT_TRUE(memo->PageText() == typed);
    EXPECT_TRUE(memo->Modified());
    memo->SetWrapMode(false);
    memo->SetWrapMode(true);
    EXPECT_EQ(memo->wordWrapMode(), QTextOption::WrapAnywhere);

    QTemporaryDir dir;
    FakeTrash trash;
    {
        TDataManager store(dir.path(), trash);
        store.AddPage(u"long"_s);
        store.SavePage(0, u"long"_s, memo->PageText());
    }
    TDataManager reread(dir.path(), trash);
    ASSERT_EQ(reread.GetPages().size(), 1);
    // The page file ends every line with CR LF; the text in between is the editor's, unchanged.
    EXPECT_TRUE(reread.GetPages().at(0).Text == QString(typed).replace(u"\n"_s, u"\r\n"_s) + u"\r\n"_s);

    // Once the last long line is gone the page looks as before; undo brings the line back.
    memo->SetSelection(4, int(longLine.size()) + 2);
    memo->ReplaceSelection(u"short"_s, true);
    EXPECT_EQ(memo->PageText(), u"1+2\nshort\nend"_s);
    EXPECT_FALSE(memo->HasLongLines());
    EXPECT_EQ(memo->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
    EXPECT_FALSE(memo->font().styleStrategy() & QFont::PreferNoShaping);
    memo->undo();
    EXPECT_TRUE(memo->PageText() == typed);
    EXPECT_TRUE(memo->HasLongLines());

    // A short line that grows long inside itself switches the layout before it is laid out.
    memo->SetPageText(u"ab"_s);
    EXPECT_FALSE(memo->HasLongLines());
    memo->SetSelection(1, 0);
    memo->ReplaceSelection(longLine, false);
    EXPECT_TRUE(memo->HasLongLines());
    EXPECT_EQ(memo->wordWrapMode(), QTextOption::WrapAnywhere);
    EXPECT_TRUE(memo->PageText() == u'a' + longLine + u'b');
}

TEST_F(PadMemoTest, CalculatorRefusesAResultTooLongForThePage)
{
    TExprParser parser;
    memo->SetEvaluator([&parser](const QString& expression) {
        try {
            parser.ParseAndEvaluate(expression);
        } catch (const EExprError& error) {
            throw std::runtime_error(error.message().toStdString());
        }
        return parser.ResultQuoted();
    });
    const QString tooLong = u"chars('x', %1)"_s.arg(TPadMemo::MaxInsertLength);
    Load(tooLong);
    CtrlEnter();
    EXPECT_EQ(messages, QStringList{u"表达式错误: 结果文本过长。"_s});
    EXPECT_EQ(memo->PageText(), tooLong);
    EXPECT_FALSE(memo->Modified());
    EXPECT_FALSE(memo->HasLongLines());

    // A long result within the limit is written behind its expression as usual.
    const QString fits = u"chars('x', %1)"_s.arg(TPadMemo::MaxInsertLength / 4);
    Load(fits);
    CtrlEnter();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(memo->PageText() ==
                fits + u" = '"_s + QString(TPadMemo::MaxInsertLength / 4, u'x') + u"'\n"_s);
    EXPECT_TRUE(memo->HasLongLines());
}

} // namespace
