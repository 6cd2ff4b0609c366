#pragma once

#include "calendar/WindowLinks.h"
#include "early/FrmEarly.h"
#include "storage/AppPaths.h"

#include <QPointer>

#include <functional>

class ModClock;
struct Services;

// The day marking: scans the data file for the shown month, sets its days
// bold with a beep each, and at start-up collects old messages and opens the
// early-warning window.
class DayMarker final : public DayMarking
{
public:
    DayMarker(Services &services, ModClock &modClock, AppPaths paths, ManagerWindow &manager,
        std::function<void()> beep);
    ~DayMarker() override;

    void underline(const MarkingTarget &target) override;

    // The early-warning window while it is open.
    FrmEarly *early() const { return m_early; }

private:
    void warn(const QString &text, const QWidget *calendar);

    Services &m_services;
    ModClock &m_modClock;
    AppPaths m_paths;
    ManagerWindow &m_manager;
    std::function<void()> m_beep;
    QPointer<FrmEarly> m_early;
};
