#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// One journal file as found at start.
struct TJournalEntry
{
    QString key;
    // The journal file itself.
    QString path;
    QString text;
    // Fingerprint of the saved text the journaled changes started from; empty: not known.
    QByteArray base;
    // False when the file could not be read or is not a complete journal; error says why.
    bool readable = false;
    QString error;
};

// What recovery does with one journal.
enum class TJournalAction
{
    // The journaled text replaces the page's text, marked modified.
    IntoPage,
    // The text becomes a page of its own: its page is gone, or was saved after the journal.
    AsNewPage,
    // Nothing to recover: the page already holds that text.
    Discard,
    // The journal cannot be read: it stays where it is and is reported.
    Keep,
};

// What a recovery at start did, for the one message that tells the user.
struct TJournalRecovery
{
    QStringList recovered;  // titles of the pages that received journaled text
    QStringList unreadable; // journal files kept because they could not be read
    QStringList notPlaced;  // why a journal that needed a new page of its own is kept instead
    bool isEmpty() const { return recovered.isEmpty() && unreadable.isEmpty() && notPlaced.isEmpty(); }
};

// A recovery journal: for every key (a page's file name, or any other holder of unsaved text)
// the latest text that exists only in memory, in a file of its own in a hidden folder. Writes
// and removals run in order on a worker thread, so the caller never waits on the disk; a write
// still waiting for its turn is replaced by a newer one of the same key, so a large text that
// changes quickly is written once per turn, not once per change. Every file is written
// atomically and flushed to the disk: a journal is either the previous text or the new one.
class TPageJournal final
{
public:
    explicit TPageJournal(QString folder);
    // Finishes every queued write and removal.
    ~TPageJournal();
    TPageJournal(const TPageJournal&) = delete;
    TPageJournal& operator=(const TPageJournal&) = delete;

    QString folder() const { return m_folder; }

    void Write(const QString& key, const QString& text, const QByteArray& base = {});
    void Remove(const QString& key);
    // Waits until everything queued so far is on the disk.
    void Flush();
    // The failure of the most recent write or removal that failed, empty when none did.
    QString LastError() const;
    // The failure of the latest finished write or removal of key, empty when it succeeded.
    QString ErrorOf(const QString& key) const;

    // Every journal file in the folder, in name order.
    QList<TJournalEntry> Scan() const;
    QString FilePath(const QString& key) const;

    // The fingerprint of a text as its page file holds it: line breaks of any kind count alike.
    static QByteArray Fingerprint(const QString& text);
    // The recovery rule for one journal; pageText is the text its page holds now, null when
    // no page has the journal's key.
    static TJournalAction Decide(const TJournalEntry& entry, const QString* pageText);
    // The notice after a recovery: the pages that got their text back, the files kept.
    static QString RecoveryMessage(const TJournalRecovery& recovery);

    // A new file in folder for the text of a page titled title that could be kept nowhere else:
    // the title made safe as a file name, the moment, and a number when that name is taken.
    static QString UnsavedCopyPath(const QString& folder, const QString& title, const QDateTime& now);

    // The bytes of a journal file and their reading; exposed for tests.
    static QByteArray Encode(const QString& key, const QString& text, const QByteArray& base);
    static bool Decode(const QByteArray& data, TJournalEntry& entry);

private:
    struct TOperation
    {
        QString key;
        bool write = false;
        QString text;
        QByteArray base;
    };
    void enqueue(TOperation operation);
    void run();
    void perform(const TOperation& operation);

    QString m_folder;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<TOperation> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    QString m_lastError;
    QHash<QString, QString> m_errors;
    std::thread m_worker;
};
