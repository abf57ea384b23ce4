#pragma once

#include "core/Error.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// A download that failed: connecting, logging in, listing, retrieving, a name that would lead out
// of the chosen folder, or a minute without progress.
class EFtpError : public EJotvaneError
{
public:
    using EJotvaneError::EJotvaneError;
};
// A failure whose text tells the user why (in Chinese), shown below the line saying what failed.
class EFtpExplained : public EFtpError
{
public:
    using EFtpError::EFtpError;
};
// The user cancelled the download.
class EFtpCancelled : public EFtpError
{
public:
    using EFtpError::EFtpError;
};

// One entry of a Unix long-form listing, name as listed.
struct TFtpRemoteItem
{
    QString name;
    bool isFolder = false;
    bool isLink = false;
    qint64 size = 0;
};

struct TFtpProgress
{
    QString name;     // the file being fetched
    qint64 done = 0;  // its bytes so far
    qint64 total = 0; // its size when known, else 0
    double bytesPerSecond = 0;
};

// The messenger's FTP client on libcurl: IPv4, no proxy, active mode (the server connects back
// from its data port), names sent as hex text. Unlike a client that waits without limit, a
// transfer or reply that makes no progress for StallSeconds fails, and the progress handler can
// cancel at any time (it is also where the window keeps itself responsive).
class TFtpClient final
{
public:
    TFtpClient();
    ~TFtpClient();
    TFtpClient(const TFtpClient&) = delete;
    TFtpClient& operator=(const TFtpClient&) = delete;

    void SetHost(const QString& host) { m_host = host; }
    void SetPort(quint16 port) { m_port = port; }
    void SetUser(const QString& user) { m_user = user; }
    void SetPassword(const QString& password) { m_password = password; }
    void SetStallSeconds(int seconds) { m_stallSeconds = seconds; }
    // A listing longer than this (entries or bytes) fails the download with EFtpExplained: a
    // server that lists without end must not fill the memory.
    void SetListingLimits(qint64 entries, qint64 bytes)
    {
        m_maxListEntries = entries;
        m_maxListBytes = bytes;
    }
    // Called often during every transfer and while waiting; returning false cancels.
    void SetProgressHandler(std::function<bool(const TFtpProgress&)> handler)
    {
        m_progress = std::move(handler);
    }

    // Connects and logs in. Throws EFtpError; EFtpExplained when the offering copy no longer
    // knows the offer (it has restarted) or has ended it.
    void Connect();
    void Disconnect();
    bool Connected() const { return m_connected; }

    // Changes the remote directory: a listed name relative to the current one, or "..".
    void ChangeDir(const QString& name);
    // The detailed listing of the current remote directory.
    QList<TFtpRemoteItem> List();
    enum class TReplace
    {
        Replace, // the user chose the file and agreed to replace it
        Never,   // an existing file fails the retrieval and stays as it was
    };
    // Fetches the remote file (a listed name) into localFile; an existing file is replaced (when
    // allowed) only once the whole file has arrived.
    void Retrieve(const QString& name, const QString& localFile, qint64 size = 0,
                  TReplace replace = TReplace::Replace);
    // Fetches the remote folder name (decoded) below the current directory, depth first, into a
    // new folder of localParent, and returns that folder's path. The folder is named
    // LocalName(name), with " (2)", " (3)", ... added when that name is taken: a download never
    // merges into a folder that was there, nor replaces a file. A listed name that decodes to "",
    // or holds "/", "\" or NUL fails the download: nothing is written outside the new folder. A
    // failure leaves what arrived, and the new folder only when something did.
    QString DownloadFolder(const QString& name, const QString& localParent);

    static QList<TFtpRemoteItem> ParseListing(const QByteArray& text);

private:
    void Prepare(const QString& url);
    void Perform(const QString& what);
    QString DirUrl() const;
    void FetchFolder(const QString& name, const QString& local);

    void* m_curl = nullptr;
    QString m_host;
    quint16 m_port = 5588;
    QString m_user;
    QString m_password;
    int m_stallSeconds = 60;
    qint64 m_maxListEntries = 1000000;
    qint64 m_maxListBytes = 128LL * 1024 * 1024;
    std::function<bool(const TFtpProgress&)> m_progress;
    bool m_connected = false;
    QStringList m_dir; // wire names below the login root

public: // for libcurl's callbacks
    struct TTransfer
    {
        const std::function<bool(const TFtpProgress&)>* handler = nullptr;
        QByteArray* buffer = nullptr;
        qint64 maxBytes = 0; // of buffer, 0: no limit
        qint64 maxLines = 0; // of buffer, 0: no limit
        qint64 lines = 0;
        bool tooLong = false;
        QByteArray replies; // the server's replies, while logging in
        class QFile* file = nullptr;
        bool writeFailed = false;
        TFtpProgress progress;
        qint64 startedMs = 0;
        qint64 lastReportMs = -1;
        bool cancelled = false;
    };

private:
    TTransfer m_transfer;
};
