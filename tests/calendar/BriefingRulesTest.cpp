#include "calendar/BriefingRules.h"

#include <gtest/gtest.h>

namespace {

TEST(MorningBriefing, FirstStartFromFiveOrFirstMinuteFromSevenOnceADay)
{
    using briefing::Moment;
    EXPECT_FALSE(briefing::due(Moment::UserStart, QTime(4, 59), false));
    EXPECT_TRUE(briefing::due(Moment::UserStart, QTime(5, 0), false));
    EXPECT_TRUE(briefing::due(Moment::UserStart, QTime(20, 0), false));
    EXPECT_FALSE(briefing::due(Moment::UserStart, QTime(9, 0), true));
    EXPECT_FALSE(briefing::due(Moment::Running, QTime(6, 59), false));
    EXPECT_TRUE(briefing::due(Moment::Running, QTime(7, 0), false));
    EXPECT_FALSE(briefing::due(Moment::Running, QTime(7, 0), true));
    EXPECT_EQ(briefing::greeting(QTime(7, 0)), "Good morning!");
    EXPECT_EQ(briefing::greeting(QTime(12, 0)), "Good afternoon!");
    EXPECT_EQ(briefing::greeting(QTime(18, 0)), "Good evening!");
}

} // namespace
