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

int TPropertyList::IndexOf(const QString& name) const
{
    TLocker locker(*this);
    for (qsizetype i = 0; i < m_items.size(); ++i)
        if (SameTextAscii(m_items[i].Name, name))
            return int(i);
    return -1;
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
    const int index = IndexOf(name);
    if (index >= 0)
        m_items[index].Value = value;
    else
        Add(name, value);
}

void TPropertyList::Add(const QString& name, const QString& value)
{
    TLocker locker(*this);
    if (name.contains(u'='))
        throw EPropertyListError(u"Invalid name in property list (%1)"_s.arg(name));
    m_items.append(TPropertyItem{name, value});
}

void TPropertyList::Clear()
{
    TLocker locker(*this);
    m_items.clear();
}
