#include "widgets/InputMemoFrm.h"

#include "widgets/DialogService.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>

using namespace Qt::StringLiterals;

TInputMemoForm::TInputMemoForm(QWidget* owner) : TBaseForm(owner)
{
    SetPlacement(TPlacement::Owner);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(u"输入"_s);
    setMinimumSize(250, 200);
    resize(314, 216);
    m_prompt = new QLabel(this);
    m_prompt->setObjectName(u"PromptLabel"_s);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(u"Memo"_s);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setTabChangesFocus(true);
    m_ok = new QPushButton(u"确定"_s, this);
    m_ok->setObjectName(u"OkButton"_s);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(u"取消"_s, this);
    m_cancel->setObjectName(u"CancelButton"_s);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_memo, &QPlainTextEdit::textChanged, this, [this] {
        EnforceMaxLength();
        UpdateOkButton();
    });
    m_memo->setFocus();
}

void TInputMemoForm::resizeEvent(QResizeEvent* event)
{
    // The memo is anchored to all four sides, the buttons to the bottom right.
    const int w = event->size().width();
    const int h = event->size().height();
    m_prompt->setGeometry(8, 8, w - 16, 16);
    m_memo->setGeometry(8, 26, w - 16, h - 26 - 40);
    m_cancel->setGeometry(w - 8 - 75, h - 8 - 25, 75, 25);
    m_ok->setGeometry(w - 8 - 75 - 6 - 75, h - 8 - 25, 75, 25);
    TBaseForm::resizeEvent(event);
}

void TInputMemoForm::SetMaxLength(int maxLength)
{
    m_maxLength = std::max(maxLength, 0);
    EnforceMaxLength();
}

void TInputMemoForm::EnforceMaxLength()
{
    if (m_maxLength <= 0)
        return;
    const QString text = m_memo->toPlainText();
    if (text.size() <= m_maxLength)
        return;
    const QSignalBlocker blocker(m_memo);
    m_memo->setPlainText(text.left(m_maxLength));
    m_memo->moveCursor(QTextCursor::End);
}

void TInputMemoForm::SetText(const QString& text)
{
    QString plain = text;
    plain.replace(u"\r\n"_s, u"\n"_s);
    plain.replace(u'\r', u'\n');
    m_memo->setPlainText(plain);
}

QString TInputMemoForm::Lines() const
{
    const QString text = m_memo->toPlainText();
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    QString result;
    for (const QString& line : lines)
        result += line + u"\r\n"_s;
    return result;
}

void TInputMemoForm::UpdateOkButton()
{
    if (m_allowEmpty)
        return;
    m_ok->setEnabled(!m_memo->toPlainText().isEmpty());
}

bool InputMemoDialog(IDialogService& dialogs, QWidget* owner, const QString& caption, const QString& prompt,
                     int maxLength, bool allowEmpty, QString& text)
{
    TInputMemoForm form(owner);
    form.setWindowTitle(caption);
    form.PromptLabel()->setText(prompt);
    form.SetAllowEmpty(allowEmpty);
    form.SetMaxLength(maxLength);
    form.SetText(text);
    form.UpdateOkButton();
    const bool confirmed = dialogs.RunModal(form) == QDialog::Accepted;
    if (confirmed)
        text = form.Lines();
    return confirmed;
}
