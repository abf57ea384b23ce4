#pragma once

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>

// What the FTP server may show, shared by every connection thread: the share folder and the
// items this copy offered to each peer. A "ParentDir" login is the way a peer fetches an offer,
// so it succeeds only from an address that was offered something, with the folder part of one of
// those items as it went out, and then reaches only the offered items. Without this any machine
// on the LAN could log in with the hex text of "/" and read the whole disk.
//
// Each item's real path (links resolved) is recorded when it is offered; it is served only while
// its path still leads there, so replacing an offered item by a link afterwards reaches nothing.
// Offers to a peer end when that peer is sent new ones, when the sender ends them all, or after
// OfferLifetime.
class TFtpAccess final
{
public:
    static constexpr qint64 DefaultLifetimeMs = 24LL * 60 * 60 * 1000;

    struct TOfferedItem
    {
        QString name;      // the name the peer asks for: the name part of the offered path as sent
        QString localPath; // the path that was offered
        QString realPath;  // localPath with every link resolved, when it was offered
        bool isFolder = false;
    };

    // Why OfferedIn found nothing.
    enum class TMiss
    {
        Unknown, // never offered to that peer from that folder, as far as this run knows
        Ended,   // offered, then replaced, ended by the sender, or expired
    };

    // The share folder, with a trailing "/"; "" when there is none.
    QString ShareRoot() const;
    void SetShareRoot(const QString& root);

    // Records that the item (a full local path, a file or a folder) was offered to peer, beside
    // what peer was offered before. An item that does not exist then is never served.
    void Offer(const QHostAddress& peer, const QString& path, bool isFolder);
    // Records the items of one offer as the user listed them ("File=<path>" or "Dir=<path>"),
    // ending what peer was offered before; returns the items as they go out (see WirePath).
    QStringList OfferItems(const QHostAddress& peer, const QStringList& items);
    // Ends every standing offer.
    void EndOffers();
    void SetOfferLifetime(qint64 milliseconds) { m_lifetimeMs = milliseconds; }

    // The items offered to peer whose folder part is folder: the folder part as it went out
    // ("\home\u\docs\"), or the local folder ("/home/u/docs", one trailing separator ignored).
    // Empty when there is none, and then a "ParentDir" login with folder is refused; miss, when
    // given, tells why.
    QList<TOfferedItem> OfferedIn(const QHostAddress& peer, const QString& folder,
                                  TMiss* miss = nullptr) const;

    // IPv4-mapped IPv6 addresses compare as the IPv4 address they carry.
    static QHostAddress Canonical(const QHostAddress& address);

private:
    struct TOffer
    {
        QHostAddress peer;
        QString wireFolder;  // the folder part as it went out, separator included
        QString localFolder; // with a trailing "/"
        TOfferedItem item;
        QDeadlineTimer expires;
    };
    struct TEnded
    {
        QHostAddress peer;
        QString wireFolder;
        QString localFolder;
    };
    static bool Matches(const QString& folder, const QString& wireFolder, const QString& localFolder);
    void EndLocked(qsizetype index) const;
    void ExpireLocked() const;
    void AddLocked(const QHostAddress& peer, const QString& path, bool isFolder);

    mutable QMutex m_mutex;
    QString m_shareRoot;
    mutable QList<TOffer> m_offers;
    mutable QList<TEnded> m_ended; // the most recent ones, for the reason of a refusal
    std::atomic<qint64> m_lifetimeMs{DefaultLifetimeMs};
};
