#include "calendar/MarkingRules.h"

#include <gtest/gtest.h>

namespace {

using marking::MonthScan;
using marking::MonthScanner;

// Scans `lines` (data-file lines) as the calendar does for the shown month.
MonthScan scan(const QStringList &lines, const QDateTime &now, int month, int year,
    bool remarkOnly = false, bool quietStart = false)
{
    MonthScanner scanner({ month, year, now, remarkOnly, quietStart });
    for (const QString &line : lines)
        scanner.add(AppointmentLine::fromLine(line));
    return scanner.result();
}

const QDateTime kMarch15(QDate(2027, 3, 15), QTime(10, 0, 20));

TEST(MonthScan, MarksTheShownMonthAndPagingWarnsNothing)
{
    const MonthScan s = scan({ "09/00/03/03/2027=NDentist", "09/30/15/03/2027=NBus",
                                 "10/00/15/03/2027=NCall Anna}", "11/00/15/03/2027=NLunch",
                                 "08/00/15/04/2027=NNext month", "08/00/15/03/2026=NLast year" },
        kMarch15, 3, 2027);
    EXPECT_EQ(s.markedDays, QList<int>({ 3, 15, 15, 15 }));
    EXPECT_TRUE(s.earlyWarnings.isEmpty());

    // Paging: the same month marks alike, but warns nothing.
    const MonthScan paged
        = scan({ "09/00/03/03/2027=NDentist", "09/00/22/03/2027=NTrip}" }, kMarch15, 3, 2027, true);
    EXPECT_TRUE(paged.earlyWarnings.isEmpty());
    EXPECT_EQ(paged.markedDays, QList<int>({ 3, 22 }));
}

QStringList texts(const QList<marking::EarlyWarning> &warnings)
{
    QStringList out;
    for (const marking::EarlyWarning &w : warnings)
        out << w.text;
    return out;
}

TEST(MonthScan, WarningsComeAWeekAndThreeDaysAheadByDateWithDateAndTime)
{
    const QStringList lines { "09/00/22/03/2027=NTrip to Rome}", "09/00/18/03/2027=NPay rent}",
        "09/00/19/03/2027=NNothing to say}", "09/00/22/03/2027=NNo marker",
        "23/59/15/03/2027=NLater today}" };
    const MonthScan s = scan(lines, kMarch15, 3, 2027);
    EXPECT_EQ(texts(s.earlyWarnings),
        QStringList(
            { "This appointment is due in 1 week:\r\nMonday 22 March 2027, 9:00: Trip to Rome",
                "This appointment is due in 3 days:\r\nThursday 18 March 2027, 9:00: Pay rent" }));
    ASSERT_EQ(s.earlyWarnings.size(), 2);
    EXPECT_EQ(s.earlyWarnings[0].key, "09/00/22/03/2027");
    EXPECT_TRUE(s.earlyWarnings[0].week);
    EXPECT_FALSE(s.earlyWarnings[1].week);
    EXPECT_EQ(s.markedDays.size(), 5);

    // Started with "/n": the week's warning is left out, the three days' kept.
    EXPECT_EQ(texts(scan(lines, kMarch15, 3, 2027, false, true).earlyWarnings),
        QStringList(
            { "This appointment is due in 3 days:\r\nThursday 18 March 2027, 9:00: Pay rent" }));

    // Due next month: warned all the same, and not marked in this month.
    const MonthScan april = scan(
        { "09/00/02/04/2027=NEaster}" }, QDateTime(QDate(2027, 3, 26), QTime(9, 0)), 3, 2027);
    EXPECT_EQ(texts(april.earlyWarnings),
        QStringList({ "This appointment is due in 1 week:\r\nFriday 2 April 2027, 9:00: Easter" }));
    EXPECT_TRUE(april.markedDays.isEmpty());
}

TEST(MonthScan, MalformedLinesNeverMarkAWrongDay)
{
    const QStringList lines { "09/00/32/03/2027=NDay 32", "09/00/00/03/2027=NDay 0",
        "09/00/13/13/2027=NMonth 13", "09/00/13/03/20x7=NYear 20x7", "09/00/1",
        "09/00/3x/03/2027=NDay 3x", "09/00/ 7/03/2027=NDay blank 7",
        "09/00/31/02/2027=NThe 31st of February", "09/00/20/03/2027=}" };
    const MonthScan march = scan(lines, kMarch15, 3, 2027);
    // Only the value "}" alone is a real appointment: an empty text with its marker.
    EXPECT_EQ(march.markedDays, QList<int>({ 20 }));
    EXPECT_EQ(scan(lines, kMarch15, 2, 2027).markedDays, QList<int>());
}

TEST(MonthScan, ManyAppointmentsOnADayEachCountAndMark)
{
    QStringList lines;
    for (int i = 0; i < 500; ++i)
        lines << QStringLiteral("%1/%2/10/03/2027=N%3")
                     .arg(i / 60, 2, 10, QLatin1Char('0'))
                     .arg(i % 60, 2, 10, QLatin1Char('0'))
                     .arg(QString(5000, QLatin1Char('x')));
    const MonthScan s = scan(lines, kMarch15, 3, 2027);
    EXPECT_EQ(s.markedDays.size(), 500);
}

TEST(MonthScan, GridOffsetFindsTheFirstDayOrGivesUp)
{
    const QDate first(2027, 3, 1);
    // A grid whose first row starts on the Sunday before.
    auto grid = [&](int index) { return first.addDays(index - 1 - 1); };
    EXPECT_EQ(marking::gridOffset(grid, first), 1);
    EXPECT_EQ(marking::gridOffset([](int) { return QDate(); }, first), std::nullopt);
    EXPECT_EQ(marking::gridOffset(grid, QDate()), std::nullopt);
    EXPECT_TRUE(marking::cellSearchError().endsWith(
        " and say that the in string routine failed during underline"));
}

} // namespace
