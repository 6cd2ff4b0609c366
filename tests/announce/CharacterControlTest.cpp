#include "announce/CharacterControl.h"
#include "agent/CharacterFolders.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/Fakes.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class CharacterTest : public ::testing::Test
{
protected:
    CharacterTest()
        : control(agentControl, settings, modClock, fakes.dialogs, fakes.clock,
            CharacterControl::Host { [this] { return calendarVisible; },
                [this] { return geometry; }, [this] { ++dates; }, [this] { ++unloads; },
                [this](const QString &command) { asked << command; } })
    {
        geometry.left = 9000;
        geometry.top = 3000;
        geometry.width = 3000;
        geometry.height = 2955;
        geometry.screenWidth = 12000;
    }

    FakeCharacter &load(const QString &name = "Tockel")
    {
        control.loadCharacter(name, CharacterControl::kMoveVoiceAtLoad);
        return *agentControl.characters.at(name);
    }

    FakeServices fakes;
    TestHome home;
    SettingsStore settings { home.paths().settingsFile };
    ModClock modClock { fakes.clock, fakes.autostart, fakes.network, home.paths().windowsFolder() };
    FakeAgentControl agentControl;
    announce::HomeInput geometry;
    bool calendarVisible = true;
    int dates = 0;
    int unloads = 0;
    QStringList asked;
    CharacterControl control;
};

TEST_F(CharacterTest, LoadingAddsTheCommandsInOrder)
{
    FakeCharacter &c = load();
    EXPECT_EQ(agentControl.loads, QStringList { "Tockel|Tockel.acs" });
    QStringList names, voices;
    for (const auto &e : c.commands().entries()) {
        names << e.name;
        voices << e.voice;
        EXPECT_TRUE(e.enabled && e.visible);
    }
    EXPECT_EQ(names,
        (QStringList {
            "repeat", "Properties", "moveme", "Date", "exit", "ontoday", "ontomorrow", "next" }));
    EXPECT_EQ(voices[2], "[Move Me]Home ");
    EXPECT_EQ(voices[3], "What is the [date]?");
    EXPECT_EQ(voices.mid(5),
        (QStringList { "What is on [today]?", "What is on tomorrow?", "What is next?" }));
    EXPECT_TRUE(c.commands().Visible());
}

TEST_F(CharacterTest, SayStopsShowsSpeaksAndPlaysTheGesturesInTurn)
{
    FakeCharacter &c = load();
    control.say("\\emp\\Welcome to Quillory !");
    EXPECT_EQ(c.calls,
        (QStringList { "Stop", "Show", "Speak:\\emp\\Welcome to Quillory !", "Play:Pleased" }));
    QStringList gestures;
    for (int i = 0; i < 8; ++i) {
        if (i % 3 == 0)
            control.sayagain(QVariant(QString("again")));
        else
            control.say("text");
        gestures << c.calls.last();
    }
    EXPECT_EQ(gestures,
        (QStringList { "Play:Search", "Play:Explain", "Play:Read", "Play:Decline", "Play:Greet",
            "Play:Confused", "Play:Suggest", "Play:Pleased" }));
    EXPECT_EQ(control.nextGesture(), 1);
    EXPECT_EQ(control.lastsaid, "text");
}

TEST_F(CharacterTest, WithoutACharacterSayStillRecordsAndCounts)
{
    agentControl.loadable = { "Other" };
    control.loadCharacter("Tockel", CharacterControl::kMoveVoiceAtLoad);
    EXPECT_EQ(control.agentchar, nullptr);
    control.say("hello");
    control.moveme();
    control.Agent1_Command({ "exit" });
    EXPECT_EQ(control.lastsaid, "hello");
    EXPECT_EQ(control.nextGesture(), 1);
    EXPECT_EQ(unloads, 1);
    control.waitForLastRequest(); // returns at once
}

TEST_F(CharacterTest, HideAfterSpeakingRestartsWithEverySayAndSayagainStopsIt)
{
    FakeCharacter &c = load();
    settings.write(setting::Hide, "True");
    control.say("one");
    EXPECT_TRUE(control.timersaid->isActive());
    EXPECT_EQ(control.timersaid->interval(), 5000);
    control.say("two"); // restarts the five seconds
    EXPECT_TRUE(control.timersaid->isActive());
    control.timersaid_Timer();
    EXPECT_EQ(c.calls.last(), "Hide");
    EXPECT_FALSE(control.timersaid->isActive());
    control.timersaid_Timer(); // stopped: nothing more
    EXPECT_EQ(c.calls.count("Hide"), 1);

    control.say("three");
    control.sayagain(QVariant(QString("four")));
    EXPECT_FALSE(control.timersaid->isActive());
}

TEST_F(CharacterTest, HomePositionLeftOfTheWindowWhenTheRightHasNoRoom)
{
    announce::HomeInput in = geometry;
    in.characterWidth = 128;
    in.characterHeight = 128;
    EXPECT_EQ(announce::homePosition(in).x(), 461); // (9000-128-1000)/15-64 = 460.8
    in.left = 300;
    EXPECT_EQ(announce::homePosition(in).x(), (300 + 3000 + 1000) / 15 - 64 + 1); // 222.67 -> 223
    in.rise = 900;
    in.top = 300;
    EXPECT_EQ(announce::homePosition(in).y(), qRound((300 + 2955 - 900) / 15.0 - 64));
    // Halves go to the even neighbour.
    in.left = 0;
    in.width = 0;
    in.gap = 7.5 * 15;
    in.characterWidth = 0;
    EXPECT_EQ(announce::homePosition(in).x(), 8);

    FakeCharacter &c = load();
    control.moveme();
    EXPECT_EQ(c.calls, (QStringList { "Show", "Stop", "MoveTo:461,273" }));
}

TEST_F(CharacterTest, CommandsActByExactName)
{
    FakeCharacter &c = load();
    agentControl.raiseCommand("repeat"); // nothing said yet: empty text, still a gesture
    EXPECT_EQ(c.calls.mid(c.calls.size() - 2), (QStringList { "Speak:", "Play:Pleased" }));
    agentControl.raiseCommand("Properties");
    EXPECT_TRUE(agentControl.propertySheet);
    agentControl.raiseCommand("Date");
    EXPECT_EQ(dates, 1);
    agentControl.raiseCommand("date");
    agentControl.raiseCommand("EXIT");
    EXPECT_EQ(dates, 1);
    EXPECT_EQ(unloads, 0);

    calendarVisible = false;
    c.calls.clear();
    agentControl.raiseCommand("moveme");
    EXPECT_TRUE(c.calls.contains(
        "Speak:Sorry, you will have to show the calendar before you can move me, sorry!"));
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "You will have to show the calendar before you can move the character");
    EXPECT_EQ(fakes.dialogs.boxes[0].icon, MsgIcon::Information);

    agentControl.raiseCommand("ontomorrow");
    agentControl.raiseCommand("Next");
    agentControl.raiseCommand("next");
    EXPECT_EQ(asked, (QStringList { "ontomorrow", "next" }));

    agentControl.raiseCommand("exit");
    EXPECT_EQ(unloads, 1);
    EXPECT_EQ(c.calls.last(), "Stop");
}

TEST_F(CharacterTest, RequestCompleteClearsLastRequestWhicheverEnds)
{
    FakeCharacter &c = load();
    control.say("hello");
    ASSERT_TRUE(control.isBusy());
    c.completeNext(agent::Failed);
    EXPECT_FALSE(control.isBusy());
}

TEST_F(CharacterTest, ACancelledCharacterChangeLoadsThePreviousOneAgain)
{
    load();
    agentControl.characters.at("Tockel")->completeAtOnce = true;
    control.newCharacter();
    EXPECT_EQ(agentControl.unloads, QStringList { "Tockel" });
    EXPECT_EQ(agentControl.loads.last(), "Tockel|Tockel.acs");
    FakeCharacter &again = *agentControl.characters.at("Tockel");
    EXPECT_EQ(again.commands().entries()[2].voice, "[MoveMe]Home ");
    EXPECT_TRUE(again.calls.contains("Speak:Hello, nice to see you!"));
    EXPECT_EQ(settings.read(setting::Char), "Tockel");
}

TEST_F(CharacterTest, AChosenCharacterIsStoredCopiedAndLoaded)
{
    load();
    agentControl.characters.at("Tockel")->completeAtOnce = true;
    QTemporaryDir elsewhere;
    const QString file = elsewhere.path() + "/Bramble.acs";
    TestHome::writeFile(file, "{}");
    fakes.dialogs.files = { file };
    settings.write(setting::SoundFx, "False");
    control.newCharacter();
    EXPECT_EQ(settings.read(setting::Char), "Bramble");
    EXPECT_EQ(control.name(), "Bramble");
    EXPECT_TRUE(QFile::exists(userCharacterFolder(home.paths().windowsFolder()) + "/Bramble.acs"));
    FakeCharacter &b = *agentControl.characters.at("Bramble");
    EXPECT_FALSE(b.soundEffects);
    EXPECT_TRUE(b.calls.contains("Speak:Hello, nice to see you!"));
}

TEST_F(CharacterTest, ACharacterThatDoesNotLoadIsNotStoredAndTheOldOneStays)
{
    load();
    agentControl.characters.at("Tockel")->completeAtOnce = true;
    agentControl.loadable = { "Tockel" };
    QTemporaryDir elsewhere;
    const QString file = elsewhere.path() + "/Bramble.acs";
    TestHome::writeFile(file, "{ broken");
    fakes.dialogs.files = { file };
    control.newCharacter();
    EXPECT_EQ(settings.read(setting::Char), "Tockel");
    EXPECT_EQ(control.name(), "Tockel");
    ASSERT_TRUE(agentControl.characters.count("Tockel"));
    EXPECT_TRUE(
        agentControl.characters.at("Tockel")->calls.contains("Speak:Hello, nice to see you!"));
    EXPECT_FALSE(agentControl.characters.count("Bramble"));
    // Not copied either: it would be found by name from then on.
    EXPECT_FALSE(QFile::exists(userCharacterFolder(home.paths().windowsFolder()) + "/Bramble.acs"));
    ASSERT_FALSE(fakes.dialogs.boxes.isEmpty());
    EXPECT_EQ(fakes.dialogs.boxes.last().text,
        "The character Bramble could not be loaded: refused by the test.\n\nTockel stays your "
        "character.");
    EXPECT_EQ(fakes.dialogs.boxes.last().icon, MsgIcon::Exclamation);
}

TEST_F(CharacterTest, AShippedCharacterIsLoadedWhereItIsAndAUsersOwnOfItsNameIsNamed)
{
    load("Bramble");
    settings.write(setting::Char, "Bramble");
    agentControl.characters.at("Bramble")->completeAtOnce = true;
    const QString own = userCharacterFolder(home.paths().windowsFolder());
    const QStringList folders = characterFolders(own);
    ASSERT_GE(folders.size(), 2);
    const QString shipped = folders[1] + "/Tockel.acs";
    ASSERT_TRUE(QFile::exists(shipped));

    fakes.dialogs.files = { shipped };
    control.newCharacter();
    EXPECT_EQ(settings.read(setting::Char), "Tockel");
    EXPECT_FALSE(QFile::exists(own + "/Tockel.acs")); // no stale copy to shadow it later
    EXPECT_TRUE(agentControl.loads.contains("Tockel|" + QFileInfo(shipped).absoluteFilePath()));
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty());

    // Now the user has a Tockel of their own, which goes first by name.
    ASSERT_TRUE(QDir().mkpath(own));
    TestHome::writeFile(own + "/Tockel.acs", "{ mine }");
    fakes.dialogs.files = { shipped };
    agentControl.characters.at("Tockel")->completeAtOnce = true;
    control.newCharacter();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_TRUE(fakes.dialogs.boxes[0].text.startsWith("Your own character file "
        + QDir::toNativeSeparators(own + "/Tockel.acs") + " has the same name"))
        << fakes.dialogs.boxes[0].text.toStdString();
    EXPECT_TRUE(agentControl.loads.last().endsWith("|" + own + "/Tockel.acs"));
    EXPECT_EQ(settings.read(setting::Char), "Tockel");
}

TEST_F(CharacterTest, ReplacingAUsersOwnCharacterOfTheSameNameIsAskedFirst)
{
    load();
    agentControl.characters.at("Tockel")->completeAtOnce = true;
    const QString own = userCharacterFolder(home.paths().windowsFolder()) + "/Bramble.acs";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(own).path()));
    TestHome::writeFile(own, "{ old }");
    QTemporaryDir elsewhere;
    const QString file = elsewhere.path() + "/Bramble.acs";
    TestHome::writeFile(file, "{ new }");

    fakes.dialogs.files = { file };
    fakes.dialogs.answers = { MsgAnswer::No };
    control.newCharacter();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(TestHome::readFile(own), "{ old }");
    EXPECT_EQ(agentControl.loads.last(),
        "Bramble|" + QDir(QFileInfo(own).path()).absolutePath() + "/Bramble.acs");
    EXPECT_EQ(settings.read(setting::Char), "Bramble");

    agentControl.characters.at("Bramble")->completeAtOnce = true;
    fakes.dialogs.files = { file };
    fakes.dialogs.answers = { MsgAnswer::Yes };
    control.newCharacter();
    EXPECT_EQ(TestHome::readFile(own), "{ new }");
    EXPECT_EQ(agentControl.loads.last(), "Bramble|" + file);
}

TEST_F(CharacterTest, ChangeNeedsAVisibleCalendarAndItsWaitsEndOnFailure)
{
    FakeCharacter &c = load();
    calendarVisible = false;
    control.newCharacter();
    EXPECT_EQ(fakes.dialogs.boxes.last().text,
        "You will have to show the calendar before you can change the character");
    EXPECT_TRUE(agentControl.unloads.isEmpty());

    // A request that never ends does not hang the program.
    calendarVisible = true;
    control.newCharacter();
    EXPECT_GE(fakes.clock.monotonicMs(), 60000);
    EXPECT_EQ(agentControl.unloads, QStringList { "Tockel" });
    Q_UNUSED(c);
}

struct DateCase
{
    int day;
    const char *suffix;
};

TEST(SpokenDate, SentenceAndOrdinals)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(announce::dateSentence(QDate(2000, 3, 21), english),
        "The date is, Tuesday, the 21st of March, 2000");
    EXPECT_EQ(announce::dateSentence(QDate(2026, 12, 5), english),
        "The date is, Saturday, the 5th of December, 2026");
    const std::pair<int, const char *> cases[] = { { 1, "st" }, { 2, "nd" }, { 3, "rd" },
        { 4, "th" }, { 11, "th" }, { 12, "th" }, { 13, "th" }, { 20, "th" }, { 21, "st" },
        { 22, "nd" }, { 23, "rd" }, { 24, "th" }, { 30, "th" }, { 31, "st" } };
    for (const auto &[day, suffix] : cases)
        EXPECT_EQ(announce::ordinalSuffix(day), suffix) << day;
}

} // namespace
