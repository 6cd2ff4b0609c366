#include "storage/ModClock.h"

#include "platform/Autostart.h"
#include "platform/Clock.h"
#include "platform/Network.h"
#include "storage/Logging.h"

#include <optional>

namespace {

// Only the two run lists exist on platforms without a registry; every other
// key reads as missing and is never written.
std::optional<Autostart::List> runList(ModClock::RegRoot root, const QString &keyPath)
{
    if (root != ModClock::RegRoot::LocalMachine)
        return std::nullopt;
    if (keyPath.compare(QLatin1String(ModClock::kRunKey), Qt::CaseInsensitive) == 0)
        return Autostart::List::Run;
    if (keyPath.compare(QLatin1String(ModClock::kRunServicesKey), Qt::CaseInsensitive) == 0)
        return Autostart::List::RunServices;
    return std::nullopt;
}

} // namespace

ModClock::ModClock(Clock &clock, Autostart &autostart, Network &network, QString windowsFolder)
    : m_clock(clock)
    , m_autostart(autostart)
    , m_network(network)
    , m_windowsFolder(std::move(windowsFolder))
{ }

QString ModClock::RegReadString(
    RegRoot root, const QString &keyPath, const QString &valueName, const QString &defaultValue)
{
    const auto list = runList(root, keyPath);
    if (!list)
        return defaultValue;
    const std::optional<QString> value = m_autostart.read(*list, valueName);
    if (!value)
        return defaultValue;
    // Text ends at its first NUL, as a registry string does.
    const qsizetype nul = value->indexOf(QChar(0));
    return nul < 0 ? *value : value->left(nul);
}

bool ModClock::RegWriteString(
    RegRoot root, const QString &keyPath, const QString &valueName, const QString &text)
{
    const auto list = runList(root, keyPath);
    if (!list) {
        m_lastError = QStringLiteral("this system keeps no value at %1").arg(keyPath);
        qCDebug(lcStorage) << "no run list at" << keyPath << "; value" << valueName
                           << "not written";
        return false;
    }
    if (!m_autostart.write(*list, valueName, text)) {
        m_lastError = m_autostart.lastError();
        qCWarning(lcStorage) << "start-at-login value" << valueName
                             << "could not be written:" << m_lastError;
        return false;
    }
    qCDebug(lcStorage) << "start-at-login value" << valueName << "=" << text;
    return true;
}

QString ModClock::WindowsFolder() const
{
    return m_windowsFolder;
}

void ModClock::PauseSeconds(quint8 seconds)
{
    // Elapsed time on the monotonic clock, so a pause across midnight (or a
    // change of the wall clock) still ends after the given seconds.
    const qint64 start = m_clock.monotonicMs();
    const qint64 total = qint64(seconds) * 1000;
    for (qint64 elapsed = m_clock.monotonicMs() - start; elapsed < total;
         elapsed = m_clock.monotonicMs() - start) {
        m_clock.processEventsFor(int(total - elapsed));
    }
}

bool ModClock::IsOnline()
{
    return m_network.isOnline();
}
