#include "manager/ManagerRules.h"
#include "remote/AppointmentBook.h"
#include "remote/WhenRules.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace remote;

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(14, 7, 30));

AddRequest parcel()
{
    return { QDate(2026, 12, 10), QTime(9, 0), QStringLiteral("daily"), false, false,
        QStringLiteral("Pick up the parcel") };
}

QString refusal(manager::SaveRefusal why)
{
    return manager::refusalText(why);
}

} // namespace

TEST(RemoteWhen, AtTakesADateTodayTomorrowOrATimeAlone)
{
    struct Case
    {
        const char *text;
        QDate date;
        QTime time;
    };
    for (const Case &c : { Case { "2026-12-24 19:05", { 2026, 12, 24 }, { 19, 5 } },
             Case { "2027-1-2 7:00", { 2027, 1, 2 }, { 7, 0 } },
             Case { "tomorrow 9:00", { 2026, 12, 10 }, { 9, 0 } },
             Case { "Today 23:59", { 2026, 12, 9 }, { 23, 59 } },
             Case { "14:08", { 2026, 12, 9 }, { 14, 8 } }, // still to come today
             Case { "14:07", { 2026, 12, 10 }, { 14, 7 } }, // this minute: tomorrow's
             Case { "9:30", { 2026, 12, 10 }, { 9, 30 } } }) {
        const When when = parseAt(QString::fromLatin1(c.text), kNow);
        EXPECT_EQ(when.status, When::Status::Ok) << c.text;
        EXPECT_EQ(when.date, c.date) << c.text;
        EXPECT_EQ(when.time, c.time) << c.text;
    }
}

TEST(RemoteWhen, MinutesThatDoNotExistAreRefusedInTheManagersWords)
{
    const When february = parseAt("2027-02-31 09:00", kNow);
    EXPECT_EQ(february.status, When::Status::Refused);
    EXPECT_EQ(february.text, "Sorry, that day is not in the calendar. Please try again!");
    const When midnight = parseAt("2026-12-24 24:00", kNow);
    EXPECT_EQ(midnight.status, When::Status::Refused);
    EXPECT_EQ(midnight.text, refusal(manager::SaveRefusal::InvalidHour));
    EXPECT_EQ(parseAt("9:60", kNow).text, refusal(manager::SaveRefusal::InvalidMinute));
    EXPECT_EQ(parseMinute("2026-13-01 10:00").status, When::Status::Refused);

    for (const char *text : { "", "soon", "2026-12-24", "09.00", "2026/12/24 09:00", "9:5" })
        EXPECT_EQ(parseAt(QString::fromLatin1(text), kNow).status, When::Status::BadUsage) << text;
    EXPECT_EQ(parseMinute("tomorrow 9:00").status, When::Status::BadUsage);
}

TEST(RemoteWhen, InCountsFromNowToTheMinute)
{
    const When twenty = parseIn("20m", kNow);
    EXPECT_EQ(twenty.date, QDate(2026, 12, 9));
    EXPECT_EQ(twenty.time, QTime(14, 27));
    EXPECT_EQ(parseIn("2h", kNow).time, QTime(16, 7));
    const When late = parseIn("10h 30min", kNow);
    EXPECT_EQ(late.date, QDate(2026, 12, 10));
    EXPECT_EQ(late.time, QTime(0, 37));
    for (const char *text : { "", "20", "m", "-5m", "2d", "1m2h" })
        EXPECT_EQ(parseIn(QString::fromLatin1(text), kNow).status, When::Status::BadUsage) << text;

    EXPECT_EQ(parseDay("2026-12-31", kNow.date()), QDate(2026, 12, 31));
    EXPECT_EQ(parseDay("tomorrow", kNow.date()), QDate(2026, 12, 10));
    EXPECT_FALSE(parseDay("2026-02-30", kNow.date()));
}

TEST(RemoteAdd, WritesTheManagersRecordAndRepeatCodes)
{
    TestHome home;
    const Outcome added = add(home.dataFile(), parcel(), kNow);
    EXPECT_TRUE(added.done);
    EXPECT_EQ(added.text, "Added 2026-12-10 09:00 daily: Pick up the parcel");
    EXPECT_TRUE(home.readData().contains("09/00/10/12/2026=TPick up the parcel"));

    AddRequest tea { QDate(2026, 12, 9), QTime(21, 15), "weekly", true, true, "Tea" };
    EXPECT_TRUE(add(home.dataFile(), tea, kNow).done);
    EXPECT_TRUE(home.readData().contains("21/15/09/12/2026=VTea}"));
    EXPECT_EQ(*repeatCodeFor("once", false), QChar('N'));
    EXPECT_EQ(*repeatCodeFor("once", true), QChar('R'));
    EXPECT_EQ(*repeatCodeFor("yearly", false), QChar('L'));
    EXPECT_FALSE(repeatCodeFor("fortnightly", false));

    // The same appointment again changes nothing and is no refusal.
    const QByteArray before = home.readData();
    const Outcome again = add(home.dataFile(), parcel(), kNow);
    EXPECT_TRUE(again.done);
    EXPECT_TRUE(again.text.startsWith("Already there"));
    EXPECT_EQ(home.readData(), before);
}

TEST(RemoteAdd, RefusalsLeaveTheFileAsItWas)
{
    TestHome home;
    ASSERT_TRUE(add(home.dataFile(), parcel(), kNow).done);
    const QByteArray before = home.readData();

    struct Case
    {
        AddRequest request;
        QString text;
    };
    AddRequest empty = parcel();
    empty.date = QDate(2026, 12, 11);
    empty.message.clear();
    AddRequest huge = empty;
    huge.message = QString(10000, 'x');
    AddRequest brace = empty;
    brace.message = "Meet in {room 5}";
    AddRequest exact = empty;
    exact.message = "Now";
    exact.date = kNow.date();
    exact.time = QTime(14, 7);
    AddRequest gone = exact;
    gone.time = QTime(14, 6);
    AddRequest yesterday = exact;
    yesterday.date = QDate(2026, 12, 8);
    yesterday.time = QTime(20, 0);
    AddRequest unknown = exact;
    unknown.time = QTime(15, 0);
    unknown.repeat = "fortnightly";
    AddRequest taken = parcel();
    taken.message = "Feed the cat";
    for (const Case &c : { Case { empty, refusal(manager::SaveRefusal::ShortMessage) },
             Case { huge, refusal(manager::SaveRefusal::LongMessage) },
             Case { brace, refusal(manager::SaveRefusal::FinalBrace) },
             Case { exact, refusal(manager::SaveRefusal::ExactTime) },
             Case { gone,
                 "Sorry, 2026-12-09 14:06 has already passed. Please choose a time to come!" },
             Case { yesterday,
                 "Sorry, 2026-12-08 20:00 has already passed. Please choose a time to come!" },
             Case { unknown,
                 "Sorry, \"fortnightly\" is not a repeat. Please choose one of: once, hourly, "
                 "daily, weekly, monthly, quarterly, yearly." },
             Case { taken,
                 "Sorry, 2026-12-10 09:00 already holds the appointment \"Pick up the parcel\". "
                 "Remove it first or choose another minute." } }) {
        const Outcome outcome = add(home.dataFile(), c.request, kNow);
        EXPECT_FALSE(outcome.done) << c.request.message.left(20).toStdString();
        EXPECT_EQ(outcome.text, c.text);
        EXPECT_EQ(home.readData(), before);
    }
}

TEST(RemoteAdd, AWriteThatFailsIsToldAndChangesNothing)
{
    TestHome home;
    home.writeData("[alarms]\r\n");
    Outcome outcome;
    {
        FileSizeLimit full(8); // a full disk
        outcome = add(home.dataFile(), parcel(), kNow);
    }
    EXPECT_FALSE(outcome.done);
    EXPECT_TRUE(outcome.text.startsWith("Sorry, the appointment file could not be written"))
        << outcome.text.toStdString();
    EXPECT_EQ(home.readData(), "[alarms]\r\n");
}

TEST(RemoteRemove, ClearsOnlyThatKeyAndSaysWhatItWas)
{
    TestHome home;
    ASSERT_TRUE(add(home.dataFile(), parcel(), kNow).done);
    AddRequest other = parcel();
    other.time = QTime(9, 1);
    other.message = "Stay";
    ASSERT_TRUE(add(home.dataFile(), other, kNow).done);

    const Outcome removed = remove(home.dataFile(), "09/00/10/12/2026");
    EXPECT_TRUE(removed.done);
    EXPECT_EQ(removed.text, "Removed 2026-12-10 09:00 daily: Pick up the parcel");
    EXPECT_TRUE(home.readData().contains("09/00/10/12/2026=nothing"));
    EXPECT_TRUE(home.readData().contains("09/01/10/12/2026=TStay"));

    const Outcome none = remove(home.dataFile(), "09/00/10/12/2026");
    EXPECT_FALSE(none.done);
    EXPECT_EQ(none.text, "There is no appointment at 2026-12-10 09:00.");
}

TEST(RemoteList, EarliestFirstWithinTheDaysAndAsJson)
{
    const QByteArray file = "[alarms]\r\n"
                            "09/00/10/12/2026=TPick up the parcel\r\n"
                            "21/15/09/12/2026=VTea}\r\n"
                            "08/00/31/02/2027=NNo such day\r\n"
                            "10/00/11/12/2026=nothing\r\n"
                            "11/00/11/12/2026=?No code\r\n"
                            "07/30/01/01/2027=NNew year\r\n";
    const QList<Entry> all = entries(file);
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(listLine(all[0]), "2026-12-09 21:15\tweekly\tconfirm,early-warning\tTea");
    EXPECT_EQ(listLine(all[1]), "2026-12-10 09:00\tdaily\t-\tPick up the parcel");
    EXPECT_EQ(all[2].message, "New year");

    EXPECT_EQ(between(all, QDate(2026, 12, 10), QDate(2026, 12, 31)).size(), 1);
    EXPECT_EQ(between(all, std::nullopt, QDate(2026, 12, 10)).size(), 2);
    EXPECT_EQ(nextFrom(all, QDateTime(QDate(2026, 12, 9), QTime(21, 15, 40)))->message, "Tea");
    EXPECT_EQ(nextFrom(all, QDateTime(QDate(2026, 12, 9), QTime(21, 16)))->repeat, "daily");
    EXPECT_FALSE(nextFrom(all, QDateTime(QDate(2027, 1, 1), QTime(7, 31))));

    const QJsonArray array = QJsonDocument::fromJson(json(all.mid(0, 1))).array();
    ASSERT_EQ(array.size(), 1);
    const QJsonObject tea = array[0].toObject();
    EXPECT_EQ(tea.keys(),
        QStringList({ "confirm", "date", "earlyWarning", "key", "message", "repeat", "time" }));
    EXPECT_EQ(tea["key"].toString(), "21/15/09/12/2026");
    EXPECT_EQ(tea["date"].toString(), "2026-12-09");
    EXPECT_EQ(tea["time"].toString(), "21:15");
    EXPECT_TRUE(tea["confirm"].toBool());
    EXPECT_TRUE(tea["earlyWarning"].toBool());

    // What the bus hands over reads back as the same entry.
    const std::optional<Entry> back = entryFromFields(fields(all[1]));
    ASSERT_TRUE(back);
    EXPECT_EQ(listLine(*back), listLine(all[1]));
    EXPECT_FALSE(entryFromFields({ { "date", "2026-12-10" } }));
}
