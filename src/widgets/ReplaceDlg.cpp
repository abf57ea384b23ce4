#include "widgets/ReplaceDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

TReplaceDialog::TReplaceDialog(QWidget* parent) : TSearchDialog(parent, u"ReplaceDialog"_s, u"替换"_s)
{
    QLabel* findLabel = AddFindText();
    auto* replaceLabel = new QLabel(u"替换为(&P):"_s, this);
    m_replaceEdit = new QLineEdit(this);
    m_replaceEdit->setObjectName(u"ReplaceEdit"_s);
    replaceLabel->setBuddy(m_replaceEdit);

    AddMatchCase();

    AddFindNext();
    auto* replace = new QPushButton(u"替换(&R)"_s, this);
    replace->setObjectName(u"ReplaceButton"_s);
    NeedsFindText(replace);
    auto* replaceAll = new QPushButton(u"全部替换(&A)"_s, this);
    replaceAll->setObjectName(u"ReplaceAllButton"_s);
    NeedsFindText(replaceAll);
    QPushButton* cancel = AddCancel();

    auto* layout = new QGridLayout(this);
    layout->addWidget(findLabel, 0, 0);
    layout->addWidget(m_findEdit, 0, 1);
    layout->addWidget(m_findNext, 0, 3);
    layout->addWidget(replaceLabel, 1, 0);
    layout->addWidget(m_replaceEdit, 1, 1);
    layout->addWidget(replace, 1, 3);
    layout->addWidget(replaceAll, 2, 3);
    layout->addWidget(m_matchCase, 3, 0, 1, 2, Qt::AlignBottom | Qt::AlignLeft);
    layout->addWidget(cancel, 3, 3);
    layout->setColumnMinimumWidth(2, 4);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(replace, &QPushButton::clicked, this, &TReplaceDialog::ReplaceClicked);
    connect(replaceAll, &QPushButton::clicked, this, &TReplaceDialog::ReplaceAllClicked);
}

QString TReplaceDialog::ReplaceText() const
{
    return m_replaceEdit->text();
}

void TReplaceDialog::SetReplaceText(const QString& text)
{
    m_replaceEdit->setText(text);
}
