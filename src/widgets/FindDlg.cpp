#include "widgets/FindDlg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TFindDialog::TFindDialog(QWidget* parent) : TSearchDialog(parent, u"FindDialog"_s, u"查找"_s)
{
    QLabel* label = AddFindText();
    AddMatchCase();

    auto* direction = new QGroupBox(u"方向"_s, this);
    direction->setObjectName(u"DirectionGroup"_s);
    m_up = new QRadioButton(u"向上(&U)"_s, direction);
    m_up->setObjectName(u"UpRadio"_s);
    m_down = new QRadioButton(u"向下(&D)"_s, direction);
    m_down->setObjectName(u"DownRadio"_s);
    m_down->setChecked(true);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);

    AddFindNext();
    QPushButton* cancel = AddCancel();

    auto* textRow = new QHBoxLayout;
    textRow->addWidget(label);
    textRow->addWidget(m_findEdit, 1);
    auto* optionsRow = new QHBoxLayout;
    optionsRow->addWidget(m_matchCase, 0, Qt::AlignBottom);
    optionsRow->addStretch(1);
    optionsRow->addWidget(direction);
    auto* left = new QVBoxLayout;
    left->addLayout(textRow);
    left->addLayout(optionsRow);
    left->addStretch(1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_findNext);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TFindDialog::Down() const
{
    return m_down->isChecked();
}

void TFindDialog::SetDown(bool down)
{
    (down ? m_down : m_up)->setChecked(true);
}
