#include "storage/StartAtLogin.h"

#include "storage/ModClock.h"

namespace {

const QString kNeverWritten = QStringLiteral("notset");

} // namespace

StartAtLogin::StartAtLogin(ModClock &modClock, QString program)
    : m_modClock(modClock)
    , m_program(std::move(program))
{ }

QString StartAtLogin::read(const QString &fallback) const
{
    return m_modClock.RegReadString(ModClock::RegRoot::LocalMachine,
        QLatin1String(ModClock::kRunKey), QLatin1String(ModClock::kRunValueName), fallback);
}

bool StartAtLogin::isOn() const
{
    return read({}).size() >= 2;
}

bool StartAtLogin::neverSet() const
{
    return read(kNeverWritten) == kNeverWritten;
}

bool StartAtLogin::set(bool on)
{
    const QString run = QLatin1String(ModClock::kRunKey);
    const QString name = QLatin1String(ModClock::kRunValueName);
    if (on)
        return m_modClock.RegWriteString(ModClock::RegRoot::LocalMachine, run, name, m_program);
    // Both lists are emptied even when the first write fails.
    const bool runCleared
        = m_modClock.RegWriteString(ModClock::RegRoot::LocalMachine, run, name, {});
    const bool servicesCleared = m_modClock.RegWriteString(
        ModClock::RegRoot::LocalMachine, QLatin1String(ModClock::kRunServicesKey), name, {});
    return runCleared && servicesCleared;
}

QString StartAtLogin::lastError() const
{
    return m_modClock.lastError();
}
