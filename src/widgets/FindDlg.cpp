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

TFindDialog::TFindDialog(QWidget* parent) : TBaseForm(parent)
{
    setObjectName(u"FindDialog"_s);
    setWindowTitle(u"查找"_s);
    setModal(false);

    auto* label = new QLabel(u"查找内容(&N):"_s, this);
    m_findEdit = new QLineEdit(this);
    m_findEdit->setObjectName(u"FindEdit"_s);
    m_findEdit->setMinimumWidth(200);
    label->setBuddy(m_findEdit);

    m_matchCase = new QCheckBox(u"区分大小写(&C)"_s, this);
    m_matchCase->setObjectName(u"MatchCaseCheck"_s);

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

    m_findNext = new QPushButton(u"查找下一个(&F)"_s, this);
    m_findNext->setObjectName(u"FindNextButton"_s);
    m_findNext->setDefault(true);
    auto* cancel = new QPushButton(u"取消"_s, this);
    cancel->setObjectName(u"CancelButton"_s);

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

    connect(m_findEdit, &QLineEdit::textChanged, this, &TFindDialog::UpdateButtons);
    connect(m_findNext, &QPushButton::clicked, this, &TFindDialog::FindClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
}

QString TFindDialog::FindText() const
{
    return m_findEdit->text();
}

void TFindDialog::SetFindText(const QString& text)
{
    m_findEdit->setText(text);
}

bool TFindDialog::Down() const
{
    return m_down->isChecked();
}

void TFindDialog::SetDown(bool down)
{
    (down ? m_down : m_up)->setChecked(true);
}

bool TFindDialog::MatchCase() const
{
    return m_matchCase->isChecked();
}

void TFindDialog::SetMatchCase(bool matchCase)
{
    m_matchCase->setChecked(matchCase);
}

void TFindDialog::Execute()
{
    show();
    raise();
    activateWindow();
    m_findEdit->setFocus();
    m_findEdit->selectAll();
}

void TFindDialog::UpdateButtons()
{
    // As with the system's own dialog, there is nothing to find without a text.
    m_findNext->setEnabled(!m_findEdit->text().isEmpty());
}
