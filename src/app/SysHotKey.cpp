#include "app/SysHotKey.h"

#include "platform/HotKeyGrabber.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

IHotKeyGrabber& Required(const std::unique_ptr<IHotKeyGrabber>& grabber)
{
    if (!grabber)
        throw std::invalid_argument("TSysHotKey needs a grabber");
    return *grabber;
}

} // namespace

// --- THotKeyItem ---

THotKeyItem::THotKeyItem(THotKeys& collection) : m_collection(collection) {}

THotKeyItem::~THotKeyItem()
{
    Unregister();
}

void THotKeyItem::SetEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled)
        Register();
    else
        Unregister();
}

void THotKeyItem::SetModifiers(THotKeyModifiers modifiers)
{
    Change(m_key, modifiers);
}

void THotKeyItem::SetVirtualKey(TVirtualKey key)
{
    Change(key, m_modifiers);
}

void THotKeyItem::SetHotKey(TVirtualKey key, THotKeyModifiers modifiers)
{
    Change(key, modifiers);
}

void THotKeyItem::Change(TVirtualKey key, THotKeyModifiers modifiers)
{
    key = VirtualKeyFromOrdinal(key);
    modifiers = ModifiersFromMask(modifiers.toInt());
    if (key == m_key && modifiers == m_modifiers)
        return;
    const bool keyCleared = key == vkNone && m_key != vkNone;
    m_key = key;
    m_modifiers = modifiers;
    if (keyCleared)
        SetEnabled(false);
    if (m_enabled) {
        Unregister();
        Register();
    }
}

int THotKeyItem::Index() const
{
    return m_collection.IndexOf(this);
}

QString THotKeyItem::DisplayName() const
{
    QString modifiers;
    if (m_modifiers & moShift)
        modifiers += u"Shift"_s;
    if (m_modifiers & moControl)
        modifiers += u"Control"_s;
    if (m_modifiers & moAlt)
        modifiers += u"Alt"_s;
    if (m_modifiers & moWin)
        modifiers += u"Win"_s;
    const QString key = VirtualKeyName(m_key);
    return modifiers.isEmpty() ? key : modifiers + u'_' + key;
}

void THotKeyItem::Register()
{
    if (!m_enabled || m_registered || m_key == vkNone)
        return;
    const int index = Index();
    if (index < 0)
        return;
    QKeyCombination key = QtKeyFromVirtualKey(m_key);
    key = QKeyCombination(key.keyboardModifiers() | QtModifiersFromHotKeyModifiers(m_modifiers), key.key());
    // A refusal (another program holds the combination) leaves the item unregistered, silently.
    m_registered = m_collection.Owner().grabber().registerHotKey(index, key);
    m_registeredId = m_registered ? index : -1;
}

void THotKeyItem::Unregister()
{
    if (!m_registered)
        return;
    m_collection.Owner().grabber().unregisterHotKey(m_registeredId);
    m_registered = false;
    m_registeredId = -1;
}

// --- THotKeys ---

THotKeys::THotKeys(TSysHotKey& owner) : m_owner(owner) {}

THotKeys::~THotKeys()
{
    Clear();
}

THotKeyItem* THotKeys::Items(int index) const
{
    return index >= 0 && index < Count() ? m_items[size_t(index)].get() : nullptr;
}

THotKeyItem* THotKeys::Add()
{
    m_items.push_back(std::unique_ptr<THotKeyItem>(new THotKeyItem(*this)));
    return m_items.back().get();
}

void THotKeys::Delete(int index)
{
    if (!Items(index))
        return;
    // The window system knows the later items by their old index: release them before they move
    // down, then take them again under the new one.
    for (int later = Count() - 1; later > index; --later)
        m_items[size_t(later)]->Unregister();
    m_items.erase(m_items.begin() + index);
    for (int later = index; later < Count(); ++later)
        m_items[size_t(later)]->Register();
}

void THotKeys::Clear()
{
    while (!m_items.empty())
        m_items.pop_back();
}

int THotKeys::IndexOf(const THotKeyItem* item) const
{
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].get() == item)
            return int(i);
    }
    return -1;
}

// --- TSysHotKey ---

TSysHotKey::TSysHotKey(QObject* owner, IHotKeyGrabber& grabber)
    : QObject(nullptr), m_grabber(grabber), m_hotKeys(new THotKeys(*this))
{
    Attach(owner);
}

TSysHotKey::TSysHotKey(QObject* owner, std::unique_ptr<IHotKeyGrabber> grabber)
    : QObject(nullptr), m_ownedGrabber(std::move(grabber)), m_grabber(Required(m_ownedGrabber)),
      m_hotKeys(new THotKeys(*this))
{
    Attach(owner);
}

void TSysHotKey::Attach(QObject* owner)
{
    if (!owner)
        throw ESysHotKeyError(u"The owner of TSysHotKey cannot be nil"_s);
    if (!owner->findChildren<TSysHotKey*>(Qt::FindDirectChildrenOnly).isEmpty())
        throw ESysHotKeyError(u"No more than one TSysHotKey component on a form"_s);
    setParent(owner);
    m_grabber.setActivationHandler([this](int id) { HotKeyMessage(id); });
}

TSysHotKey::~TSysHotKey()
{
    m_hotKeys->Clear();
    m_grabber.setActivationHandler({});
}

void TSysHotKey::EnableAll()
{
    for (int i = 0; i < m_hotKeys->Count(); ++i)
        m_hotKeys->Items(i)->SetEnabled(true);
}

void TSysHotKey::DisableAll()
{
    for (int i = 0; i < m_hotKeys->Count(); ++i)
        m_hotKeys->Items(i)->SetEnabled(false);
}

void TSysHotKey::HotKeyMessage(int id)
{
    QPointer<THotKeyItem> item = m_hotKeys->Items(id);
    if (!item || item->m_registeredId != id)
        return;
    emit item->OnHotKey(this);
    emit OnHotKeys(this, id);
}
