#pragma once

#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

// What the FTP server may show, shared by every connection thread: the share folder and the
// items this copy offered to each peer. A "ParentDir" login is the way a peer fetches an offer,
// so it succeeds only from an address that was offered something, with the folder that holds one
// of those items, and then reaches only the offered items. Without this any machine on the LAN
// could log in with the hex text of "/" and read the whole disk.
class TFtpAccess final
{
public:
    struct TOfferedItem
    {
        QString name; // the item's own name inside folder
        bool isFolder = false;
    };

    // The share folder, with a trailing "/"; "" when there is none.
    QString ShareRoot() const;
    void SetShareRoot(const QString& root);

    // Records that the items (full local paths, files or folders) were offered to peer. The
    // offer stands for as long as this object lives.
    void Offer(const QHostAddress& peer, const QString& path, bool isFolder);
    // The same for the items of an offer as they are sent: "File=<path>" or "Dir=<path>".
    void OfferItems(const QHostAddress& peer, const QStringList& items);
    // The items offered to peer whose folder part is folder (compared with one trailing "/"
    // ignored); empty when there is none, and then a "ParentDir" login with folder is refused.
    QList<TOfferedItem> OfferedIn(const QHostAddress& peer, const QString& folder) const;

    // IPv4-mapped IPv6 addresses compare as the IPv4 address they carry.
    static QHostAddress Canonical(const QHostAddress& address);

private:
    struct TOffer
    {
        QHostAddress peer;
        QString folder; // with a trailing "/"
        TOfferedItem item;
    };
    mutable QMutex m_mutex;
    QString m_shareRoot;
    QList<TOffer> m_offers;
};
