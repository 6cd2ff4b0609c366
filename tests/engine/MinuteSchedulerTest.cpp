#include "engine/MinuteScheduler.h"
#include "engine/Schedule.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

QDateTime local(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// The scheduler on the fake clock and a data file, without a window.
class SchedulerTest : public ::testing::Test
{
protected:
    MinuteScheduler &start(const QDateTime &when)
    {
        clock.set(when);
        scheduler = std::make_unique<MinuteScheduler>(
            clock, MinuteScheduler::Files { home.dataFile(), home.paths().schedulerFile() });
        old = scheduler->catchUpAtStart();
        return *scheduler;
    }
    // The wall clock leaps while the monotonic one stands: a suspend.
    void sleepUntil(const QDateTime &when)
    {
        clock.set(when);
        scheduler->check();
    }
    QList<DueAnnouncement> takeAll()
    {
        QList<DueAnnouncement> all;
        while (scheduler->hasDue())
            all.append(scheduler->takeDue());
        return all;
    }
    void writeState(const QByteArray &bytes)
    {
        TestHome::writeFile(home.paths().schedulerFile(), bytes);
    }

    FakeClock clock;
    TestHome home;
    std::unique_ptr<MinuteScheduler> scheduler;
    QList<OldAppointment> old;
};

TEST_F(SchedulerTest, ASuspendOverAppointmentsTellsEachOnceOldestFirstAndMovesThemOn)
{
    home.writeData("[alarms]\r\n11/00/09/12/2026=TWater the plants\r\n"
                   "10/15/09/12/2026=NCall the bank\r\n09/00/10/12/2026=ZGym\r\n"
                   "08/00/11/12/2026=NNot yet\r\n");
    start(local(2026, 12, 9, 9, 0, 30));
    sleepUntil(local(2026, 12, 10, 9, 30, 5)); // asleep over a night

    const QList<DueAnnouncement> due = takeAll();
    ASSERT_EQ(due.size(), 3);
    EXPECT_EQ(due[0].key, "10/15/09/12/2026");
    EXPECT_EQ(due[0].kind, DueAnnouncement::Kind::Missed);
    EXPECT_EQ(due[0].gap, schedule::Gap::Asleep);
    EXPECT_EQ(due[0].page,
        QString::fromUtf8("Missed while the computer was asleep: Wednesday 9 December, 10:15 "
                          "\u2014 Call the bank"));
    EXPECT_EQ(due[1].key, "11/00/09/12/2026");
    EXPECT_EQ(due[2].key, "09/00/10/12/2026");
    // The daily one is due again after now, the weekly a week on, the one-off cleared.
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n11/00/09/12/2026=nothing\r\n10/15/09/12/2026=nothing\r\n"
                   "09/00/10/12/2026=nothing\r\n08/00/11/12/2026=NNot yet\r\n"
                   "11/00/10/12/2026=TWater the plants\r\n09/00/17/12/2026=ZGym\r\n"));

    // Nothing is told twice, and the state file remembers the minute handled.
    scheduler->check();
    EXPECT_FALSE(scheduler->hasDue());
    EXPECT_TRUE(TestHome::readFile(home.paths().schedulerFile()).startsWith("09/30/10/12/2026\n"));
}

TEST_F(SchedulerTest, AnHourlyRepeatAfterAWeekOffMovesToTheFirstHourAfterNowInOneWrite)
{
    home.writeData("[alarms]\r\n08/20/01/12/2026=HStretch\r\n");
    writeState("08/00/01/12/2026\n");
    start(local(2026, 12, 8, 14, 5));
    ASSERT_EQ(old.size(), 1);
    EXPECT_EQ(old[0].message, "Stretch");
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n08/20/01/12/2026=nothing\r\n14/20/08/12/2026=HStretch\r\n"));
}

TEST_F(SchedulerTest, TimeOffReportsEveryMonthWithDatesAndKeepsRepeatsAlive)
{
    home.writeData("[alarms]\r\n09/00/28/10/2026=XRent}\r\n07/30/02/11/2026=NDentist\r\n"
                   "18/00/05/12/2026=JAnniversary\r\n10/00/08/12/2026=NLater today\r\n");
    // The very first run: everything before now is old, in any month.
    start(local(2026, 12, 8, 9, 15));
    ASSERT_EQ(old.size(), 3);
    EXPECT_EQ(schedule::oldMessagesText(old),
        "This is old message #1, Wednesday 28 October 2026, 9:00: Rent\r\n"
        "This is old message #2, Monday 2 November 2026, 7:30: Dentist\r\n"
        "This is old message #3, Saturday 5 December 2026, 18:00: Anniversary\r\n");
    // The monthly one is due on 28 December, the yearly next year; the
    // one-off stays for the user to delete.
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n09/00/28/10/2026=nothing\r\n07/30/02/11/2026=NDentist\r\n"
                   "18/00/05/12/2026=nothing\r\n10/00/08/12/2026=NLater today\r\n"
                   "09/00/28/12/2026=XRent}\r\n18/00/05/12/2027=JAnniversary\r\n"));

    // A restart later the same day reports nothing again.
    start(local(2026, 12, 8, 9, 40));
    EXPECT_TRUE(old.isEmpty());
}

TEST_F(SchedulerTest, ACalendarEndedInThisMinuteDoesNotAnnounceItAgain)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=NCall home\r\n");
    start(local(2026, 12, 8, 10, 15, 10));
    scheduler->check();
    EXPECT_EQ(takeAll().size(), 1);
    scheduler->stop();
    home.writeData("[alarms]\r\n10/15/08/12/2026=NSaved again\r\n");
    start(local(2026, 12, 8, 10, 15, 40));
    scheduler->check();
    EXPECT_FALSE(scheduler->hasDue());
    EXPECT_FALSE(scheduler->isNewMinute(clock.now()));
}

TEST_F(SchedulerTest, ARepeatNeverErasesAnotherAppointmentAndReturnsToItsOwnTime)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=TStandup\r\n10/15/09/12/2026=NDentist\r\n");
    start(local(2026, 12, 8, 10, 15));
    scheduler->check();
    QList<DueAnnouncement> due = takeAll();
    ASSERT_EQ(due.size(), 2);
    EXPECT_EQ(due[0].plan.text, "Standup, this alarm will be repeated tomorrow !");
    EXPECT_EQ(due[1].kind, DueAnnouncement::Kind::Notice);
    EXPECT_EQ(due[1].page,
        "\"Standup\" could not move on to Wednesday 9 December, 10:15: \"Dentist\" is set for "
        "that minute. It will be announced at Wednesday 9 December, 10:16 instead and keeps its "
        "own time after that.");
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n10/15/08/12/2026=nothing\r\n10/15/09/12/2026=NDentist\r\n"
                   "10/16/09/12/2026=TStandup\r\n"));

    // The next day both are told, each at its minute; the repeat goes back to 10:15.
    clock.advance(qint64(24) * 3600 * 1000);
    scheduler->check();
    clock.advance(60 * 1000);
    scheduler->check();
    due = takeAll();
    ASSERT_EQ(due.size(), 2);
    EXPECT_EQ(due[0].plan.text, "Dentist");
    EXPECT_EQ(due[1].plan.text, "Standup, this alarm will be repeated tomorrow !");
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n10/15/08/12/2026=nothing\r\n10/15/09/12/2026=nothing\r\n"
                   "10/16/09/12/2026=nothing\r\n10/15/10/12/2026=TStandup\r\n"));
    EXPECT_TRUE(scheduler->state().displaced.isEmpty());
}

TEST_F(SchedulerTest, AClockPutBackTellsNothingTwiceEvenWhatStaysInTheFile)
{
    // An hourly chain ends at the day's last hour and stays in the file.
    home.writeData("[alarms]\r\n23/10/08/12/2026=HLast round\r\n23/20/08/12/2026=NLocks\r\n");
    start(local(2026, 12, 8, 23, 10));
    scheduler->check();
    clock.advance(2 * 60 * 1000);
    scheduler->check();
    EXPECT_EQ(takeAll().size(), 1);
    // A time server steps the clock back seven minutes.
    clock.set(local(2026, 12, 8, 23, 5));
    scheduler->check();
    for (int i = 0; i < 16; ++i) {
        clock.advance(60 * 1000);
        scheduler->check();
    }
    const QList<DueAnnouncement> due = takeAll();
    ASSERT_EQ(due.size(), 1);
    EXPECT_EQ(due[0].plan.text, "Locks");
}

class Berlin : public SchedulerTest
{
protected:
    Berlin()
    {
        const char *tz = std::getenv("TZ");
        m_saved = tz ? QByteArray(tz) : QByteArray();
        m_had = tz != nullptr;
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    ~Berlin() override
    {
        if (m_had)
            qputenv("TZ", m_saved);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_saved;
    bool m_had = false;
};

TEST_F(Berlin, AnAppointmentInTheSpringGapIsAnnouncedOnTimeAndMovedOn)
{
    home.writeData("[alarms]\r\n02/30/28/03/2027=TPills\r\n");
    start(local(2027, 3, 28, 1, 59, 30));
    scheduler->check();
    clock.advance(31 * 1000); // 01:59:30 CET + 31 s = 03:00:01 CEST
    ASSERT_EQ(clock.now().time().hour(), 3);
    scheduler->check();
    const QList<DueAnnouncement> due = takeAll();
    ASSERT_EQ(due.size(), 1);
    EXPECT_EQ(due[0].kind, DueAnnouncement::Kind::OnTime);
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n02/30/28/03/2027=nothing\r\n02/30/29/03/2027=TPills\r\n"));
}

TEST_F(Berlin, TheHourLivedTwiceInAutumnTellsNothingTwice)
{
    home.writeData("[alarms]\r\n02/30/31/10/2027=TPills\r\n02/45/31/10/2027=NCall\r\n");
    start(local(2027, 10, 31, 2, 20));
    for (int i = 0; i < 120; ++i) { // two real hours, through the change back
        clock.advance(60 * 1000);
        scheduler->check();
    }
    const QList<DueAnnouncement> due = takeAll();
    ASSERT_EQ(due.size(), 2);
    EXPECT_EQ(due[0].plan.text, "Pills, this alarm will be repeated tomorrow !");
    EXPECT_EQ(due[1].plan.text, "Call");
}

TEST_F(SchedulerTest, AFullDiskDuringCatchUpIsToldKeptAcrossARestartAndWrittenLater)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=TTea\r\n");
    start(local(2026, 12, 8, 9, 0));
    QSignalSpy problems(scheduler.get(), &MinuteScheduler::writeProblem);
    {
        FileSizeLimit full(16);
        sleepUntil(local(2026, 12, 8, 12, 0));
    }
    EXPECT_EQ(problems.count(), 1);
    EXPECT_EQ(takeAll().size(), 1); // told even though the file could not follow
    EXPECT_EQ(home.readData(), QByteArray("[alarms]\r\n10/15/08/12/2026=TTea\r\n"));
    ASSERT_EQ(scheduler->state().postponed.size(), 2);
    scheduler->stop();

    // The restart finds the writes still to be made and makes them.
    start(local(2026, 12, 8, 12, 1));
    EXPECT_TRUE(old.isEmpty());
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n10/15/08/12/2026=nothing\r\n10/15/09/12/2026=TTea\r\n"));
    EXPECT_TRUE(scheduler->state().postponed.isEmpty());
}

TEST_F(SchedulerTest, AWeekAsleepWithTwoThousandAppointmentsHandlesEachOnceInOneWrite)
{
    QByteArray data = "[alarms]\r\n";
    const QDateTime first(QDate(2026, 12, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < 2000; ++i) {
        const QDateTime at = first.addSecs(qint64(i) * 5 * 60);
        data += schedule::keyOf(at).toLatin1() + (i % 2 ? "=NOnce " : "=TDaily ")
            + QByteArray::number(i) + "\r\n";
    }
    home.writeData(data);
    start(local(2026, 11, 30, 23, 59));
    sleepUntil(local(2026, 12, 8, 9, 0));
    QList<DueAnnouncement> missed;
    int notices = 0;
    for (const DueAnnouncement &item : takeAll()) {
        if (item.kind == DueAnnouncement::Kind::Missed)
            missed.append(item);
        else
            ++notices;
    }
    ASSERT_EQ(missed.size(), 2000);
    for (int i = 1; i < missed.size(); ++i)
        ASSERT_LT(schedule::wallOfKey(missed[i - 1].key), schedule::wallOfKey(missed[i].key));
    // Dailies of different days meet at the same minute of tomorrow: each
    // waits on a free one instead of erasing another, and the user is told.
    EXPECT_GT(notices, 0);
    EXPECT_EQ(notices, scheduler->state().displaced.size());
    const QByteArray after = home.readData();
    EXPECT_EQ(after.count("=TDaily"), 1000);
    EXPECT_EQ(after.count("=NOnce"), 0);
    sleepUntil(local(2026, 12, 8, 9, 1));
    EXPECT_FALSE(scheduler->hasDue());
}

TEST_F(SchedulerTest, AnUnreadableDataFileLeavesTheMinutesToALaterLook)
{
    home.writeData("[alarms]\r\n10/15/08/12/2026=NCall home\r\n");
    start(local(2026, 12, 8, 10, 0));
    QFile::remove(home.dataFile());
    QDir().mkpath(home.dataFile()); // a folder where the file should be: unreadable
    sleepUntil(local(2026, 12, 8, 10, 30));
    EXPECT_FALSE(scheduler->hasDue());
    QDir().rmdir(home.dataFile());
    home.writeData("[alarms]\r\n10/15/08/12/2026=NCall home\r\n");
    sleepUntil(local(2026, 12, 8, 10, 31));
    EXPECT_EQ(takeAll().size(), 1);
}

TEST_F(SchedulerTest, RestartsForANewDayAtMostOnceWhenTheDateCannotBeKept)
{
    start(local(2026, 12, 8, 23, 59));
    EXPECT_FALSE(scheduler->restartDue("08/12/2026"));
    clock.set(local(2026, 12, 9, 0, 0, 2));
    EXPECT_TRUE(scheduler->restartDue("08/12/2026"));
    EXPECT_FALSE(scheduler->restartDue("08/12/2026")); // the restart failed; once is enough
    // A calendar started today whose settings still say yesterday.
    start(local(2026, 12, 9, 0, 0, 30));
    EXPECT_FALSE(scheduler->restartDue("08/12/2026"));
}

TEST(ScheduleRules, StateFileRoundTripsAndReadsAnOldOneAndGarbage)
{
    schedule::State state;
    state.lastKey = "10/15/08/12/2026";
    state.postponed = { { "10/15/09/12/2026", "TTea\twith\\tab", "nothing" },
        { "10/15/08/12/2026", "nothing", "TTea\twith\\tab" } };
    state.displaced = { { "10/16/09/12/2026", "10/15/09/12/2026" } };
    EXPECT_EQ(schedule::readStateText(schedule::stateText(state)), state);

    // The earlier hand-over file held only the key.
    EXPECT_EQ(schedule::readStateText("10/15/08/12/2026").lastKey, "10/15/08/12/2026");
    const schedule::State bad
        = schedule::readStateText("not a key\nP\tx\ty\tz\nD\t1\t2\nQ\t\t\n\xff\xfe");
    EXPECT_TRUE(bad.lastKey.isEmpty());
    EXPECT_TRUE(bad.postponed.isEmpty());
    EXPECT_TRUE(bad.displaced.isEmpty());
}

TEST(ScheduleRules, NextOccurrenceAfterNowSteppingAsFiringDoes)
{
    using schedule::nextOccurrenceAfter;
    const auto wall = [](int y, int mo, int d, int h, int mi) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
    };
    EXPECT_EQ(
        nextOccurrenceAfter(RepeatStep::Day, wall(2026, 12, 1, 9, 0), wall(2026, 12, 8, 9, 0)),
        wall(2026, 12, 9, 9, 0));
    EXPECT_EQ(
        nextOccurrenceAfter(RepeatStep::Week, wall(2026, 12, 1, 9, 0), wall(2026, 12, 8, 8, 59)),
        wall(2026, 12, 8, 9, 0));
    // Cut back to February's end, a month stays cut back.
    EXPECT_EQ(
        nextOccurrenceAfter(RepeatStep::Month, wall(2027, 1, 31, 8, 0), wall(2027, 3, 1, 0, 0)),
        wall(2027, 3, 28, 8, 0));
    EXPECT_EQ(
        nextOccurrenceAfter(RepeatStep::Year, wall(2028, 2, 29, 7, 0), wall(2030, 1, 1, 0, 0)),
        wall(2030, 2, 28, 7, 0));
    EXPECT_FALSE(
        nextOccurrenceAfter(RepeatStep::Day, wall(9999, 12, 31, 23, 0), wall(9999, 12, 31, 23, 0)));
    EXPECT_FALSE(
        nextOccurrenceAfter(RepeatStep::None, wall(2026, 12, 1, 9, 0), wall(2026, 12, 8, 9, 0)));
}

} // namespace
