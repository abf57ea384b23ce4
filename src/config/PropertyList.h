#pragma once

#include "config/SyncObject.h"
#include "core/Error.h"

#include <QHash>
#include <QList>
#include <QString>

#include <stdexcept>

// One name=value entry of a TPropertyList. Name never contains "=".
struct TPropertyItem
{
    QString Name;
    QString Value;
};

// A name the list cannot hold, or another misuse of a list.
class EPropertyListError : public EJotvaneError
{
public:
    using EJotvaneError::EJotvaneError;
};

// An index outside the list: a programming error.
class EAssertionFailed : public std::logic_error
{
public:
    EAssertionFailed();
};

// The entries of one settings section, in the order they first arrived. Names compare with
// only A-Z folded (SameTextAscii): RunOnStartup finds runonstartup, É does not find é.
// Names are indexed, so a lookup costs the same in a list of a million entries as in one of ten.
class TPropertyList : public TSyncObject
{
public:
    TPropertyList() = default;
    ~TPropertyList() override;

    int Count() const;
    // 0 <= index < Count, otherwise EAssertionFailed. The reference lasts until the list changes;
    // a name changed through it is looked up again from scratch at the next lookup.
    TPropertyItem& Items(int index);
    const TPropertyItem& Items(int index) const;
    TPropertyItem GetItem(int index) const;
    // The first entry whose name equals name, -1 when there is none.
    int IndexOf(const QString& name) const;
    bool TryGetValue(const QString& name, QString& value) const;
    // Replaces the value of the entry found by IndexOf (which keeps its place and its spelling of
    // the name), or adds a new entry at the end.
    void SetValue(const QString& name, const QString& value);
    // Appends without looking for the name. A name with "=" raises EPropertyListError
    // "Invalid name in property list (<name>)" and adds nothing.
    void Add(const QString& name, const QString& value);
    void Clear();

private:
    void checkIndex(int index) const;
    void rebuildIndex() const;

    QList<TPropertyItem> m_items;
    // AsciiLowerFormOf(name) -> position of the first entry of that name.
    mutable QHash<QString, int> m_index;
    // Set when an entry was handed out for writing: its name may have changed.
    mutable bool m_indexStale = false;
};
