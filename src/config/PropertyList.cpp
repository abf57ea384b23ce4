#include "config/PropertyList.h"
#include "config/KeyCompare.h"

using namespace Qt::StringLiterals;

EAssertionFailed::EAssertionFailed() : std::logic_error("Assertion failure") {}

TPropertyList::~TPropertyList()
{
    Clear();
}

void TPropertyList::checkIndex(int index) const
{
    if (index < 0 || index >= m_items.size())
        throw EAssertionFailed();
}

int TPropertyList::Count() const
{
    TLocker locker(*this);
    return int(m_items.size());
}

TPropertyItem& TPropertyList::Items(int index)
{
    TLocker locker(*this);
    checkIndex(index);
    m_indexStale = true;
    return m_items[index];
}

const TPropertyItem& TPropertyList::Items(int index) const
{
    TLocker locker(*this);
    checkIndex(index);
    return m_items[index];
}

TPropertyItem TPropertyList::GetItem(int index) const
{
    TLocker locker(*this);
    checkIndex(index);
    return m_items[index];
}

void TPropertyList::rebuildIndex() const
{
    m_index.clear();
    m_index.reserve(m_items.size());
    // Backwards, so that the first entry of a name is the one that stays.
    for (qsizetype i = m_items.size() - 1; i >= 0; --i)
        m_index.insert(AsciiLowerFormOf(m_items[i].Name), int(i));
    m_indexStale = false;
}

int TPropertyList::IndexOf(const QString& name) const
{
    TLocker locker(*this);
    if (m_indexStale)
        rebuildIndex();
    return m_index.value(AsciiLowerFormOf(name), -1);
}

bool TPropertyList::TryGetValue(const QString& name, QString& value) const
{
    TLocker locker(*this);
    const int index = IndexOf(name);
    if (index < 0)
        return false;
    value = m_items[index].Value;
    return true;
}

void TPropertyList::SetValue(const QString& name, const QString& value)
{
    TLocker locker(*this);
    if (m_indexStale)
        rebuildIndex();
    const QString form = AsciiLowerFormOf(name);
    if (const auto found = m_index.constFind(form); found != m_index.cend()) {
        m_items[*found].Value = value;
        return;
    }
    if (name.contains(u'='))
        throw EPropertyListError(u"Invalid name in property list (%1)"_s.arg(name));
    m_index.insert(form, int(m_items.size()));
    m_items.append(TPropertyItem{name, value});
}

void TPropertyList::Add(const QString& name, const QString& value)
{
    TLocker locker(*this);
    if (name.contains(u'='))
        throw EPropertyListError(u"Invalid name in property list (%1)"_s.arg(name));
    if (!m_indexStale) {
        const QString form = AsciiLowerFormOf(name);
        if (!m_index.contains(form))
            m_index.insert(form, int(m_items.size()));
    }
    m_items.append(TPropertyItem{name, value});
}

void TPropertyList::Clear()
{
    TLocker locker(*this);
    m_items.clear();
    m_index.clear();
    m_indexStale = false;
}
