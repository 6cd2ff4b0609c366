#include "agent/character/AgentEngine.h"
#include "agent/character/CharacterWindow.h"
#include "agent/listen/Listener.h"
#include "agent/listen/Recognizer.h"
#include "agent/listen/VoiceGrammar.h"
#include "agent/speech/SpeechSynth.h"
#include "platform/linux/RecognizerModelFiles.h"
#include "storage/Settings.h"
#include "tests/agent/SharedSynthesizer.h"
#include "tests/support/FakeEngineServices.h"
#include "tests/support/TestHome.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace agent;

namespace {

constexpr int kRate = RecognizerCore::kSampleRate;

RecognizerOptions installedOptions()
{
    RecognizerOptions options;
    options.model = { installedRecognizerModel(), installedRecognizerDictionary() };
    return options;
}

QList<CommandEntry> programCommands(const QString &moveVoice = QStringLiteral("[Move Me]Home "))
{
    return {
        { "repeat", "Repeat the last message", "[Repeat] last message", true, true },
        { "Properties", "Alter Character Properties", "[Character] Properties", true, true },
        { "moveme", "Move me to the calendar", moveVoice, true, true },
        { "Date", "Speak todays date", "What is the [date]?", true, true },
        { "exit", "Exit Quillory", "[Exit] Quillory", true, true },
    };
}

// ---------------------------------------------------------------------------
// The grammar

const QSet<QString> kDictionary { "repeat", "last", "message", "character", "properties", "move",
    "me", "home", "what", "is", "the", "date", "exit", "quillory", "go", "a" };

VoiceGrammar::Lookup dictionary(QSet<QString> words = kDictionary)
{
    return [words](const QString &w) { return words.contains(w); };
}

QStringList spoken(const VoiceGrammar &g)
{
    QStringList out;
    for (const VoicePhrase &p : g.phrases())
        out << p.spoken() + " -> " + p.command;
    return out;
}

TEST(VoiceGrammarTest, TheProgramsVoiceTextsMakeTheirPhrases)
{
    const VoiceGrammar g
        = VoiceGrammar::build(Listener::grammarEntries(programCommands()), dictionary());
    EXPECT_EQ(spoken(g),
        (QStringList { "repeat last message -> repeat", "last message -> repeat",
            "character properties -> Properties", "properties -> Properties",
            "move me home -> moveme", "home -> moveme", "what is the date -> Date",
            "what is the -> Date", "exit quillory -> exit" }));
    // The command that ends the program needs its whole phrase.
    EXPECT_EQ(g.commandFor("quillory"), "");
    EXPECT_TRUE(g.phraseFor("exit quillory")->strict);
    EXPECT_TRUE(g.unknownWords().isEmpty());

    const QString jsgf = g.jsgf();
    EXPECT_TRUE(jsgf.startsWith("#JSGF V1.0;"));
    EXPECT_TRUE(jsgf.contains("public <command> = repeat last message | last message |"));
    EXPECT_FALSE(jsgf.contains('?'));
    // Garbage competes with the commands; its loop must not lead back into them.
    EXPECT_TRUE(
        g.jsgf("the | a").contains("public <utterance> = <command> | <garbage> <garbage>*;"));
}

TEST(VoiceGrammarTest, BothMoveSpellingsReachTheSameCommand)
{
    for (const QString voice : { "[Move Me]Home ", "[MoveMe]Home ", "[moveme]home" }) {
        SCOPED_TRACE(voice.toStdString());
        const VoiceGrammar g = VoiceGrammar::build({ { "moveme", voice } }, dictionary());
        EXPECT_EQ(spoken(g), (QStringList { "move me home -> moveme", "home -> moveme" }));
        EXPECT_EQ(g.commandFor("move me home"), "moveme");
        EXPECT_EQ(g.commandFor("HOME"), "moveme");
    }
    const VoiceGrammar glued = VoiceGrammar::build({ { "moveme", "[MoveMe]Home " } }, dictionary());
    EXPECT_EQ(glued.phrases()[0].text, "moveme home"); // as written
    EXPECT_EQ(glued.commandFor("moveme home"), "moveme");
}

TEST(VoiceGrammarTest, CaseBlanksAndPunctuationAreNormalised)
{
    const VoiceGrammar g
        = VoiceGrammar::build({ { "Date", "  WHAT   is\tthe [ Date ] ?! " } }, dictionary());
    EXPECT_EQ(spoken(g), (QStringList { "what is the date -> Date", "what is the -> Date" }));
    EXPECT_EQ(g.commandFor(" What IS  the DATE "), "Date");
    // The decoder marks other pronunciations of a word: "message(2)".
    const VoiceGrammar r = VoiceGrammar::build({ { "repeat", "last message" } }, dictionary());
    EXPECT_EQ(r.commandFor("last message(2)"), "repeat");
    EXPECT_EQ(VoiceGrammar::normalise("  Exit,  QUILLORY? "), "exit quillory");
}

TEST(VoiceGrammarTest, MalformedTextsGiveNothingOrALiteral)
{
    EXPECT_TRUE(VoiceGrammar::build({ { "a", "" } }, dictionary()).isEmpty());
    EXPECT_TRUE(VoiceGrammar::build({ { "a", "]]] [[ ] ?" } }, dictionary()).isEmpty());
    EXPECT_TRUE(VoiceGrammar::build({ { "a", "[]" } }, dictionary()).isEmpty());
    EXPECT_TRUE(VoiceGrammar::build({ { "", "home" } }, dictionary()).isEmpty());
    EXPECT_TRUE(VoiceGrammar::build({ { "a", "home" } }, nullptr).isEmpty());
    EXPECT_TRUE(VoiceGrammar().jsgf().isEmpty());
    // An open bracket closes at the end.
    EXPECT_EQ(spoken(VoiceGrammar::build({ { "go", "home [go" } }, dictionary())),
        (QStringList { "home go -> go", "home -> go" }));
    EXPECT_EQ(spoken(VoiceGrammar::build({ { "go", "[go home" } }, dictionary())),
        (QStringList { "go home -> go" }));
    EXPECT_EQ(spoken(VoiceGrammar::build({ { "go", "go] home" } }, dictionary())),
        (QStringList { "go home -> go" }));
    // Nested groups and many of them stay bounded.
    EXPECT_EQ(
        VoiceGrammar::build({ { "go", "[go [me] home]" } }, dictionary()).phrases().size(), 2);
    const VoiceGrammar many
        = VoiceGrammar::build({ { "go", QString("[go] ").repeated(30) + "home" } }, dictionary());
    EXPECT_LE(many.phrases().size(), VoiceGrammar::kMaxPhrasesPerText);
    EXPECT_TRUE(VoiceGrammar::dictionaryWords(QString(200, 'a'), dictionary()).isEmpty());
}

TEST(VoiceGrammarTest, WordsWithoutPronunciationLoseOnlyTheirPhrases)
{
    QSet<QString> words = kDictionary;
    words.remove("quillory");
    const VoiceGrammar g = VoiceGrammar::build(
        { { "exit", "[Exit] Quillory" }, { "go", "[Zorp] home" } }, dictionary(words));
    EXPECT_EQ(spoken(g), (QStringList { "home -> go" }));
    EXPECT_EQ(g.unknownWords(), (QStringList { "quillory", "zorp" }));
    // Glued words split into dictionary words, capitals first.
    EXPECT_EQ(
        VoiceGrammar::dictionaryWords("MoveMe", dictionary()), (QStringList { "move", "me" }));
    EXPECT_EQ(
        VoiceGrammar::dictionaryWords("gohome", dictionary()), (QStringList { "go", "home" }));
    EXPECT_TRUE(VoiceGrammar::dictionaryWords("homex", dictionary()).isEmpty());
}

TEST(VoiceGrammarTest, APhraseBelongsToTheFirstCommandThatClaimsIt)
{
    const VoiceGrammar g = VoiceGrammar::build(
        { { "first", "[go] home" }, { "second", "home" }, { "hidden", "" } }, dictionary());
    EXPECT_EQ(spoken(g), (QStringList { "go home -> first", "home -> first" }));
    // Hidden and disabled commands are not listened for.
    QList<CommandEntry> commands = programCommands();
    commands[0].visible = false;
    commands[1].enabled = false;
    const QList<VoiceGrammar::Entry> entries = Listener::grammarEntries(commands);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].command, "moveme");
    EXPECT_TRUE(entries[2].strict); // exit
}

// ---------------------------------------------------------------------------
// Audio

QVector<qint16> tone(double hz, int rate, double seconds, double amplitude = 0.5)
{
    QVector<qint16> pcm(qsizetype(rate * seconds));
    for (qsizetype i = 0; i < pcm.size(); ++i)
        pcm[i] = qint16(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate)));
    return pcm;
}

double rms(const QVector<qint16> &pcm, qsizetype from = 0)
{
    double sum = 0;
    for (qsizetype i = from; i < pcm.size(); ++i)
        sum += double(pcm[i]) * pcm[i];
    return pcm.size() > from ? std::sqrt(sum / double(pcm.size() - from)) / 32768 : 0;
}

QVector<qint16> noise(double seconds, int amplitude, quint32 seed = 7)
{
    QVector<qint16> pcm(qsizetype(kRate * seconds));
    for (qint16 &s : pcm) {
        seed = seed * 1103515245u + 12345u;
        s = qint16(int((seed >> 8) % quint32(2 * amplitude + 1)) - amplitude);
    }
    return pcm;
}

TEST(ResamplerTest, KeepsSpeechBandAndRemovesWhatTheLowerRateCannotCarry)
{
    const QVector<qint16> in = tone(1000, 22050, 1.0);
    const QVector<qint16> out = Resampler::convert(in, 22050, 16000);
    EXPECT_EQ(out.size(), 16000);
    EXPECT_NEAR(rms(out, 100), rms(in), 0.01);
    int crossings = 0;
    for (qsizetype i = 1; i < out.size(); ++i)
        crossings += (out[i - 1] < 0) != (out[i] < 0);
    EXPECT_NEAR(crossings, 2000, 4);
    // 10 kHz would fold back to 6 kHz at 16 kHz: it must be filtered out.
    const QVector<qint16> high = Resampler::convert(tone(10000, 48000, 0.5), 48000, 16000);
    EXPECT_LT(rms(high, 100), 0.005);
    EXPECT_EQ(Resampler::convert(in, 16000, 16000), in);
    EXPECT_TRUE(Resampler::convert(in, 0, 16000).isEmpty());
}

TEST(ResamplerTest, ChunksGiveTheSameAsTheWhole)
{
    const QVector<qint16> in = tone(440, 44100, 0.3);
    const QVector<qint16> whole = Resampler::convert(in, 44100, 16000);
    Resampler r(44100, 16000);
    QVector<qint16> chunked;
    std::vector<float> f(size_t(in.size()));
    for (qsizetype i = 0; i < in.size(); ++i)
        f[size_t(i)] = in[i] / 32768.0f;
    qsizetype at = 0;
    for (qsizetype n : { 1, 7, 333, 4096, 1 }) {
        r.push(f.data() + at, n, chunked);
        at += n;
    }
    r.push(f.data() + at, in.size() - at, chunked);
    ASSERT_GT(chunked.size(), whole.size() - 40);
    for (qsizetype i = 0; i < chunked.size(); ++i)
        ASSERT_NEAR(chunked[i], whole[i], 1) << i;
}

TEST(EndpointerTest, EndsAPauseAfterSpeechButNotNoiseAlone)
{
    Endpointer fan;
    const QVector<qint16> hum = noise(3, 300);
    fan.push(hum.constData(), hum.size());
    EXPECT_FALSE(fan.heardSpeech());

    Endpointer e;
    QVector<qint16> pcm = noise(0.3, 30);
    pcm += tone(300, kRate, 0.5, 0.3);
    e.push(pcm.constData(), pcm.size());
    EXPECT_TRUE(e.heardSpeech());
    const QVector<qint16> quiet = noise(0.7, 30);
    e.push(quiet.constData(), quiet.size());
    EXPECT_FALSE(e.finished()); // a pause within a sentence
    const QVector<qint16> more = noise(0.12, 30);
    e.push(more.constData(), more.size());
    EXPECT_TRUE(e.finished());

    Endpointer click;
    QVector<qint16> tap = noise(0.3, 30);
    tap += tone(300, kRate, 0.03, 0.5);
    tap += noise(1.0, 30);
    click.push(tap.constData(), tap.size());
    EXPECT_FALSE(click.finished());
}

// ---------------------------------------------------------------------------
// Recognition of synthesised speech, decoded once for every test here

QVector<qint16> speak(const QString &text, const QString &voice, int rate)
{
    VoiceSpec speaker;
    speaker.espeakVoice = voice;
    speaker.rate = rate;
    const SpeechClip clip = sharedSynthesizer().synthesizeToMemory(text, speaker);
    if (!clip.ok)
        return {};
    const QVector<qint16> pad(kRate * 3 / 10, 0);
    return pad + Resampler::convert(clip.pcm, clip.sampleRate, kRate) + pad;
}

class RecognitionTest : public ::testing::Test
{
protected:
    struct Heard
    {
        QString label;
        QString expected;
        RecognitionResult result;
    };

    static void SetUpTestSuite()
    {
        core = new RecognizerCore(installedOptions());
        sample = new QVector<qint16>(speak("What is the date", "en-us", 150));
        if (core->isReady())
            core->setCommands(Listener::grammarEntries(programCommands()));
    }
    // Decoded when first wanted, once: ctest runs each test in a process
    // of its own, and most of them need none of it.
    static const QList<Heard> &heardAll()
    {
        if (heard)
            return *heard;
        heard = new QList<Heard>;
        const QList<QPair<QString, QString>> phrases { { "Repeat last message", "repeat" },
            { "Character properties", "Properties" }, { "Move me home", "moveme" },
            { "What is the date", "Date" }, { "Exit Quillory", "exit" } };
        const QList<QPair<QString, int>> voices { { "en-us", 150 }, { "en-us+m3", 175 },
            { "en+f3", 140 } };
        for (const auto &[voice, rate] : voices) {
            for (const auto &[text, command] : phrases) {
                *heard << Heard { voice + ": " + text, command,
                    core->recognize(speak(text, voice, rate)) };
            }
        }
        *heard << Heard { "2 s of zeros", "", core->recognize(QVector<qint16>(2 * kRate, 0)) };
        *heard << Heard { "2 s of low noise", "", core->recognize(noise(2, 200)) };
        return *heard;
    }
    static void TearDownTestSuite()
    {
        delete std::exchange(core, nullptr);
        delete std::exchange(heard, nullptr);
        delete std::exchange(sample, nullptr);
    }
    void SetUp() override
    {
        if (!core->isReady())
            GTEST_SKIP() << "no speech recognition model: " << core->error().toStdString();
    }

    static RecognizerCore *core;
    static QList<Heard> *heard;
    static QVector<qint16> *sample; // "What is the date"
};

RecognizerCore *RecognitionTest::core = nullptr;
QList<RecognitionTest::Heard> *RecognitionTest::heard = nullptr;
QVector<qint16> *RecognitionTest::sample = nullptr;

TEST_F(RecognitionTest, TheProgramsCommandsAreUnderstoodInThreeVoices)
{
    int right = 0;
    int wrong = 0;
    int total = 0;
    for (const Heard &h : heardAll()) {
        if (h.expected.isEmpty())
            continue;
        ++total;
        if (h.result.command == h.expected)
            ++right;
        else if (h.result.understood())
            ++wrong;
        if (h.result.command != h.expected) {
            std::printf("  missed %s: heard \"%s\" score %.1f\n", qPrintable(h.label),
                qPrintable(h.result.phrase), h.result.score);
        }
    }
    std::printf("VOICE_RECALL %d/%d WRONG %d\n", right, total, wrong);
    EXPECT_EQ(total, 15);
    EXPECT_GE(right, 14);
    EXPECT_EQ(wrong, 0);
}

TEST_F(RecognitionTest, SilenceIsNothing)
{
    for (const Heard &h : heardAll()) {
        if (h.expected.isEmpty()) {
            EXPECT_FALSE(h.result.understood()) << h.label.toStdString();
        }
    }
}

TEST_F(RecognitionTest, TheProgramsNameIsPronounced)
{
    EXPECT_TRUE(core->hasPronunciation("quillory"));
    EXPECT_FALSE(core->hasPronunciation("zzqxj"));
    ASSERT_NE(core->grammar().phraseFor("exit quillory"), nullptr);
    EXPECT_TRUE(core->grammar().unknownWords().isEmpty());
}

TEST_F(RecognitionTest, BadCallsAreHarmless)
{
    const qint16 some[4] = { 1, 2, 3, 4 };
    core->feed(some, 4); // no utterance
    EXPECT_FALSE(core->end().understood());
    core->begin(1);
    core->feed(nullptr, 5);
    core->feed(some, -3);
    core->begin(2); // a second begin ends the first
    EXPECT_FALSE(core->end().understood());
    EXPECT_FALSE(core->recognize({}).understood());

    RecognizerOptions nowhere;
    nowhere.model = { "/nonexistent/model", installedRecognizerDictionary() };
    RecognizerCore missing(nowhere);
    EXPECT_FALSE(missing.isReady());
    EXPECT_FALSE(missing.error().isEmpty());
    EXPECT_FALSE(missing.setCommands(Listener::grammarEntries(programCommands())));
    EXPECT_FALSE(missing.recognize(*sample).understood());
}

TEST_F(RecognitionTest, NewCommandsDuringAnUtteranceWaitForItsEnd)
{
    core->begin(5);
    const QVector<qint16> quiet = noise(0.5, 50);
    core->feed(quiet.constData(), quiet.size());
    EXPECT_TRUE(core->setCommands({ { "go", "go home" } }));
    core->feed(quiet.constData(), quiet.size());
    EXPECT_EQ(core->end().utterance, 5u);
    EXPECT_EQ(core->grammar().commandFor("go home"), "go");
    EXPECT_FALSE(core->setCommands({}));
    EXPECT_FALSE(core->recognize(*sample).understood());
    core->setCommands(Listener::grammarEntries(programCommands()));
}

TEST_F(RecognitionTest, TheThreadedRecogniserAnswersOnTheCallersThread)
{
    Recognizer recognizer(installedOptions());
    QSignalSpy ready(&recognizer, &Recognizer::ready);
    ASSERT_TRUE(ready.wait(20000));
    ASSERT_TRUE(ready[0][0].toBool());
    recognizer.setCommands(Listener::grammarEntries(programCommands()));
    QList<RecognitionResult> results;
    QThread *thread = nullptr;
    QObject::connect(&recognizer, &Recognizer::recognized, [&](const RecognitionResult &r) {
        results << r;
        thread = QThread::currentThread();
    });
    // Given up: its audio is never decoded and nothing is reported.
    recognizer.begin();
    recognizer.feed(sample->first(kRate / 2));
    recognizer.cancel();
    const quint64 id = recognizer.begin();
    for (qsizetype at = 0; at < sample->size(); at += kRate / 10)
        recognizer.feed(sample->mid(at, kRate / 10));
    recognizer.end();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !results.isEmpty(); }, 10000));
    // A result of the utterance given up would have come before this one.
    QCoreApplication::processEvents();
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].utterance, id);
    EXPECT_EQ(results[0].command, "Date");
    EXPECT_EQ(thread, QThread::currentThread());
}

// ---------------------------------------------------------------------------
// The engine

class SilentSpeech final : public SpeechOutput
{
public:
    QString displayText(const QString &tagged) const override { return tagged; }
    void speak(const QString &, const VoiceSpec &) override { }
    void playEffect(const ToneSequence &, double) override { }
    void stop() override { }
    bool isSpeaking() const override { return false; }
};

class VoiceEngineTest : public ::testing::Test
{
protected:
    void SetUp() override { makeEngine(); }

    void makeEngine(SettingsStore *settings = nullptr)
    {
        engine.reset();
        engine = std::make_unique<AgentEngine>(
            QStringList { QUILLORY_SOURCE_DIR "/tests/data/characters" }, fakes.services,
            std::make_unique<SilentSpeech>(), settings);
        engine->setTimeScale(0.02); // no microphone: the dummies have none
    }

    AgentCharacter *loadWithCommands(const QString &moveVoice = "[Move Me]Home ")
    {
        EXPECT_TRUE(engine->Load("dot", "Dot.acs"));
        AgentCharacter *c = engine->character("dot");
        for (const CommandEntry &e : programCommands(moveVoice))
            c->commands().Add(e.name, e.caption, e.voice, e.enabled, e.visible);
        c->commands().setVisible(true);
        QCoreApplication::processEvents();
        return c;
    }

    FakeEngineServices fakes;
    std::unique_ptr<AgentEngine> engine;
};

TEST_F(VoiceEngineTest, WithoutAMicrophoneListenIsOfferedButDisabled)
{
    AgentCharacter *c = loadWithCommands();
    QMenu *menu = c->openContextMenu(QPoint(10, 10));
    QAction *listen = menu->findChild<QAction *>("listen");
    ASSERT_TRUE(listen);
    EXPECT_FALSE(listen->isEnabled());
    EXPECT_EQ(listen->toolTip(), "No microphone found");
    EXPECT_TRUE(menu->toolTipsVisible());

    // Neither the key nor the menu does anything, and nothing fails.
    engine->listener().keyPressed();
    engine->listener().startListening(Listener::Mode::Timed);
    EXPECT_FALSE(engine->listener().isListening());
    engine->listener().keyReleased();

    OptionsWindow *options = engine->optionsWindow();
    auto *test = options->findChild<QPushButton *>("testListening");
    ASSERT_TRUE(test);
    EXPECT_FALSE(test->isEnabled());
    EXPECT_EQ(test->toolTip(), "No microphone found");
    EXPECT_FALSE(options->findChild<QComboBox *>("microphone")->isEnabled());

    // Without voice texts there is nothing to listen for.
    c->commands().setVisible(false);
    menu = c->openContextMenu(QPoint(10, 10));
    EXPECT_FALSE(menu->findChild<QAction *>("listen"));
}

TEST_F(VoiceEngineTest, WithoutARecogniserModelListenIsDisabledAndNothingFails)
{
    fakes.audio.microphones = { { "mic", "Microphone", true } };
    fakes.services.recognizerModel = { "/nonexistent/model", "/nonexistent/model.dict" };
    makeEngine();
    AgentCharacter *c = loadWithCommands();
    QMenu *menu = c->openContextMenu(QPoint(10, 10));
    QAction *listen = menu->findChild<QAction *>("listen");
    ASSERT_TRUE(listen);
    EXPECT_FALSE(listen->isEnabled());
    EXPECT_EQ(listen->toolTip(), "No speech recognition model found");
    engine->listener().startListening(Listener::Mode::Timed);
    EXPECT_FALSE(engine->listener().isListening());
    // The key is not taken from other programs for nothing.
    EXPECT_FALSE(fakes.globalKey.watched);
}

TEST_F(VoiceEngineTest, TheCommandsListenedForFollowTheCharacter)
{
    loadWithCommands("[Move Me]Home ");
    ASSERT_EQ(engine->listener().grammarEntries().size(), 5);
    EXPECT_EQ(engine->listener().grammarEntries()[2].voice, "[Move Me]Home ");
    EXPECT_TRUE(engine->listener().grammarEntries()[4].strict);

    // A character change loads the commands again, spelled differently.
    engine->Unload("dot");
    QCoreApplication::processEvents();
    EXPECT_TRUE(engine->listener().grammarEntries().isEmpty());
    loadWithCommands("[MoveMe]Home ");
    EXPECT_EQ(engine->listener().grammarEntries()[2].voice, "[MoveMe]Home ");
    engine->character("dot")->commands().Add("hello", "Hello", "Hello there", true, true);
    QCoreApplication::processEvents();
    EXPECT_EQ(engine->listener().grammarEntries().size(), 6);
}

TEST_F(VoiceEngineTest, ARecognisedPhraseRaisesItsCommand)
{
    loadWithCommands();
    QSignalSpy commands(engine.get(), &Control::Command);
    RecognitionResult result;
    result.phrase = "what is the date";
    result.command = "Date";
    engine->listener().handleResult(result);
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0][0].value<UserInput>().Name, "Date");
}

TEST_F(VoiceEngineTest, TheCharacterShowsWhenItListensAndWhenItDidNotUnderstand)
{
    AgentCharacter *c = loadWithCommands();
    c->Show(true);
    ASSERT_TRUE(fakes.clock.runUntil([&] { return c->Visible(); }, 3000));
    CharacterWindow *window = c->window();
    const QSize resting = window->size();

    emit engine->listener().listeningChanged(true);
    EXPECT_EQ(window->tip().text(), AgentEngine::listeningText());
    EXPECT_TRUE(window->tip().microphone());
    EXPECT_FALSE(window->tipRect().intersects(
        QRect(window->mapFromGlobal(window->frameRect().topLeft()), window->frameRect().size())));
    emit engine->listener().listeningChanged(false);
    EXPECT_FALSE(window->tipShown());
    EXPECT_EQ(window->size(), resting);

    QSignalSpy commands(engine.get(), &Control::Command);
    RecognitionResult unsure;
    unsure.phrase = "what is the";
    engine->listener().handleResult(unsure);
    EXPECT_TRUE(commands.isEmpty());
    EXPECT_EQ(window->tip().text(), AgentEngine::notUnderstoodText());
    EXPECT_FALSE(window->tip().microphone());
    ASSERT_TRUE(fakes.clock.runUntil([&] { return !window->tipShown(); }, 2000));

    // Silence is not worth a remark.
    engine->listener().handleResult(RecognitionResult {});
    EXPECT_FALSE(window->tipShown());
}

TEST_F(VoiceEngineTest, VoiceOptionsAreKeptInTheSettings)
{
    TestHome home;
    SettingsStore settings(home.paths().settingsFile);
    settings.WriteSetting("agent", "listenkey", "Banana");
    settings.WriteSetting("agent", "microphone", "usb-mic-1");
    makeEngine(&settings);
    EXPECT_EQ(engine->options().listenKey, "ScrollLock");
    EXPECT_EQ(engine->listener().microphoneId(), "usb-mic-1");

    auto *key = engine->optionsWindow()->findChild<QComboBox *>("listenKey");
    ASSERT_TRUE(key);
    key->setCurrentIndex(key->findData("F12"));
    EXPECT_EQ(settings.ReadSetting("agent", "listenkey"), "F12");
    EXPECT_EQ(engine->listener().listenKey(), ListenKey::F12);
    // Choosing with no microphone plugged in keeps the stored one.
    EXPECT_EQ(settings.ReadSetting("agent", "microphone"), "usb-mic-1");

    EXPECT_EQ(OptionsWindow::describe(RecognitionResult {}, false),
        "Nothing understood: no speech heard");
    RecognitionResult heard;
    heard.phrase = "home";
    heard.command = "moveme";
    EXPECT_EQ(OptionsWindow::describe(heard, true), "Heard “home”: moveme");
}

} // namespace
