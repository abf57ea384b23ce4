#include "platform/linux/PortalHotKeyGrabber.h"

#include "platform/linux/X11HotKeyGrabber.h"

#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QRandomGenerator>

// Xlib last: its macros clash with Qt's names. Only the keysym names are needed, no display.
#include <X11/Xlib.h>

using namespace Qt::StringLiterals;

namespace {

const QString kService = u"org.freedesktop.portal.Desktop"_s;
const QString kPath = u"/org/freedesktop/portal/desktop"_s;
const QString kShortcuts = u"org.freedesktop.portal.GlobalShortcuts"_s;
const QString kRequest = u"org.freedesktop.portal.Request"_s;

// One shortcut as the portal takes and gives it: (id, {description, preferred_trigger, ...}).
struct TPortalShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const TPortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TPortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(TPortalShortcut)

PortalHotKeyGrabber::PortalHotKeyGrabber(QDBusConnection bus, QString name, QString description,
                                         std::unique_ptr<IHotKeyGrabber> fallback)
    : m_bus(std::move(bus)), m_name(std::move(name)), m_description(std::move(description)),
      m_fallback(std::move(fallback))
{
    qDBusRegisterMetaType<TPortalShortcut>();
    qDBusRegisterMetaType<QList<TPortalShortcut>>();
    if (m_fallback)
        m_fallback->setActivationHandler([this](int id) {
            if (m_active.contains(id))
                notifyActivated(id);
        });
    if (!m_bus.isConnected()) {
        m_state = TState::Failed;
        return;
    }
    m_bus.connect(kService, kPath, kShortcuts, u"Activated"_s, this, SLOT(activated(QDBusMessage)));
    m_bus.connect(kService, kPath, kShortcuts, u"ShortcutsChanged"_s, this,
                  SLOT(shortcutsChanged(QDBusMessage)));
    QVariantMap options;
    options.insert(u"session_handle_token"_s,
                   u"jotvane_%1"_s.arg(QRandomGenerator::global()->generate() & 0xFFFFFF, 0, 16));
    request(TRequest::CreateSession, u"CreateSession"_s, {}, options);
}

PortalHotKeyGrabber::~PortalHotKeyGrabber()
{
    if (m_state == TState::Ready)
        m_bus.asyncCall(QDBusMessage::createMethodCall(kService, m_session.path(),
                                                       u"org.freedesktop.portal.Session"_s, u"Close"_s));
}

QString PortalHotKeyGrabber::triggerFor(QKeyCombination key)
{
    const unsigned long sym = X11HotKeyGrabber::keySymFor(key);
    const char* name = sym ? XKeysymToString(KeySym(sym)) : nullptr;
    if (!name)
        return {};
    QString trigger;
    const Qt::KeyboardModifiers modifiers = key.keyboardModifiers();
    if (modifiers & Qt::ControlModifier)
        trigger += u"CTRL+"_s;
    if (modifiers & Qt::AltModifier)
        trigger += u"ALT+"_s;
    if (modifiers & Qt::ShiftModifier)
        trigger += u"SHIFT+"_s;
    if (modifiers & Qt::MetaModifier)
        trigger += u"LOGO+"_s;
    return trigger + QString::fromLatin1(name);
}

bool PortalHotKeyGrabber::registerHotKey(int id, QKeyCombination key)
{
    if (triggerFor(key).isEmpty())
        return false;
    m_wanted.insert(id, key);
    m_active.insert(id);
    switch (m_state) {
    case TState::Failed:
        return m_fallback && m_fallback->registerHotKey(id, key);
    case TState::Creating:
        // Meanwhile the old way, where there is one; the portal takes over once it answers.
        if (m_fallback)
            m_fallback->registerHotKey(id, key);
        return true;
    case TState::Ready:
        if (m_bound.value(id) != key) {
            if (m_fallback)
                m_fallback->registerHotKey(id, key);
            bind();
        }
        return true;
    }
    return false;
}

void PortalHotKeyGrabber::unregisterHotKey(int id)
{
    // The portal keeps the binding (asking the user again each time would be a nuisance); its
    // presses are ignored while the id is not registered.
    m_active.remove(id);
    if (m_fallback)
        m_fallback->unregisterHotKey(id);
}

QString PortalHotKeyGrabber::grantedTrigger(int id) const
{
    return m_granted.value(id);
}

void PortalHotKeyGrabber::request(TRequest kind, const QString& method, QList<QVariant> arguments,
                                  QVariantMap options)
{
    // The request object's path is known before the call, so the answer cannot slip past.
    const QString token =
        u"jotvane%1_%2"_s.arg(++m_tokens).arg(QRandomGenerator::global()->generate() & 0xFFFF);
    options.insert(u"handle_token"_s, token);
    QString sender = m_bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    watchRequest(kPath + u"/request/"_s + sender + u'/' + token);
    m_pending = kind;
    arguments.append(options);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kShortcuts, method);
    call.setArguments(arguments);
    QDBusPendingCallWatcher* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, kind](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusReply<QDBusObjectPath> reply = *w;
        if (m_pending != kind)
            return;
        if (!reply.isValid()) {
            fail();
            return;
        }
        // An older portal picks its own path.
        if (reply.value().path() != m_requestPath)
            watchRequest(reply.value().path());
    });
}

void PortalHotKeyGrabber::watchRequest(const QString& path)
{
    if (!m_requestPath.isEmpty())
        m_bus.disconnect(kService, m_requestPath, kRequest, u"Response"_s, this,
                         SLOT(response(QDBusMessage)));
    m_requestPath = path;
    m_bus.connect(kService, m_requestPath, kRequest, u"Response"_s, this, SLOT(response(QDBusMessage)));
}

void PortalHotKeyGrabber::response(const QDBusMessage& message)
{
    if (message.path() != m_requestPath || message.arguments().size() < 2)
        return;
    const uint code = message.arguments().at(0).toUInt();
    const QVariantMap results = qdbus_cast<QVariantMap>(message.arguments().at(1));
    const TRequest kind = m_pending;
    m_pending = TRequest::Idle;
    if (kind == TRequest::CreateSession)
        sessionCreated(code, results);
    else if (kind == TRequest::BindShortcuts)
        shortcutsBound(code, results);
}

void PortalHotKeyGrabber::sessionCreated(uint code, const QVariantMap& results)
{
    const QString session = results.value(u"session_handle"_s).toString();
    if (code != 0 || session.isEmpty()) {
        fail();
        return;
    }
    m_session = QDBusObjectPath(session);
    m_state = TState::Ready;
    if (!m_wanted.isEmpty())
        bind();
}

void PortalHotKeyGrabber::bind()
{
    if (m_pending != TRequest::Idle) {
        m_bindAgain = true;
        return;
    }
    m_bindAgain = false;
    QList<TPortalShortcut> shortcuts;
    for (auto it = m_wanted.cbegin(); it != m_wanted.cend(); ++it) {
        QVariantMap properties;
        properties.insert(u"description"_s, m_wanted.size() > 1
                                                ? m_description + u' ' + QString::number(it.key())
                                                : m_description);
        properties.insert(u"preferred_trigger"_s, triggerFor(it.value()));
        shortcuts.append({shortcutId(it.key()), properties});
    }
    request(TRequest::BindShortcuts, u"BindShortcuts"_s,
            {QVariant::fromValue(m_session), QVariant::fromValue(shortcuts), QString()}, {});
}

void PortalHotKeyGrabber::shortcutsBound(uint code, const QVariantMap& results)
{
    if (code == 0) {
        const QHash<int, QKeyCombination> sent = m_wanted;
        m_bound = sent;
        if (results.contains(u"shortcuts"_s))
            takeShortcuts(qvariant_cast<QDBusArgument>(results.value(u"shortcuts"_s)));
        // The portal has them now: the old way lets go, so that no press counts twice.
        if (m_fallback)
            for (auto it = sent.cbegin(); it != sent.cend(); ++it)
                m_fallback->unregisterHotKey(it.key());
    }
    // Refused or cancelled: the fallback grabs stay as they are.
    if (m_bindAgain)
        bind();
    else
        emit portalSettled();
}

void PortalHotKeyGrabber::fail()
{
    m_state = TState::Failed;
    m_pending = TRequest::Idle;
    if (m_fallback)
        for (int id : std::as_const(m_active))
            m_fallback->registerHotKey(id, m_wanted.value(id));
    emit portalSettled();
}

void PortalHotKeyGrabber::takeShortcuts(const QDBusArgument& argument)
{
    const QList<TPortalShortcut> shortcuts = qdbus_cast<QList<TPortalShortcut>>(argument);
    for (const TPortalShortcut& shortcut : shortcuts) {
        for (auto it = m_wanted.cbegin(); it != m_wanted.cend(); ++it) {
            if (shortcutId(it.key()) == shortcut.id)
                m_granted.insert(it.key(), shortcut.properties.value(u"trigger_description"_s).toString());
        }
    }
}

void PortalHotKeyGrabber::activated(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || m_state != TState::Ready)
        return;
    if (qvariant_cast<QDBusObjectPath>(arguments.at(0)) != m_session)
        return;
    const QString shortcut = arguments.at(1).toString();
    for (int id : std::as_const(m_active)) {
        if (shortcutId(id) == shortcut) {
            notifyActivated(id);
            return;
        }
    }
}

void PortalHotKeyGrabber::shortcutsChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || qvariant_cast<QDBusObjectPath>(arguments.at(0)) != m_session)
        return;
    takeShortcuts(qvariant_cast<QDBusArgument>(arguments.at(1)));
}
