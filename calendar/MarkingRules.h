#pragma once

#include "storage/Appointment.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The rules of the month view's marks and early warnings, apart from the
// windows, so that tests call them directly.

namespace marking {

// How far the day-cell search goes before it gives up.
inline constexpr int kCellSearchLimit = 300;

// The index of the cell just before the first day of the month, so that day d
// sits in cell offset + d; nothing when the first day is not among the first
// cells (which ends the program, so it must really be missing).
std::optional<int> gridOffset(const std::function<QDate(int)> &visibleDays, const QDate &first);

// "05" for 5: the month and day as the data file writes them.
QString twoDigits(int number);

// One early warning: which appointment, which of the two, and its text
// with the appointment's date and time.
struct EarlyWarning
{
    QString key;
    bool week = false; // a week ahead; else three days
    QString text;

    bool operator==(const EarlyWarning &) const = default;
};

// What one start-up or paging scan found: the shown month's days to mark,
// and the warnings due today for appointments of any month.
struct MonthScan
{
    QList<int> markedDays; // one per appointment, in file order, days of the shown month
    QList<EarlyWarning> earlyWarnings; // in the order they were found
};

// Classifies the data file's lines against the shown month and the time
// they are scanned at.
class MonthScanner
{
public:
    struct Context
    {
        int shownMonth = 0;
        int shownYear = 0;
        QDateTime now;
        bool remarkOnly = false;
        bool quietStart = false; // started with "/n": no one-week warning
    };

    explicit MonthScanner(Context context);
    void add(const AppointmentLine &line);
    // "This appointment is due in 1 week:", a line break, then
    // "Wednesday 16 December 2026, 10:15: Trip to Rome".
    static QString warningText(const char *heading, const AppointmentLine &line);
    const MonthScan &result() const { return m_scan; }

private:
    void warnAhead(const AppointmentLine &line);

    Context m_context;
    QString m_month;
    QString m_year;
    QDate m_today;
    int m_lastDay = 0;
    MonthScan m_scan;
};

inline constexpr const char *kWeekWarning = "This appointment is due in 1 week:";
inline constexpr const char *kThreeDayWarning = "This appointment is due in 3 days:";
inline constexpr const char *kRetryMessage = "I am having trouble openening your data file, I have "
                                             "tried 10 times. You need to re start Quillory";
// The grid search's failure, with the address error reports go to.
QString cellSearchError();

} // namespace marking
