#pragma once

#include "widgets/BaseFrm.h"

class IDialogService;
class QLabel;
class QLineEdit;
class QPushButton;

// Asks for one line of text (the page rename). Controls: PromptLabel, ValueEdit, OkButton,
// CancelButton.
class TInputForm final : public TBaseForm
{
    Q_OBJECT
public:
    explicit TInputForm(QWidget* owner = nullptr);

    QLabel* PromptLabel() const { return m_prompt; }
    QLineEdit* ValueEdit() const { return m_edit; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    bool AllowEmpty() const { return m_allowEmpty; }
    void SetAllowEmpty(bool allow) { m_allowEmpty = allow; }
    // Without AllowEmpty, OK is enabled exactly while the field is not empty (blanks count).
    void UpdateOkButton();

private:
    QLabel* m_prompt;
    QLineEdit* m_edit;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_allowEmpty = false;
};

// Shows the dialog modally over owner; on OK text becomes the field's content as typed and the
// result is true. Cancel, Esc and the close box return false and leave text alone.
bool InputTextDialog(IDialogService& dialogs, QWidget* owner, const QString& caption, const QString& prompt,
                     bool allowEmpty, bool password, QString& text);
