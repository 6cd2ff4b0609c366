#pragma once

#include "calendar/WindowLinks.h"
#include "colour/FrmColour.h"

#include <QPointer>

// The calendar's link to its colour panel: a fresh `frm_colour` each time
// it is opened, or the open one brought forward.
class ColourWindow final : public ColourPanel
{
public:
    ColourWindow(Services &services, SettingsStore &settings, FrmColour::Host host);
    ~ColourWindow() override;

    void show() override;
    // The open panel, if any.
    FrmColour *window() const { return m_window; }

private:
    Services &m_services;
    SettingsStore &m_settings;
    FrmColour::Host m_host;
    QPointer<FrmColour> m_window;
};
