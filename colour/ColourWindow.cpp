#include "colour/ColourWindow.h"

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
    if (m_window && m_window->isVisible()) {
        m_window->raise();
        m_window->activateWindow();
        return;
    }
    if (m_window)
        m_window->deleteLater();
    m_window = new FrmColour(m_services, m_settings, m_host);
    // Closed, it goes once its handler has returned.
    QObject::connect(m_window, &FrmColour::closed, m_window, &QObject::deleteLater);
    m_window->Form_Load();
    m_window->raise();
    m_window->activateWindow();
}
