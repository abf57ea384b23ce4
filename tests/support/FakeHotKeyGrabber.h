#pragma once

#include "platform/HotKeyGrabber.h"

#include <QMap>
#include <QSet>
#include <QStringList>

// A recording stand-in for tests: nothing reaches the window system. Registrations succeed unless
// their combination is marked taken (by "another program") or already used under another id.
class FakeHotKeyGrabber final : public IHotKeyGrabber
{
public:
    bool registerHotKey(int id, QKeyCombination key) override;
    void unregisterHotKey(int id) override;

    // Simulates a key press: notifies when id is registered, answers whether it did.
    bool press(int id) const;
    bool isRegistered(int id) const { return registered.contains(id); }

    // The current registrations by id.
    QMap<int, QKeyCombination> registered;
    // Combinations that another program holds.
    QSet<int> taken;
    // "+<id>:<key>" for every successful registration, "!<id>:<key>" for a refused one,
    // "-<id>" for every release of a registered id; key as QKeySequence's portable text.
    QStringList calls;
};
