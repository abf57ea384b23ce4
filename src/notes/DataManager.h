#pragma once

#include "notes/PageFile.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class IClock;
class ITrash;
class TFolderScan;
class TPageReadAhead;

// The page files of the Data folder, in page order. Line 1 of every file holds its position,
// line 2 the title, line 3 is empty and the text follows. The store knows nothing of windows:
// the main window keeps its tabs in the same order and addresses pages by position.
class TDataManager final
{
public:
    // Scans folder at once: its files are read on another thread, and the first use of the
    // store (any call below but folder()) waits for them. trash receives pages deleted to the
    // recycle bin. A read begun ahead of the store for the same folder is taken over. With an
    // indexFile (see PageIndex) the files that have not changed since the index was written
    // are not read at start: their texts come through ReadPageText. clock, when given, tells the
    // time the scan began in place of the system's clock (it decides which files the index keeps).
    TDataManager(QString folder, ITrash& trash, TPageReadAhead* readAhead = nullptr, QString indexFile = {},
                 const IClock* clock = nullptr);
    ~TDataManager();
    Q_DISABLE_COPY_MOVE(TDataManager)

    QString folder() const { return m_folder; }
    int count() const;
    QString fileName(int position) const;

    void ScanFolder();
    // The files the last scan left alone because they do not decode without loss, each as
    // "path (reason)", for telling the user once at start.
    QStringList skippedFiles() const;
    // What the last scan and the reading of the pages could not do (files that cannot be read or
    // were skipped, pages not renumbered), for one message at start; empty when all went well.
    QString ScanProblems() const;
    TPageItems GetPages();
    // The text of the page at position as its file holds it now. Throws EFileError when the
    // file cannot be read or does not decode without loss; the store then never writes that
    // file in this run (SavePage throws), so that what it holds is not lost.
    QString ReadPageText(int position);
    int AddPage(const QString& title);
    void SavePage(int position, const QString& title, const QString& text);
    void RenamePage(int position, const QString& title);
    void DeletePage(int position, bool toRecycleBin);
    void MovePage(int from, int to);
    void Renumber();

    // The text of a page file as its page shows it (lines 4 and following, each ended by CR LF);
    // safe on any thread. Throws EFileError when the file cannot be read or does not decode
    // without loss.
    static QString ReadPageFileText(const QString& path);
    // The lines of a page file: its position, its title, an empty line and the text's lines.
    static QStringList PageFileLines(int position, const QString& title, const QString& text);
    // The integer on line 1 of file, read from its first 16 bytes.
    static bool ReadPageKey(const QString& file, int& key);
    static QString NewPageFileName(const QString& folder);
    // Creates folder with its missing parents; throws EFileError with the system's reason.
    static void MakeFolder(const QString& folder);
    // Sorts files and their keys together, ascending by key, with the exchange sort that decides
    // the order of equal keys: keys 1, 1, 0 for A, B, C give C, B, A.
    static void SortByKeys(QStringList& files, QList<int>& keys);

private:
    void waitForScan() const;
    void applyScan(TFolderScan& read);
    bool isValid(int position) const
    {
        waitForScan();
        return position >= 0 && position < m_files.size();
    }
    void writeKey(int position);

    QString m_folder;
    QString m_indexFile;
    ITrash& m_trash;
    QStringList m_files;
    QStringList m_skipped;
    QStringList m_scanErrors;
    QSet<QString> m_unreadTexts;
    // The pages as the scan read them, by file, until GetPages takes them; a file written in
    // between is read again.
    QHash<QString, TPageItem> m_scanned;
    // The reading started by the constructor until the store is first used.
    std::unique_ptr<TFolderScan> m_read;
};

// The page folder's files, read on a thread of their own before the store is made: the program
// starts them while it connects to the display. Reading changes nothing; a read that no store
// takes over stops when this goes.
class TPageReadAhead final
{
public:
    explicit TPageReadAhead(const QString& folder, const QString& indexFile = {});
    ~TPageReadAhead();
    Q_DISABLE_COPY_MOVE(TPageReadAhead)

private:
    friend class TDataManager;
    QString m_folder;
    QString m_indexFile;
    std::unique_ptr<TFolderScan> m_read;
};
