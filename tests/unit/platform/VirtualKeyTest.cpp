#include "platform/VirtualKeys.h"
#include "platform/linux/X11HotKeyGrabber.h"

#include <gtest/gtest.h>

#include <QSet>

#include <X11/keysym.h>

using namespace Qt::StringLiterals;

namespace {

// The Windows key codes of the 103 keys, by ordinal.
// clang-format off
constexpr int kCodes[VirtualKeyCount] = {
    0,   3,   8,   9,   12,  13,  19,  20,  27,  32,                               // None .. Space
    33,  34,  35,  36,  37,  38,  39,  40,                                         // Prior .. Down
    41,  43,  44,  45,  46,  47,                                                   // Select .. Help
    48,  49,  50,  51,  52,  53,  54,  55,  56,  57,                               // 0 .. 9
    65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,                // A .. M
    78,  79,  80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,                // N .. Z
    96,  97,  98,  99,  100, 101, 102, 103, 104, 105,                              // Numpad0 .. 9
    106, 107, 108, 109, 110, 111,                                                  // Multiply .. Divide
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123,                    // F1 .. F12
    124, 125, 126, 127, 128, 129, 130, 131, 132, 133, 134, 135,                    // F13 .. F24
    144, 145, 93,                                                                  // Numlock, Scroll, Apps
};
// clang-format on

} // namespace

TEST(VirtualKeyTable, HasTheHundredAndThreeKeysWithTheirCodes)
{
    EXPECT_EQ(VirtualKeyCount, 103);
    EXPECT_EQ(int(vkD), 37);
    EXPECT_EQ(int(vkA), 34);
    EXPECT_EQ(int(vkNumpad0), 60);
    EXPECT_EQ(int(vkF1), 76);
    EXPECT_EQ(int(vkApps), 102);
    for (int ordinal = 0; ordinal < VirtualKeyCount; ++ordinal)
        EXPECT_EQ(CodeFromVirtualKey(ordinal), kCodes[ordinal]) << "ordinal " << ordinal;
    EXPECT_EQ(CodeFromVirtualKey(-1), 0);
    EXPECT_EQ(CodeFromVirtualKey(VirtualKeyCount), 0);
}

TEST(VirtualKeyTable, NamesDropThePrefix)
{
    const std::pair<TVirtualKey, QString> names[] = {
        {vkNone, u"None"_s},
        {vkCancel, u"Cancel"_s},
        {vkBack, u"Back"_s},
        {vkCapital, u"Capital"_s},
        {vkPrior, u"Prior"_s},
        {vkSnapshot, u"Snapshot"_s},
        {vk0, u"0"_s},
        {vk9, u"9"_s},
        {vkD, u"D"_s},
        {vkZ, u"Z"_s},
        {vkNumpad0, u"Numpad0"_s},
        {vkSeparator, u"Separator"_s},
        {vkDivide, u"Divide"_s},
        {vkF1, u"F1"_s},
        {vkF24, u"F24"_s},
        {vkNumlock, u"Numlock"_s},
        {vkScroll, u"Scroll"_s},
        {vkApps, u"Apps"_s},
    };
    for (const auto& [key, name] : names)
        EXPECT_EQ(VirtualKeyName(key), name) << int(key);
    QSet<QString> all;
    for (int ordinal = 0; ordinal < VirtualKeyCount; ++ordinal)
        all.insert(VirtualKeyName(TVirtualKey(ordinal)));
    EXPECT_EQ(all.size(), VirtualKeyCount);
}

TEST(VirtualKeyTable, CodeAndOrdinalConversions)
{
    for (int ordinal = 0; ordinal < VirtualKeyCount; ++ordinal)
        EXPECT_EQ(int(VirtualKeyFromCode(CodeFromVirtualKey(ordinal))), ordinal);
    // Codes that no key of the table has.
    for (const int code : {-1, 1, 2, 42, 64, 91, 92, 136, 146, 255, 0x144})
        EXPECT_EQ(VirtualKeyFromCode(code), vkNone) << code;
    EXPECT_EQ(VirtualKeyFromCode(0x44), vkD);
    EXPECT_EQ(VirtualKeyFromCode(93), vkApps);
    // A hand-edited HotKeyBase outside the table means no key.
    EXPECT_EQ(VirtualKeyFromOrdinal(37), vkD);
    EXPECT_EQ(VirtualKeyFromOrdinal(102), vkApps);
    EXPECT_EQ(VirtualKeyFromOrdinal(103), vkNone);
    EXPECT_EQ(VirtualKeyFromOrdinal(-1), vkNone);
    EXPECT_EQ(VirtualKeyName(TVirtualKey(500)), u"None"_s);
}

TEST(VirtualKeyTable, QtKeysAreDistinctAndMapBack)
{
    EXPECT_EQ(QtKeyFromVirtualKey(vkNone).key(), Qt::Key_unknown);
    QSet<int> seen;
    for (int ordinal = 1; ordinal < VirtualKeyCount; ++ordinal) {
        const QKeyCombination key = QtKeyFromVirtualKey(TVirtualKey(ordinal));
        EXPECT_NE(key.key(), Qt::Key_unknown) << ordinal;
        EXPECT_FALSE(seen.contains(key.toCombined())) << ordinal;
        seen.insert(key.toCombined());
        EXPECT_EQ(int(VirtualKeyFromQtKey(key)), ordinal);
    }
    EXPECT_EQ(seen.size(), VirtualKeyCount - 1);
    EXPECT_EQ(QtKeyFromVirtualKey(vkD), QKeyCombination(Qt::Key_D));
    EXPECT_EQ(QtKeyFromVirtualKey(vkNumpad5), QKeyCombination(Qt::KeypadModifier, Qt::Key_5));
    EXPECT_EQ(QtKeyFromVirtualKey(vkApps), QKeyCombination(Qt::Key_Menu));
    // The settings dialog reads keys from key events: modifiers other than the keypad do not count.
    EXPECT_EQ(VirtualKeyFromQtKey(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_D)), vkD);
    EXPECT_EQ(VirtualKeyFromQtKey(QKeyCombination(Qt::Key_5)), vk5);
    EXPECT_EQ(VirtualKeyFromQtKey(QKeyCombination(Qt::KeypadModifier, Qt::Key_5)), vkNumpad5);
    EXPECT_EQ(VirtualKeyFromQtKey(QKeyCombination(Qt::Key_Plus)), vkNone);
    EXPECT_EQ(VirtualKeyFromQtKey(QKeyCombination(Qt::Key_unknown)), vkNone);
}

TEST(VirtualKeyTable, EveryKeyHasAnX11KeySym)
{
    QSet<unsigned long> seen;
    for (int ordinal = 1; ordinal < VirtualKeyCount; ++ordinal) {
        const unsigned long sym = X11HotKeyGrabber::keySymFor(QtKeyFromVirtualKey(TVirtualKey(ordinal)));
        EXPECT_NE(sym, 0u) << VirtualKeyName(TVirtualKey(ordinal)).toStdString();
        seen.insert(sym);
    }
    EXPECT_EQ(seen.size(), VirtualKeyCount - 1);
    const std::pair<TVirtualKey, unsigned long> syms[] = {
        {vkBack, XK_BackSpace},
        {vkCapital, XK_Caps_Lock},
        {vkPrior, XK_Prior},
        {vkSnapshot, XK_Print},
        {vk0, XK_0},
        {vkD, XK_d},
        {vkNumpad0, XK_KP_0},
        {vkNumpad9, XK_KP_9},
        {vkAdd, XK_KP_Add},
        {vkSeparator, XK_KP_Separator},
        {vkF24, XK_F24},
        {vkApps, XK_Menu},
        {vkScroll, XK_Scroll_Lock},
    };
    for (const auto& [key, sym] : syms)
        EXPECT_EQ(X11HotKeyGrabber::keySymFor(QtKeyFromVirtualKey(key)), sym) << int(key);
    EXPECT_EQ(X11HotKeyGrabber::keySymFor(QKeyCombination(Qt::Key_unknown)), 0u);
}

TEST(HotKeyModifiers, MaskBitsAndQtModifiers)
{
    EXPECT_EQ(int(moShift), 1);
    EXPECT_EQ(int(moControl), 2);
    EXPECT_EQ(int(moAlt), 4);
    EXPECT_EQ(int(moWin), 8);
    EXPECT_EQ(ModifiersFromMask(2), THotKeyModifiers(moControl));
    EXPECT_EQ(ModifiersFromMask(9), moShift | moWin);
    EXPECT_EQ(ModifiersFromMask(15), moShift | moControl | moAlt | moWin);
    // Bits beyond the four modifiers are not modifiers.
    EXPECT_EQ(ModifiersFromMask(0xF2), THotKeyModifiers(moControl));
    EXPECT_EQ(MaskFromModifiers(moAlt | moControl), 6);
    EXPECT_EQ(MaskFromModifiers({}), 0);
    EXPECT_EQ(QtModifiersFromHotKeyModifiers(moShift | moControl | moAlt | moWin),
              Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    EXPECT_EQ(QtModifiersFromHotKeyModifiers(moWin), Qt::KeyboardModifiers(Qt::MetaModifier));
    EXPECT_EQ(QtModifiersFromHotKeyModifiers({}), Qt::KeyboardModifiers());
}
