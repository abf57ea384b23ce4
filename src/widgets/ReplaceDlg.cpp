#include "widgets/ReplaceDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

TReplaceDialog::TReplaceDialog(QWidget* parent) : TBaseForm(parent)
{
    setObjectName(u"ReplaceDialog"_s);
    setWindowTitle(u"替换"_s);
    setModal(false);

    auto* findLabel = new QLabel(u"查找内容(&N):"_s, this);
    m_findEdit = new QLineEdit(this);
    m_findEdit->setObjectName(u"FindEdit"_s);
    m_findEdit->setMinimumWidth(200);
    findLabel->setBuddy(m_findEdit);
    auto* replaceLabel = new QLabel(u"替换为(&P):"_s, this);
    m_replaceEdit = new QLineEdit(this);
    m_replaceEdit->setObjectName(u"ReplaceEdit"_s);
    replaceLabel->setBuddy(m_replaceEdit);

    m_matchCase = new QCheckBox(u"区分大小写(&C)"_s, this);
    m_matchCase->setObjectName(u"MatchCaseCheck"_s);

    m_findNext = new QPushButton(u"查找下一个(&F)"_s, this);
    m_findNext->setObjectName(u"FindNextButton"_s);
    m_findNext->setDefault(true);
    m_replace = new QPushButton(u"替换(&R)"_s, this);
    m_replace->setObjectName(u"ReplaceButton"_s);
    m_replaceAll = new QPushButton(u"全部替换(&A)"_s, this);
    m_replaceAll->setObjectName(u"ReplaceAllButton"_s);
    auto* cancel = new QPushButton(u"取消"_s, this);
    cancel->setObjectName(u"CancelButton"_s);

    auto* layout = new QGridLayout(this);
    layout->addWidget(findLabel, 0, 0);
    layout->addWidget(m_findEdit, 0, 1);
    layout->addWidget(m_findNext, 0, 3);
    layout->addWidget(replaceLabel, 1, 0);
    layout->addWidget(m_replaceEdit, 1, 1);
    layout->addWidget(m_replace, 1, 3);
    layout->addWidget(m_replaceAll, 2, 3);
    layout->addWidget(m_matchCase, 3, 0, 1, 2, Qt::AlignBottom | Qt::AlignLeft);
    layout->addWidget(cancel, 3, 3);
    layout->setColumnMinimumWidth(2, 4);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_findEdit, &QLineEdit::textChanged, this, &TReplaceDialog::UpdateButtons);
    connect(m_findNext, &QPushButton::clicked, this, &TReplaceDialog::FindClicked);
    connect(m_replace, &QPushButton::clicked, this, &TReplaceDialog::ReplaceClicked);
    connect(m_replaceAll, &QPushButton::clicked, this, &TReplaceDialog::ReplaceAllClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
}

QString TReplaceDialog::FindText() const
{
    return m_findEdit->text();
}

void TReplaceDialog::SetFindText(const QString& text)
{
    m_findEdit->setText(text);
}

QString TReplaceDialog::ReplaceText() const
{
    return m_replaceEdit->text();
}

void TReplaceDialog::SetReplaceText(const QString& text)
{
    m_replaceEdit->setText(text);
}

bool TReplaceDialog::MatchCase() const
{
    return m_matchCase->isChecked();
}

void TReplaceDialog::SetMatchCase(bool matchCase)
{
    m_matchCase->setChecked(matchCase);
}

void TReplaceDialog::Execute()
{
    show();
    raise();
    activateWindow();
    m_findEdit->setFocus();
    m_findEdit->selectAll();
}

void TReplaceDialog::UpdateButtons()
{
    const bool hasText = !m_findEdit->text().isEmpty();
    m_findNext->setEnabled(hasText);
    m_replace->setEnabled(hasText);
    m_replaceAll->setEnabled(hasText);
}
