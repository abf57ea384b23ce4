#include "widgets/TabList.h"

#include "widgets/PadTabSet.h"

int TTabList::Add(const QString& caption, const QVariant& object)
{
    m_strings.append(caption);
    m_objects.append(object);
    m_owner->TabsChanged();
    return Count() - 1;
}

void TTabList::Insert(int index, const QString& caption, const QVariant& object)
{
    m_strings.insert(index, caption);
    m_objects.insert(index, object);
    if (m_owner->m_tabIndex >= index)
        ++m_owner->m_tabIndex;
    m_owner->TabsChanged();
}

void TTabList::Delete(int index)
{
    const bool wasSelected = index == m_owner->m_tabIndex;
    m_strings.removeAt(index);
    m_objects.removeAt(index);
    TPadTabSet& strip = *m_owner;
    if (strip.m_tabIndex >= Count())
        strip.m_tabIndex = Count() - 1;
    // The visible count is the one from before the deletion: when it now reaches the end, one
    // more tab gets room on the left.
    if (Count() > 0 && strip.m_firstVisible + strip.m_visibleCount == Count() && strip.m_firstVisible > 0)
        --strip.m_firstVisible;
    strip.UpdateLayout();
    strip.ScrollInView(strip.m_tabIndex);
    strip.TabsChanged();
    if (wasSelected)
        emit strip.OnClick();
}

void TTabList::Replace(int index, const QString& caption)
{
    m_strings[index] = caption;
    m_owner->TabsChanged();
}

void TTabList::Clear()
{
    m_strings.clear();
    m_objects.clear();
    m_owner->m_tabIndex = -1;
    m_owner->TabsChanged();
}

void TTabList::AddStrings(const QStringList& captions)
{
    m_owner->setUpdatesEnabled(false);
    for (const QString& caption : captions) {
        m_strings.append(caption);
        m_objects.append(QVariant());
    }
    m_owner->setUpdatesEnabled(true);
    m_owner->TabsChanged();
}

void TTabList::Move(int from, int to)
{
    if (from == to)
        return;
    const QString caption = m_strings.takeAt(from);
    const QVariant object = m_objects.takeAt(from);
    m_strings.insert(to, caption);
    m_objects.insert(to, object);
    m_owner->TabsChanged();
}

void TTabList::Assign(const QStringList& captions)
{
    m_strings = captions;
    m_objects = QVector<QVariant>(captions.size());
}
