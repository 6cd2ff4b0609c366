#pragma once

#include "backup/FrmBackup.h"
#include "calendar/WindowLinks.h"

#include <QPointer>

// The calendar's link to its backup window: a fresh `frm_backup` each time
// it is opened, or the open one brought forward.
class BackupWizard final : public BackupWindow
{
public:
    BackupWizard(Services &services, SettingsStore &settings, AppPaths paths, FrmBackup::Host host);
    ~BackupWizard() override;

    void show() override;
    // The open window, if any.
    FrmBackup *window() const { return m_window; }

private:
    Services &m_services;
    SettingsStore &m_settings;
    AppPaths m_paths;
    FrmBackup::Host m_host;
    QPointer<FrmBackup> m_window;
};
