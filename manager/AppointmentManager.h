#pragma once

#include "calendar/WindowLinks.h"
#include "manager/FrmSet.h"

#include <QPointer>

// The calendar's link to its manager window: opens `frm_set` when it is not
// open (a fresh load each time), or brings the open one forward.
class AppointmentManager final : public ManagerWindow
{
public:
    AppointmentManager(Services &services, SettingsStore &settings, ModClock &modClock,
        AppPaths paths, FrmSet::Host host);
    ~AppointmentManager() override;
    // The character is the calendar window's, made at its construction.
    void setCharacter(CharacterControl *character) { m_character = character; }

    void showAtTab(int tab) override;
    void showAtDate(const QDate &date) override;
    // The open window, if any.
    FrmSet *window() const { return m_window; }

private:
    FrmSet *open();

    Services &m_services;
    SettingsStore &m_settings;
    ModClock &m_modClock;
    AppPaths m_paths;
    FrmSet::Host m_host;
    CharacterControl *m_character = nullptr;
    QPointer<FrmSet> m_window;
};
