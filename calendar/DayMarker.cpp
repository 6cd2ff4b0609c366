#include "calendar/DayMarker.h"

#include "calendar/ShownToday.h"

#include "calendar/MarkingRules.h"
#include "calendar/Logging.h"
#include "calendar/MonthView.h"
#include "early/FrmEarly.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "storage/IniFuncs.h"
#include "storage/ModClock.h"

#include <QElapsedTimer>
#include <QFileInfo>

DayMarker::DayMarker(Services &services, ModClock &modClock, AppPaths paths, ManagerWindow &manager,
    std::function<void()> beep)
    : m_services(services)
    , m_modClock(modClock)
    , m_paths(std::move(paths))
    , m_manager(manager)
    , m_beep(std::move(beep))
{ }

DayMarker::~DayMarker()
{
    delete m_early.data();
}

void DayMarker::underline(const MarkingTarget &target)
{
    // 1. no data file, nothing to mark
    if (!QFileInfo::exists(m_paths.dataFile()))
        return;

    // 2. the shown month and its first day
    MonthView &view = target.view;
    const QDate first = view.Value().addDays(-(view.Day() - 1));

    // 3. the cell before the first day
    const std::optional<int> offset
        = marking::gridOffset([&view](int index) { return view.VisibleDays(index); }, first);
    if (!offset) {
        qCCritical(lcCalendar) << "first day" << first << "not found in the month grid";
        m_services.dialogs.messageBox(marking::cellSearchError(), MsgButtons::Ok,
            MsgIcon::Exclamation, QStringLiteral("Error!"));
        if (target.endProgram)
            target.endProgram();
        return;
    }

    // 4. the scan
    QElapsedTimer timer;
    timer.start();
    marking::MonthScanner scanner({ view.Month(), view.Year(), m_services.clock.now(),
        target.remarkOnly, target.quietStart });
    const ScanOutcome outcome = scanDataFile(m_paths.dataFile(), ScanFilter {},
        ScanRetry {
            QLatin1String(marking::kRetryMessage), MsgIcon::Critical, QStringLiteral("Error!") },
        { m_services.dialogs, {}, {} },
        [&scanner](const AppointmentLine &line) { scanner.add(line); });
    const marking::MonthScan &scan = scanner.result();
    qCInfo(lcCalendar) << "day marking of" << view.Month() << view.Year() << "found"
                       << scan.markedDays.size() << "appointments," << scan.earlyWarnings.size()
                       << "warnings in" << timer.elapsed() << "ms";
    if (outcome == ScanOutcome::Complete) {
        // Old messages come from the scheduler, which knows what passed in
        // any month since the calendar last ran, and moves repeats on.
        for (const marking::EarlyWarning &warning : scan.earlyWarnings) {
            const QString what = ShownToday::warning(warning.key, warning.week);
            if (target.shown && target.restartedByUs && target.shown->contains(what))
                continue; // seen before a restart the user did not ask for
            warn(warning.text, view.window());
            if (target.shown)
                target.shown->add(what);
        }
        for (const int day : scan.markedDays) {
            view.setDayBold(view.VisibleDays(*offset + day), true);
            if (m_beep)
                m_beep();
        }
    }

    // 5. a moment for the marks and beeps, then the next call marks only
    m_modClock.PauseSeconds(1);
    target.remarkOnly = false;
}

void DayMarker::warn(const QString &text, const QWidget *calendar)
{
    if (!m_early) {
        m_early = new FrmEarly(m_manager);
        m_early->placeBelow(calendar);
        m_early->show();
    }
    m_early->message(text);
}
