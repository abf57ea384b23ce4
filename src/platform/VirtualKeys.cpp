#include "platform/VirtualKeys.h"

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
