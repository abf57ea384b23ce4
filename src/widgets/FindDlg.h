#pragma once

#include "widgets/BaseFrm.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The modeless find dialog: the text, match case, the direction (downwards preset) and a
// Find Next button, whose presses arrive as FindClicked. It has no whole-word choice.
class TFindDialog final : public TBaseForm
{
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TFindDialog)

    QString FindText() const;
    void SetFindText(const QString& text);
    bool Down() const;
    void SetDown(bool down);
    bool MatchCase() const;
    void SetMatchCase(bool matchCase);

    // Shows the dialog (or brings it forward) with the find text selected for typing over.
    void Execute();

signals:
    void FindClicked();

private:
    void UpdateButtons();

    QLineEdit* m_findEdit = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QRadioButton* m_up = nullptr;
    QRadioButton* m_down = nullptr;
    QPushButton* m_findNext = nullptr;
};
