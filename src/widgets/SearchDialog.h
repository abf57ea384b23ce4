#pragma once

#include "widgets/BaseFrm.h"

#include <QList>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// What the modeless find and replace dialogs share: the find text, match case, the Find Next
// button (whose presses arrive as FindClicked) and Cancel. The dialogs make these parts through
// the Add functions, in the order the focus moves through them.
class TSearchDialog : public TBaseForm
{
    Q_OBJECT
public:
    QString FindText() const;
    void SetFindText(const QString& text);
    bool MatchCase() const;
    void SetMatchCase(bool matchCase);

    // Shows the dialog (or brings it forward) with the find text selected for typing over.
    void Execute();

signals:
    void FindClicked();

protected:
    TSearchDialog(QWidget* parent, const QString& name, const QString& title);

    // The find text's box; returns its label.
    QLabel* AddFindText();
    void AddMatchCase();
    void AddFindNext();
    QPushButton* AddCancel();
    // As with the system's own dialogs, button does nothing without a text to find: it is
    // enabled only while there is one.
    void NeedsFindText(QPushButton* button);

    QLineEdit* m_findEdit = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QPushButton* m_findNext = nullptr;

private:
    void UpdateButtons();

    QList<QPushButton*> m_needText;
};
