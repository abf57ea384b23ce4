#pragma once

#include "config/SyncObject.h"

#include <QList>
#include <QString>

#include <functional>

// One entry of a TStrHashTable: the key exactly as it was added and the caller's value, which
// the table never frees or dereferences.
struct TStrHashItem
{
    QString Key;
    void* Value = nullptr;
};
// A snapshot of entries, in iteration order.
using TStrHashItems = QList<TStrHashItem>;

// Abstract base of the hash tables; it adds nothing.
class THashTable : public TSyncObject
{
protected:
    THashTable() = default;
};

// A chained hash table with string keys.
//
// Iteration order (Clear, ForEach, GetItems, Assign): buckets from index 0 upwards, and within a
// bucket along its chain from the head, which is the entry added to it most recently.
//
// A case-insensitive table hashes the key in HashFormOf form and compares keys with
// SameTextFolded (KeyCompare.h); the stored key is always the key as passed.
class TStrHashTable : public THashTable
{
public:
    // removed is true when the entry leaves the table, false when it enters it.
    using TChangeEvent =
        std::function<void(TStrHashTable& sender, const QString& key, bool removed, void* value)>;
    using TVisitor = std::function<void(const QString& key, void* value)>;

    // A bucket count below 1 is taken as 1.
    TStrHashTable(int bucketCount, bool caseSensitive);
    ~TStrHashTable() override;

    // h = h * 5 + unit over the UTF-16 units, modulo 2^32: "CONFIG" gives 270686.
    virtual quint32 HashOf(const QString& key) const;

    // False, leaving the present entry and its value alone, when the key is already there.
    bool Add(const QString& key, void* value);
    // Leaves value untouched when the key is absent.
    bool TryGetValue(const QString& key, void*& value) const;
    // Removes every entry, announcing each through OnChange; the bucket count stays.
    void Clear();
    void ForEach(const TVisitor& visitor) const;
    TStrHashItems GetItems() const;
    // Becomes a copy of source: its count, case rule, bucket count and chains in their order.
    // OnChange announces every copied entry.
    void Assign(const TStrHashTable& source);

    int Count() const;
    int BucketCount() const;
    bool CaseSensitive() const;
    // The bucket Add would put key into.
    int BucketOf(const QString& key) const;

    TChangeEvent OnChange;

private:
    QString hashForm(const QString& key) const;
    bool sameKey(const QString& a, const QString& b) const;
    void notify(const QString& key, bool removed, void* value);
    void grow();

    // Each chain is stored head first.
    QList<QList<TStrHashItem>> m_buckets;
    int m_count = 0;
    bool m_caseSensitive = false;
};
