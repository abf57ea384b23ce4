#pragma once

#include "core/Error.h"
#include "platform/VirtualKeys.h"

#include <QObject>
#include <QString>

#include <memory>
#include <stdexcept>
#include <vector>

class IHotKeyGrabber;
class THotKeys;
class TSysHotKey;

class ESysHotKeyError : public EJotvaneError
{
public:
    using EJotvaneError::EJotvaneError;
};

// One hotkey of a TSysHotKey. Its id with the window system is its index in the collection.
class THotKeyItem final : public QObject
{
    Q_OBJECT
public:
    // Unregisters the hotkey.
    ~THotKeyItem() override;
    Q_DISABLE_COPY_MOVE(THotKeyItem)

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    THotKeyModifiers Modifiers() const { return m_modifiers; }
    void SetModifiers(THotKeyModifiers modifiers);
    TVirtualKey VirtualKey() const { return m_key; }
    // vkNone also switches the item off.
    void SetVirtualKey(TVirtualKey key);
    // Key and modifiers at once, with a single registration of the new combination (setting them one
    // after the other would hold the bare key, or the old modifiers, for a moment).
    void SetHotKey(TVirtualKey key, THotKeyModifiers modifiers);

    // True while the window system delivers the hotkey; false when it refused the combination.
    bool Registered() const { return m_registered; }
    int Index() const;
    // "ShiftControl_F1", "Alt_D", "None": the modifiers present, then "_" and the key's name.
    QString DisplayName() const;

signals:
    void OnHotKey(TSysHotKey* sender);

private:
    friend class THotKeys;
    friend class TSysHotKey;
    explicit THotKeyItem(THotKeys& collection);
    void Change(TVirtualKey key, THotKeyModifiers modifiers);
    void Register();
    void Unregister();

    THotKeys& m_collection;
    bool m_enabled = true;
    THotKeyModifiers m_modifiers;
    TVirtualKey m_key = vkNone;
    bool m_registered = false;
    int m_registeredId = -1; // the index the window system knows the item by
};

// The hotkeys of one TSysHotKey, in index order.
class THotKeys final
{
public:
    ~THotKeys();
    Q_DISABLE_COPY_MOVE(THotKeys)

    int Count() const { return int(m_items.size()); }
    // nullptr for an index outside the collection.
    THotKeyItem* Items(int index) const;
    // A new item at the end: enabled, no modifiers, vkNone (so not registered yet).
    THotKeyItem* Add();
    // Destroys the item; the later items move down and are registered again under their new index.
    void Delete(int index);
    void Clear();
    int IndexOf(const THotKeyItem* item) const;
    TSysHotKey& Owner() const { return m_owner; }

private:
    friend class TSysHotKey;
    explicit THotKeys(TSysHotKey& owner);

    TSysHotKey& m_owner;
    std::vector<std::unique_ptr<THotKeyItem>> m_items;
};

// System-wide hotkeys of a window. The grabber carries the registrations to the window system and
// serves this component alone.
class TSysHotKey final : public QObject
{
    Q_OBJECT
public:
    // Throws ESysHotKeyError without an owner or when owner already has a TSysHotKey. grabber must
    // outlive the component, which its owner destroys after the owner's own members are gone.
    TSysHotKey(QObject* owner, IHotKeyGrabber& grabber);
    // The same with a grabber of its own, released after the items.
    TSysHotKey(QObject* owner, std::unique_ptr<IHotKeyGrabber> grabber);
    // Unregisters and destroys the items.
    ~TSysHotKey() override;
    Q_DISABLE_COPY_MOVE(TSysHotKey)

    THotKeys& HotKeys() { return *m_hotKeys; }
    const THotKeys& HotKeys() const { return *m_hotKeys; }
    // Set Enabled on every item, in index order.
    void EnableAll();
    void DisableAll();

    IHotKeyGrabber& grabber() const { return m_grabber; }

signals:
    // After the item's own OnHotKey.
    void OnHotKeys(TSysHotKey* sender, int index);

private:
    void Attach(QObject* owner);
    void HotKeyMessage(int id);

    std::unique_ptr<IHotKeyGrabber> m_ownedGrabber;
    IHotKeyGrabber& m_grabber;
    std::unique_ptr<THotKeys> m_hotKeys;
};
