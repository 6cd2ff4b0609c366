#include "announce/AnnounceRules.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

using announce::SnoozeLength;

QDateTime berlin(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone("Europe/Berlin"));
}

TEST(SnoozeEnd, MinutesAreRealTimeAndTomorrowIsTheNextCalendarDayAtNine)
{
    const QDateTime now = berlin(2026, 12, 9, 14, 5);
    EXPECT_EQ(announce::snoozeEnd(now, SnoozeLength::Minutes5), berlin(2026, 12, 9, 14, 10));
    EXPECT_EQ(announce::snoozeEnd(now, SnoozeLength::Minutes30), berlin(2026, 12, 9, 14, 35));
    EXPECT_EQ(announce::snoozeEnd(now, SnoozeLength::TomorrowAt9), berlin(2026, 12, 10, 9, 0));

    // Across midnight and the year's end.
    const QDateTime late = berlin(2026, 12, 31, 23, 50);
    EXPECT_EQ(announce::snoozeEnd(late, SnoozeLength::Minutes15), berlin(2027, 1, 1, 0, 5));
    EXPECT_EQ(announce::snoozeEnd(late, SnoozeLength::TomorrowAt9), berlin(2027, 1, 1, 9, 0));
    // A minute past midnight is already the new day: tomorrow is the day after.
    EXPECT_EQ(announce::snoozeEnd(berlin(2027, 1, 1, 0, 1), SnoozeLength::TomorrowAt9),
        berlin(2027, 1, 2, 9, 0));
}

TEST(SnoozeEnd, AClockChangeMovesTheInstantNeverTheNineOClock)
{
    // The night the clocks go forward: 9:00 is ten real hours after 22:00.
    const QDateTime spring = berlin(2026, 3, 28, 22, 0);
    const QDateTime morning = announce::snoozeEnd(spring, SnoozeLength::TomorrowAt9);
    EXPECT_EQ(morning, berlin(2026, 3, 29, 9, 0));
    EXPECT_EQ(spring.secsTo(morning), 10 * 3600);
    // An hour's snooze over the gap ends an hour later, at 3:30 on the dial.
    EXPECT_EQ(announce::snoozeEnd(berlin(2026, 3, 29, 1, 30), SnoozeLength::Hour1),
        berlin(2026, 3, 29, 3, 30));

    // The hour lived twice in autumn: sixty real minutes, not zero.
    const QDateTime first = berlin(2026, 10, 25, 2, 30);
    const QDateTime end = announce::snoozeEnd(first, SnoozeLength::Hour1);
    EXPECT_EQ(first.secsTo(end), 3600);
    EXPECT_EQ(announce::snoozeEnd(berlin(2026, 10, 24, 20, 0), SnoozeLength::TomorrowAt9)
                  .toString(Qt::ISODate),
        "2026-10-25T09:00:00+01:00");
}

TEST(Notice, CarriesDateTimeTextAndSnoozeActionsAndHidesWhatWaitsForOk)
{
    const QDateTime when(QDate(2026, 12, 9), QTime(14, 5));
    announce::Announcement tea { "Tea with Ann", false, true };
    const Notifier::Notice shown = announce::noticeFor(tea, when);
    EXPECT_EQ(shown.summary, "Quillory");
    EXPECT_TRUE(shown.body.contains("14:05")) << shown.body.toStdString();
    EXPECT_TRUE(shown.body.endsWith("\nTea with Ann"));
    QStringList labels;
    for (const Notifier::Action &a : shown.actions) {
        labels << a.label;
        const bool answers = a.key == announce::kActionOk || a.key == announce::kActionDefault
            || announce::snoozeOfAction(a.key).has_value();
        EXPECT_TRUE(answers) << a.key.toStdString();
    }
    EXPECT_EQ(
        labels, QStringList({ "Snooze 5 min", "Snooze 15 min", "Snooze 1 hour", "Ok", "Show" }));
    EXPECT_EQ(announce::snoozeOfAction("snooze-60"), SnoozeLength::Hour1);
    EXPECT_FALSE(announce::snoozeOfAction("snooze-7").has_value());

    announce::Announcement dentist { "Dentist", true, false };
    EXPECT_TRUE(announce::noticeFor(dentist, when)
                    .body.endsWith(QString::fromUtf8("\nAppointment \u2014 press Ok to read")));
    EXPECT_FALSE(announce::noticeFor(dentist, when).body.contains("Dentist"));
    dentist.revealed = true;
    EXPECT_TRUE(announce::noticeFor(dentist, when).body.endsWith("\nDentist"));
}

} // namespace
