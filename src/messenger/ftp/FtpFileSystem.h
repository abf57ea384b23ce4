#pragma once

#include "core/Error.h"
#include "messenger/ftp/FtpAccess.h"

#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// A request the server turns away; the message is the text of its 550 reply.
class EFtpRefused : public EJotvaneError
{
public:
    using EJotvaneError::EJotvaneError;
};

enum class TFtpAccount
{
    None,
    ParentDir, // the messenger's download: root is the folder of an offered item
    SharePath, // the share folder, readable and writable
};

// One entry of a listing as it goes on the wire: the name is already hex text.
struct TFtpListItem
{
    QString name;
    bool isFolder = false;
    qint64 size = 0;
    QDateTime modified;
};

// One connection's view of the disk: its login, root and current directory, and what every FTP
// command that touches files does there. Paths from the client use "/" and are resolved against
// the current directory, which starts at "/". No path leaves its root: "..", "\" or "/" inside a
// name, and symbolic links that lead out of the offered item or the share folder are refused. The
// top of a "ParentDir" login holds only the offered items, each served from the real path it had
// when it was offered, and only while its path still leads there.
// Touches only the disk and the shared access rules, so it runs on the connection's thread.
class TFtpFileSystem final
{
public:
    TFtpFileSystem(const TFtpAccess& access, const QHostAddress& peer);

    bool Login(const QString& user, const QString& password);
    TFtpAccount Account() const { return m_account; }
    // After a refused "ParentDir" login: whether that folder's offers to this peer have ended.
    bool OfferEnded() const { return m_offerEnded; }
    // The current directory, names decoded: "/", "/照片/2024".
    QString CurrentDir() const;

    // CWD: ".." (or "..\") goes up one level and stops at the top; anything else becomes the
    // current directory with its last segment hex-decoded. Existence is not checked.
    void ChangeDir(const QString& requested);
    QList<TFtpListItem> List(const QString& requested) const;
    // RETR: the disk file to send. "ParentDir" names are hex text, "SharePath" names literal.
    QString RetrievePath(const QString& requested) const;
    // RETR, opened: the file's descriptor, checked after opening to be the file that may be sent
    // (so a link put in its place meanwhile reaches nothing). Throws EFtpRefused.
    int OpenForRetrieve(const QString& requested) const;
    // The remaining commands serve the "SharePath" account only.
    QString StorePath(const QString& requested) const;
    void MakeDir(const QString& requested) const;
    void RemoveDir(const QString& requested) const;
    void DeleteFile(const QString& requested) const;
    qint64 Size(const QString& requested) const;
    void RenameFrom(const QString& requested);
    void RenameTo(const QString& requested);

private:
    enum class TDecode
    {
        None,
        LastSegment,
    };
    struct TTarget
    {
        QStringList segments; // decoded, below the root
        QString diskPath;     // "" for the top of a "ParentDir" login, which lists the offered items
        QString base;         // canonical: diskPath must be this or lead inside it
        QStringList along;    // the disk folders from base down to diskPath
    };
    TTarget Resolve(const QString& requested, TDecode decode) const;
    void CheckInside(const TTarget& target) const;
    const TFtpAccess::TOfferedItem* Item(const QString& name) const;
    QString Root() const;
    void RequireShare() const;

    const TFtpAccess& m_access;
    QHostAddress m_peer;
    TFtpAccount m_account = TFtpAccount::None;
    QString m_root; // with a trailing "/"; for "ParentDir" the offered items are their own roots
    QList<TFtpAccess::TOfferedItem> m_offered;
    bool m_offerEnded = false;
    QStringList m_current;
    QString m_renameFrom;
};
