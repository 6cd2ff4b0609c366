#include "colour/ColourWindow.h"

#include "calendar/OpenOrRaise.h"

ColourWindow::ColourWindow(Services &services, SettingsStore &settings, FrmColour::Host host)
    : m_services(services)
    , m_settings(settings)
    , m_host(std::move(host))
{ }

ColourWindow::~ColourWindow()
{
    delete m_window;
}

void ColourWindow::show()
{
    openOrRaise(
        m_window, [](const FrmColour &w) { return w.isVisible(); },
        [this] { return new FrmColour(m_services, m_settings, m_host); });
}
