#include "agent/character/AgentEngine.h"
#include "agent/character/OptionsWindow.h"
#include "agent/listen/Listener.h"
#include "platform/linux/RecognizerModelFiles.h"
#include "storage/Settings.h"
#include "tests/support/FakeEngineServices.h"
#include "tests/support/TestHome.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace agent;

namespace {

constexpr int kRate = RecognizerCore::kSampleRate;
constexpr quint32 kScrollLock = 0xff14;
constexpr quint32 kF12 = 0xffc9;
constexpr quint32 kRightCtrl = 0xffe4;

QList<CommandEntry> commands()
{
    return { { "Date", "Speak todays date", "What is the [date]?", true, true },
        { "exit", "Exit Quillory", "[Exit] Quillory", true, true } };
}

// A microphone as the device list counts it; never opened here.
const QList<SoundDevice> kOneMicrophone { { "mic", "Microphone", true } };

// Audio instead of the system's microphone.
class PretendMicrophone final : public Listener
{
public:
    explicit PretendMicrophone(Clock &clock)
        : Listener(clock)
    { }

protected:
    bool openMicrophone() override { return true; }
    void closeMicrophone() override { }
};

QVector<qint16> quiet(double seconds)
{
    QVector<qint16> pcm(qsizetype(kRate * seconds));
    quint32 seed = 7;
    for (qint16 &s : pcm) {
        seed = seed * 1103515245u + 12345u;
        s = qint16(int((seed >> 8) % 61u) - 30);
    }
    return pcm;
}

QVector<qint16> loud(double seconds)
{
    QVector<qint16> pcm(qsizetype(kRate * seconds));
    for (qsizetype i = 0; i < pcm.size(); ++i)
        pcm[i] = qint16(std::lround(12000 * std::sin(2 * M_PI * 300.0 * double(i) / kRate)));
    return pcm;
}

// Something said, then the pause that ends it, in 100 ms pieces as the
// microphone gives them.
void say(Listener &listener)
{
    const QVector<qint16> all = quiet(0.3) + loud(0.5) + quiet(1.0);
    for (qsizetype at = 0; at < all.size() && listener.isListening(); at += kRate / 10)
        listener.takeAudio(all.mid(at, kRate / 10));
}

class ListenKeyTest : public ::testing::Test
{
protected:
    ListenKeyTest()
    {
        listener.setAudio(&audio);
        listener.setModel({ installedRecognizerModel(), installedRecognizerDictionary() });
        listener.setGlobalKey(&keys);
    }
    void plugIn()
    {
        audio.microphones = kOneMicrophone;
        listener.microphonesChanged();
    }
    void unplug()
    {
        audio.microphones.clear();
        listener.microphonesChanged();
    }

    FakeClock clock;
    FakeGlobalKey keys;
    FakeAudioDevices audio;
    PretendMicrophone listener { clock };
};

TEST_F(ListenKeyTest, TheKeyIsTakenOnlyWhileAMicrophoneIsThere)
{
    listener.setCommands(commands());
    EXPECT_TRUE(keys.log.isEmpty());
    EXPECT_EQ(listener.keyWatch(), Listener::KeyWatch::Off);

    plugIn();
    EXPECT_EQ(keys.watched, kScrollLock);
    EXPECT_EQ(listener.keyWatch(), Listener::KeyWatch::Desktop);

    // Unplugged: given back at once, not when the key is next pressed.
    unplug();
    EXPECT_FALSE(keys.watched);
    EXPECT_EQ(keys.log, (QStringList { "watch ff14", "stop" }));
    EXPECT_FALSE(keys.send(GlobalKey::Event::Pressed));
    // The same news twice changes nothing.
    unplug();
    EXPECT_EQ(keys.log.size(), 2);

    plugIn();
    listener.setListenKey(ListenKey::F12);
    EXPECT_EQ(keys.watched, kF12);
    EXPECT_EQ(keys.log.mid(2), (QStringList { "watch ff14", "stop", "watch ffc9" }));
}

TEST_F(ListenKeyTest, NoKeyNoCommandsOrNoListenerMeansNothingIsTaken)
{
    plugIn();
    EXPECT_TRUE(keys.log.isEmpty()); // nothing to listen for yet
    listener.setListenKey(ListenKey::None);
    listener.setCommands(commands());
    EXPECT_TRUE(keys.log.isEmpty());
    EXPECT_EQ(listener.keyWatch(), Listener::KeyWatch::Off);

    listener.setListenKey(ListenKey::RightCtrl);
    EXPECT_EQ(keys.watched, kRightCtrl);
    listener.setCommands({});
    EXPECT_FALSE(keys.watched);

    listener.setCommands(commands());
    EXPECT_TRUE(keys.watched);
    {
        PretendMicrophone other(clock);
        FakeAudioDevices oneMicrophone;
        oneMicrophone.microphones = kOneMicrophone;
        other.setAudio(&oneMicrophone);
        other.setModel({ installedRecognizerModel(), installedRecognizerDictionary() });
        other.setGlobalKey(&keys);
        other.setCommands(commands());
    }
    // A listener that goes gives its key back.
    EXPECT_FALSE(keys.watched);
}

TEST_F(ListenKeyTest, AKeyHeldByAnotherProgramWorksInOurOwnWindows)
{
    keys.succeed = false;
    listener.setCommands(commands());
    plugIn();
    EXPECT_EQ(keys.log, QStringList { "watch ff14" });
    EXPECT_EQ(listener.keyWatch(), Listener::KeyWatch::OwnWindows);
    unplug();
    EXPECT_EQ(listener.keyWatch(), Listener::KeyWatch::Off);
    // Nothing was taken, so nothing is given back.
    EXPECT_EQ(keys.log, QStringList { "watch ff14" });
}

TEST_F(ListenKeyTest, HoldingTheKeyListensUntilReleaseOrUntilTheMicrophoneGoes)
{
    listener.setCommands(commands());
    plugIn();
    QSignalSpy heard(&listener, &Listener::heard);
    ASSERT_TRUE(keys.send(GlobalKey::Event::Pressed));
    EXPECT_EQ(listener.mode(), Listener::Mode::Held);
    keys.send(GlobalKey::Event::Released);
    clock.advance(100); // past the release's debounce
    // The recogniser decodes on its thread.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.isEmpty(); }, 30000));
    EXPECT_FALSE(listener.isListening());

    ASSERT_TRUE(keys.send(GlobalKey::Event::Pressed));
    ASSERT_TRUE(listener.isListening());
    heard.clear();
    unplug();
    EXPECT_FALSE(listener.isListening());
    ASSERT_EQ(heard.size(), 1);
    EXPECT_FALSE(heard[0][2].toBool());
    EXPECT_FALSE(keys.watched);
}

TEST_F(ListenKeyTest, ARightCtrlShortcutIsNotACommand)
{
    listener.setListenKey(ListenKey::RightCtrl);
    listener.setCommands(commands());
    plugIn();
    QSignalSpy heard(&listener, &Listener::heard);
    keys.send(GlobalKey::Event::Pressed);
    ASSERT_TRUE(listener.isListening());
    listener.takeAudio(loud(0.3));
    keys.send(GlobalKey::Event::Chord); // Ctrl+C, say
    EXPECT_FALSE(listener.isListening());
    ASSERT_EQ(heard.size(), 1);
    EXPECT_FALSE(heard[0][0].value<RecognitionResult>().understood());
    EXPECT_FALSE(heard[0][2].toBool());
    // Letting go afterwards starts nothing and ends nothing.
    keys.send(GlobalKey::Event::Released);
    clock.advance(100);
    QCoreApplication::processEvents();
    EXPECT_FALSE(listener.isListening());
    EXPECT_EQ(heard.size(), 1);
}

TEST_F(ListenKeyTest, WhatIsHeardWhileTheCharacterSpeaksIsThrownAway)
{
    bool speaking = true;
    listener.setSpeaking([&] { return speaking; });
    listener.setCommands(commands());
    plugIn();
    QSignalSpy level(&listener, &Listener::level);

    listener.startListening(Listener::Mode::Timed);
    ASSERT_TRUE(listener.isListening());
    EXPECT_TRUE(listener.hearingPaused());
    // Its own words would end the session as someone speaking: they do not.
    say(listener);
    EXPECT_TRUE(listener.isListening());
    EXPECT_TRUE(level.isEmpty());

    // Once it is quiet, after the echo has died away, the user is heard.
    speaking = false;
    EXPECT_TRUE(listener.hearingPaused());
    listener.takeAudio(quiet(0.3));
    EXPECT_FALSE(listener.hearingPaused());
    EXPECT_TRUE(level.isEmpty());
    QSignalSpy heard(&listener, &Listener::heard);
    say(listener);
    EXPECT_FALSE(listener.isListening());
    EXPECT_FALSE(level.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.isEmpty(); }, 30000));
    EXPECT_TRUE(heard[0][2].toBool());
}

// ---------------------------------------------------------------------------
// The engine and its options

class QuietSpeech final : public SpeechOutput
{
public:
    QString displayText(const QString &tagged) const override { return tagged; }
    void speak(const QString &, const VoiceSpec &) override { speaking = true; }
    void playEffect(const ToneSequence &, double) override { }
    void stop() override { speaking = false; }
    bool isSpeaking() const override { return speaking; }
    bool speaking = false;
};

TEST(ListenKeyOptions, NoKeyIsAChoiceKeptInTheSettingAndOldValuesStillWork)
{
    EXPECT_EQ(listenKeyFromName("None"), ListenKey::None);
    EXPECT_EQ(listenKeyName(ListenKey::None), "None");
    for (const char *old : { "ScrollLock", "Pause", "F12", "RightCtrl", "rightctrl" })
        EXPECT_NE(listenKeyFromName(old), ListenKey::None) << old;
    EXPECT_EQ(listenKeyFromName("Banana"), ListenKey::ScrollLock);

    TestHome home;
    SettingsStore settings(home.paths().settingsFile);
    settings.WriteSetting("agent", "listenkey", "Pause");
    FakeEngineServices fakes;
    FakeGlobalKey &keys = fakes.globalKey;
    fakes.services.recognizerModel
        = { installedRecognizerModel(), installedRecognizerDictionary() };
    {
        auto speech = std::make_unique<QuietSpeech>();
        QuietSpeech *voice = speech.get();
        AgentEngine engine({ QUILLORY_SOURCE_DIR "/tests/data/characters" }, fakes.services,
            std::move(speech), &settings);
        fakes.audio.microphones = kOneMicrophone;
        engine.listener().microphonesChanged();
        EXPECT_EQ(engine.listener().listenKey(), ListenKey::Pause);
        engine.listener().setCommands(commands());
        EXPECT_EQ(keys.watched, 0xff13u);

        // The engine's speech is what pauses the hearing.
        EXPECT_FALSE(engine.listener().hearingPaused());
        voice->speaking = true;
        EXPECT_TRUE(engine.listener().hearingPaused());
        voice->speaking = false;

        auto *key = engine.optionsWindow()->findChild<QComboBox *>("listenKey");
        ASSERT_TRUE(key);
        const int none = key->findData("None");
        ASSERT_GE(none, 0);
        key->setCurrentIndex(none);
        EXPECT_EQ(settings.ReadSetting("agent", "listenkey"), "None");
        EXPECT_EQ(engine.listener().listenKey(), ListenKey::None);
        EXPECT_FALSE(keys.watched);
        EXPECT_EQ(keys.log.last(), "stop");
    }
    // Read back at the next start.
    AgentEngine again({}, fakes.services, std::make_unique<QuietSpeech>(), &settings);
    EXPECT_EQ(again.options().listenKey, "None");
    EXPECT_EQ(again.listener().listenKey(), ListenKey::None);
}

} // namespace
