#include "ical/ICalendar.h"
#include "storage/Appointment.h"
#include "tests/ical/IcalTestSupport.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace ical;

namespace {

class ICalendarTest : public ::testing::Test
{
protected:
    void SetUp() override { useBerlinTime(); }

    ParsedCalendar parse(const QString &file, QTime allDayAt = QTime(9, 0))
    {
        return parseCalendar(icalData(file), { localNow(2027, 1, 1, 8, 0), allDayAt });
    }

    static QHash<QString, IncomingEvent> byUid(const ParsedCalendar &parsed)
    {
        QHash<QString, IncomingEvent> out;
        for (const IncomingEvent &e : parsed.events)
            out.insert(e.uid, e);
        return out;
    }

    static QString whyOf(const ParsedCalendar &parsed, const QString &what)
    {
        for (const SkippedEvent &s : parsed.skipped) {
            if (s.what == what)
                return s.why;
        }
        return {};
    }
};

TEST_F(ICalendarTest, EventsInOtherZonesLandOnTheLocalMinuteOfTheirAlarm)
{
    const ParsedCalendar parsed = parse(QStringLiteral("zones.ics"));
    ASSERT_TRUE(parsed.error.isEmpty());
    const auto events = byUid(parsed);
    // New York 09:00 EST is 15:00 in Berlin; its alarm is 15 minutes before.
    EXPECT_EQ(events.value(QStringLiteral("19970901T130000Z-123401@example.com")).wall,
        wall(2027, 1, 15, 14, 45));
    EXPECT_EQ(events.value(QStringLiteral("19970901T130000Z-123402@example.com")).wall,
        wall(2027, 1, 16, 13, 0));
    EXPECT_EQ(events.value(QStringLiteral("19970901T130000Z-123403@example.com")).wall,
        wall(2027, 1, 17, 7, 30));
    // A zone the file does not define comes from the system's zone data.
    EXPECT_EQ(events.value(QStringLiteral("tokyo@example.com")).wall, wall(2027, 1, 18, 1, 0));
    // Summer time on both sides: 09:00 EDT is 15:00 CEST.
    EXPECT_EQ(events.value(QStringLiteral("summer@example.com")).wall, wall(2027, 7, 15, 15, 0));
    EXPECT_EQ(events.value(QStringLiteral("summer@example.com")).code, QLatin1Char('N'));
}

TEST_F(ICalendarTest, AllDayEventsAndAlarmsBeforeAfterAndAtAFixedTime)
{
    const auto events = byUid(parse(QStringLiteral("allday-alarms.ics")));
    // All-day: the set time of day, not its alarm.
    EXPECT_EQ(events.value(QStringLiteral("allday@example.com")).wall, wall(2027, 1, 20, 9, 0));
    // Of several alarms the last one, nearest the event.
    EXPECT_EQ(events.value(QStringLiteral("before@example.com")).wall, wall(2027, 1, 21, 9, 30));
    // Related to the end: 11:30 plus an hour.
    EXPECT_EQ(events.value(QStringLiteral("after@example.com")).wall, wall(2027, 1, 22, 12, 30));
    EXPECT_EQ(events.value(QStringLiteral("absolute@example.com")).wall, wall(2027, 1, 23, 8, 0));

    const auto early = byUid(parse(QStringLiteral("allday-alarms.ics"), QTime(7, 15)));
    EXPECT_EQ(early.value(QStringLiteral("allday@example.com")).wall, wall(2027, 1, 20, 7, 15));
}

TEST_F(ICalendarTest, RulesACodeHoldsMapAndRicherOnesAreKeptWhole)
{
    const ParsedCalendar parsed = parse(QStringLiteral("rrules.ics"));
    const auto events = byUid(parsed);

    const IncomingEvent quarterly = events.value(QStringLiteral("quarterly@example.com"));
    EXPECT_EQ(quarterly.code, QLatin1Char('I'));
    EXPECT_TRUE(quarterly.rule.isEmpty());
    EXPECT_EQ(quarterly.wall, wall(2027, 1, 5, 9, 0));
    // A daily repeat that began before now is moved on past it.
    const IncomingEvent daily = events.value(QStringLiteral("daily-past@example.com"));
    EXPECT_EQ(daily.code, QLatin1Char('T'));
    EXPECT_EQ(daily.wall, wall(2027, 1, 2, 6, 30));

    // Tuesdays and Thursdays: the next one after Friday 1 January is Tuesday.
    const IncomingEvent byDay = events.value(QStringLiteral("weekly-byday@example.com"));
    EXPECT_EQ(byDay.code, QLatin1Char('N'));
    EXPECT_TRUE(byDay.rule.contains(QLatin1String("BYDAY=TU,TH")));
    EXPECT_TRUE(byDay.original.contains("UID:weekly-byday@example.com"));
    EXPECT_EQ(byDay.wall, wall(2027, 1, 5, 9, 0));
    EXPECT_EQ(nextOccurrence(byDay.original, wall(2027, 1, 5, 9, 0), QTime(9, 0)),
        wall(2027, 1, 7, 9, 0));

    const IncomingEvent count = events.value(QStringLiteral("daily-count@example.com"));
    EXPECT_EQ(count.wall, wall(2027, 1, 1, 9, 0));
    // The tenth and last is 8 January.
    EXPECT_EQ(nextOccurrence(count.original, wall(2027, 1, 7, 9, 0), QTime(9, 0)),
        wall(2027, 1, 8, 9, 0));
    EXPECT_FALSE(nextOccurrence(count.original, wall(2027, 1, 8, 9, 0), QTime(9, 0)));

    EXPECT_FALSE(events.value(QStringLiteral("every-other-month@example.com")).rule.isEmpty());
    EXPECT_EQ(whyOf(parsed, QStringLiteral("Over and done")), QStringLiteral("it repeats no more"));

    // A rule that never ends, by the second since 1997, is found quickly.
    const IncomingEvent endless = events.value(QStringLiteral("forever@example.com"));
    EXPECT_EQ(endless.wall, wall(2027, 1, 1, 8, 1));
}

TEST_F(ICalendarTest, FoldedLinesAndTextOutsideAsciiReadWhole)
{
    const ParsedCalendar parsed = parse(QStringLiteral("folded.ics"));
    ASSERT_EQ(parsed.events.size(), 1);
    EXPECT_EQ(parsed.events[0].text,
        QString::fromUtf8(
            "Grüße an Frau Müller, sie bringt 日本語-Unterlagen und den Schlüssel für "
            "Raum 5; bitte anrufen"));
}

TEST_F(ICalendarTest, BadEventsAreSkippedWithTheirReason)
{
    const ParsedCalendar parsed = parse(QStringLiteral("bad-events.ics"));
    EXPECT_EQ(whyOf(parsed, QStringLiteral("No start at all")),
        QStringLiteral("it has no start (DTSTART)"));
    EXPECT_EQ(whyOf(parsed, QStringLiteral("Unknown zone")),
        QStringLiteral("its time zone \"Mars/Olympus_Mons\" is unknown"));
    EXPECT_EQ(whyOf(parsed, QStringLiteral("Second of a UID")),
        QStringLiteral("its UID is used by an earlier event"));
    EXPECT_EQ(whyOf(parsed, QStringLiteral("Long gone")), QStringLiteral("its time has passed"));
    // A final brace would read back as the early-warning marker.
    const auto events = byUid(parsed);
    EXPECT_EQ(events.value(QStringLiteral("brace@example.com")).text,
        QStringLiteral("Meet in {room 5}."));
    EXPECT_EQ(parsed.events.size(), 2);

    for (const QByteArray &bytes : { icalData(QStringLiteral("malformed.ics")), QByteArray(),
             QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:2027"),
             QByteArray(ical::kMaxFileBytes + 1, 'x') }) {
        const ParsedCalendar bad = parseCalendar(bytes, { localNow(2027, 1, 1, 8, 0), {} });
        EXPECT_TRUE(bad.events.isEmpty());
    }
    EXPECT_FALSE(parseCalendar(icalData(QStringLiteral("malformed.ics")), {}).error.isEmpty());
    // A value that is no date is what libical's checks find wrong.
    EXPECT_FALSE(problemsOf("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//t//EN\r\n"
                            "BEGIN:VEVENT\r\nUID:a\r\nDTSTAMP:20270101T000000Z\r\n"
                            "DTSTART:tomorrow\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
                     .isEmpty());
}

// Every repeat code goes out as its rule and comes back as itself.
TEST_F(ICalendarTest, EveryRepeatCodeRoundTrips)
{
    QList<OutgoingEvent> out;
    int day = 1;
    for (const RepeatCode &row : repeatCodes()) {
        OutgoingEvent e;
        e.uid = QStringLiteral("code-%1@quillory").arg(QLatin1Char(row.code));
        e.wall = wall(2027, 3, day++, 10, 15);
        e.code = QLatin1Char(row.code);
        e.text = QString::fromUtf8("Zahnarzt, Müller; 10:15 \\ ok");
        e.earlyWarning = row.code == 'Z';
        out.append(e);
    }
    const QByteArray ics = exportCalendar(out, QStringLiteral("Europe/Berlin"));
    EXPECT_TRUE(ics.contains("BEGIN:VTIMEZONE"));
    EXPECT_TRUE(ics.contains("RRULE:FREQ=MONTHLY;INTERVAL=3"));
    EXPECT_TRUE(ics.contains("TRIGGER:-P7D"));
    EXPECT_EQ(ics.count("BEGIN:VEVENT"), 14);
    EXPECT_EQ(problemsOf(ics), QStringList());
    const auto back = byUid(parseCalendar(ics, { localNow(2027, 1, 1, 8, 0), {} }));
    ASSERT_EQ(back.size(), 14);
    for (const OutgoingEvent &e : out) {
        const IncomingEvent in = back.value(e.uid);
        EXPECT_EQ(in.code, e.code) << e.uid.toStdString();
        EXPECT_EQ(in.wall, e.wall) << e.uid.toStdString();
        EXPECT_EQ(in.text, e.text);
        EXPECT_EQ(in.earlyWarning, e.earlyWarning);
        EXPECT_EQ(ruleOfCode(e.code).isEmpty(), findRepeatCode(e.code)->step == RepeatStep::None);
    }
}

TEST_F(ICalendarTest, ARicherRuleGoesOutAsItCameAndAnUnknownZoneAsUtc)
{
    OutgoingEvent e { QStringLiteral("r@x"), wall(2027, 2, 2, 9, 0), QLatin1Char('N'),
        QStringLiteral("Gym"), false, QStringLiteral("FREQ=WEEKLY;BYDAY=TU,TH") };
    EXPECT_TRUE(exportCalendar({ e }, QStringLiteral("Europe/Berlin"))
                    .contains("RRULE:FREQ=WEEKLY;BYDAY=TU,TH"));
    const QByteArray utc = exportCalendar({ e }, QStringLiteral("Nowhere/Special"));
    EXPECT_TRUE(utc.contains("DTSTART:20270202T080000Z"));
    const auto back = parseCalendar(utc, { localNow(2027, 1, 1, 8, 0), {} });
    ASSERT_EQ(back.events.size(), 1);
    EXPECT_EQ(back.events[0].wall, e.wall);
}

} // namespace
