#pragma once

#include "widgets/BaseFrm.h"

class IDialogService;
class QPlainTextEdit;

// The list of the main window's keyboard shortcuts as read-only text (control: Memo).
class TShortcutsForm final : public TBaseForm
{
    Q_OBJECT
public:
    explicit TShortcutsForm(QWidget* owner = nullptr);

    QPlainTextEdit* Memo() const { return m_memo; }
    void FillShortcutList();
    // Keeps a 4-pixel margin between the memo's edge and its text.
    void SetMemoMargins();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPlainTextEdit* m_memo;
};

// The fixed text: "key  -  description" lines with CR LF, groups parted by an empty line.
QString ShortcutListText();

// Shows the window modally over owner until its close box closes it.
void ShowShortcutHelp(IDialogService& dialogs, QWidget* owner);
