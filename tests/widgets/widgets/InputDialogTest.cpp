#include "WidgetTestSupport.h"

#include "widgets/InputFrm.h"
#include "widgets/InputMemoFrm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class InputDialogTest : public WidgetTest
{
};

template <typename T> T* Child(QWidget* dialog, const QString& name)
{
    T* child = dialog->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name.toStdString();
    return child;
}

TEST_F(InputDialogTest, RenameDisablesOkWhenEmptiedAndEnablesItForOneBlank)
{
    QString title = u"笔记"_s;
    bool okWhenEmpty = true;
    bool okWithBlank = false;
    WhenModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), u"修改页面标题"_s);
        EXPECT_EQ(Child<QLabel>(dialog, u"PromptLabel"_s)->text(), u"标题:"_s);
        auto* edit = Child<QLineEdit>(dialog, u"ValueEdit"_s);
        auto* ok = Child<QPushButton>(dialog, u"OkButton"_s);
        EXPECT_EQ(edit->text(), u"笔记"_s);
        EXPECT_TRUE(ok->isEnabled());
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Backspace);
        okWhenEmpty = ok->isEnabled();
        // Enter with OK disabled does not close the dialog.
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible());
        QTest::keyClick(edit, Qt::Key_Space);
        okWithBlank = ok->isEnabled();
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_TRUE(InputTextDialog(dialogs, nullptr, u"修改页面标题"_s, u"标题:"_s, false, false, title));
    EXPECT_FALSE(okWhenEmpty);
    EXPECT_TRUE(okWithBlank);
    EXPECT_EQ(title, u" "_s) << "the text comes back as typed, not trimmed";
}

TEST_F(InputDialogTest, CancelEscAndCloseBoxLeaveTheTextAlone)
{
    for (int way = 0; way < 3; ++way) {
        QString text = u"原标题"_s;
        WhenModal([way](QWidget* dialog) {
            auto* edit = Child<QLineEdit>(dialog, u"ValueEdit"_s);
            QTest::keyClicks(edit, u"xyz"_s);
            if (way == 0)
                QTest::mouseClick(Child<QPushButton>(dialog, u"CancelButton"_s), Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(edit, Qt::Key_Escape);
            else
                dialog->close();
        });
        EXPECT_FALSE(InputTextDialog(dialogs, nullptr, u"输入"_s, u"p"_s, false, false, text)) << way;
        EXPECT_EQ(text, u"原标题"_s) << way;
    }
}

TEST_F(InputDialogTest, PasswordAndAllowEmpty)
{
    QString secret = u"abc"_s;
    bool okEnabled = false;
    WhenModal([&](QWidget* dialog) {
        auto* edit = Child<QLineEdit>(dialog, u"ValueEdit"_s);
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        edit->clear();
        okEnabled = Child<QPushButton>(dialog, u"OkButton"_s)->isEnabled();
        QTest::mouseClick(Child<QPushButton>(dialog, u"OkButton"_s), Qt::LeftButton);
    });
    EXPECT_TRUE(InputTextDialog(dialogs, nullptr, u"输入"_s, u"p"_s, true, true, secret));
    EXPECT_TRUE(okEnabled);
    EXPECT_EQ(secret, QString());

    // Without AllowEmpty an empty start has OK disabled at once.
    TInputForm form;
    form.UpdateOkButton();
    EXPECT_FALSE(form.OkButton()->isEnabled());
    EXPECT_EQ(form.windowTitle(), u"输入"_s);
    EXPECT_EQ(form.size(), QSize(256, 86));
}

TEST_F(InputDialogTest, MemoReturnsCrLfAfterItsLastLine)
{
    QString text;
    bool stayedOpen = false;
    bool okWhenEmpty = true;
    WhenModal([&](QWidget* dialog) {
        auto* memo = Child<QPlainTextEdit>(dialog, u"Memo"_s);
        auto* ok = Child<QPushButton>(dialog, u"OkButton"_s);
        okWhenEmpty = ok->isEnabled();
        memo->setFocus();
        TypeText(memo, u"第一行"_s);
        QTest::keyClick(memo, Qt::Key_Return);
        stayedOpen = dialog->isVisible();
        QTest::keyClicks(memo, u"second"_s);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    EXPECT_TRUE(InputMemoDialog(dialogs, nullptr, u"添加"_s, u"请输入自定义文本:"_s, 0, false, text));
    EXPECT_FALSE(okWhenEmpty);
    EXPECT_TRUE(stayedOpen) << "Enter starts a new line inside the memo";
    EXPECT_EQ(text, u"第一行\r\nsecond\r\n"_s);

    // An edited text that already ends with a line break gets no extra empty line.
    QString edited = u"a\r\nb\r\n"_s;
    WhenModal([](QWidget* dialog) {
        auto* memo = Child<QPlainTextEdit>(dialog, u"Memo"_s);
        EXPECT_EQ(memo->toPlainText(), u"a\nb\n"_s);
        Child<QPushButton>(dialog, u"OkButton"_s)->click();
    });
    EXPECT_TRUE(InputMemoDialog(dialogs, nullptr, u"修改"_s, u"p"_s, 0, false, edited));
    EXPECT_EQ(edited, u"a\r\nb\r\n"_s);
}

TEST_F(InputDialogTest, MemoLimitCancelAndAllowEmpty)
{
    QString text;
    WhenModal([](QWidget* dialog) {
        auto* memo = Child<QPlainTextEdit>(dialog, u"Memo"_s);
        QTest::keyClicks(memo, u"abcdefg"_s);
        EXPECT_EQ(memo->toPlainText(), u"abcde"_s);
        Child<QPushButton>(dialog, u"OkButton"_s)->click();
    });
    EXPECT_TRUE(InputMemoDialog(dialogs, nullptr, u"添加"_s, u"p"_s, 5, false, text));
    EXPECT_EQ(text, u"abcde\r\n"_s);

    QString kept = u"keep"_s;
    WhenModal([](QWidget* dialog) { QTest::keyClick(KeyTarget(dialog), Qt::Key_Escape); });
    EXPECT_FALSE(InputMemoDialog(dialogs, nullptr, u"修改"_s, u"p"_s, 0, false, kept));
    EXPECT_EQ(kept, u"keep"_s);

    QString empty = u"x"_s;
    WhenModal([](QWidget* dialog) {
        Child<QPlainTextEdit>(dialog, u"Memo"_s)->clear();
        auto* ok = Child<QPushButton>(dialog, u"OkButton"_s);
        EXPECT_TRUE(ok->isEnabled());
        ok->click();
    });
    EXPECT_TRUE(InputMemoDialog(dialogs, nullptr, u"修改"_s, u"p"_s, 0, true, empty));
    EXPECT_EQ(empty, QString());
}

TEST_F(InputDialogTest, TheDialogServiceAnswersWithoutALoop)
{
    dialogs.modal = [](QDialog& form) {
        form.findChild<QLineEdit*>(u"ValueEdit"_s)->setText(u"新标题"_s);
        return int(QDialog::Accepted);
    };
    QString title = u"旧"_s;
    EXPECT_TRUE(InputTextDialog(dialogs, nullptr, u"修改页面标题"_s, u"标题:"_s, false, false, title));
    EXPECT_EQ(title, u"新标题"_s);
}

} // namespace
