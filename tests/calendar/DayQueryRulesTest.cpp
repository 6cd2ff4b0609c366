#include "calendar/DayQueryRules.h"

#include <gtest/gtest.h>

namespace {

TEST(DayQueryRules, PastIsBeforeTodayByYearThenMonthThenDay)
{
    const QDate today(2027, 3, 15);
    EXPECT_TRUE(dayquery::isPast(14, 3, 2027, today));
    EXPECT_FALSE(dayquery::isPast(15, 3, 2027, today));
    EXPECT_TRUE(dayquery::isPast(31, 2, 2027, today));
    EXPECT_TRUE(dayquery::isPast(31, 12, 2026, today));
    EXPECT_FALSE(dayquery::isPast(1, 4, 2027, today));
    EXPECT_FALSE(dayquery::isPast(1, 1, 2028, today));
}

TEST(DayQueryRules, CountingAndListingReadTheDateByPosition)
{
    const QString date = "24/03/2027";
    EXPECT_TRUE(dayquery::countsFor("09/00/24/03/2027=NDentist", date));
    EXPECT_FALSE(dayquery::countsFor("09/00/24/03/2027=nothing", date));
    EXPECT_FALSE(dayquery::countsFor("[alarms]", date));
    EXPECT_FALSE(dayquery::countsFor("09/00/24/04/2027=NApril", date));
    EXPECT_FALSE(dayquery::countsFor("24/03", date));

    auto lists = [](const QString &line) {
        return dayquery::listsFor(AppointmentLine::fromLine(line), "24", "03", "2027");
    };
    EXPECT_TRUE(lists("09/00/24/03/2027=NDentist"));
    EXPECT_FALSE(lists("09/00/24/03/2027=nothing"));
    EXPECT_FALSE(lists("09/0"));
    EXPECT_FALSE(lists("09/00/24/03/2028=NNext year"));
}

TEST(DayQueryRules, SentencesAndQuestionsByCount)
{
    EXPECT_EQ(dayquery::countSentence(1), "\\emp\\You have 1 appointment set for this date");
    EXPECT_EQ(dayquery::countSentence(3), "\\emp\\You have 3 appointments set for this date");
    EXPECT_EQ(dayquery::quickLookQuestion(1, 5),
        "You have 1 message set for day 5. Would you like to have a quick look at it?");
    EXPECT_EQ(dayquery::quickLookQuestion(3, 24),
        "You have 3 message(s) set for day 24. Would you like to have a quick look at them");
}

TEST(DayQueryRules, QuickLookStaysOnAScreen)
{
    EXPECT_EQ(dayquery::quickLookText({ "Dentist", "Bus %1 at 9" }),
        "Message 1 reads:  Dentist\r\nMessage 2 reads:  Bus %1 at 9\r\n");

    const QString huge(5000, QLatin1Char('y'));
    const QString one = dayquery::quickLookText({ huge });
    EXPECT_LT(one.size(), 400);
    EXPECT_TRUE(one.endsWith(QStringLiteral("y\u2026\r\n")));

    QStringList many;
    for (int i = 0; i < 500; ++i)
        many << huge;
    const QString list = dayquery::quickLookText(many);
    EXPECT_EQ(list.count("reads:"), dayquery::kQuickLookMessages);
    EXPECT_TRUE(list.endsWith(QStringLiteral("\u2026 and 480 more\r\n")));
    EXPECT_LT(list.size(), 8000);
}

} // namespace
