#include "announce/FrmMessage.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class MessageTest : public ::testing::Test
{
protected:
    MessageTest()
    {
        agentControl.Load("Tockel", "Tockel.acs");
        character = agentControl.characters.at("Tockel").get();
        window = std::make_unique<FrmMessage>(settings, modClock, agentControl,
            FrmMessage::Host { [this](const QString &t) { said << t; }, [this] { ++restarts; },
                [] { return 15.0; } });
    }
    QString shown() const { return window->txt_message->toPlainText(); }

    FakeServices fakes;
    TestHome home;
    SettingsStore settings { home.paths().settingsFile };
    ModClock modClock { fakes.clock, fakes.autostart, fakes.network, home.paths().windowsFolder() };
    FakeAgentControl agentControl;
    FakeCharacter *character = nullptr;
    std::unique_ptr<FrmMessage> window;
    QStringList said;
    int restarts = 0;
};

TEST_F(MessageTest, UnconfirmedTextIsShownAlertedAndSpokenWithoutTheMarker)
{
    window->Show();
    EXPECT_EQ(window->size(), QSize(486, 183)); // 7290 x 2745 twips
    EXPECT_EQ(window->windowTitle(), "You have a new message waiting");
    const qint64 before = fakes.clock.monotonicMs();
    window->display(false, "Buy bread}");
    EXPECT_EQ(shown(), "Buy bread");
    EXPECT_EQ(said, QStringList { "Buy bread" });
    EXPECT_EQ(character->calls, (QStringList { "Show", "Play:alert", "Play:alert" }));
    EXPECT_EQ(fakes.clock.monotonicMs() - before, 4000);

    window->Command1_Click(); // revealed: acknowledging restarts the calendar
    EXPECT_EQ(restarts, 1);
}

TEST_F(MessageTest, ConfirmedTextWaitsForOkThenRestartsOnTheSecond)
{
    window->Show();
    window->display(true, "Dentist, This announcement will not be repeated");
    EXPECT_EQ(shown(), FrmMessage::kPlaceholder);
    EXPECT_TRUE(said.isEmpty());
    window->Command1_Click();
    EXPECT_EQ(shown(), "Dentist, This announcement will not be repeated");
    EXPECT_EQ(said.size(), 1);
    EXPECT_EQ(restarts, 0);
    window->Command1_Click();
    EXPECT_EQ(restarts, 1);
}

TEST_F(MessageTest, TheAlertIsHeardEvenWithSoundEffectsOff)
{
    character->soundEffects = false;
    window->Show();
    window->display(false, "Tea");
    EXPECT_EQ(character->calls,
        (QStringList {
            "Show", "SoundEffectsOn:true", "Play:alert", "Play:alert", "SoundEffectsOn:false" }));
    EXPECT_FALSE(character->soundEffects);
}

TEST_F(MessageTest, WithoutACharacterTheTextIsStillShownAndSpoken)
{
    agentControl.characters.clear();
    window->Show();
    window->display(false, "Tea");
    EXPECT_EQ(shown(), "Tea");
    EXPECT_EQ(said, QStringList { "Tea" });
}

TEST_F(MessageTest, SnoozeComesBackOnTheFifthMinuteOnlyOnce)
{
    window->Show();
    window->display(false, "Tea");
    said.clear();
    window->com_snooze_Click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(said, QStringList { "The appointment will show again in five minutes" });
    EXPECT_EQ(window->snooze->interval(), 60000);
    for (int minute = 1; minute <= 4; ++minute) {
        window->snooze_Timer();
        EXPECT_FALSE(window->isVisible()) << minute;
    }
    window->snooze_Timer();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(said.last(), "Please respond to this appointment");
    EXPECT_FALSE(window->snooze->isActive());
    EXPECT_EQ(shown(), "Tea"); // back in the state it was in
}

TEST_F(MessageTest, ANewAppointmentWhileSnoozingShowsAtOnce)
{
    window->Show();
    window->display(false, "First");
    window->com_snooze_Click();
    window->Show();
    window->display(false, "Second");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(shown(), "Second");
    EXPECT_TRUE(window->snooze->isActive());
}

TEST_F(MessageTest, DelayPausesOnlyTheFirstShowOfARun)
{
    settings.write(setting::Delay, "True");
    const qint64 start = fakes.clock.monotonicMs();
    window->Show();
    EXPECT_EQ(fakes.clock.monotonicMs() - start, 8000);
    window->hide();
    window->Show();
    EXPECT_EQ(fakes.clock.monotonicMs() - start, 8000);
}

TEST_F(MessageTest, SpeechTagsAreNeverShown)
{
    window->Show();
    window->display(false, "\\emp\\Enjoy the calendar");
    EXPECT_EQ(shown(), "Enjoy the calendar");
    EXPECT_EQ(said, QStringList { "\\emp\\Enjoy the calendar" });
}

} // namespace
