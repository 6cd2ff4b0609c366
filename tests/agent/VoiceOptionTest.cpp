#include "agent/character/EngineOptions.h"
#include "agent/character/OptionsWindow.h"
#include "agent/speech/VoiceChoice.h"
#include "storage/Settings.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <QComboBox>

#include <gtest/gtest.h>

using namespace agent;

TEST(VoiceOptionTest, TheChosenVoiceReplacesEachCharactersOwnAndIsKept)
{
    TestHome home;
    SettingsStore settings { home.paths().settingsFile };
    EngineOptions options;
    FakeClock clock;
    OptionsWindow window(options, &settings, clock);
    auto *voice = window.findChild<QComboBox *>("speakingVoice");
    ASSERT_TRUE(voice);
    EXPECT_EQ(voice->accessibleName(), "Voice");
    EXPECT_EQ(voice->count(), voiceChoices().size());
    EXPECT_EQ(voice->currentIndex(), 0); // the character's own

    VoiceSpec bramble;
    bramble.fliteVoice = "slt";
    bramble.espeakVoice = "en+f3";
    bramble.rate = 160;
    EXPECT_EQ(options.voiceFor(bramble).fliteVoice, "slt");

    voice->setCurrentIndex(voice->findData("flite:awb"));
    EXPECT_EQ(options.voice, "flite:awb");
    EXPECT_EQ(settings.ReadSetting("agent", "voice"), "flite:awb");
    const VoiceSpec awb = options.voiceFor(bramble);
    EXPECT_EQ(awb.engine, "flite");
    EXPECT_EQ(awb.fliteVoice, "awb");
    EXPECT_EQ(awb.rate, 160); // the character's pace stays

    voice->setCurrentIndex(voice->findData("espeak:en-us"));
    const VoiceSpec robot = options.voiceFor(bramble);
    EXPECT_EQ(robot.engine, "espeak");
    EXPECT_EQ(robot.espeakVoice, "en-us");
    EXPECT_EQ(robot.fliteVoice, "slt");

    // Read back at the next start; an id that is no choice keeps each own voice.
    EngineOptions again;
    again.load(settings);
    EXPECT_EQ(again.voice, "espeak:en-us");
    settings.WriteSetting("agent", "voice", "flite:zz; rm");
    again.load(settings);
    EXPECT_EQ(again.voiceFor(bramble).fliteVoice, "slt");
    EXPECT_TRUE(again.voiceFor(bramble).engine.isEmpty());
}
