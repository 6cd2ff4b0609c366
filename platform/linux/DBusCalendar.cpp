#include "platform/linux/DBusCalendar.h"

#include "platform/Logging.h"
#include "remote/WhenRules.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

namespace {

void registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<QList<QVariantMap>>();
        return true;
    }();
    (void)registered;
}

QString invalidArgs()
{
    return QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
}

} // namespace

CalendarBusService::CalendarBusService(Host host, QObject *parent)
    : QObject(parent)
    , m_host(std::move(host))
{
    registerTypes();
}

bool CalendarBusService::publish(QDBusConnection connection)
{
    if (!connection.isConnected()) {
        qCInfo(lcPlatform) << "no session bus; the calendar is not reachable over D-Bus";
        return false;
    }
    if (!connection.registerObject(QLatin1String(calendarbus::kPath), this,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)) {
        qCWarning(lcPlatform) << "cannot export" << calendarbus::kPath << ":"
                              << connection.lastError().message();
        return false;
    }
    if (!connection.registerService(QLatin1String(calendarbus::kService))) {
        qCWarning(lcPlatform) << "cannot own" << calendarbus::kService << ":"
                              << connection.lastError().message();
        connection.unregisterObject(QLatin1String(calendarbus::kPath));
        return false;
    }
    qCInfo(lcPlatform) << "on the session bus as" << calendarbus::kService;
    return true;
}

QString CalendarBusService::refuse(const QString &name, const QString &text)
{
    qCInfo(lcPlatform).noquote() << "bus call refused:" << text;
    if (calledFromDBus())
        sendErrorReply(name, text);
    return {};
}

void CalendarBusService::changedLater()
{
    // After the answer: marking the month reads the file and may retry.
    if (m_host.changed)
        QTimer::singleShot(0, this, [this] { m_host.changed(); });
}

QString CalendarBusService::Add(const QString &minute, const QString &repeat, bool confirm,
    bool earlyWarning, const QString &message)
{
    const remote::When when = remote::parseMinute(minute);
    if (when.status == remote::When::Status::BadUsage)
        return refuse(invalidArgs(), when.text);
    if (when.status == remote::When::Status::Refused)
        return refuse(QLatin1String(calendarbus::kRefused), when.text);
    const remote::Outcome outcome = remote::add(m_host.dataFile,
        { when.date, when.time, repeat, confirm, earlyWarning, message }, m_host.now());
    if (!outcome.done)
        return refuse(QLatin1String(calendarbus::kRefused), outcome.text);
    qCInfo(lcPlatform).noquote() << "bus:" << outcome.text;
    changedLater();
    return outcome.text;
}

QList<QVariantMap> CalendarBusService::List(const QString &from, const QString &to)
{
    const QDate today = m_host.now().date();
    const std::optional<QDate> first
        = from.isEmpty() ? std::nullopt : remote::parseDay(from, today);
    const std::optional<QDate> last = to.isEmpty() ? std::nullopt : remote::parseDay(to, today);
    if ((!from.isEmpty() && !first) || (!to.isEmpty() && !last)) {
        refuse(invalidArgs(), QStringLiteral("a day is \"YYYY-MM-DD\", \"today\" or \"tomorrow\""));
        return {};
    }
    const auto all = remote::read(m_host.dataFile);
    if (!all) {
        refuse(QLatin1String(calendarbus::kRefused), remote::unreadableText(m_host.dataFile));
        return {};
    }
    QList<QVariantMap> out;
    for (const remote::Entry &entry : remote::between(*all, first, last))
        out << remote::fields(entry);
    return out;
}

QVariantMap CalendarBusService::Next()
{
    const auto all = remote::read(m_host.dataFile);
    if (!all) {
        refuse(QLatin1String(calendarbus::kRefused), remote::unreadableText(m_host.dataFile));
        return {};
    }
    const std::optional<remote::Entry> next = remote::nextFrom(*all, m_host.now());
    return next ? remote::fields(*next) : QVariantMap {};
}

QString CalendarBusService::Remove(const QString &minute)
{
    const remote::When when = remote::parseMinute(minute);
    if (when.status == remote::When::Status::BadUsage)
        return refuse(invalidArgs(), when.text);
    if (when.status == remote::When::Status::Refused)
        return refuse(QLatin1String(calendarbus::kRefused), when.text);
    const remote::Outcome outcome
        = remote::remove(m_host.dataFile, remote::keyOf(when.date, when.time));
    if (!outcome.done)
        return refuse(QLatin1String(calendarbus::kRefused), outcome.text);
    qCInfo(lcPlatform).noquote() << "bus:" << outcome.text;
    changedLater();
    return outcome.text;
}

void CalendarBusService::Show()
{
    if (m_host.show)
        QTimer::singleShot(0, this, [this] { m_host.show(); });
}

DBusCalendarLink::DBusCalendarLink(QDBusConnection connection)
    : m_connection(std::move(connection))
{
    registerTypes();
}

bool DBusCalendarLink::present(int waitMs)
{
    if (!m_connection.isConnected() || !m_connection.interface())
        return false;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (m_connection.interface()->isServiceRegistered(QLatin1String(calendarbus::kService)))
            return true;
        if (waited.elapsed() >= waitMs)
            return false;
        QThread::msleep(100);
    }
}

CalendarLink::Reply DBusCalendarLink::call(const QString &method, const QVariantList &arguments)
{
    if (!m_connection.isConnected())
        return { Reach::Gone, m_connection.lastError().message(), {} };
    QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(calendarbus::kService),
        QLatin1String(calendarbus::kPath), QLatin1String(calendarbus::kInterface), method);
    message.setArguments(arguments);
    const QDBusMessage reply
        = m_connection.call(message, QDBus::Block, calendarbus::kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        Reply out { Reach::Answered, {}, {} };
        const QVariantList values = reply.arguments();
        if (values.isEmpty())
            return out;
        const QVariant &first = values.first();
        if (first.userType() == QMetaType::QString) {
            out.text = first.toString();
        } else if (first.canConvert<QDBusArgument>()) {
            const QDBusArgument argument = first.value<QDBusArgument>();
            if (argument.currentType() == QDBusArgument::ArrayType) {
                argument >> out.entries;
            } else {
                QVariantMap one;
                argument >> one;
                if (!one.isEmpty())
                    out.entries << one;
            }
        }
        return out;
    }
    const QString name = reply.errorName();
    if (name == QLatin1String(calendarbus::kRefused))
        return { Reach::Refused, reply.errorMessage(), {} };
    // The calendar ended, or never was there: nobody owns the name (now).
    const bool owned = m_connection.interface()
        && m_connection.interface()->isServiceRegistered(QLatin1String(calendarbus::kService));
    if (!owned)
        return { Reach::Gone, reply.errorMessage(), {} };
    return { Reach::Failed, reply.errorMessage(), {} };
}

CalendarLink::Reply DBusCalendarLink::add(const remote::AddRequest &request)
{
    return call(QStringLiteral("Add"),
        { remote::minuteText(request.date, request.time), request.repeat, request.confirm,
            request.earlyWarning, request.message });
}

CalendarLink::Reply DBusCalendarLink::list(const QString &from, const QString &to)
{
    return call(QStringLiteral("List"), { from, to });
}

CalendarLink::Reply DBusCalendarLink::next()
{
    return call(QStringLiteral("Next"), {});
}

CalendarLink::Reply DBusCalendarLink::remove(const QString &minute)
{
    return call(QStringLiteral("Remove"), { minute });
}
