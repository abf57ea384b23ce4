#include "widgets/InputFrm.h"

#include "widgets/DialogService.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

TInputForm::TInputForm(QWidget* owner) : TBaseForm(owner)
{
    SetPlacement(TPlacement::Owner);
    SetFixedSizeDialogFlags(this);
    setWindowTitle(u"输入"_s);
    // Client area 256 x 86 inside a 6-pixel border.
    setFixedSize(256, 86);
    m_prompt = new QLabel(this);
    m_prompt->setObjectName(u"PromptLabel"_s);
    m_prompt->setGeometry(6, 6, 244, 16);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(u"ValueEdit"_s);
    m_edit->setGeometry(6, 24, 244, 22);
    m_ok = new QPushButton(u"确定"_s, this);
    m_ok->setObjectName(u"OkButton"_s);
    m_ok->setGeometry(94, 56, 75, 24);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(u"取消"_s, this);
    m_cancel->setObjectName(u"CancelButton"_s);
    m_cancel->setGeometry(175, 56, 75, 24);
    // Enter in the field goes to OK through the dialog; the buttons must not steal it.
    m_ok->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_edit, &QLineEdit::textChanged, this, &TInputForm::UpdateOkButton);
    m_edit->setFocus();
}

void TInputForm::UpdateOkButton()
{
    if (m_allowEmpty)
        return;
    m_ok->setEnabled(!m_edit->text().isEmpty());
}

bool InputTextDialog(IDialogService& dialogs, QWidget* owner, const QString& caption, const QString& prompt,
                     bool allowEmpty, bool password, QString& text)
{
    TInputForm form(owner);
    form.setWindowTitle(caption);
    form.PromptLabel()->setText(prompt);
    form.SetAllowEmpty(allowEmpty);
    if (password)
        form.ValueEdit()->setEchoMode(QLineEdit::Password);
    form.ValueEdit()->setText(text);
    form.ValueEdit()->selectAll();
    form.UpdateOkButton();
    const bool confirmed = dialogs.RunModal(form) == QDialog::Accepted;
    if (confirmed)
        text = form.ValueEdit()->text();
    return confirmed;
}
