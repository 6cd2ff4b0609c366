#include "manager/AppointmentManager.h"

#include "calendar/MonthView.h"
#include "calendar/OpenOrRaise.h"
#include "manager/Logging.h"

AppointmentManager::AppointmentManager(Services &services, SettingsStore &settings,
    ModClock &modClock, AppPaths paths, FrmSet::Host host)
    : m_services(services)
    , m_settings(settings)
    , m_modClock(modClock)
    , m_paths(std::move(paths))
    , m_host(std::move(host))
{ }

AppointmentManager::~AppointmentManager()
{
    delete m_window;
}

FrmSet *AppointmentManager::open()
{
    const auto isOpen = [](const FrmSet &w) { return !w.unloaded(); };
    if (!m_character && !(m_window && isOpen(*m_window))) {
        qCWarning(lcManager) << "the manager was asked for before the calendar window existed";
        return nullptr;
    }
    return openOrRaise(m_window, isOpen, [this] {
        qCInfo(lcManager) << "appointment manager opens";
        return new FrmSet(m_services, m_settings, m_modClock, m_paths, *m_character, m_host);
    });
}

void AppointmentManager::showAtTab(int tab)
{
    if (FrmSet *w = open(); w && tab != 0)
        w->SSTab1_Click(tab);
}

void AppointmentManager::showAtDate(const QDate &date)
{
    FrmSet *w = open();
    if (!w || !date.isValid())
        return;
    w->cal->setYear(date.year());
    w->cal->setMonth(date.month());
    w->cal->setDay(date.day());
}
