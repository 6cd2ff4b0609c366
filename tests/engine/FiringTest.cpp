#include "engine/Firing.h"
#include "engine/TickRules.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <gtest/gtest.h>

namespace {

KeyParts at(const char *key)
{
    return *KeyParts::parse(QString::fromLatin1(key));
}

struct RescheduleCase
{
    const char *name;
    const char *value;
    const char *fired;
    const char *next; // nullptr: no next occurrence
    bool cleared;
};

class Reschedule : public ::testing::TestWithParam<RescheduleCase>
{ };

TEST_P(Reschedule, MovesByTheCodesInterval)
{
    const RescheduleCase &c = GetParam();
    const FiringPlan plan = planFiring(QString::fromLatin1(c.value), at(c.fired));
    ASSERT_TRUE(plan.announce);
    EXPECT_EQ(plan.nextKey.value_or(QString()), QString::fromLatin1(c.next ? c.next : ""));
    EXPECT_EQ(plan.clearFired, c.cleared);
}

INSTANTIATE_TEST_SUITE_P(Firing, Reschedule,
    ::testing::Values(RescheduleCase { "DailyOverNewYear", "TBuy bread}", "09/05/31/12/2026",
                          "09/05/01/01/2027", true },
        RescheduleCase { "HourlySameDay", "HTea", "22/10/08/12/2026", "23/10/08/12/2026", true },
        RescheduleCase { "HourlyChainEndsAt23", "ATea", "23/10/08/12/2026", nullptr, false },
        RescheduleCase {
            "HourlyFromMidnight", "HTea", "00/00/08/12/2026", "01/00/08/12/2026", true },
        RescheduleCase {
            "WeeklyOverMonthEnd", "VGym", "18/00/28/02/2027", "18/00/07/03/2027", true },
        RescheduleCase {
            "MonthlyCutBackToFebruary", "CRent", "08/00/31/01/2027", "08/00/28/02/2027", true },
        RescheduleCase {
            "MonthlyStaysCutBack", "CRent", "08/00/28/02/2027", "08/00/28/03/2027", true },
        RescheduleCase {
            "MonthlyLeapFebruary", "XRent", "08/00/31/01/2028", "08/00/29/02/2028", true },
        RescheduleCase {
            "QuarterlyCutBack", "IBill", "12/00/30/11/2026", "12/00/28/02/2027", true },
        RescheduleCase {
            "YearlyFromLeapDay", "JBirthday", "07/00/29/02/2028", "07/00/28/02/2029", true },
        RescheduleCase { "YearlyPlain", "LBirthday", "07/00/08/12/2026", "07/00/08/12/2027", true },
        RescheduleCase { "DailyPastTheLastYearStays", "TEnd", "23/30/31/12/9999", nullptr, false },
        RescheduleCase {
            "QuarterlyPastTheLastYearStays", "QEnd", "08/00/30/11/9999", nullptr, false },
        RescheduleCase { "OnceConfirmed", "RDentist", "14/30/08/12/2026", nullptr, true },
        RescheduleCase { "Once", "NDentist", "14/30/08/12/2026", nullptr, true }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FiringText, SuffixConfirmationAndMarker)
{
    const FiringPlan daily = planFiring("TBuy bread}", at("09/05/31/12/2026"));
    EXPECT_EQ(daily.text, "Buy bread, this alarm will be repeated tomorrow !");
    EXPECT_FALSE(daily.confirm);
    const FiringPlan once = planFiring("RDentist", at("14/30/08/12/2026"));
    EXPECT_EQ(once.text, "Dentist, This announcement will not be repeated");
    EXPECT_TRUE(once.confirm);
    const FiringPlan bare = planFiring("NDentist}", at("14/30/08/12/2026"));
    EXPECT_EQ(bare.text, "Dentist");
    EXPECT_FALSE(bare.confirm);
    for (const char *notACode : { "tBuy", "1Buy", "", " TBuy", "nothing" })
        EXPECT_FALSE(planFiring(notACode, at("14/30/08/12/2026")).announce) << notACode;
}

class FireTest : public ::testing::Test
{
protected:
    TestHome home;
    RecordingAnnouncer announcer;
};

TEST_F(FireTest, DailyEntryIsRekeyedAndClearedByteForByte)
{
    home.writeData("[alarms]\r\n09/05/31/12/2026=TBuy bread}\r\n");
    fire(home.dataFile(), "TBuy bread}", at("09/05/31/12/2026"), announcer);
    EXPECT_EQ(home.readData(),
        QByteArray("[alarms]\r\n09/05/31/12/2026=nothing\r\n09/05/01/01/2027=TBuy bread}\r\n"));
    EXPECT_EQ(announcer.shows, 1);
    ASSERT_EQ(announcer.displays.size(), 1);
    EXPECT_EQ(announcer.displays[0].second, "Buy bread, this alarm will be repeated tomorrow !");
}

TEST_F(FireTest, UnknownCodeLeavesTheFileAndAnnouncesNothing)
{
    const QByteArray data("[alarms]\r\n09/05/31/12/2026=tBuy bread\r\n");
    home.writeData(data);
    fire(home.dataFile(), "tBuy bread", at("09/05/31/12/2026"), announcer);
    EXPECT_EQ(home.readData(), data);
    EXPECT_EQ(announcer.shows, 0);
}

TEST_F(FireTest, LastHourOfTheDayStaysInTheFile)
{
    const QByteArray data("[alarms]\r\n23/10/08/12/2026=HTea\r\n");
    home.writeData(data);
    fire(home.dataFile(), "HTea", at("23/10/08/12/2026"), announcer);
    EXPECT_EQ(home.readData(), data);
    EXPECT_EQ(announcer.shows, 1);
}

TEST_F(FireTest, LongValueMovesOnAsItWasRead)
{
    // The tick hands over the value as read by key: cut to 254 characters.
    const QString value = "T" + QString(253, 'm');
    home.writeData("[alarms]\r\n09/05/08/12/2026=T" + QByteArray(299, 'm') + "\r\n");
    fire(home.dataFile(), value, at("09/05/08/12/2026"), announcer);
    EXPECT_TRUE(home.readData().endsWith("09/05/09/12/2026=" + value.toLatin1() + "\r\n"));
}

TEST(TickRules, TimeBandAndMinute)
{
    EXPECT_EQ(tick::timeBandText(QTime(14, 5)), "The time is 2:05 PM");
    EXPECT_EQ(tick::timeBandText(QTime(0, 0)), "The time is 12:00 AM");
    EXPECT_EQ(tick::timeBandText(QTime(12, 30)), "The time is 12:30 PM");
    EXPECT_EQ(tick::timeBandText(QTime(9, 59, 59)), "The time is 9:59 AM");
    EXPECT_EQ(tick::minuteOf(QTime(10, 5, 58)), "05");
    EXPECT_EQ(tick::dayText(QDate(2027, 1, 1)), "01/01/2027");
    EXPECT_TRUE(tick::introductionText("purple").startsWith("To get started with Quillory"));
    EXPECT_TRUE(tick::introductionText("purple").contains("on the purple time band"));
    EXPECT_TRUE(tick::introductionText("purple").endsWith("please click on OK to continue."));
}

TEST(TickRules, OldMessagesReport)
{
    EXPECT_STREQ(tick::kOldMessagesTitle, "Old messages!");
    EXPECT_EQ(tick::oldMessagesNotice(),
        "You have old messages that have not yet been announced. Click on OK to see them all now!");
    EXPECT_EQ(tick::deleteOldQuestion(),
        "You should delete them now using the Appointment Manager. Would you like to do this now?");
}

} // namespace
