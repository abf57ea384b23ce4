#pragma once

#include "platform/HotKeyGrabber.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <memory>

// Global hotkeys through the desktop portal (org.freedesktop.portal.GlobalShortcuts), where the
// compositor owns the keyboard (Wayland): one portal session for the grabber, every hotkey bound
// as a shortcut with the configured key as its preferred trigger, presses reported by the
// portal's Activated signal. The desktop decides which key it grants (it may ask the user); that
// key is what grantedTrigger tells.
//
// The portal answers later than registerHotKey returns: until a binding is confirmed, and for
// good when there is no such portal or it refuses, the fallback grabber (X11 grabs through
// Xwayland) serves the hotkeys, so that they are never bound twice at once.
class PortalHotKeyGrabber final : public QObject, public IHotKeyGrabber
{
    Q_OBJECT
public:
    // name: the shortcuts' ids with the portal, "<name>-<id>", the same at every start so that
    // the desktop remembers the user's choice; description: what the desktop shows for them.
    PortalHotKeyGrabber(QDBusConnection bus, QString name, QString description,
                        std::unique_ptr<IHotKeyGrabber> fallback);
    ~PortalHotKeyGrabber() override;
    Q_DISABLE_COPY_MOVE(PortalHotKeyGrabber)

    bool registerHotKey(int id, QKeyCombination key) override;
    void unregisterHotKey(int id) override;
    QString grantedTrigger(int id) const override;

    // The portal's session is open and the hotkeys go through it.
    bool portalActive() const { return m_state == TState::Ready; }
    // A key in the shortcuts' trigger notation ("CTRL+ALT+d"); empty for a key it cannot name.
    static QString triggerFor(QKeyCombination key);

signals:
    // The portal confirmed a binding, or it is out of the game (no portal, refused).
    void portalSettled();

private slots:
    // The portal's signals, whole messages: their arguments are of types of the portal's own.
    void response(const QDBusMessage& message);
    void activated(const QDBusMessage& message);
    void shortcutsChanged(const QDBusMessage& message);

private:
    enum class TState
    {
        Creating,
        Ready,
        Failed
    };
    enum class TRequest
    {
        Idle,
        CreateSession,
        BindShortcuts
    };
    // Calls a portal method whose outcome comes as a Response on a request object; a call that
    // fails outright puts the portal out of the game.
    void request(TRequest kind, const QString& method, QList<QVariant> arguments, QVariantMap options);
    void watchRequest(const QString& path);
    void sessionCreated(uint code, const QVariantMap& results);
    void shortcutsBound(uint code, const QVariantMap& results);
    void bind();
    void fail();
    void takeShortcuts(const QDBusArgument& shortcuts);
    QString shortcutId(int id) const { return m_name + u'-' + QString::number(id); }

    QDBusConnection m_bus;
    QString m_name;
    QString m_description;
    std::unique_ptr<IHotKeyGrabber> m_fallback;
    TState m_state = TState::Creating;
    QDBusObjectPath m_session;
    TRequest m_pending = TRequest::Idle;
    QString m_requestPath;                // the request whose Response is awaited
    bool m_bindAgain = false;             // the keys changed while a binding was under way
    QHash<int, QKeyCombination> m_wanted; // every id registered, with its key
    QHash<int, QKeyCombination> m_bound;  // what the portal confirmed
    QSet<int> m_active;                   // registered now (the portal keeps unregistered ones bound)
    QHash<int, QString> m_granted;
    int m_tokens = 0;
};
