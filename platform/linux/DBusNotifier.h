#pragma once

#include "platform/Notifier.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>

#include <optional>

class QDBusPendingCallWatcher;
class QDBusVariant;

// org.freedesktop.Notifications on the session bus. Nothing waits for the
// server: its capabilities are asked when it is joined and whenever another server
// takes over, a notification posted before the answer waits for it, and a
// handle is ours at once and learns the server's number from the reply.
// Signals of other programs' notifications are not ours to act on.
class DBusNotifier final : public QObject, public Notifier
{
    Q_OBJECT
public:
    // On the session bus, joined at start() or at the first use, whichever
    // comes first: the program's start does not wait for the bus.
    explicit DBusNotifier(QObject *parent = nullptr);
    // On `bus`, at once.
    explicit DBusNotifier(QDBusConnection bus, QString appIcon = QStringLiteral("quillory"),
        QString desktopEntry = QStringLiteral("quillory"), QObject *parent = nullptr);
    // Withdraws what is still shown: the next run posts what is still unanswered.
    ~DBusNotifier() override;

    void start();

    bool available() override;
    QStringList capabilities() override;
    Handle notify(const Notice &notice) override;
    void close(Handle handle) override;
    bool inhibited() const override { return m_inhibited; }

    void setOnActionInvoked(std::function<void(Handle, const QString &)> callback) override
    {
        m_onAction = std::move(callback);
    }
    void setOnClosed(std::function<void(Handle, CloseReason)> callback) override
    {
        m_onClosed = std::move(callback);
    }
    void setOnInhibitedChanged(std::function<void(bool)> callback) override
    {
        m_onInhibited = std::move(callback);
    }

private slots:
    void actionInvoked(uint id, const QString &key);
    void notificationClosed(uint id, uint reason);
    void propertiesChanged(
        const QString &interface, const QVariantMap &changed, const QStringList &invalidated);
    void serverChanged(const QString &name, const QString &oldOwner, const QString &newOwner);

private:
    void askCapabilities();
    void askInhibited();
    void setInhibited(bool inhibited);
    void send(Handle handle, const Notice &notice);
    void posted(Handle handle, QDBusPendingCallWatcher *watcher);
    void closeOnServer(uint id);

    QDBusConnection m_bus;
    QString m_appIcon;
    QString m_desktopEntry;
    bool m_onSessionBus = false;
    bool m_started = false;
    std::optional<QStringList> m_capabilities; // none: not answered yet
    QList<QPair<Handle, Notice>> m_waiting; // posted before the capabilities came
    bool m_inhibited = false;
    bool m_paused = false; // dunst's own do-not-disturb
    bool m_inhibitedFlag = false; // the Inhibited property, where the server has it
    Handle m_lastHandle = 0;
    QHash<Handle, uint> m_serverIds;
    QHash<uint, Handle> m_handles;
    QSet<Handle> m_inFlight; // posted, the server's number not yet known
    QSet<Handle> m_closedEarly; // withdrawn before the server answered
    std::function<void(Handle, const QString &)> m_onAction;
    std::function<void(Handle, CloseReason)> m_onClosed;
    std::function<void(bool)> m_onInhibited;
};
