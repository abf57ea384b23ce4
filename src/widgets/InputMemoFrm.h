#pragma once

#include "widgets/BaseFrm.h"

class IDialogService;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// Asks for a multi-line text (the custom insert texts). Controls: PromptLabel, Memo, OkButton,
// CancelButton; Enter in Memo starts a new line.
class TInputMemoForm final : public TBaseForm
{
    Q_OBJECT
public:
    explicit TInputMemoForm(QWidget* owner = nullptr);

    QLabel* PromptLabel() const { return m_prompt; }
    QPlainTextEdit* Memo() const { return m_memo; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    bool AllowEmpty() const { return m_allowEmpty; }
    void SetAllowEmpty(bool allow) { m_allowEmpty = allow; }
    // 0: no limit. Longer input is cut at the limit.
    void SetMaxLength(int maxLength);
    // The memo's text with line breaks as CR LF; an empty text stays empty.
    void SetText(const QString& text);
    // The memo's lines, each followed by CR LF (no lines: empty). A last empty line, the one
    // after a final line break, is not a line.
    QString Lines() const;
    void UpdateOkButton();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void EnforceMaxLength();

    QLabel* m_prompt;
    QPlainTextEdit* m_memo;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_allowEmpty = false;
    int m_maxLength = 0;
};

// Shows the dialog modally over owner; on OK text becomes the memo's lines, each followed by
// CR LF, and the result is true. Cancel, Esc and the close box return false and leave text alone.
bool InputMemoDialog(IDialogService& dialogs, QWidget* owner, const QString& caption, const QString& prompt,
                     int maxLength, bool allowEmpty, QString& text);
