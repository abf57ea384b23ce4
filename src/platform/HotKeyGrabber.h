#pragma once

#include <QKeyCombination>
#include <QString>

#include <functional>

// System-wide hotkeys: key combinations that reach the program whichever window has the input
// focus. One grabber serves one owner, which picks the ids.
class IHotKeyGrabber
{
public:
    using ActivationHandler = std::function<void(int id)>;

    virtual ~IHotKeyGrabber() = default;

    // Takes key for id. key is a Qt key (with Qt::KeypadModifier for a key of the numeric keypad)
    // and the modifiers Shift, Control, Alt and Meta (the Windows or Super key). An id in use is
    // released first. False when the window system offers no global hotkeys, the keyboard has no
    // such key, the combination is already taken in this program, or another program holds it.
    virtual bool registerHotKey(int id, QKeyCombination key) = 0;
    // Releases id; an id that is not registered is ignored.
    virtual void unregisterHotKey(int id) = 0;

    // The key the desktop actually granted for id, in the desktop's own words ("Ctrl+Alt+J"),
    // where the desktop chooses it (a portal may ask the user); empty where the key asked for is
    // the key that works, or while nothing is known yet.
    virtual QString grantedTrigger(int id) const
    {
        Q_UNUSED(id);
        return {};
    }

    // handler runs on the GUI thread with the id of a registered hotkey that was pressed.
    void setActivationHandler(ActivationHandler handler) { m_handler = std::move(handler); }

protected:
    void notifyActivated(int id) const
    {
        if (m_handler)
            m_handler(id);
    }

private:
    ActivationHandler m_handler;
};
