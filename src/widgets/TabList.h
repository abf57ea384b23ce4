#pragma once

#include <QStringList>
#include <QVariant>
#include <QVector>

class TPadTabSet;

// The captions of a tab strip, each with an attached value. Every change keeps the strip in
// step: its selection follows the index rules below, then its layout and painting are updated.
class TTabList final
{
public:
    explicit TTabList(TPadTabSet* owner) : m_owner(owner) {}
    Q_DISABLE_COPY_MOVE(TTabList)

    int Count() const { return static_cast<int>(m_strings.size()); }
    const QString& Strings(int index) const { return m_strings.at(index); }
    const QString& operator[](int index) const { return m_strings.at(index); }
    QVariant Objects(int index) const { return m_objects.at(index); }
    void SetObject(int index, const QVariant& object) { m_objects[index] = object; }
    const QStringList& Captions() const { return m_strings; }
    int IndexOf(const QString& caption) const { return static_cast<int>(m_strings.indexOf(caption)); }

    int Add(const QString& caption, const QVariant& object = {});
    // Keeps the same tab selected: a selection at or after index moves up by one.
    void Insert(int index, const QString& caption, const QVariant& object = {});
    // The selection keeps its number, lowered to the new last tab when it falls off the end
    // (−1 for an empty list). Deleting the selected tab raises the strip's OnClick.
    void Delete(int index);
    void Replace(int index, const QString& caption);
    void Clear();
    // Appends all captions with the strip's painting held until the end.
    void AddStrings(const QStringList& captions);
    // Moves a caption and its value; the selection is not adjusted and no event is raised.
    void Move(int from, int to);

private:
    friend class TPadTabSet;
    void Assign(const QStringList& captions);

    TPadTabSet* m_owner;
    QStringList m_strings;
    QVector<QVariant> m_objects;
};
