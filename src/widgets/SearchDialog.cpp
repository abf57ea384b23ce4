#include "widgets/SearchDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

TSearchDialog::TSearchDialog(QWidget* parent, const QString& name, const QString& title) : TBaseForm(parent)
{
    setObjectName(name);
    setWindowTitle(title);
    setModal(false);
}

QLabel* TSearchDialog::AddFindText()
{
    auto* label = new QLabel(u"查找内容(&N):"_s, this);
    m_findEdit = new QLineEdit(this);
    m_findEdit->setObjectName(u"FindEdit"_s);
    m_findEdit->setMinimumWidth(200);
    label->setBuddy(m_findEdit);
    connect(m_findEdit, &QLineEdit::textChanged, this, &TSearchDialog::UpdateButtons);
    return label;
}

void TSearchDialog::AddMatchCase()
{
    m_matchCase = new QCheckBox(u"区分大小写(&C)"_s, this);
    m_matchCase->setObjectName(u"MatchCaseCheck"_s);
}

void TSearchDialog::AddFindNext()
{
    m_findNext = new QPushButton(u"查找下一个(&F)"_s, this);
    m_findNext->setObjectName(u"FindNextButton"_s);
    m_findNext->setDefault(true);
    connect(m_findNext, &QPushButton::clicked, this, &TSearchDialog::FindClicked);
    NeedsFindText(m_findNext);
}

QPushButton* TSearchDialog::AddCancel()
{
    auto* cancel = new QPushButton(u"取消"_s, this);
    cancel->setObjectName(u"CancelButton"_s);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    return cancel;
}

void TSearchDialog::NeedsFindText(QPushButton* button)
{
    m_needText.append(button);
    button->setEnabled(!FindText().isEmpty());
}

void TSearchDialog::UpdateButtons()
{
    const bool hasText = !FindText().isEmpty();
    for (QPushButton* button : std::as_const(m_needText))
        button->setEnabled(hasText);
}

QString TSearchDialog::FindText() const
{
    return m_findEdit->text();
}

void TSearchDialog::SetFindText(const QString& text)
{
    m_findEdit->setText(text);
}

bool TSearchDialog::MatchCase() const
{
    return m_matchCase->isChecked();
}

void TSearchDialog::SetMatchCase(bool matchCase)
{
    m_matchCase->setChecked(matchCase);
}

void TSearchDialog::Execute()
{
    show();
    raise();
    activateWindow();
    m_findEdit->setFocus();
    m_findEdit->selectAll();
}
