#pragma once

#include <QFlags>
#include <QKeyCombination>
#include <QString>

// The keys a hotkey can use. The ordinal is what the settings store (HotKeyBase); every key also
// has its Windows key code, which the settings dialog shows and reads (CodeFromVirtualKey,
// VirtualKeyFromCode).
// clang-format off
enum TVirtualKey : int
{
    vkNone, vkCancel, vkBack, vkTab, vkClear, vkReturn, vkPause, vkCapital, vkEscape, vkSpace,
    vkPrior, vkNext, vkEnd, vkHome, vkLeft, vkUp, vkRight, vkDown,
    vkSelect, vkExecute, vkSnapshot, vkInsert, vkDelete, vkHelp,
    vk0, vk1, vk2, vk3, vk4, vk5, vk6, vk7, vk8, vk9,
    vkA, vkB, vkC, vkD, vkE, vkF, vkG, vkH, vkI, vkJ, vkK, vkL, vkM,
    vkN, vkO, vkP, vkQ, vkR, vkS, vkT, vkU, vkV, vkW, vkX, vkY, vkZ,
    vkNumpad0, vkNumpad1, vkNumpad2, vkNumpad3, vkNumpad4,
    vkNumpad5, vkNumpad6, vkNumpad7, vkNumpad8, vkNumpad9,
    vkMultiply, vkAdd, vkSeparator, vkSubtract, vkDecimal, vkDivide,
    vkF1, vkF2, vkF3, vkF4, vkF5, vkF6, vkF7, vkF8, vkF9, vkF10, vkF11, vkF12,
    vkF13, vkF14, vkF15, vkF16, vkF17, vkF18, vkF19, vkF20, vkF21, vkF22, vkF23, vkF24,
    vkNumlock, vkScroll, vkApps
};
// clang-format on
inline constexpr int VirtualKeyCount = vkApps + 1;

// Modifiers of a hotkey; the values are the bits of the stored mask (HotKeyModifiers).
enum THotKeyModifier : int
{
    moShift = 1,
    moControl = 2,
    moAlt = 4,
    moWin = 8
};
Q_DECLARE_FLAGS(THotKeyModifiers, THotKeyModifier)
Q_DECLARE_OPERATORS_FOR_FLAGS(THotKeyModifiers)

// The Windows key code of a key ordinal; 0 for an ordinal outside the table.
int CodeFromVirtualKey(int ordinal);
// The smallest ordinal whose key code is code; vkNone when no key has it.
TVirtualKey VirtualKeyFromCode(int code);
// An ordinal as stored in the settings; vkNone for one outside the table.
TVirtualKey VirtualKeyFromOrdinal(int ordinal);
// The name without its "vk": "None", "Back", "D", "Numpad0", "F12".
QString VirtualKeyName(TVirtualKey key);
// The Qt key of a key (with Qt::KeypadModifier for the numeric keypad); Qt::Key_unknown for vkNone.
QKeyCombination QtKeyFromVirtualKey(TVirtualKey key);
// The key that a Qt key event names (its modifiers other than Qt::KeypadModifier do not count);
// vkNone when the table has no such key.
TVirtualKey VirtualKeyFromQtKey(QKeyCombination key);
// A stored mask; bits beyond the four modifiers are ignored.
THotKeyModifiers ModifiersFromMask(int mask);
int MaskFromModifiers(THotKeyModifiers modifiers);
// moShift → Shift, moControl → Control, moAlt → Alt, moWin → Meta.
Qt::KeyboardModifiers QtModifiersFromHotKeyModifiers(THotKeyModifiers modifiers);
