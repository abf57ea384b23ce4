#include "messenger/ftp/FtpAccess.h"

#include "messenger/ftp/FtpNames.h"

#include <QMutexLocker>

namespace {
QString WithSlash(QString folder)
{
    while (folder.size() > 1 && (folder.endsWith(u'/') || folder.endsWith(u'\\')))
        folder.chop(1);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}
} // namespace

QString TFtpAccess::ShareRoot() const
{
    QMutexLocker lock(&m_mutex);
    return m_shareRoot;
}

void TFtpAccess::SetShareRoot(const QString& root)
{
    QMutexLocker lock(&m_mutex);
    m_shareRoot = root;
}

QHostAddress TFtpAccess::Canonical(const QHostAddress& address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return ok ? QHostAddress(v4) : address;
}

void TFtpAccess::Offer(const QHostAddress& peer, const QString& path, bool isFolder)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && (trimmed.endsWith(u'/') || trimmed.endsWith(u'\\')))
        trimmed.chop(1);
    const QString name = NamePart(trimmed);
    const QString folder = FolderPart(trimmed);
    if (!IsPlainName(name) || folder.isEmpty())
        return;
    TOffer offer{Canonical(peer), WithSlash(folder), TOfferedItem{name, isFolder}};
    QMutexLocker lock(&m_mutex);
    for (const TOffer& o : std::as_const(m_offers)) {
        if (o.peer == offer.peer && o.folder == offer.folder && o.item.name == name &&
            o.item.isFolder == isFolder)
            return;
    }
    m_offers.append(offer);
}

void TFtpAccess::OfferItems(const QHostAddress& peer, const QStringList& items)
{
    for (const QString& item : items) {
        if (item.startsWith(u"File="))
            Offer(peer, item.mid(5), false);
        else if (item.startsWith(u"Dir="))
            Offer(peer, item.mid(4), true);
    }
}

QList<TFtpAccess::TOfferedItem> TFtpAccess::OfferedIn(const QHostAddress& peer, const QString& folder) const
{
    if (folder.isEmpty())
        return {};
    const QHostAddress who = Canonical(peer);
    const QString key = WithSlash(folder);
    QList<TOfferedItem> items;
    QMutexLocker lock(&m_mutex);
    for (const TOffer& o : m_offers) {
        if (o.peer == who && o.folder == key)
            items.append(o.item);
    }
    return items;
}
