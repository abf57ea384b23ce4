#pragma once

#include "widgets/BaseFrm.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

// The modeless replace dialog: find text, replacement, match case and the buttons Find Next,
// Replace and Replace All. It offers no direction and no whole-word choice.
class TReplaceDialog final : public TBaseForm
{
    Q_OBJECT
public:
    explicit TReplaceDialog(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TReplaceDialog)

    QString FindText() const;
    void SetFindText(const QString& text);
    QString ReplaceText() const;
    void SetReplaceText(const QString& text);
    bool MatchCase() const;
    void SetMatchCase(bool matchCase);

    // Shows the dialog (or brings it forward) with the find text selected for typing over.
    void Execute();

signals:
    void FindClicked();
    void ReplaceClicked();
    void ReplaceAllClicked();

private:
    void UpdateButtons();

    QLineEdit* m_findEdit = nullptr;
    QLineEdit* m_replaceEdit = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QPushButton* m_findNext = nullptr;
    QPushButton* m_replace = nullptr;
    QPushButton* m_replaceAll = nullptr;
};
