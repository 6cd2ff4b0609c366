#include "platform/linux/LogindSleepWatch.h"

#include "platform/Logging.h"

#include <QDBusConnectionInterface>

namespace {
constexpr const char *kService = "org.freedesktop.login1";
constexpr const char *kPath = "/org/freedesktop/login1";
constexpr const char *kInterface = "org.freedesktop.login1.Manager";
} // namespace

LogindSleepWatch::LogindSleepWatch(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    if (!m_bus.isConnected()) {
        qCInfo(lcPlatform) << "no system bus; sleep is told by the clocks alone";
        return;
    }
    // The signal is matched by sender name, so it also arrives when logind
    // starts later; whether it is there now decides what a clock leap means.
    m_bus.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
        QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    const QDBusConnectionInterface *names = m_bus.interface();
    m_available = names && names->isServiceRegistered(QLatin1String(kService)).value();
    qCInfo(lcPlatform) << "sleep signals" << (m_available ? "from logind" : "unavailable");
}

void LogindSleepWatch::prepareForSleep(bool sleeping)
{
    qCInfo(lcPlatform) << (sleeping ? "the computer goes to sleep" : "the computer woke");
    if (!sleeping && m_onResume)
        m_onResume();
}
