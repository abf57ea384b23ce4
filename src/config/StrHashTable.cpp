#include "config/StrHashTable.h"
#include "config/KeyCompare.h"

#include <QScopeGuard>

#include <utility>

TStrHashTable::TStrHashTable(int bucketCount, bool caseSensitive) : m_caseSensitive(caseSensitive)
{
    m_buckets.resize(qMax(bucketCount, 1));
}

TStrHashTable::~TStrHashTable()
{
    Clear();
}

quint32 TStrHashTable::HashOf(const QString& key) const
{
    quint32 h = 0;
    for (QChar c : key)
        h = h * 5u + c.unicode();
    return h;
}

QString TStrHashTable::hashForm(const QString& key) const
{
    return m_caseSensitive ? key : HashFormOf(key);
}

bool TStrHashTable::sameKey(const QString& a, const QString& b) const
{
    return m_caseSensitive ? a == b : SameTextFolded(a, b);
}

int TStrHashTable::BucketOf(const QString& key) const
{
    TLocker locker(*this);
    return int(HashOf(hashForm(key)) % quint32(m_buckets.size()));
}

void TStrHashTable::notify(const QString& key, bool removed, void* value)
{
    if (OnChange)
        OnChange(*this, key, removed, value);
}

bool TStrHashTable::Add(const QString& key, void* value)
{
    TLocker locker(*this);
    for (const TStrHashItem& item : std::as_const(m_buckets)[BucketOf(key)])
        if (sameKey(item.Key, key))
            return false;
    if (m_count >= m_buckets.size())
        grow();
    m_buckets[BucketOf(key)].prepend(TStrHashItem{key, value});
    ++m_count;
    notify(key, false, value);
    return true;
}

bool TStrHashTable::TryGetValue(const QString& key, void*& value) const
{
    TLocker locker(*this);
    for (const TStrHashItem& item : std::as_const(m_buckets)[BucketOf(key)]) {
        if (sameKey(item.Key, key)) {
            value = item.Value;
            return true;
        }
    }
    return false;
}

void TStrHashTable::Clear()
{
    TLocker locker(*this);
    // The chains leave the table before anyone hears of it, so a listener that looks at the
    // table sees it empty.
    QList<QList<TStrHashItem>> old(m_buckets.size());
    old.swap(m_buckets);
    m_count = 0;
    for (const QList<TStrHashItem>& chain : old)
        for (const TStrHashItem& item : chain)
            notify(item.Key, true, item.Value);
}

void TStrHashTable::ForEach(const TVisitor& visitor) const
{
    TLocker locker(*this);
    for (const QList<TStrHashItem>& chain : m_buckets)
        for (const TStrHashItem& item : chain)
            visitor(item.Key, item.Value);
}

TStrHashItems TStrHashTable::GetItems() const
{
    TLocker locker(*this);
    TStrHashItems items;
    items.reserve(m_count);
    for (const QList<TStrHashItem>& chain : m_buckets)
        items.append(chain);
    return items;
}

void TStrHashTable::Assign(const TStrHashTable& source)
{
    if (&source == this)
        return;
    TLocker sourceLocker(source);
    TLocker locker(*this);
    Clear();
    m_count = source.m_count;
    m_caseSensitive = source.m_caseSensitive;
    m_buckets = source.m_buckets;
    for (const QList<TStrHashItem>& chain : m_buckets)
        for (const TStrHashItem& item : chain)
            notify(item.Key, false, item.Value);
}

// Rebuilds the table with twice as many buckets as entries by adding every entry, in iteration
// order, to a new table and taking that table over. Entries that shared a chain may come out
// in reverse order; that is the order the table then keeps.
void TStrHashTable::grow()
{
    TChangeEvent saved = std::move(OnChange);
    OnChange = nullptr;
    const auto restore = qScopeGuard([&] { OnChange = std::move(saved); });
    TStrHashTable larger(m_count * 2, m_caseSensitive);
    ForEach([&larger](const QString& key, void* value) { larger.Add(key, value); });
    Assign(larger);
}

int TStrHashTable::Count() const
{
    TLocker locker(*this);
    return m_count;
}

int TStrHashTable::BucketCount() const
{
    TLocker locker(*this);
    return int(m_buckets.size());
}

bool TStrHashTable::CaseSensitive() const
{
    TLocker locker(*this);
    return m_caseSensitive;
}
