// Key grabs against a real X server: CTest runs every case on a private Xvfb with the xcb
// platform. The case without any display has a file of its own.
#include "platform/linux/X11HotKeyGrabber.h"
#include "app/SysHotKey.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <functional>

#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace Qt::StringLiterals;

namespace {

// Types keys through the XTEST extension, as a user would.
bool Type(const QString& keys)
{
    return QProcess::execute(u"xdotool"_s, {u"key"_s, keys}) == 0;
}

int g_otherErrors = 0;

int CountOtherError(Display*, XErrorEvent*)
{
    ++g_otherErrors;
    return 0;
}

// A second X client on its own connection, standing for another program that holds hotkeys.
class TOtherClient
{
public:
    TOtherClient() : m_display(XOpenDisplay(nullptr)) {}
    ~TOtherClient()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool isOpen() const { return m_display != nullptr; }

    // True when the server granted the grab.
    bool grab(KeySym sym, unsigned modifiers) { return request(sym, modifiers, true); }
    void ungrab(KeySym sym, unsigned modifiers) { request(sym, modifiers, false); }

private:
    bool request(KeySym sym, unsigned modifiers, bool grab)
    {
        const KeyCode code = XKeysymToKeycode(m_display, sym);
        const Window root = DefaultRootWindow(m_display);
        XSync(m_display, False);
        g_otherErrors = 0;
        const XErrorHandler previous = XSetErrorHandler(CountOtherError);
        if (grab)
            XGrabKey(m_display, code, modifiers, root, False, GrabModeAsync, GrabModeAsync);
        else
            XUngrabKey(m_display, code, modifiers, root);
        XSync(m_display, False);
        XSetErrorHandler(previous);
        return g_otherErrors == 0;
    }

    Display* m_display;
};

class X11Grab : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!X11HotKeyGrabber::isAvailable())
            GTEST_SKIP() << "no X11 connection (run under Xvfb with QT_QPA_PLATFORM=xcb)";
        grabber.setActivationHandler([this](int id) { fired.append(id); });
    }

    bool NeedsXdotool() { return !QStandardPaths::findExecutable(u"xdotool"_s).isEmpty(); }

    X11HotKeyGrabber grabber;
    QList<int> fired;
};

} // namespace

TEST_F(X11Grab, PressedHotKeyIsReportedWhateverTheLockKeys)
{
    if (!NeedsXdotool())
        GTEST_SKIP() << "xdotool is missing";
    ASSERT_TRUE(grabber.registerHotKey(0, QKeyCombination(Qt::ControlModifier, Qt::Key_D)));
    ASSERT_TRUE(grabber.registerHotKey(1, QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_E)));
    ASSERT_TRUE(Type(u"ctrl+d"_s));
    ASSERT_TRUE(WaitFor([&] { return fired.size() == 1; }));
    EXPECT_EQ(fired, QList<int>{0});

    // Caps Lock and Num Lock on: the grabs of the lock variants still catch the key.
    ASSERT_TRUE(Type(u"Caps_Lock"_s));
    ASSERT_TRUE(Type(u"Num_Lock"_s));
    const bool typed = Type(u"ctrl+d"_s) && Type(u"ctrl+alt+e"_s);
    Type(u"Caps_Lock"_s);
    Type(u"Num_Lock"_s);
    ASSERT_TRUE(typed);
    ASSERT_TRUE(WaitFor([&] { return fired.size() == 3; }));
    EXPECT_EQ(fired, (QList<int>{0, 0, 1}));

    // Other modifiers are another combination; a released hotkey stays quiet. The presses arrive in
    // order, so the last one shows that the ones before it were not reported.
    grabber.unregisterHotKey(1);
    ASSERT_TRUE(Type(u"ctrl+shift+d"_s));
    ASSERT_TRUE(Type(u"ctrl+alt+e"_s));
    ASSERT_TRUE(Type(u"ctrl+d"_s));
    ASSERT_TRUE(WaitFor([&] { return fired.size() == 4; }));
    EXPECT_EQ(fired, (QList<int>{0, 0, 1, 0}));
}

TEST_F(X11Grab, ComponentFiresOnTheRealKey)
{
    if (!NeedsXdotool())
        GTEST_SKIP() << "xdotool is missing";
    QObject form;
    X11HotKeyGrabber systemGrabber;
    TSysHotKey component(&form, systemGrabber);
    THotKeyItem* item = component.HotKeys().Add();
    // The defaults of the settings: HotKeyBase 37, HotKeyModifiers 2.
    item->SetHotKey(VirtualKeyFromOrdinal(37), ModifiersFromMask(2));
    ASSERT_TRUE(item->Registered());
    QList<int> indexes;
    QObject::connect(&component, &TSysHotKey::OnHotKeys, &form,
                     [&](TSysHotKey*, int index) { indexes.append(index); });
    ASSERT_TRUE(Type(u"ctrl+d"_s));
    ASSERT_TRUE(WaitFor([&] { return !indexes.isEmpty(); }));
    EXPECT_EQ(indexes, QList<int>{0});
}

TEST_F(X11Grab, CombinationHeldByAnotherClientIsRefused)
{
    TOtherClient other;
    ASSERT_TRUE(other.isOpen());
    const QKeyCombination ctrlAltK(Qt::ControlModifier | Qt::AltModifier, Qt::Key_K);
    ASSERT_TRUE(other.grab(XK_k, ControlMask | Mod1Mask));
    EXPECT_FALSE(grabber.registerHotKey(3, ctrlAltK));
    other.ungrab(XK_k, ControlMask | Mod1Mask);
    ASSERT_TRUE(grabber.registerHotKey(3, ctrlAltK));
    // Now we hold it, in every lock variant.
    EXPECT_FALSE(other.grab(XK_k, ControlMask | Mod1Mask));
    EXPECT_FALSE(other.grab(XK_k, ControlMask | Mod1Mask | LockMask));
    grabber.unregisterHotKey(3);
    EXPECT_TRUE(other.grab(XK_k, ControlMask | Mod1Mask | LockMask));
    other.ungrab(XK_k, ControlMask | Mod1Mask | LockMask);
}

TEST_F(X11Grab, RefusedRegistrationLeavesNoPartialGrab)
{
    TOtherClient other;
    ASSERT_TRUE(other.isOpen());
    // The other program holds only the Caps Lock variant of Ctrl+K.
    ASSERT_TRUE(other.grab(XK_k, ControlMask | LockMask));
    EXPECT_FALSE(grabber.registerHotKey(4, QKeyCombination(Qt::ControlModifier, Qt::Key_K)));
    // The variants that had been granted were given back.
    EXPECT_TRUE(other.grab(XK_k, ControlMask));
    EXPECT_TRUE(other.grab(XK_k, ControlMask | Mod2Mask));
    other.ungrab(XK_k, ControlMask);
    other.ungrab(XK_k, ControlMask | Mod2Mask);
    other.ungrab(XK_k, ControlMask | LockMask);
}

TEST_F(X11Grab, OneCombinationOncePerProgramAndReleasedOnDestruction)
{
    const QKeyCombination ctrlAltJ(Qt::ControlModifier | Qt::AltModifier, Qt::Key_J);
    {
        X11HotKeyGrabber second;
        ASSERT_TRUE(grabber.registerHotKey(5, ctrlAltJ));
        EXPECT_FALSE(grabber.registerHotKey(6, ctrlAltJ));
        EXPECT_FALSE(second.registerHotKey(0, ctrlAltJ));
        grabber.unregisterHotKey(5);
        ASSERT_TRUE(second.registerHotKey(0, ctrlAltJ));
        TOtherClient other;
        EXPECT_FALSE(other.grab(XK_j, ControlMask | Mod1Mask));
    }
    TOtherClient other;
    EXPECT_TRUE(other.grab(XK_j, ControlMask | Mod1Mask));
    other.ungrab(XK_j, ControlMask | Mod1Mask);
    EXPECT_TRUE(grabber.registerHotKey(5, ctrlAltJ));
    // Keys the keyboard or the table do not have.
    EXPECT_FALSE(grabber.registerHotKey(7, QKeyCombination(Qt::Key_unknown)));
    EXPECT_FALSE(grabber.registerHotKey(7, QKeyCombination(Qt::Key_Launch0)));
}
