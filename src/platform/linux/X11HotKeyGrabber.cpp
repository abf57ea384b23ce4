#include "platform/linux/X11HotKeyGrabber.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

// The X11 headers come last: their macros (None, Bool, KeyPress ...) clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xproto.h>

namespace {

// Errors of the grab requests being checked. Xlib reports errors through one process-wide
// handler; it is installed only around a grab and its XSync, on the GUI thread.
int g_grabErrors = 0;

int RecordGrabError(Display*, XErrorEvent*)
{
    ++g_grabErrors;
    return 0;
}

// Runs requests with RecordGrabError as Xlib's error handler and answers how many of them failed.
template <typename Requests> int CountErrors(Display* display, Requests requests)
{
    // Errors of earlier requests belong to whoever sent them, not to this check.
    XSync(display, False);
    g_grabErrors = 0;
    const XErrorHandler previous = XSetErrorHandler(RecordGrabError);
    requests();
    XSync(display, False);
    XSetErrorHandler(previous);
    return g_grabErrors;
}

Display* QtDisplay()
{
    if (!qGuiApp)
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

struct TKeyPair
{
    Qt::Key key;
    KeySym sym;
};

constexpr TKeyPair kNamedKeys[] = {
    {Qt::Key_Cancel, XK_Cancel},    {Qt::Key_Backspace, XK_BackSpace},
    {Qt::Key_Tab, XK_Tab},          {Qt::Key_Clear, XK_Clear},
    {Qt::Key_Return, XK_Return},    {Qt::Key_Enter, XK_KP_Enter},
    {Qt::Key_Pause, XK_Pause},      {Qt::Key_CapsLock, XK_Caps_Lock},
    {Qt::Key_Escape, XK_Escape},    {Qt::Key_Space, XK_space},
    {Qt::Key_PageUp, XK_Prior},     {Qt::Key_PageDown, XK_Next},
    {Qt::Key_End, XK_End},          {Qt::Key_Home, XK_Home},
    {Qt::Key_Left, XK_Left},        {Qt::Key_Up, XK_Up},
    {Qt::Key_Right, XK_Right},      {Qt::Key_Down, XK_Down},
    {Qt::Key_Select, XK_Select},    {Qt::Key_Execute, XK_Execute},
    {Qt::Key_Print, XK_Print},      {Qt::Key_Insert, XK_Insert},
    {Qt::Key_Delete, XK_Delete},    {Qt::Key_Help, XK_Help},
    {Qt::Key_NumLock, XK_Num_Lock}, {Qt::Key_ScrollLock, XK_Scroll_Lock},
    {Qt::Key_Menu, XK_Menu},
};

constexpr TKeyPair kKeypadKeys[] = {
    {Qt::Key_Asterisk, XK_KP_Multiply}, {Qt::Key_Plus, XK_KP_Add},       {Qt::Key_Comma, XK_KP_Separator},
    {Qt::Key_Minus, XK_KP_Subtract},    {Qt::Key_Period, XK_KP_Decimal}, {Qt::Key_Slash, XK_KP_Divide},
    {Qt::Key_Enter, XK_KP_Enter},
};

// The modifier bit (ShiftMask ... Mod5Mask) that the keyboard map gives to sym, 0 when none.
unsigned ModifierOf(Display* display, KeySym sym)
{
    const KeyCode code = XKeysymToKeycode(display, sym);
    if (code == 0)
        return 0;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return 0;
    unsigned mask = 0;
    for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            if (map->modifiermap[modifier * map->max_keypermod + i] == code) {
                mask = 1u << modifier;
                break;
            }
        }
    }
    XFreeModifiermap(map);
    return mask;
}

struct TGrab
{
    unsigned keyCode = 0;
    unsigned modifiers = 0;
    bool operator==(const TGrab&) const = default;
};

size_t qHash(const TGrab& grab, size_t seed = 0)
{
    return qHashMulti(seed, grab.keyCode, grab.modifiers);
}

// The combinations grabbed by all grabbers of the process. They share Qt's connection, and X lets
// a client grab a combination twice: a second grab would silently share the key.
QSet<TGrab>& GrabsOfProcess()
{
    static QSet<TGrab> grabs;
    return grabs;
}

} // namespace

class X11HotKeyGrabber::TPrivate final : public QAbstractNativeEventFilter
{
public:
    explicit TPrivate(X11HotKeyGrabber& owner) : m_owner(owner) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (m_grabs.isEmpty() || eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const int type = event->response_type & 0x7f;
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
            return false;
        // Press and release events share one layout.
        const auto* key = static_cast<const xcb_key_press_event_t*>(message);
        if (key->event != m_root)
            return false;
        const unsigned state = key->state & 0xff & ~m_lockMask;
        for (auto it = m_grabs.cbegin(); it != m_grabs.cend(); ++it) {
            if (it->keyCode != key->detail || it->modifiers != state)
                continue;
            if (type == XCB_KEY_PRESS) {
                // Delivered after the filter returns: the handler may show windows or open a
                // dialog, and may release this very hotkey.
                const int id = it.key();
                QMetaObject::invokeMethod(
                    &m_context,
                    [this, id] {
                        if (m_grabs.contains(id))
                            m_owner.notifyActivated(id);
                    },
                    Qt::QueuedConnection);
            }
            return true;
        }
        return false;
    }

    // Reads the keyboard map's modifier bits once a display is known.
    void attach(Display* display)
    {
        m_display = display;
        m_root = DefaultRootWindow(display);
        m_numLock = ModifierOf(display, XK_Num_Lock);
        if (m_numLock == 0)
            m_numLock = Mod2Mask;
        m_scrollLock = ModifierOf(display, XK_Scroll_Lock);
        m_alt = ModifierOf(display, XK_Alt_L);
        if (m_alt == 0 || m_alt == m_numLock)
            m_alt = Mod1Mask;
        m_super = ModifierOf(display, XK_Super_L);
        if (m_super == 0 || m_super == m_numLock)
            m_super = Mod4Mask;
        if (m_scrollLock == m_numLock || m_scrollLock == m_alt || m_scrollLock == m_super)
            m_scrollLock = 0;
        m_lockMask = LockMask | m_numLock | m_scrollLock;
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    unsigned modifiersFor(Qt::KeyboardModifiers modifiers) const
    {
        unsigned mask = 0;
        if (modifiers & Qt::ShiftModifier)
            mask |= ShiftMask;
        if (modifiers & Qt::ControlModifier)
            mask |= ControlMask;
        if (modifiers & Qt::AltModifier)
            mask |= m_alt;
        if (modifiers & Qt::MetaModifier)
            mask |= m_super;
        return mask;
    }

    // The hotkey's modifiers together with every combination of the lock modifiers.
    QList<unsigned> variants(unsigned modifiers) const
    {
        QList<unsigned> locks;
        for (const unsigned lock : {unsigned(LockMask), m_numLock, m_scrollLock}) {
            if (lock != 0 && !locks.contains(lock) && (lock & modifiers) == 0)
                locks.append(lock);
        }
        QList<unsigned> result;
        for (unsigned subset = 0; subset < (1u << locks.size()); ++subset) {
            unsigned mask = modifiers;
            for (int i = 0; i < locks.size(); ++i) {
                if (subset & (1u << i))
                    mask |= locks[i];
            }
            result.append(mask);
        }
        return result;
    }

    void ungrab(const TGrab& grab)
    {
        const QList<unsigned> masks = variants(grab.modifiers);
        CountErrors(m_display, [&] {
            for (const unsigned mask : masks)
                XUngrabKey(m_display, int(grab.keyCode), mask, m_root);
        });
    }

    X11HotKeyGrabber& m_owner;
    QObject m_context; // receiver of the queued notifications; they die with it
    Display* m_display = nullptr;
    Window m_root = 0;
    unsigned m_numLock = 0;
    unsigned m_scrollLock = 0;
    unsigned m_alt = 0;
    unsigned m_super = 0;
    unsigned m_lockMask = LockMask;
    QHash<int, TGrab> m_grabs;
};

X11HotKeyGrabber::X11HotKeyGrabber() : d(std::make_unique<TPrivate>(*this))
{
    if (Display* display = QtDisplay())
        d->attach(display);
}

X11HotKeyGrabber::~X11HotKeyGrabber()
{
    if (!d->m_display)
        return;
    for (const TGrab& grab : std::as_const(d->m_grabs)) {
        d->ungrab(grab);
        GrabsOfProcess().remove(grab);
    }
    d->m_grabs.clear();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(d.get());
}

bool X11HotKeyGrabber::isAvailable()
{
    return QtDisplay() != nullptr;
}

unsigned long X11HotKeyGrabber::keySymFor(QKeyCombination key)
{
    const Qt::Key k = key.key();
    if (key.keyboardModifiers() & Qt::KeypadModifier) {
        if (k >= Qt::Key_0 && k <= Qt::Key_9)
            return XK_KP_0 + (k - Qt::Key_0);
        for (const TKeyPair& pair : kKeypadKeys) {
            if (pair.key == k)
                return pair.sym;
        }
    }
    if (k >= Qt::Key_A && k <= Qt::Key_Z)
        return XK_a + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9)
        return XK_0 + (k - Qt::Key_0);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F35)
        return XK_F1 + (k - Qt::Key_F1);
    for (const TKeyPair& pair : kNamedKeys) {
        if (pair.key == k)
            return pair.sym;
    }
    return 0;
}

bool X11HotKeyGrabber::registerHotKey(int id, QKeyCombination key)
{
    unregisterHotKey(id);
    Display* display = d->m_display;
    if (!display)
        return false;
    const KeySym sym = keySymFor(key);
    if (sym == 0)
        return false;
    TGrab grab;
    grab.keyCode = XKeysymToKeycode(display, sym);
    if (grab.keyCode == 0)
        return false;
    grab.modifiers = d->modifiersFor(key.keyboardModifiers());
    if (GrabsOfProcess().contains(grab))
        return false;
    const QList<unsigned> masks = d->variants(grab.modifiers);
    // BadAccess: another client holds one of the combinations.
    const int errors = CountErrors(display, [&] {
        for (const unsigned mask : masks)
            XGrabKey(display, int(grab.keyCode), mask, d->m_root, False, GrabModeAsync, GrabModeAsync);
    });
    if (errors > 0) {
        // Drop the variants that did succeed; XUngrabKey leaves other clients' grabs alone.
        d->ungrab(grab);
        return false;
    }
    d->m_grabs.insert(id, grab);
    GrabsOfProcess().insert(grab);
    return true;
}

void X11HotKeyGrabber::unregisterHotKey(int id)
{
    const auto it = d->m_grabs.constFind(id);
    if (it == d->m_grabs.cend())
        return;
    const TGrab grab = *it;
    d->m_grabs.erase(it);
    d->ungrab(grab);
    GrabsOfProcess().remove(grab);
}
