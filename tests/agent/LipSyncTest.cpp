// The mouth follows the sounds, the balloon the words: through the engine
// with a scripted speech output, and through the real player and Flite.
#include "agent/SpeechText.h"
#include "agent/character/AgentEngine.h"
#include "agent/character/CharacterWindow.h"
#include "agent/speech/SpeechOutput.h"
#include "agent/speech/SpeechPlayer.h"
#include "tests/agent/SharedSynthesizer.h"
#include "tests/support/FakeEngineServices.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

using namespace agent;

namespace {

const QString kShipped = QStringLiteral(QUILLORY_SOURCE_DIR "/characters");
const QString kData = QStringLiteral(QUILLORY_SOURCE_DIR "/tests/data/characters");

class ScriptedSpeech final : public SpeechOutput
{
public:
    QString displayText(const QString &tagged) const override
    {
        return SpeechText::parse(tagged).display;
    }
    void speak(const QString &, const VoiceSpec &voice) override
    {
        voices << voice;
        speaking = true;
    }
    void playEffect(const ToneSequence &, double) override { }
    void stop() override
    {
        if (std::exchange(speaking, false))
            emit finished(false);
    }
    bool isSpeaking() const override { return speaking; }
    void say(const QString &phone, double level)
    {
        emit this->phone(phone);
        emit mouth(level);
    }

    QList<VoiceSpec> voices;
    bool speaking = false;
};

struct Speaking
{
    FakeEngineServices fakes;
    ScriptedSpeech *speech = nullptr;
    std::unique_ptr<AgentEngine> engine;
    AgentCharacter *character = nullptr;

    Speaking(const QString &folder, const QString &file,
        const QString &text = QStringLiteral("Mama made soup"))
    {
        auto fake = std::make_unique<ScriptedSpeech>();
        speech = fake.get();
        engine = std::make_unique<AgentEngine>(
            QStringList { folder }, fakes.services, std::move(fake));
        engine->setTimeScale(0.02);
        EXPECT_TRUE(engine->Load("c", file)) << engine->loadError().toStdString();
        character = engine->character("c");
        character->Show(true);
        character->Speak(text);
        EXPECT_TRUE(fakes.clock.runUntil([&] { return speech->speaking; }, 3000));
    }
};

} // namespace

TEST(LipSyncTest, TheMouthShowsTheShapeOfTheSoundHeard)
{
    Speaking s(kShipped, "Tockel.acs");
    CharacterWindow *w = s.character->window();
    EXPECT_EQ(s.speech->voices.value(0).fliteVoice, "rms");
    const std::pair<const char *, const char *> sounds[]
        = { { "m", "mouthPressed" }, { "aa", "mouthOpen" }, { "f", "mouthTeeth" },
              { "th", "mouthTongue" }, { "uw", "mouthRound" }, { "iy", "mouthWide" },
              { "s", "mouthSmall" }, { "pau", "mouthClosed" } };
    for (const auto &[phone, part] : sounds) {
        s.speech->say(phone, 0.5);
        EXPECT_EQ(w->speechMouthPart(), part) << phone;
        EXPECT_FALSE(w->speechMouth());
    }
    // A phone the table lacks, and an engine that tells none: loudness.
    s.speech->say("qx", 0.9);
    EXPECT_TRUE(w->speechMouthPart().isEmpty());
    EXPECT_EQ(w->speechMouth(), MouthShape::Wide);
    s.speech->say("", 0.02);
    EXPECT_EQ(w->speechMouth(), MouthShape::Closed);
    s.speech->say("m", 0.5);
    s.character->Stop();
    EXPECT_TRUE(w->speechMouthPart().isEmpty());
    EXPECT_FALSE(w->speechMouth());
}

TEST(LipSyncTest, ACharacterWithoutShapesMovesItsMouthWithLoudness)
{
    Speaking s(kData, "Dot.acs");
    CharacterWindow *w = s.character->window();
    s.speech->say("m", 0.9);
    EXPECT_TRUE(w->speechMouthPart().isEmpty());
    EXPECT_EQ(w->speechMouth(), MouthShape::Wide);
    s.speech->say("aa", 0.02);
    EXPECT_EQ(w->speechMouth(), MouthShape::Closed);
}

TEST(LipSyncTest, TheBalloonOfALongTextShowsThePartBeingHeard)
{
    QString text;
    for (int i = 0; text.size() < 100000; ++i)
        text += QStringLiteral("Word%1 ").arg(i);
    Speaking s(kShipped, "Tockel.acs", text);
    CharacterWindow *w = s.character->window();
    ASSERT_TRUE(w->balloonShown());
    EXPECT_LE(w->balloon().text().size(), Balloon::kMaxChars);
    EXPECT_TRUE(text.startsWith(w->balloon().text()));
    // A word far on: the balloon moves on to it and marks it there.
    const int at = int(text.indexOf(QStringLiteral("Word9000 ")));
    s.speech->word(at, 8);
    EXPECT_LE(w->balloon().text().size(), Balloon::kMaxChars);
    EXPECT_TRUE(w->balloon().text().startsWith(QStringLiteral("Word9000 Word9001")));
    EXPECT_EQ(w->balloon().highlightStart(), 0);
    EXPECT_EQ(w->balloon().highlightLength(), 8);
    const QString shown = w->balloon().text();
    s.speech->word(at + 9, 8); // the next word is in the same part
    EXPECT_EQ(w->balloon().text(), shown);
    EXPECT_EQ(w->balloon().highlightStart(), 9);
    // Short text is shown whole.
    EXPECT_EQ(Balloon::sliceFor(QStringLiteral("Hi there"), 3, 5, {}).length, 8);
    // Text without blanks is cut at the bound.
    EXPECT_EQ(Balloon::sliceFor(QString(5000, u'x'), 100, 4000, {}).length, Balloon::kMaxChars);
}

#ifdef QUILLORY_HAVE_FLITE

// Without devices, on a fake clock moved 10 ms a step while the engines'
// thread delivers.
class PlayerFollowing : public ::testing::Test
{
protected:
    bool playUntil(const std::function<bool()> &done)
    {
        QDeadlineTimer patience(30000);
        for (;;) {
            QCoreApplication::processEvents();
            if (done())
                return true;
            if (patience.hasExpired())
                return false;
            clock.advance(10);
            QThread::yieldCurrentThread();
        }
    }
    FakeClock clock;
};

TEST_F(PlayerFollowing, FliteWordsAndPhonesArriveInStep)
{
    SpeechPlayer player(clock, &sharedSynthesizer(), nullptr);
    const QString tagged = QStringLiteral("My \\emp\\mother made soup.");
    const QString display = SpeechText::parse(tagged).display;
    QStringList events;
    QObject::connect(
        &player, &SpeechPlayer::word, [&](int s, int l) { events << "word " + display.mid(s, l); });
    QObject::connect(&player, &SpeechPlayer::phone, [&](const QString &p) {
        if (!p.isEmpty())
            events << p;
    });
    bool done = false;
    QObject::connect(&player, &SpeechPlayer::finished, [&](bool) { done = true; });
    player.speak(tagged, VoiceSpec {});
    ASSERT_TRUE(playUntil([&] { return done; }));
    // Each word shows before its first sound is mouthed: "m" of "mother".
    const qsizetype mother = events.indexOf("word mother");
    ASSERT_GE(mother, 0) << events.join(',').toStdString();
    EXPECT_EQ(events.mid(mother + 1).indexOf("m"), 0) << events.join(',').toStdString();
    EXPECT_TRUE(events.contains("word soup"));
    EXPECT_TRUE(events.contains("uw"));
}

TEST_F(PlayerFollowing, AHundredThousandCharactersStartAtOnceAndStopWhenTold)
{
    QString text;
    while (text.size() < 100000)
        text += QStringLiteral("Tomorrow the garden club meets at the library, as usual. ");
    text.truncate(100000);
    SpeechPlayer player(clock, &sharedSynthesizer(), nullptr);
    int words = 0;
    QList<bool> finishes;
    QObject::connect(&player, &SpeechPlayer::word, [&](int, int) { ++words; });
    QObject::connect(&player, &SpeechPlayer::finished, [&](bool c) { finishes << c; });
    player.speak(text, VoiceSpec {});
    ASSERT_TRUE(playUntil([&] { return words >= 2; }));
    player.stop();
    EXPECT_EQ(finishes, QList<bool> { false });
    EXPECT_FALSE(player.isSpeaking());
}

#endif
