#pragma once

#include "notes/PageFile.h"
#include "notes/PageIndex.h"

#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>

class IClock;

// One file of the folder as the scan finds it: read once, whole, for its key, the loss-less
// check and (kept until the pages are taken) its title and text.
struct TScannedFile
{
    QString name;
    QString path;
    bool isPage = false;
    int key = 0;
    QString skipReason;
    int readError = 0; // errno of a file that could not be read
    TPageItem page;
    TFileStamp stamp; // when the file was opened
};

// The page files of a folder, listed and read on another thread while the program goes on
// building its window. Finish reads what is left together with that thread; the page store then
// sorts and, where needed, renumbers on its own thread. A scan dropped unfinished reads no
// further.
class TFolderScan final
{
public:
    // Starts at once. With an indexFile (see PageIndex) the files that have not changed since
    // the index was written are not read: their texts come later. clock, when given, tells the
    // time the scan began in place of the system's clock (it decides which files the index keeps).
    TFolderScan(const QString& folder, const QString& indexFile, const IClock* clock = nullptr);
    ~TFolderScan();
    Q_DISABLE_COPY_MOVE(TFolderScan)

    // Reads the files nobody has taken yet and waits for the thread's last one.
    void Finish();
    // Writes the index again when this scan learned something it did not hold: a file read
    // whole that may be kept, or one that went.
    void KeepIndex() const;
    // Every file listed, in the order the folder keeps them; complete once Finish returned.
    QList<TScannedFile>& Files() { return m_files; }

private:
    void List();
    void Read();

    QString m_folder;
    QString m_indexFile;
    QList<TScannedFile> m_files;
    QHash<QString, TPageIndexEntry> m_index;
    timespec m_readStart = {};
    int m_dirFd = -1;
    std::atomic<qsizetype> m_next{0};
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::condition_variable m_listedChanged;
    bool m_listed = false;
    std::thread m_thread;
};
