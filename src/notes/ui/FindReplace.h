#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QWidget;
class TFindDialog;
class TPadMemo;
class TReplaceDialog;

// Find, find next, replace and replace all in the page that is shown. Keeps the last find text,
// replacement and options, owns the modeless find and replace dialogs and answers their
// buttons. The current editor and the notice box come from the owner window as callbacks.
class TFindReplace final : public QObject
{
    Q_OBJECT
public:
    // The editor of the page that is shown, or nullptr when there is none.
    using TEditorSource = std::function<TPadMemo*()>;
    // Shows an information notice owned by the owner window.
    using TMessageHandler = std::function<void(const QString& message)>;

    // Each dialog is made, with owner as its parent window, when it is first needed.
    TFindReplace(QWidget* owner, TEditorSource currentEditor, TMessageHandler showMessage,
                 QObject* parent = nullptr);
    ~TFindReplace() override;
    Q_DISABLE_COPY_MOVE(TFindReplace)

    TFindDialog* FindDialog();
    TReplaceDialog* ReplaceDialog();
    // The dialogs made so far.
    QList<QWidget*> MadeDialogs() const;

    QString FindText() const { return m_findText; }
    QString ReplaceText() const { return m_replaceText; }
    // soDown and soMatchCase of SearchText.h.
    int FindOptions() const { return m_findOptions; }
    void SetSearch(const QString& findText, const QString& replaceText, int options);

    // The commands "查找(&F)...", "查找下一个(&N)" and "替换(&R)..."; each does nothing
    // without a current editor.
    void FindActionExecute();
    void FindNextActionExecute();
    void ReplaceActionExecute();

    // Selects the next match in the current editor, or tells that there is none.
    void FindNext();
    // Replaces the selection when it is a match, then finds the next one.
    void ReplaceOne();
    // Replaces every match in the whole text of the current editor.
    void ReplaceAll();

    // The dialogs' button presses.
    void FindDialogFind();
    void ReplaceDialogFind();
    void ReplaceDialogReplace();
    void ReplaceDialogReplaceAll();

private:
    void TakeReplaceDialogSearch();
    void ShowNotFound();

    QPointer<QWidget> m_owner;
    TEditorSource m_currentEditor;
    TMessageHandler m_showMessage;
    QPointer<TFindDialog> m_findDialog;
    QPointer<TReplaceDialog> m_replaceDialog;
    QString m_findText;
    QString m_replaceText;
    int m_findOptions;
};
