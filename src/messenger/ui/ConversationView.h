#pragma once

#include "messenger/ChatLog.h"
#include "widgets/FindDlg.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class IDialogService;
class QAction;
class QPlainTextEdit;
class QWidget;

// The conversation of the messenger window: the view memoContent on the chat page, its read-only
// copy memoChatContent on "记录(&N)", the chat log chat.txt behind them (loaded once; new lines
// appended shortly after they came, off the window's thread; written whole at hide with a
// backup and after the user's edits), find in the conversation and the modify/save command.
// Lines that arrive together are put into the view once per pass of the event loop.
class TConversationView final : public QObject
{
    Q_OBJECT
public:
    // A changed conversation reaches chat.txt at most this long after the change.
    static constexpr int ChatSaveDelay = 2000; // ms

    // The view is created on chatPage, the copy on logPage; owner is the window of the messages.
    TConversationView(const QString& appFolder, QWidget* chatPage, QWidget* logPage, QWidget* owner,
                      IDialogService& dialogs);

    QPlainTextEdit* MemoContent() const { return m_memoContent; }
    QPlainTextEdit* MemoChatContent() const { return m_memoChatContent; }
    const TChatLog& ChatLog() const { return m_chatLog; }

    // Appends the text as one new line (its own line breaks kept) and scrolls to the end; the
    // view shows it once the event loop comes round (FlushPending at once).
    void Append(const QString& text);
    void FlushPending();
    QStringList Lines() const;
    bool Changed() const;
    void MarkUnchanged();
    // Fills the copy on "记录(&N)".
    void CopyToLogPage();

    // chat.txt replaces the view when it exists; the view then counts as unchanged.
    void Load();
    void Save(bool withBackup);
    // No more saving on its own (the window is shutting down); waits for the writes under way.
    void StopAutoSave();
    // Writes what is new to chat.txt now, off the window's thread.
    void SaveNew();
    // The failure of the latest save, empty when it succeeded.
    QString SaveError() const { return m_saveError; }
    // The size in bytes past which the log rolls its older half into chat_bak.txt.
    void SetSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }
    // Lines the view holds that chat.txt may lack (the latest save failed).
    bool Unsaved() const { return !m_saveError.isEmpty() || Changed(); }

signals:
    // A save failed (error), or succeeded again after a failure (empty).
    void saveFailed(const QString& error);

public:
    // Find: the dialog's Find button, "查找下一个(&N)", and the search itself in the view shown
    // (the conversation on the chat page, the copy otherwise).
    void FindActionExecute();
    void FindNextActionExecute();
    void FindInChat();
    TFindDialog* FindDialog() const { return m_findDialog; }
    QString FindText() const { return m_findText; }
    // True while the chat page is shown; decides which view FindInChat searches.
    std::function<bool()> chatPageShown;

    // "修改(&M)" makes the view editable and turns the action into "保存(&S)", which saves and
    // turns it back.
    static QString ModifyCaption();
    void ModifyActionExecute(QAction* action);

private:
    void ContentChanged();
    void WriterReported(const QString& error);
    void RollIfLarge();

    QWidget* m_owner;
    IDialogService& m_dialogs;
    TChatLog m_chatLog;
    QPlainTextEdit* m_memoContent = nullptr;
    QPlainTextEdit* m_memoChatContent = nullptr;
    QTimer m_saveTimer;
    std::unique_ptr<TChatLogWriter> m_writer;
    QStringList m_pending; // lines not in the view yet
    bool m_flushQueued = false;
    int m_savedBlocks = 0;    // the leading lines of the view that chat.txt holds
    bool m_wholeSave = false; // chat.txt must be written whole (edited, or not appendable)
    bool m_ownChange = false; // the view changes by Append, not by the user
    QElapsedTimer m_unsavedSince;
    QString m_saveError;
    qint64 m_sizeLimit = TChatLog::SizeLimit;
    QPointer<TFindDialog> m_findDialog;
    QString m_findText;
    int m_findOptions = 0;
    bool m_loading = false;
    bool m_stopped = false;
};

// The lines of a text box as it shows them: a wrapped line counts as several.
QStringList DisplayedLines(const QPlainTextEdit* box);
// Writes a fault nobody can be shown to the standard error.
void ReportMessengerError(const QString& text);
