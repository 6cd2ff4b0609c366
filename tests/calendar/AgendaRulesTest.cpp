#include "calendar/AgendaRules.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using agenda::Day;
using agenda::Entry;

namespace {

QList<AppointmentLine> lines(const QStringList &text)
{
    QList<AppointmentLine> out;
    for (const QString &line : text)
        out << AppointmentLine::fromLine(line);
    return out;
}

QDateTime wall(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

QStringList times(const QList<Entry> &entries)
{
    QStringList out;
    for (const Entry &e : entries)
        out << e.wall.toString(QStringLiteral("dd/MM HH:mm ")) + e.message;
    return out;
}

// Three appointments today, as the calendar's own answer reads them.
const QStringList kThreeToday { "09/00/09/12/2026=NDaily standup",
    "13/30/09/12/2026=NLunch with Ana", "18/00/09/12/2026=TWater the plants" };

} // namespace

TEST(AgendaOccurrences, RepeatsAreSteppedIntoTheAskedDayAndSortedByTime)
{
    const auto file = lines({
        "18/00/09/12/2026=TWater the plants", // daily, today
        "07/15/01/12/2026=TStretch", // daily since last week
        "10/00/02/12/2026=ZTeam meeting", // weekly: the 9th is a week on
        "10/00/03/12/2026=ZYoga", // weekly on other days
        "08/00/09/11/2026=XRent", // monthly
        "08/00/09/12/2025=LBirthday of Ana}", // yearly, with its early warning
        "12/00/10/12/2026=NTomorrow only", "09/00/09/12/2026=?Not a repeat code",
        "07/15/09/12/2026=NStretch twice", // same minute: file order kept
    });
    EXPECT_EQ(times(agenda::occurrencesOn(file, QDate(2026, 12, 9))),
        QStringList({ "09/12 07:15 Stretch", "09/12 07:15 Stretch twice", "09/12 08:00 Rent",
            "09/12 08:00 Birthday of Ana", "09/12 10:00 Team meeting",
            "09/12 18:00 Water the plants" }));
    EXPECT_EQ(times(agenda::occurrencesOn(file, QDate(2026, 12, 10))),
        QStringList({ "10/12 07:15 Stretch", "10/12 10:00 Yoga", "10/12 12:00 Tomorrow only",
            "10/12 18:00 Water the plants" }));

    // A month keeps its day cut back to a shorter month's last day.
    const auto monthEnd = lines({ "09/00/31/01/2027=XInvoices" });
    EXPECT_EQ(agenda::occurrencesOn(monthEnd, QDate(2027, 2, 28)).size(), 1);
    EXPECT_EQ(agenda::occurrencesOn(monthEnd, QDate(2027, 3, 31)).size(), 0); // stays cut back
    EXPECT_EQ(agenda::occurrencesOn(monthEnd, QDate(2027, 3, 28)).size(), 1);
}

TEST(AgendaOccurrences, AnHourlyOneListsEachHourLeftInItsOwnDay)
{
    const auto file = lines({ "21/30/09/12/2026=HStretch", "21/30/08/12/2026=HYesterday's" });
    EXPECT_EQ(times(agenda::occurrencesOn(file, QDate(2026, 12, 9))),
        QStringList({ "09/12 21:30 Stretch", "09/12 22:30 Stretch", "09/12 23:30 Stretch" }));
    // The chain ends with its day: nothing tomorrow, and yesterday's is over.
    EXPECT_TRUE(agenda::occurrencesOn(file, QDate(2026, 12, 10)).isEmpty());

    QStringList many;
    for (int i = 0; i < 60; ++i)
        many << QStringLiteral("00/%1/09/12/2026=HPills %1").arg(i, 2, 10, QLatin1Char('0'));
    EXPECT_EQ(agenda::occurrencesOn(lines(many), QDate(2026, 12, 9)).size(), agenda::kMaxEntries);
}

TEST(AgendaOccurrences, NextIsTheSoonestStoredOrWhereAnUnhandledRepeatMovesTo)
{
    const QDateTime now = wall(2026, 12, 9, 12, 50);
    EXPECT_EQ(agenda::nextAfter(lines(kThreeToday), now),
        (Entry { wall(2026, 12, 9, 13, 30), "Lunch with Ana" }));
    // A daily one not moved on yet (the calendar was off) comes tomorrow.
    EXPECT_EQ(
        agenda::nextAfter(lines({ "09/00/01/12/2026=TStandup", "09/00/01/12/2026=NOld" }), now),
        (Entry { wall(2026, 12, 10, 9, 0), "Standup" }));
    EXPECT_FALSE(agenda::nextAfter(lines({ "09/00/01/12/2026=NOld" }), now));
}

TEST(AgendaSpeech, TimesAreSaidAsAPersonSaysThem)
{
    const QList<QPair<QTime, QString>> table {
        { QTime(9, 0), "nine o'clock" },
        { QTime(13, 30), "half past one" },
        { QTime(18, 15), "quarter past six" },
        { QTime(9, 45), "quarter to ten" },
        { QTime(23, 45), "quarter to twelve" },
        { QTime(10, 20), "twenty past ten" },
        { QTime(10, 55), "five to eleven" },
        { QTime(9, 7), "nine oh seven" },
        { QTime(16, 37), "four thirty-seven" },
        { QTime(0, 0), "midnight" },
        { QTime(12, 0), "noon" },
        { QTime(0, 30), "half past twelve" },
        { QTime(12, 5), "five past twelve" },
    };
    for (const auto &[time, said] : table)
        EXPECT_EQ(agenda::spokenTime(time), said) << time.toString().toStdString();
    EXPECT_EQ(agenda::period(QTime(11, 45)), "in the morning");
    EXPECT_EQ(agenda::period(QTime(12, 5)), "in the afternoon");
    EXPECT_EQ(agenda::period(QTime(21, 59)), "in the evening");
    EXPECT_EQ(agenda::period(QTime(23, 45)), "at night");
    EXPECT_EQ(agenda::period(QTime(0, 0)), "");
}

TEST(AgendaSpeech, ADayIsCountedThenReadWithThePartOfTheDayWhenItChanges)
{
    const auto today = agenda::occurrencesOn(lines(kThreeToday), QDate(2026, 12, 9));
    EXPECT_EQ(agenda::dayText(today, Day::Today, wall(2026, 12, 9, 8, 0)),
        "You have three appointments today. At nine o'clock in the morning, Daily standup. "
        "At half past one in the afternoon, Lunch with Ana. At six o'clock in the evening, "
        "Water the plants.");
    // Those past are only counted, and only when asked for today.
    EXPECT_EQ(agenda::dayText(today, Day::Today, wall(2026, 12, 9, 12, 0)),
        "Earlier today you had one appointment. You have two more appointments today. "
        "At half past one in the afternoon, Lunch with Ana. At six o'clock in the evening, "
        "Water the plants.");
    EXPECT_EQ(agenda::dayText(today, Day::Today, wall(2026, 12, 9, 19, 0)),
        "Earlier today you had three appointments. Nothing more is planned for today.");
    EXPECT_EQ(agenda::dayText({}, Day::Tomorrow, wall(2026, 12, 9, 19, 0)),
        "Nothing is planned for tomorrow.");
    EXPECT_EQ(
        agenda::dayText({}, Day::Today, wall(2026, 12, 9, 19, 0)), "Nothing is planned for today.");

    // A message keeps its own final mark; an empty one is still told.
    const auto marks = agenda::occurrencesOn(
        lines({ "14/00/10/12/2026=NCall Ana!", "14/15/10/12/2026=N" }), QDate(2026, 12, 10));
    EXPECT_EQ(agenda::dayText(marks, Day::Tomorrow, wall(2026, 12, 9, 19, 0)),
        "You have two appointments tomorrow. At two o'clock in the afternoon, Call Ana! "
        "At quarter past two, an appointment without a message.");
}

TEST(AgendaSpeech, MoreThanFiveReadsTheFirstFiveAndLeavesTheRestToTheWindow)
{
    const auto file = lines({ "09/00/09/12/2026=HPills" }); // nine to eleven at night: 15
    const auto entries = agenda::occurrencesOn(file, QDate(2026, 12, 9));
    ASSERT_EQ(entries.size(), 15);
    const QString text = agenda::dayText(entries, Day::Today, wall(2026, 12, 9, 8, 0));
    EXPECT_EQ(text.count("Pills."), 5);
    EXPECT_TRUE(text.startsWith("You have fifteen appointments today. At nine o'clock in the "
                                "morning, Pills. At ten o'clock, Pills."));
    EXPECT_TRUE(text.endsWith("At one o'clock in the afternoon, Pills. And ten more, shown in the "
                              "window."));
    EXPECT_TRUE(agenda::moreThanSpoken(entries, Day::Today, wall(2026, 12, 9, 8, 0)));
    EXPECT_FALSE(agenda::moreThanSpoken(entries, Day::Today, wall(2026, 12, 9, 18, 30)));
    EXPECT_EQ(agenda::windowLines(entries).first(), "9:00  Pills");
    EXPECT_EQ(agenda::windowTitle(Day::Today, QDate(2026, 12, 9)), "Today, Wednesday 9 December");
}

TEST(AgendaSpeech, NextCountsDownWithinTwoHoursThenNamesTheDay)
{
    const QDateTime now(QDate(2026, 12, 9), QTime(12, 50, 20), Qt::LocalTime);
    const QDateTime nowWall = wall(2026, 12, 9, 12, 50);
    auto next = [&](const QDateTime &at, const char *message = "Lunch with Ana") {
        return agenda::nextText(Entry { at, QString::fromUtf8(message) }, now, nowWall);
    };
    EXPECT_EQ(next(wall(2026, 12, 9, 13, 30)),
        "Next is Lunch with Ana, in 40 minutes, at half past one.");
    EXPECT_EQ(next(wall(2026, 12, 9, 12, 51)),
        "Next is Lunch with Ana, in 1 minute, at twelve "
        "fifty-one.");
    EXPECT_EQ(next(wall(2026, 12, 9, 14, 0)),
        "Next is Lunch with Ana, in 1 hour and 10 minutes, at two o'clock.");
    EXPECT_EQ(next(wall(2026, 12, 9, 14, 50)),
        "Next is Lunch with Ana, in 2 hours, at ten to "
        "three.");
    EXPECT_EQ(next(wall(2026, 12, 9, 18, 0)),
        "Next is Lunch with Ana, today at six o'clock in the evening.");
    EXPECT_EQ(
        next(wall(2026, 12, 10, 0, 0), "Bins out."), "Next is Bins out, tomorrow at midnight.");
    EXPECT_EQ(next(wall(2026, 12, 12, 9, 0)),
        "Next is Lunch with Ana, on Saturday at nine o'clock in the morning.");
    EXPECT_EQ(next(wall(2027, 1, 4, 9, 0)),
        "Next is Lunch with Ana, on Monday 4 January 2027 at nine o'clock in the morning.");
    EXPECT_EQ(next(wall(2026, 12, 9, 12, 50)), "Next is Lunch with Ana, now.");
    EXPECT_EQ(agenda::nextText(std::nullopt, now, nowWall), "Nothing more is planned.");
}

TEST(AgendaSpeech, AroundMidnightTodayAndTomorrowFollowTheWallDate)
{
    const auto file = lines({ "23/59/09/12/2026=NLate call", "00/00/10/12/2026=NBins out" });
    const QDateTime beforeMidnight = wall(2026, 12, 9, 23, 58);
    EXPECT_EQ(agenda::dayText(
                  agenda::occurrencesOn(file, QDate(2026, 12, 9)), Day::Today, beforeMidnight),
        "You have one appointment today. At eleven fifty-nine at night, Late call.");
    EXPECT_EQ(agenda::dayText(
                  agenda::occurrencesOn(file, QDate(2026, 12, 10)), Day::Tomorrow, beforeMidnight),
        "You have one appointment tomorrow. At midnight, Bins out.");
    EXPECT_EQ(agenda::nextAfter(file, wall(2026, 12, 10, 0, 0))->message, "Bins out");
}

namespace {

// The clocks of Europe/Berlin: forward at 2:00 on 28 March 2027, back at
// 3:00 on 31 October 2027.
class BerlinDay : public ::testing::Test
{
protected:
    BerlinDay()
    {
        const char *tz = std::getenv("TZ");
        m_had = tz != nullptr;
        m_saved = tz ? QByteArray(tz) : QByteArray();
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    ~BerlinDay() override
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

} // namespace

TEST_F(BerlinDay, ClockChangesCountRealMinutesAndKeepTheWallTimes)
{
    const QDateTime beforeGap(QDate(2027, 3, 28), QTime(1, 50), Qt::LocalTime);
    // 3:10 is twenty minutes after 1:50 on the day the clocks go forward.
    EXPECT_EQ(agenda::minutesUntil(beforeGap, wall(2027, 3, 28, 3, 10)), 20);
    // 2:30 never shows; it comes when the clock passes it, at 3:00.
    EXPECT_EQ(agenda::minutesUntil(beforeGap, wall(2027, 3, 28, 2, 30)), 10);
    const auto gapDay = lines({ "02/30/27/03/2027=TPills" });
    EXPECT_EQ(times(agenda::occurrencesOn(gapDay, QDate(2027, 3, 28))),
        QStringList({ "28/03 02:30 Pills" }));

    // On the day they go back, 1:30 to 3:30 is three hours, and twenty
    // minutes to three in the first pass of the hour lived twice is eighty
    // minutes before three.
    const QDateTime autumn(QDate(2027, 10, 31), QTime(1, 30), Qt::LocalTime);
    EXPECT_EQ(agenda::minutesUntil(autumn, wall(2027, 10, 31, 3, 30)), 180);
    const QDateTime firstPass = QDateTime(QDate(2027, 10, 31), QTime(0, 40), Qt::UTC).toLocalTime();
    ASSERT_EQ(firstPass.time(), QTime(2, 40));
    EXPECT_EQ(agenda::nextText(Entry { wall(2027, 10, 31, 3, 0), "Pills" }, firstPass,
                  wall(2027, 10, 31, 2, 40)),
        "Next is Pills, in 1 hour and 20 minutes, at three o'clock.");
}
