#include "app/SysHotKey.h"

#include "platform/HotKeyGrabber.h"

#include <QPointer>

#include <array>

using namespace Qt::StringLiterals;

namespace {

struct TKeyInfo
{
    const char16_t* name;
    int code;
    QKeyCombination qtKey;
};

constexpr QKeyCombination Keypad(Qt::Key key)
{
    return QKeyCombination(Qt::KeypadModifier, key);
}

// By ordinal. The Windows codes are ascending except for the last key, Apps (93).
const std::array<TKeyInfo, VirtualKeyCount>& KeyTable()
{
    static const std::array<TKeyInfo, VirtualKeyCount> table = [] {
        std::array<TKeyInfo, VirtualKeyCount> keys{};
        int i = 0;
        const auto add = [&](const char16_t* name, int code, QKeyCombination qtKey) {
            keys[i++] = TKeyInfo{name, code, qtKey};
        };
        add(u"None", 0, Qt::Key_unknown);
        add(u"Cancel", 3, Qt::Key_Cancel);
        add(u"Back", 8, Qt::Key_Backspace);
        add(u"Tab", 9, Qt::Key_Tab);
        add(u"Clear", 12, Qt::Key_Clear);
        add(u"Return", 13, Qt::Key_Return);
        add(u"Pause", 19, Qt::Key_Pause);
        add(u"Capital", 20, Qt::Key_CapsLock);
        add(u"Escape", 27, Qt::Key_Escape);
        add(u"Space", 32, Qt::Key_Space);
        add(u"Prior", 33, Qt::Key_PageUp);
        add(u"Next", 34, Qt::Key_PageDown);
        add(u"End", 35, Qt::Key_End);
        add(u"Home", 36, Qt::Key_Home);
        add(u"Left", 37, Qt::Key_Left);
        add(u"Up", 38, Qt::Key_Up);
        add(u"Right", 39, Qt::Key_Right);
        add(u"Down", 40, Qt::Key_Down);
        add(u"Select", 41, Qt::Key_Select);
        add(u"Execute", 43, Qt::Key_Execute);
        add(u"Snapshot", 44, Qt::Key_Print);
        add(u"Insert", 45, Qt::Key_Insert);
        add(u"Delete", 46, Qt::Key_Delete);
        add(u"Help", 47, Qt::Key_Help);
        static constexpr const char16_t* digits[] = {u"0", u"1", u"2", u"3", u"4",
                                                     u"5", u"6", u"7", u"8", u"9"};
        for (int n = 0; n < 10; ++n)
            add(digits[n], 48 + n, Qt::Key(Qt::Key_0 + n));
        static constexpr const char16_t* letters[] = {u"A", u"B", u"C", u"D", u"E", u"F", u"G", u"H", u"I",
                                                      u"J", u"K", u"L", u"M", u"N", u"O", u"P", u"Q", u"R",
                                                      u"S", u"T", u"U", u"V", u"W", u"X", u"Y", u"Z"};
        for (int n = 0; n < 26; ++n)
            add(letters[n], 65 + n, Qt::Key(Qt::Key_A + n));
        static constexpr const char16_t* numpad[] = {u"Numpad0", u"Numpad1", u"Numpad2", u"Numpad3",
                                                     u"Numpad4", u"Numpad5", u"Numpad6", u"Numpad7",
                                                     u"Numpad8", u"Numpad9"};
        for (int n = 0; n < 10; ++n)
            add(numpad[n], 96 + n, Keypad(Qt::Key(Qt::Key_0 + n)));
        add(u"Multiply", 106, Keypad(Qt::Key_Asterisk));
        add(u"Add", 107, Keypad(Qt::Key_Plus));
        add(u"Separator", 108, Keypad(Qt::Key_Comma));
        add(u"Subtract", 109, Keypad(Qt::Key_Minus));
        add(u"Decimal", 110, Keypad(Qt::Key_Period));
        add(u"Divide", 111, Keypad(Qt::Key_Slash));
        static constexpr const char16_t* functions[] = {
            u"F1",  u"F2",  u"F3",  u"F4",  u"F5",  u"F6",  u"F7",  u"F8",  u"F9",  u"F10", u"F11", u"F12",
            u"F13", u"F14", u"F15", u"F16", u"F17", u"F18", u"F19", u"F20", u"F21", u"F22", u"F23", u"F24"};
        for (int n = 0; n < 24; ++n)
            add(functions[n], 112 + n, Qt::Key(Qt::Key_F1 + n));
        add(u"Numlock", 144, Qt::Key_NumLock);
        add(u"Scroll", 145, Qt::Key_ScrollLock);
        add(u"Apps", 93, Qt::Key_Menu);
        Q_ASSERT(i == VirtualKeyCount);
        return keys;
    }();
    return table;
}

IHotKeyGrabber& Required(const std::unique_ptr<IHotKeyGrabber>& grabber)
{
    if (!grabber)
        throw std::invalid_argument("TSysHotKey needs a grabber");
    return *grabber;
}

bool IsValidOrdinal(int ordinal)
{
    return ordinal >= 0 && ordinal < VirtualKeyCount;
}

} // namespace

int CodeFromVirtualKey(int ordinal)
{
    return IsValidOrdinal(ordinal) ? KeyTable()[ordinal].code : 0;
}

TVirtualKey VirtualKeyFromCode(int code)
{
    const auto& table = KeyTable();
    for (int ordinal = 0; ordinal < VirtualKeyCount; ++ordinal) {
        if (table[ordinal].code == code)
            return TVirtualKey(ordinal);
    }
    return vkNone;
}

TVirtualKey VirtualKeyFromOrdinal(int ordinal)
{
    return IsValidOrdinal(ordinal) ? TVirtualKey(ordinal) : vkNone;
}

QString VirtualKeyName(TVirtualKey key)
{
    return QString::fromUtf16(KeyTable()[VirtualKeyFromOrdinal(key)].name);
}

QKeyCombination QtKeyFromVirtualKey(TVirtualKey key)
{
    return KeyTable()[VirtualKeyFromOrdinal(key)].qtKey;
}

TVirtualKey VirtualKeyFromQtKey(QKeyCombination key)
{
    if (key.key() == Qt::Key_unknown)
        return vkNone;
    const QKeyCombination wanted(key.keyboardModifiers() & Qt::KeypadModifier, key.key());
    const auto& table = KeyTable();
    for (int ordinal = 1; ordinal < VirtualKeyCount; ++ordinal) {
        if (table[ordinal].qtKey == wanted)
            return TVirtualKey(ordinal);
    }
    return vkNone;
}

THotKeyModifiers ModifiersFromMask(int mask)
{
    return THotKeyModifiers::fromInt(mask & (moShift | moControl | moAlt | moWin));
}

int MaskFromModifiers(THotKeyModifiers modifiers)
{
    return modifiers.toInt();
}

Qt::KeyboardModifiers QtModifiersFromHotKeyModifiers(THotKeyModifiers modifiers)
{
    Qt::KeyboardModifiers result;
    if (modifiers & moShift)
        result |= Qt::ShiftModifier;
    if (modifiers & moControl)
        result |= Qt::ControlModifier;
    if (modifiers & moAlt)
        result |= Qt::AltModifier;
    if (modifiers & moWin)
        result |= Qt::MetaModifier;
    return result;
}

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
