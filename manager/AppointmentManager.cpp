#include "manager/AppointmentManager.h"

#include "calendar/MonthView.h"
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
    if (m_window && !m_window->unloaded()) {
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
        return m_window;
    }
    if (!m_character) {
        qCWarning(lcManager) << "the manager was asked for before the calendar window existed";
        return nullptr;
    }
    // An unloaded window goes once its handler has returned; the new one is fresh.
    if (m_window)
        m_window->deleteLater();
    m_window = new FrmSet(m_services, m_settings, m_modClock, m_paths, *m_character, m_host);
    QObject::connect(m_window, &FrmSet::closed, m_window, &QObject::deleteLater);
    qCInfo(lcManager) << "appointment manager opens";
    m_window->Form_Load();
    m_window->raise();
    m_window->activateWindow();
    return m_window;
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
