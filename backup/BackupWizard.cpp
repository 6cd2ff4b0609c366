#include "backup/BackupWizard.h"

#include "calendar/OpenOrRaise.h"

BackupWizard::BackupWizard(
    Services &services, SettingsStore &settings, AppPaths paths, FrmBackup::Host host)
    : m_services(services)
    , m_settings(settings)
    , m_paths(std::move(paths))
    , m_host(std::move(host))
{ }

BackupWizard::~BackupWizard()
{
    delete m_window;
}

void BackupWizard::show()
{
    openOrRaise(
        m_window, [](const FrmBackup &w) { return w.isVisible(); },
        [this] { return new FrmBackup(m_services, m_settings, m_paths, m_host); });
}
