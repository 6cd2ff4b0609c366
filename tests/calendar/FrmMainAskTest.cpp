// Asking the character what is on, from the main menu and by voice, and
// the morning briefing.
#include "announce/CharacterControl.h"
#include "calendar/FrmMain.h"
#include "calendar/MainMenu.h"
#include "calendar/ShownToday.h"
#include "tests/support/CalendarFixture.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class AskTest : public CalendarFixture
{
protected:
    void loadAt(const QDateTime &start, bool quiet = false)
    {
        fakes.clock.set(start);
        loadCalendar(quiet);
        character().calls.clear();
        fakes.dialogs.boxes.clear();
    }
    // The event loop runs between ticks: requests of the character end there.
    void tickAt(const QTime &time)
    {
        QCoreApplication::processEvents();
        fakes.clock.set(QDateTime(fakes.clock.now().date(), time));
        frm->blink_Timer();
    }
    QStringList spoken() { return ::spoken(character().calls); }
    int briefings() { return int(spoken().filter(QStringLiteral("Good morning!")).size()); }
    MainMenu &menu() { return *frm->menu(); }

    static constexpr const char *kThreeToday = "[alarms]\r\n09/00/08/12/2026=NDaily standup\r\n"
                                               "13/30/08/12/2026=NLunch with Ana\r\n"
                                               "18/00/08/12/2026=TWater the plants\r\n";
};

} // namespace

TEST_F(AskTest, TheMenuSaysTheDayAndListsItInABox)
{
    home.writeData(kThreeToday);
    loadAt(QDateTime(QDate(2026, 12, 8), QTime(8, 30)));
    menu().mnu_ontoday->trigger();
    ASSERT_EQ(spoken().size(), 1);
    EXPECT_EQ(spoken()[0],
        "You have three appointments today. At nine o'clock in the morning, Daily standup. "
        "At half past one in the afternoon, Lunch with Ana. At six o'clock in the evening, "
        "Water the plants.");
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Today, Tuesday 8 December");
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "9:00  Daily standup\n13:30  Lunch with Ana\n18:00  Water the plants");

    // The daily one repeats into tomorrow; "next" needs no box.
    character().calls.clear();
    fakes.dialogs.boxes.clear();
    menu().mnu_ontomorrow->trigger();
    menu().mnu_next->trigger();
    EXPECT_EQ(spoken(),
        QStringList({ "You have one appointment tomorrow. At six o'clock in the evening, "
                      "Water the plants.",
            "Next is Daily standup, in 30 minutes, at nine o'clock." }));
    EXPECT_EQ(fakes.dialogs.boxes.size(), 1);
}

TEST_F(AskTest, VoiceCommandsAskTheSameAndAnEmptyDayOpensNoBox)
{
    loadAt(QDateTime(QDate(2026, 12, 8), QTime(8, 30)));
    QStringList names;
    for (const auto &e : character().commands().entries())
        names << e.name;
    EXPECT_TRUE(names.contains(CharacterControl::kAskToday));
    agentControl.raiseCommand(CharacterControl::kAskToday);
    agentControl.raiseCommand(CharacterControl::kAskTomorrow);
    agentControl.raiseCommand(CharacterControl::kAskNext);
    EXPECT_EQ(spoken(),
        QStringList({ "Nothing is planned for today.", "Nothing is planned for tomorrow.",
            "Nothing more is planned." }));
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty());
}

TEST_F(AskTest, AnUnreadableDataFileIsSaidSoNotTakenForAnEmptyDay)
{
    home.writeData(kThreeToday);
    loadAt(QDateTime(QDate(2026, 12, 8), QTime(8, 30)));
    frm->readDataFile = [](const QString &) { return std::optional<QByteArray>(); };
    menu().mnu_ontoday->trigger();
    ASSERT_EQ(spoken().size(), 1);
    EXPECT_TRUE(spoken()[0].startsWith("Sorry, I could not read your appointments"));
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty());
}

TEST_F(AskTest, TheBriefingIsAnOptionOffByDefault)
{
    home.writeData(kThreeToday);
    loadAt(QDateTime(QDate(2026, 12, 8), QTime(6, 0)));
    tickAt(QTime(6, 0, 2));
    tickAt(QTime(7, 0, 1));
    EXPECT_EQ(briefings(), 0);
    EXPECT_FALSE(menu().mnu_briefing->isChecked());

    menu().mnu_briefing->trigger();
    EXPECT_EQ(settings.read(setting::Briefing), "True");
    EXPECT_TRUE(menu().mnu_briefing->isChecked());
    EXPECT_EQ(spoken().last(), "Each morning I will tell you what is on that day.");
    menu().mnu_briefing->trigger();
    EXPECT_EQ(settings.read(setting::Briefing), "False");
}

TEST_F(AskTest, TheFirstStartOfTheDayBriefsOnceNotAgainAfterOurOwnRestart)
{
    settings.write(setting::Briefing, "True");
    home.writeData(kThreeToday);
    loadAt(QDateTime(QDate(2026, 12, 8), QTime(6, 10)));
    tickAt(QTime(6, 10, 2));
    ASSERT_EQ(briefings(), 1);
    EXPECT_TRUE(spoken().last().startsWith(
        "Good morning! You have three appointments today. At nine o'clock in the morning"));
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty()); // all three were read out
    tickAt(QTime(6, 11, 0));
    tickAt(QTime(7, 0, 0));
    EXPECT_EQ(briefings(), 1);
    EXPECT_TRUE(
        ShownToday(home.paths().shownFile(), QDate(2026, 12, 8)).contains(ShownToday::briefing()));

    // The program's own restart that day says nothing more.
    restartmark::leave(home.paths().restartMarkFile(), fakes.clock.now());
    loadAt(QDateTime(QDate(2026, 12, 8), QTime(7, 0, 30)), true);
    tickAt(QTime(7, 0, 32));
    tickAt(QTime(7, 1, 0));
    EXPECT_EQ(briefings(), 0);
}

TEST_F(AskTest, RunningThroughTheNightBriefsAtSevenAfterTheSpeechInProgress)
{
    settings.write(setting::Briefing, "True");
    home.writeData(kThreeToday);
    loadAt(QDateTime(QDate(2026, 12, 8), QTime(3, 0)));
    tickAt(QTime(3, 0, 2));
    tickAt(QTime(5, 30, 0));
    tickAt(QTime(6, 59, 0));
    EXPECT_EQ(briefings(), 0);

    // Something still being said is not cut off: the next tick briefs.
    character().completeAtOnce = false;
    frm->say(QStringLiteral("Hello"));
    tickAt(QTime(7, 0, 0));
    EXPECT_EQ(briefings(), 0);
    character().completeNext(agent::Complete);
    tickAt(QTime(7, 0, 2));
    EXPECT_EQ(briefings(), 1);
    tickAt(QTime(7, 1, 0));
    EXPECT_EQ(briefings(), 1);
}

TEST_F(AskTest, ABriefingWithMoreThanFiveLeavesTheRestToTheBox)
{
    settings.write(setting::Briefing, "True");
    home.writeData("[alarms]\r\n17/00/08/12/2026=HStretch\r\n"); // 17:00 to 23:00
    loadAt(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
    tickAt(QTime(9, 0, 2));
    ASSERT_EQ(briefings(), 1);
    EXPECT_TRUE(spoken().last().endsWith("And two more, shown in the window."));
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].text.count('\n'), 6);
}
