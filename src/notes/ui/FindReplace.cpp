#include "notes/ui/FindReplace.h"

#include "notes/SearchText.h"
#include "notes/ui/PadMemo.h"
#include "widgets/FindDlg.h"
#include "widgets/ReplaceDlg.h"

#include <QTextCursor>
#include <QTextDocument>

using namespace Qt::StringLiterals;

TFindReplace::TFindReplace(QWidget* owner, TEditorSource currentEditor, TMessageHandler showMessage,
                           QObject* parent)
    : QObject(parent), m_owner(owner), m_currentEditor(std::move(currentEditor)),
      m_showMessage(std::move(showMessage)), m_findOptions(soDown)
{
}

TFindReplace::~TFindReplace()
{
    // The owner may already have destroyed the dialogs; QPointer knows.
    delete m_findDialog.data();
    delete m_replaceDialog.data();
}

// The dialogs are made on first use: most runs never open them, and the window shows sooner.
TFindDialog* TFindReplace::FindDialog()
{
    if (!m_findDialog) {
        m_findDialog = new TFindDialog(m_owner);
        connect(m_findDialog, &TFindDialog::FindClicked, this, &TFindReplace::FindDialogFind);
    }
    return m_findDialog;
}

TReplaceDialog* TFindReplace::ReplaceDialog()
{
    if (!m_replaceDialog) {
        m_replaceDialog = new TReplaceDialog(m_owner);
        connect(m_replaceDialog, &TReplaceDialog::FindClicked, this, &TFindReplace::ReplaceDialogFind);
        connect(m_replaceDialog, &TReplaceDialog::ReplaceClicked, this, &TFindReplace::ReplaceDialogReplace);
        connect(m_replaceDialog, &TReplaceDialog::ReplaceAllClicked, this,
                &TFindReplace::ReplaceDialogReplaceAll);
    }
    return m_replaceDialog;
}

QList<QWidget*> TFindReplace::MadeDialogs() const
{
    QList<QWidget*> dialogs;
    if (m_findDialog)
        dialogs.append(m_findDialog);
    if (m_replaceDialog)
        dialogs.append(m_replaceDialog);
    return dialogs;
}

void TFindReplace::SetSearch(const QString& findText, const QString& replaceText, int options)
{
    m_findText = findText;
    m_replaceText = replaceText;
    m_findOptions = options & (soDown | soMatchCase);
}

void TFindReplace::FindActionExecute()
{
    if (!m_currentEditor())
        return;
    TFindDialog* dialog = FindDialog();
    if (dialog->FindText().isEmpty() && !m_findText.isEmpty())
        dialog->SetFindText(m_findText);
    dialog->Execute();
}

void TFindReplace::FindNextActionExecute()
{
    if (!m_currentEditor())
        return;
    if (m_findText.isEmpty())
        FindActionExecute();
    else
        FindNext();
}

void TFindReplace::ReplaceActionExecute()
{
    if (!m_currentEditor())
        return;
    TReplaceDialog* dialog = ReplaceDialog();
    if (dialog->FindText().isEmpty() && !m_findText.isEmpty())
        dialog->SetFindText(m_findText);
    dialog->Execute();
}

void TFindReplace::FindNext()
{
    TPadMemo* editor = m_currentEditor();
    if (!editor)
        return;
    const int pos =
        SearchText(editor->PageText(), editor->SelStart(), editor->SelLength(), m_findOptions, m_findText);
    if (pos < 1) {
        ShowNotFound();
        return;
    }
    editor->SetSelection(pos - 1, int(m_findText.size()));
}

void TFindReplace::ReplaceOne()
{
    TPadMemo* editor = m_currentEditor();
    if (!editor)
        return;
    const int length = editor->SelLength();
    if (length > 0) {
        const QString selected = editor->PageText().mid(editor->SelStart(), length);
        if (SameSearchText(selected, m_findText, m_findOptions & soMatchCase))
            editor->ReplaceSelection(m_replaceText, true);
    }
    FindNext();
}

void TFindReplace::ReplaceAll()
{
    TPadMemo* editor = m_currentEditor();
    if (!editor)
        return;
    const QString text = editor->PageText();
    const QString result = ReplaceAllText(text, m_findText, m_replaceText, m_findOptions & soMatchCase);
    if (result == text) {
        ShowNotFound();
        return;
    }
    // The whole text is exchanged as one step the user can undo, and the page counts as
    // modified, so the change is written at the next save.
    QTextCursor cursor(editor->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(result);
    cursor.endEditBlock();
    editor->SetModified(true);
    editor->SetSelection(0, 0);
}

void TFindReplace::FindDialogFind()
{
    m_findText = m_findDialog->FindText();
    m_findOptions = (m_findDialog->Down() ? soDown : 0) | (m_findDialog->MatchCase() ? soMatchCase : 0);
    FindNext();
}

void TFindReplace::ReplaceDialogFind()
{
    TakeReplaceDialogSearch();
    FindNext();
}

void TFindReplace::ReplaceDialogReplace()
{
    TakeReplaceDialogSearch();
    ReplaceOne();
}

void TFindReplace::ReplaceDialogReplaceAll()
{
    TakeReplaceDialogSearch();
    ReplaceAll();
}

void TFindReplace::TakeReplaceDialogSearch()
{
    m_findText = m_replaceDialog->FindText();
    m_replaceText = m_replaceDialog->ReplaceText();
    m_findOptions = soDown | (m_replaceDialog->MatchCase() ? soMatchCase : 0);
}

void TFindReplace::ShowNotFound()
{
    if (m_showMessage)
        m_showMessage(u"找不到“%1”"_s.arg(m_findText));
}
