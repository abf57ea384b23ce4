#pragma once

#include <QString>

// What the settings dialog needs of the window around it: the global hotkey, which must not
// toggle the window while a new one is typed into the dialog, and what the desktop made of it.
class ISettingsHost
{
public:
    virtual ~ISettingsHost() = default;
    // Switches every global hotkey off (false) or on again (true).
    virtual void enableHotKeys(bool on) = 0;
    // Whether the window system took the hotkey (asked once the hotkeys are on again).
    virtual bool hotKeyRegistered() = 0;
    // The key the desktop granted the hotkey where it chose one itself (empty otherwise).
    virtual QString grantedHotKey() = 0;
    // Whether a key of the compositor bound to the toggle command is the way to the window (a
    // Wayland session), which the hotkey page then explains.
    virtual bool compositorKeys() = 0;
};
