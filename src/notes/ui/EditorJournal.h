#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class TPadMemo;
class TPageJournal;
class TPageSet;
struct TJournalRecovery;

// What keeps the typed text of the note window's pages when their files cannot: the text of
// every modified page reaches the journal within seconds of a change and its journal goes once
// the page is written; a start brings back what a run that did not end cleanly left there; at
// the end of a run a text that could be written neither to its file nor to the journal goes to a
// file of its own in an unsaved folder. Without a journal only the unsaved copies are made.
class TEditorJournal final : public QObject
{
    Q_OBJECT
public:
    explicit TEditorJournal(TPageSet& pages);
    Q_DISABLE_COPY_MOVE(TEditorJournal)

    // delayMs: how long after a change the text is written, at most 5 s (0: the usual delay).
    void SetJournal(TPageJournal* journal, int delayMs);
    void SetUnsavedFolders(const QStringList& folders) { m_unsavedFolders = folders; }

    // A new editor that shows fileText, the text its page file holds: its changes are journaled
    // from now on.
    void Watch(TPadMemo* editor, const QString& fileText);
    // The page file holds fileText, which is not what the editor shows (a page made with a text).
    void SetFileText(TPadMemo* editor, const QString& fileText);
    // The page's file holds savedText now (null: it was not rewritten); its journal goes.
    void Written(TPadMemo* editor, const QString& key, const QString* savedText);
    // A page that is not modified: a journal left from a change made and taken back goes.
    void Unchanged(TPadMemo* editor, const QString& key);
    // A deleted page's journal would bring it back at the next start: it goes.
    void Removed(const QString& key);

    // See TPageSet::KeepUnsavedPages and TPageSet::RecoverJournal.
    QString KeepUnsavedPages();
    TJournalRecovery Recover();

private:
    void JournalEditor(TPadMemo* editor);
    void StopTimer(TPadMemo* editor);

    TPageSet& m_pages;
    TPageJournal* m_journal = nullptr;
    int m_delayMs = 0;
    QStringList m_unsavedFolders;
    // Page key -> the file that keeps its unsaved text, rewritten when kept again in this run.
    QHash<QString, QString> m_unsavedCopies;
};
