#include "messenger/ftp/FtpAccess.h"

#include "messenger/ftp/FtpNames.h"

#include <QFileInfo>
#include <QMutexLocker>

namespace {
constexpr qsizetype MaxEnded = 1024;

QString WithSlash(QString folder)
{
    while (folder.size() > 1 && (folder.endsWith(u'/') || folder.endsWith(u'\\')))
        folder.chop(1);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString Trimmed(QString path)
{
    while (path.size() > 1 && (path.endsWith(u'/') || path.endsWith(u'\\')))
        path.chop(1);
    return path;
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

void TFtpAccess::AddLocked(const QHostAddress& peer, const QString& path, bool isFolder)
{
    const QString local = Trimmed(path);
    const QString wire = WirePath(local);
    const QString name = NamePart(wire);
    const QString wireFolder = FolderPart(wire);
    if (name.isEmpty() || name == u"." || name == u".." || wireFolder.isEmpty() || !local.startsWith(u'/'))
        return;
    const QFileInfo info(local);
    QString real = info.canonicalFilePath();
    if (real.isEmpty() || info.isDir() != isFolder)
        real.clear();
    TOffer offer{Canonical(peer), wireFolder, WithSlash(QFileInfo(local).path()),
                 TOfferedItem{name, local, real, isFolder}, QDeadlineTimer(m_lifetimeMs.load())};
    for (TOffer& o : m_offers) {
        if (o.peer == offer.peer && o.wireFolder == wireFolder && o.item.name == name) {
            o = offer;
            return;
        }
    }
    m_offers.append(offer);
}

void TFtpAccess::Offer(const QHostAddress& peer, const QString& path, bool isFolder)
{
    QMutexLocker lock(&m_mutex);
    AddLocked(peer, path, isFolder);
}

QStringList TFtpAccess::OfferItems(const QHostAddress& peer, const QStringList& items)
{
    const QHostAddress who = Canonical(peer);
    QStringList wire;
    QMutexLocker lock(&m_mutex);
    for (qsizetype i = m_offers.size() - 1; i >= 0; --i) {
        if (m_offers[i].peer == who)
            EndLocked(i);
    }
    for (const QString& item : items) {
        const qsizetype eq = item.indexOf(u'=');
        const QString kind = item.left(eq);
        const QString path = item.mid(eq + 1);
        if (eq < 0 || (kind != u"File" && kind != u"Dir")) {
            wire.append(item);
            continue;
        }
        AddLocked(who, path, kind == u"Dir");
        // Paths from elsewhere (a drive letter, a peer's form) go out as they are.
        wire.append(path.startsWith(u'/') ? kind + u'=' + WirePath(Trimmed(path)) : item);
    }
    return wire;
}

void TFtpAccess::EndOffers()
{
    QMutexLocker lock(&m_mutex);
    for (qsizetype i = m_offers.size() - 1; i >= 0; --i)
        EndLocked(i);
}

void TFtpAccess::EndLocked(qsizetype index) const
{
    const TOffer offer = m_offers.takeAt(index);
    m_ended.append(TEnded{offer.peer, offer.wireFolder, offer.localFolder});
    if (m_ended.size() > MaxEnded)
        m_ended.remove(0, m_ended.size() - MaxEnded);
}

void TFtpAccess::ExpireLocked() const
{
    for (qsizetype i = m_offers.size() - 1; i >= 0; --i) {
        if (m_offers[i].expires.hasExpired())
            EndLocked(i);
    }
}

bool TFtpAccess::Matches(const QString& folder, const QString& wireFolder, const QString& localFolder)
{
    if (folder == wireFolder)
        return true;
    return folder.startsWith(u'/') && WithSlash(folder) == localFolder;
}

QList<TFtpAccess::TOfferedItem> TFtpAccess::OfferedIn(const QHostAddress& peer, const QString& folder,
                                                      TMiss* miss) const
{
    if (miss)
        *miss = TMiss::Unknown;
    if (folder.isEmpty())
        return {};
    const QHostAddress who = Canonical(peer);
    QList<TOfferedItem> items;
    QMutexLocker lock(&m_mutex);
    ExpireLocked();
    for (const TOffer& o : std::as_const(m_offers)) {
        if (o.peer == who && Matches(folder, o.wireFolder, o.localFolder))
            items.append(o.item);
    }
    if (items.isEmpty() && miss) {
        for (const TEnded& e : std::as_const(m_ended)) {
            if (e.peer == who && Matches(folder, e.wireFolder, e.localFolder))
                *miss = TMiss::Ended;
        }
    }
    return items;
}
