#pragma once

#include "platform/CalendarLink.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDateTime>
#include <QObject>
#include <QVariantMap>

#include <functional>

// The calendar on the session bus: org.quillory.Calendar1 at
// /org/quillory/Calendar under the name org.quillory.Calendar
// (docs/DBUS.md, docs/org.quillory.Calendar1.xml).
namespace calendarbus {
inline constexpr const char *kService = "org.quillory.Calendar";
inline constexpr const char *kPath = "/org/quillory/Calendar";
inline constexpr const char *kInterface = "org.quillory.Calendar1";
inline constexpr const char *kRefused = "org.quillory.Calendar1.Error.Refused";
// A call that long without an answer is given up.
inline constexpr int kCallTimeoutMs = 10000;
} // namespace calendarbus

// The calendar's side: each call works on the data file by the manager's
// rules and answers at once; the calendar catches up with a change after
// the answer, so a call never waits on what the calendar shows.
class CalendarBusService final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quillory.Calendar1")
public:
    struct Host
    {
        QString dataFile;
        std::function<QDateTime()> now;
        // The data file changed through the bus.
        std::function<void()> changed;
        // Bring the calendar forward.
        std::function<void()> show;
    };

    explicit CalendarBusService(Host host, QObject *parent = nullptr);
    // Exports the object and takes the name; false (logged) when the bus
    // or the name is not to be had: the calendar runs on without it.
    bool publish(QDBusConnection connection);

public slots:
    QString Add(const QString &minute, const QString &repeat, bool confirm, bool earlyWarning,
        const QString &message);
    QList<QVariantMap> List(const QString &from, const QString &to);
    QVariantMap Next();
    QString Remove(const QString &minute);
    void Show();

signals:
    // An appointment was announced: its key and the announced text.
    void Announced(const QString &key, const QString &message);

private:
    QString refuse(const QString &name, const QString &text);
    void changedLater();

    Host m_host;
};

// The command line's side.
class DBusCalendarLink final : public CalendarLink
{
public:
    explicit DBusCalendarLink(QDBusConnection connection);

    bool present(int waitMs) override;
    Reply add(const remote::AddRequest &request) override;
    Reply list(const QString &from, const QString &to) override;
    Reply next() override;
    Reply remove(const QString &minute) override;

private:
    Reply call(const QString &method, const QVariantList &arguments);

    QDBusConnection m_connection;
};
