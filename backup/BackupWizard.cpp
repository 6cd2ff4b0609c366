#include "backup/BackupWizard.h"

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
    if (m_window && m_window->isVisible()) {
        m_window->raise();
        m_window->activateWindow();
        return;
    }
    if (m_window)
        m_window->deleteLater();
    m_window = new FrmBackup(m_services, m_settings, m_paths, m_host);
    // Closed, it goes once its handler has returned.
    QObject::connect(m_window, &FrmBackup::closed, m_window, &QObject::deleteLater);
    m_window->Form_Load();
    m_window->raise();
    m_window->activateWindow();
}
