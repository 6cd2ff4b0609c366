#include "platform/linux/DBusNotifier.h"

#include "platform/Logging.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <utility>

namespace {
constexpr const char *kService = "org.freedesktop.Notifications";
constexpr const char *kPath = "/org/freedesktop/Notifications";
constexpr const char *kInterface = "org.freedesktop.Notifications";
constexpr const char *kProperties = "org.freedesktop.DBus.Properties";
// dunst keeps its do-not-disturb ("paused") on an interface of its own.
constexpr const char *kDunstInterface = "org.dunstproject.cmd0";
// A server that does not answer in this time is taken as none.
constexpr int kAskTimeoutMs = 2000;
// Urgency "critical": the notification stays until it is answered.
constexpr uchar kCritical = 2;

QDBusMessage call(const char *interface, const QString &method)
{
    return QDBusMessage::createMethodCall(
        QLatin1String(kService), QLatin1String(kPath), QLatin1String(interface), method);
}

QString escapedMarkup(const QString &text)
{
    return text.toHtmlEscaped();
}
} // namespace

DBusNotifier::DBusNotifier(QObject *parent)
    : QObject(parent)
    , m_bus(QString())
    , m_appIcon(QStringLiteral("quillory"))
    , m_desktopEntry(QStringLiteral("quillory"))
    , m_onSessionBus(true)
{ }

DBusNotifier::DBusNotifier(
    QDBusConnection bus, QString appIcon, QString desktopEntry, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_appIcon(std::move(appIcon))
    , m_desktopEntry(std::move(desktopEntry))
{
    start();
}

void DBusNotifier::start()
{
    if (m_started)
        return;
    m_started = true;
    if (m_onSessionBus)
        m_bus = QDBusConnection::sessionBus();
    if (!m_bus.isConnected()) {
        qCInfo(lcPlatform) << "no session bus; no desktop notifications";
        return;
    }
    // Matched by the well-known name, so a server started later is heard too.
    const QString service = QLatin1String(kService);
    const QString path = QLatin1String(kPath);
    m_bus.connect(service, path, QLatin1String(kInterface), QStringLiteral("ActionInvoked"), this,
        SLOT(actionInvoked(uint, QString)));
    m_bus.connect(service, path, QLatin1String(kInterface), QStringLiteral("NotificationClosed"),
        this, SLOT(notificationClosed(uint, uint)));
    m_bus.connect(service, path, QLatin1String(kProperties), QStringLiteral("PropertiesChanged"),
        this, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    auto *watcher
        = new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &DBusNotifier::serverChanged);
    // Asked at once, so a server started on demand is up before the first
    // announcement.
    askCapabilities();
    askInhibited();
}

DBusNotifier::~DBusNotifier()
{
    // Waited for, briefly: a message merely queued dies with the process.
    for (const uint id : std::as_const(m_serverIds)) {
        QDBusMessage message = call(kInterface, QStringLiteral("CloseNotification"));
        message << id;
        m_bus.call(message, QDBus::Block, 500);
    }
}

void DBusNotifier::askCapabilities()
{
    m_capabilities.reset();
    auto *watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(call(kInterface, QStringLiteral("GetCapabilities")), kAskTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            qCInfo(lcPlatform).noquote() << "no notification server:" << reply.error().message();
            m_capabilities = QStringList {};
        } else {
            m_capabilities = reply.value();
            qCInfo(lcPlatform) << "notification server offers" << *m_capabilities;
        }
        for (const auto &[handle, notice] : std::exchange(m_waiting, {}))
            send(handle, notice);
    });
}

void DBusNotifier::askInhibited()
{
    const auto ask = [this](const char *interface, const char *property, bool *into) {
        QDBusMessage get = call(kProperties, QStringLiteral("Get"));
        get << QLatin1String(interface) << QLatin1String(property);
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get, kAskTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, into](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *w;
                // A server without the property has no do-not-disturb to tell.
                if (reply.isError())
                    return;
                *into = reply.value().variant().toBool();
                setInhibited(m_inhibitedFlag || m_paused);
            });
    };
    ask(kInterface, "Inhibited", &m_inhibitedFlag);
    ask(kDunstInterface, "paused", &m_paused);
}

void DBusNotifier::setInhibited(bool inhibited)
{
    if (inhibited == m_inhibited)
        return;
    m_inhibited = inhibited;
    qCInfo(lcPlatform) << "desktop do-not-disturb" << (inhibited ? "on" : "off");
    if (m_onInhibited)
        m_onInhibited(inhibited);
}

bool DBusNotifier::available()
{
    start();
    return !capabilities().isEmpty();
}

QStringList DBusNotifier::capabilities()
{
    start();
    return m_capabilities.value_or(QStringList {});
}

Notifier::Handle DBusNotifier::notify(const Notice &notice)
{
    start();
    if (!m_bus.isConnected() || (m_capabilities && m_capabilities->isEmpty()))
        return 0;
    const Handle handle = ++m_lastHandle;
    m_inFlight.insert(handle);
    if (m_capabilities)
        send(handle, notice);
    else
        m_waiting.append({ handle, notice });
    return handle;
}

void DBusNotifier::send(Handle handle, const Notice &notice)
{
    const QStringList offered = capabilities();
    if (offered.isEmpty() || m_closedEarly.remove(handle)) {
        m_inFlight.remove(handle);
        return;
    }
    QStringList actions;
    if (offered.contains(QLatin1String("actions"))) {
        for (const Action &action : notice.actions)
            actions << action.key << action.label;
    }
    const bool markup = offered.contains(QLatin1String("body-markup"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), m_desktopEntry);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kCritical));
    QDBusMessage message = call(kInterface, QStringLiteral("Notify"));
    message << QStringLiteral("Quillory") << uint(0) << m_appIcon << notice.summary
            << (markup ? escapedMarkup(notice.body) : notice.body) << actions << hints
            << int(0); // never expires on its own
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, kAskTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, handle](QDBusPendingCallWatcher *w) { posted(handle, w); });
}

void DBusNotifier::posted(Handle handle, QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    m_inFlight.remove(handle);
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        qCWarning(lcPlatform).noquote() << "notification not posted:" << reply.error().message();
        m_closedEarly.remove(handle);
        return;
    }
    const uint id = reply.value();
    qCDebug(lcPlatform) << "notification" << handle << "posted as" << id;
    if (m_closedEarly.remove(handle)) {
        closeOnServer(id);
        return;
    }
    m_serverIds.insert(handle, id);
    m_handles.insert(id, handle);
}

void DBusNotifier::close(Handle handle)
{
    start();
    if (handle == 0 || handle > m_lastHandle)
        return;
    const auto it = m_serverIds.constFind(handle);
    if (it == m_serverIds.cend()) {
        // Not answered yet: withdrawn the moment it is; gone already: nothing.
        if (m_inFlight.contains(handle))
            m_closedEarly.insert(handle);
        return;
    }
    closeOnServer(it.value());
}

void DBusNotifier::closeOnServer(uint id)
{
    QDBusMessage message = call(kInterface, QStringLiteral("CloseNotification"));
    message << id;
    m_bus.asyncCall(message, kAskTimeoutMs);
}

void DBusNotifier::actionInvoked(uint id, const QString &key)
{
    const auto it = m_handles.constFind(id);
    if (it == m_handles.cend())
        return; // another program's notification
    qCInfo(lcPlatform).noquote() << "notification" << it.value() << "answered with" << key;
    if (m_onAction)
        m_onAction(it.value(), key);
}

void DBusNotifier::notificationClosed(uint id, uint reason)
{
    const auto it = m_handles.constFind(id);
    if (it == m_handles.cend())
        return;
    const Handle handle = it.value();
    m_handles.erase(it);
    m_serverIds.remove(handle);
    CloseReason why = CloseReason::Other;
    if (reason == 1)
        why = CloseReason::Expired;
    else if (reason == 2)
        why = CloseReason::Dismissed;
    else if (reason == 3)
        why = CloseReason::Withdrawn;
    qCDebug(lcPlatform) << "notification" << handle << "closed, reason" << reason;
    if (m_onClosed)
        m_onClosed(handle, why);
}

void DBusNotifier::propertiesChanged(
    const QString &interface, const QVariantMap &changed, const QStringList &invalidated)
{
    Q_UNUSED(invalidated);
    if (interface == QLatin1String(kInterface) && changed.contains(QStringLiteral("Inhibited")))
        m_inhibitedFlag = changed.value(QStringLiteral("Inhibited")).toBool();
    else if (interface == QLatin1String(kDunstInterface)
        && changed.contains(QStringLiteral("paused")))
        m_paused = changed.value(QStringLiteral("paused")).toBool();
    else
        return;
    setInhibited(m_inhibitedFlag || m_paused);
}

void DBusNotifier::serverChanged(
    const QString &name, const QString &oldOwner, const QString &newOwner)
{
    Q_UNUSED(name);
    Q_UNUSED(oldOwner);
    // Another server knows nothing of the last one's notifications.
    qCInfo(lcPlatform) << "notification server" << (newOwner.isEmpty() ? "gone" : "changed");
    m_serverIds.clear();
    m_handles.clear();
    m_closedEarly.clear();
    m_inFlight.clear();
    m_inhibitedFlag = false;
    m_paused = false;
    setInhibited(false);
    if (newOwner.isEmpty())
        m_capabilities = QStringList {};
    else {
        askCapabilities();
        askInhibited();
    }
}
