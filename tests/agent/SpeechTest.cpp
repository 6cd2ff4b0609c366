#include "agent/SpeechText.h"
#include "agent/speech/AudioDevices.h"
#include "agent/speech/AudioStream.h"
#include "agent/speech/SpeechPlayer.h"
#include "agent/speech/SpeechRunner.h"
#include "agent/speech/SpeechSynth.h"
#include "agent/speech/ToneSynth.h"
#include "agent/speech/WavCapture.h"
#include "agent/speech/WavWriter.h"
#include "platform/LoadedLibrary.h"
#include "tests/agent/SharedSynthesizer.h"
#include "tests/support/Fakes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

using namespace agent;

namespace {

const QString DateSentence = QStringLiteral("The date is, Tuesday, the 21st of March, 2000.");

double rms(const QVector<qint16> &pcm, qsizetype from = 0, qsizetype to = -1)
{
    if (to < 0)
        to = pcm.size();
    double sum = 0;
    for (qsizetype i = from; i < to; ++i)
        sum += double(pcm[i]) * pcm[i];
    return to > from ? std::sqrt(sum / double(to - from)) / 32768.0 : 0;
}

double peak(const QVector<qint16> &pcm)
{
    int p = 0;
    for (qint16 v : pcm)
        p = std::max(p, std::abs(int(v)));
    return p / 32768.0;
}

QStringList wordTexts(const QString &display, const QVector<WordMark> &marks)
{
    QStringList out;
    for (const WordMark &m : marks)
        out << display.mid(m.start, m.length);
    return out;
}

// What a player said and did, in order. Words are read from `display`,
// which a test changes when it speaks another text.
struct Recorder
{
    QString display;
    QStringList words;
    QVector<double> mouths;
    QVector<bool> finishes;
    QList<QMetaObject::Connection> connections;

    Recorder(SpeechPlayer &player, const QString &tagged)
        : display(SpeechText::parse(tagged).display)
    {
        connections << QObject::connect(
            &player, &SpeechPlayer::word, [this](int s, int l) { words << display.mid(s, l); });
        connections << QObject::connect(
            &player, &SpeechPlayer::mouth, [this](double v) { mouths << v; });
        connections << QObject::connect(
            &player, &SpeechPlayer::finished, [this](bool completed) { finishes << completed; });
    }
    ~Recorder()
    {
        for (const auto &c : connections)
            QObject::disconnect(c);
    }
};

// Points QUILLORY_AUDIO_FILE at a file for the life of the guard.
struct WavFile
{
    bool valid = false;
    QString error;
    int sampleRate = 0;
    QVector<qint16> samples;
};

// Reads a file as a strict 16-bit mono PCM WAV with the canonical 44-byte
// header, checking every field against the file's real size.
WavFile readWav(const QString &path)
{
    WavFile w;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        w.error = QStringLiteral("cannot open");
        return w;
    }
    const QByteArray b = f.readAll();
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    auto u16 = [&](int at) { return qFromLittleEndian<quint16>(b.constData() + at); };
    if (b.size() < 44)
        w.error = QStringLiteral("short file");
    else if (b.left(4) != "RIFF" || b.mid(8, 4) != "WAVE" || b.mid(12, 4) != "fmt ")
        w.error = QStringLiteral("bad magic");
    else if (u32(4) != quint32(b.size() - 8))
        w.error = QStringLiteral("RIFF size %1 for a file of %2").arg(u32(4)).arg(b.size());
    else if (u32(16) != 16 || u16(20) != 1 || u16(22) != 1 || u16(34) != 16)
        w.error = QStringLiteral("not 16-bit PCM mono");
    else if (u32(28) != u32(24) * 2 || u16(32) != 2)
        w.error = QStringLiteral("inconsistent byte rate or block align");
    else if (b.mid(36, 4) != "data" || u32(40) != quint32(b.size() - 44))
        w.error = QStringLiteral("data size %1 for a file of %2").arg(u32(40)).arg(b.size());
    if (!w.error.isEmpty())
        return w;
    w.valid = true;
    w.sampleRate = int(u32(24));
    for (qsizetype i = 44; i + 1 < b.size(); i += 2)
        w.samples << qFromLittleEndian<qint16>(b.constData() + i);
    return w;
}

// Playback tests run as on a machine without sound (no devices): the same
// everywhere, and silent on a developer's desk. Their time is a fake clock's,
// moved 10 ms a step while the synthesiser's thread delivers.
class SilentPlayback : public ::testing::Test
{
protected:
    // Until `done` holds; false when it never does, though the synthesiser
    // had ample time.
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
    // Lets `ms` pass on the clock, events running meanwhile.
    void pass(int ms)
    {
        for (int i = 0; i < ms; i += 10) {
            clock.advance(10);
            QCoreApplication::processEvents();
        }
    }
    FakeClock clock;
};
using SpeechPlayback = SilentPlayback;
using WavCapturing = SilentPlayback;

} // namespace

// --- Tags, SSML and the display text ----------------------------------------

TEST(SpeechText, TagsBecomeSsmlAndVanishFromTheDisplay)
{
    struct Case
    {
        QString tagged, display, ssml;
    };
    const Case cases[] = {
        { "\\emp\\Welcome to Quillory !", "Welcome to Quillory !",
            "<speak><emphasis>Welcome</emphasis> to Quillory !</speak>" },
        { "Hello \\emp\\there, friend.", "Hello there, friend.",
            "<speak>Hello <emphasis>there</emphasis>, friend.</speak>" },
        { "\\EMP\\ \"quoted\" word", " \"quoted\" word",
            "<speak> \"<emphasis>quoted</emphasis>\" word</speak>" },
        { "Wait\\pau=500\\ now", "Wait now", "<speak>Wait<break time=\"500ms\"/> now</speak>" },
        { "\\spd=120\\Fast \\Chr=\"Whisper\"\\talk\\xyz\\", "Fast talk",
            "<speak>Fast talk</speak>" },
        { "No number\\pau=abc\\here", "No numberhere", "<speak>No numberhere</speak>" },
        { "a < b & c > d", "a < b & c > d", "<speak>a &lt; b &amp; c &gt; d</speak>" },
        { "\\emp\\R&D wins", "R&D wins", "<speak><emphasis>R&amp;D</emphasis> wins</speak>" },
        { "The end\\emp\\", "The end", "<speak>The end</speak>" },
        { "back\\ slash 1\\2 \\", "back\\ slash 1\\2 \\", "<speak>back\\ slash 1\\2 \\</speak>" },
        { "", "", "<speak></speak>" },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(SpeechText::parse(c.tagged).display, c.display) << c.tagged.toStdString();
        EXPECT_EQ(SpeechPlayer::toSsml(c.tagged), c.ssml) << c.tagged.toStdString();
    }
}

TEST(SpeechText, SsmlIsWellFormedAndItsTextIsTheDisplay)
{
    const QString inputs[] = {
        "\\",
        "\\\\",
        "\\emp\\",
        "\\emp",
        "<<&&>>\\emp\\&&",
        "\\x=\\y\\ z",
        QString::fromUtf8("😀 \\emp\\ünïcode café"),
        QString("a") + QChar(0) + QChar(7) + "b",
        "\\pau=99999999999\\ huge",
        QString(500, QChar('\\')),
        "\\" + QString(300, QChar('a')) + "\\",
    };
    for (const QString &in : inputs) {
        const SpeechText t = SpeechText::parse(in);
        QXmlStreamReader xml(t.ssml);
        QString text;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isCharacters())
                text += xml.text();
        }
        ASSERT_FALSE(xml.hasError()) << in.toStdString() << " -> " << t.ssml.toStdString();
        QString expected = t.display;
        for (QChar &c : expected)
            if (c.unicode() < 0x20 && c != u'\n' && c != u'\t' && c != u'\r')
                c = u' ';
        EXPECT_EQ(text, expected) << in.toStdString();

        ASSERT_EQ(t.ssmlToDisplay.size(), t.ssml.size() + 1);
        EXPECT_TRUE(std::is_sorted(t.ssmlToDisplay.begin(), t.ssmlToDisplay.end()));
        EXPECT_GE(t.ssmlToDisplay.front(), 0);
        EXPECT_EQ(t.ssmlToDisplay.back(), t.display.size());
    }
}

TEST(SpeechText, TheBalloonShowsWordsNotTheirPronunciation)
{
    const std::pair<QString, QString> cases[] = {
        { "This appointment is set for !, 1, 05, p.m,, on the 24th, of December, 2026, and the "
          "message is !, Buy bread",
            "This appointment is set for 1:05 p.m. on the 24th, of December, 2026, and the "
            "message is Buy bread" },
        { "set for !, 9, a.m,, on the 1st", "set for 9 a.m. on the 1st" },
        { "Please choose between A,M and P,M in this box",
            "Please choose between AM and PM in this box" },
        // What the user wrote stays as written.
        { "Rooms A,B and 7, 30 people!, then tea", "Rooms A,B and 7, 30 people!, then tea" },
        { "Welcome to Quillory !", "Welcome to Quillory !" },
        { "  Good  morning ", "Good morning" },
        { "!,", "" },
        { "", "" },
    };
    for (const auto &[display, shown] : cases) {
        const ShownText t = ShownText::of(display);
        EXPECT_EQ(t.text, shown) << display.toStdString();
        ASSERT_EQ(t.fromDisplay.size(), display.size() + 1);
        EXPECT_TRUE(std::is_sorted(t.fromDisplay.begin(), t.fromDisplay.end()));
        EXPECT_EQ(t.at(int(display.size())), shown.size());
    }
    // A word heard is found where the balloon shows it.
    const QString said = "set for !, 10, 30, a.m,, today";
    const ShownText t = ShownText::of(said);
    const int today = int(said.indexOf("today"));
    EXPECT_EQ(t.text.mid(t.at(today), t.at(today + 5) - t.at(today)), "today");
    EXPECT_EQ(t.text.mid(t.at(int(said.indexOf("10"))), 5), "10:30");
}

TEST(SpeechText, SynthPositionsMapThroughEscapesAndWideCharacters)
{
    const SpeechText t = SpeechText::parse(QString::fromUtf8("😀 x & y \\emp\\zed"));
    // "<speak>" is 7 code points; the emoji is one code point but two
    // UTF-16 units, so "x" is code point 10 (1-based).
    EXPECT_EQ(t.displayIndexForSynthPosition(8), 0);
    EXPECT_EQ(t.display.mid(t.displayIndexForSynthPosition(10), 1), "x");
    // "&amp;" is 5 code points; "y" follows it after a space.
    EXPECT_EQ(t.display.mid(t.displayIndexForSynthPosition(18), 1), "y");
    EXPECT_EQ(t.display.mid(t.displayIndexForSynthPosition(14), 1), "&");
    // Past "<emphasis>" comes "zed".
    EXPECT_EQ(t.display.mid(t.displayIndexForSynthPosition(30), 3), "zed");
    EXPECT_EQ(t.displayIndexForSynthPosition(100000), t.display.size());
    EXPECT_EQ(t.displayIndexForSynthPosition(-5), 0);

    const QString s = "Tuesday, the \"21st\" ...  end";
    EXPECT_EQ(s.mid(wordAt(s, 3).start, wordAt(s, 3).length), "Tuesday");
    EXPECT_EQ(s.mid(wordAt(s, 8).start, wordAt(s, 8).length), "the"); // from the space after ','
    EXPECT_EQ(s.mid(wordAt(s, 15).start, wordAt(s, 15).length), "21st");
    EXPECT_EQ(s.mid(wordAt(s, 21).start, wordAt(s, 21).length), "...");
    EXPECT_FALSE(wordAt("   ", 0).isValid());
    EXPECT_FALSE(wordAt(s, 1000).isValid());
}

// --- Synthesis ---------------------------------------------------------------

TEST(SpeechSynth, SentenceIsAudibleAndItsWordsFollowTheText)
{
    const SpeechClip clip = sharedSynthesizer().synthesizeToMemory(DateSentence, VoiceSpec {});
    ASSERT_TRUE(clip.ok);
    ASSERT_EQ(clip.sampleRate, 22050);
    const double seconds = double(clip.pcm.size()) / clip.sampleRate;
    EXPECT_GT(seconds, 2.0);
    EXPECT_LT(seconds, 6.0);
    EXPECT_GT(rms(clip.pcm), 0.03);

    const QString display = SpeechText::parse(DateSentence).display;
    EXPECT_EQ(wordTexts(display, clip.words),
        QStringList({ "The", "date", "is", "Tuesday", "the", "21st", "of", "March", "2000" }));
    for (qsizetype i = 1; i < clip.words.size(); ++i) {
        EXPECT_GT(clip.words[i].start, clip.words[i - 1].start);
        EXPECT_GT(clip.words[i].sample, clip.words[i - 1].sample);
    }
    EXPECT_LT(clip.words.back().sample, clip.pcm.size());
    // Each word starts where its sound does: the stretch after a mark is
    // not silence.
    for (const WordMark &w : clip.words)
        EXPECT_GT(
            rms(clip.pcm, w.sample, std::min<qsizetype>(w.sample + 4410, clip.pcm.size())), 0.01)
            << display.mid(w.start, w.length).toStdString();
}

TEST(SpeechSynth, WordsMapBackThroughEmphasisEscapesAndAccents)
{
    const QString tagged = QString::fromUtf8("Tom & Jerry \\pau=100\\say \\emp\\café <ok> naïve.");
    const SpeechClip clip = sharedSynthesizer().synthesizeToMemory(tagged, VoiceSpec {});
    ASSERT_TRUE(clip.ok);
    const QStringList words = wordTexts(SpeechText::parse(tagged).display, clip.words);
    for (const char *w : { "Tom", "Jerry", "say", "café", "naïve" })
        EXPECT_TRUE(words.contains(QString::fromUtf8(w)))
            << w << " in " << words.join('|').toStdString();
    EXPECT_LT(words.indexOf("Jerry"), words.indexOf("café"));
    EXPECT_LT(words.indexOf("café"), words.indexOf("naïve"));
}

TEST(SpeechSynth, VoiceSettingsTakeEffect)
{
    const QString text = QStringLiteral("Seven sleepy seals sang softly.");
    VoiceSpec slow;
    slow.rate = 120;
    VoiceSpec fast;
    fast.rate = 300;
    const SpeechClip a = sharedSynthesizer().synthesizeToMemory(text, slow);
    const SpeechClip b = sharedSynthesizer().synthesizeToMemory(text, fast);
    EXPECT_GT(a.pcm.size(), b.pcm.size() * 3 / 2);

    VoiceSpec quiet;
    quiet.volume = 30;
    EXPECT_LT(rms(sharedSynthesizer().synthesizeToMemory(text, quiet).pcm), rms(a.pcm) * 0.6);

    VoiceSpec variant;
    variant.espeakVoice = "en-us+m3";
    EXPECT_GT(rms(sharedSynthesizer().synthesizeToMemory(text, variant).pcm), 0.03);

    // An unknown voice falls back to English instead of going silent.
    VoiceSpec unknown;
    unknown.espeakVoice = "zz-nowhere";
    const SpeechClip fallback = sharedSynthesizer().synthesizeToMemory(text, unknown);
    EXPECT_TRUE(fallback.ok);
    EXPECT_GT(rms(fallback.pcm), 0.03);
    EXPECT_EQ(fallback.words.size(), 5);
}

TEST(SpeechSynth, MouthLevelOfSpeechSitsInTheMiddleRange)
{
    const SpeechClip clip = sharedSynthesizer().synthesizeToMemory(DateSentence, VoiceSpec {});
    const int window = clip.sampleRate * 33 / 1000;
    QVector<double> voiced;
    for (qint64 at = window / 2; at < clip.pcm.size(); at += window) {
        const double level = loudness(clip.pcm, at, window);
        EXPECT_GE(level, 0.0);
        EXPECT_LE(level, 1.0);
        if (level > 0.1)
            voiced << level;
    }
    ASSERT_GT(voiced.size(), 20);
    std::sort(voiced.begin(), voiced.end());
    const double median = voiced[voiced.size() / 2];
    const double high = voiced[voiced.size() * 9 / 10];
    std::printf("MOUTH_LEVEL median %.2f p90 %.2f\n", median, high);
    EXPECT_GT(median, 0.3);
    EXPECT_LT(median, 0.8);
    EXPECT_EQ(loudness(QVector<qint16>(1000, 0), 500, window), 0.0);
    EXPECT_EQ(loudness({}, 10, window), 0.0);
    EXPECT_EQ(loudness(clip.pcm, clip.pcm.size() + 5000, window), 0.0);
}

// --- Playback ----------------------------------------------------------------

TEST_F(SpeechPlayback, SpeaksWordsInOrderAtTheirTimeAndFinishes)
{
    const QString tagged = QStringLiteral("\\emp\\Hello there, my friend.");
    const SpeechClip clip = sharedSynthesizer().synthesizeToMemory(tagged, VoiceSpec {});
    const qint64 clipMs = qint64(clip.pcm.size()) * 1000 / clip.sampleRate;

    SpeechPlayer player(clock, &sharedSynthesizer(), nullptr);
    Recorder rec(player, tagged);
    player.speak(tagged, VoiceSpec {});
    EXPECT_TRUE(player.isSpeaking());
    ASSERT_TRUE(playUntil([&] { return !rec.finishes.isEmpty(); }));

    EXPECT_EQ(rec.finishes, QVector<bool>({ true }));
    EXPECT_FALSE(player.isSpeaking());
    EXPECT_EQ(rec.words, QStringList({ "Hello", "there", "my", "friend" }));
    // Paced by what is heard (the mouth moves about 30 times a second
    // through the clip), not by how fast the synthesiser ran.
    EXPECT_GE(rec.mouths.size(), clipMs / 33 / 2);
    EXPECT_GT(*std::max_element(rec.mouths.begin(), rec.mouths.end()), 0.3);
    EXPECT_EQ(rec.mouths.back(), 0.0);

    pass(100);
    EXPECT_EQ(rec.finishes.size(), 1);
}

TEST_F(SpeechPlayback, StopCutsOffAtOnce)
{
    const QString tagged = QStringLiteral("One two three four five six seven eight nine ten.");
    SpeechPlayer player(clock, &sharedSynthesizer(), nullptr);
    Recorder rec(player, tagged);
    player.speak(tagged, VoiceSpec {});
    ASSERT_TRUE(playUntil([&] { return rec.words.size() >= 2; }));
    player.stop();
    EXPECT_EQ(rec.finishes, QVector<bool>({ false })); // before stop() returns
    EXPECT_FALSE(player.isSpeaking());
    const qsizetype wordsAtStop = rec.words.size();
    const qsizetype mouthsAtStop = rec.mouths.size();
    pass(400);
    EXPECT_EQ(rec.words.size(), wordsAtStop);
    EXPECT_EQ(rec.mouths.size(), mouthsAtStop);
    EXPECT_EQ(rec.finishes.size(), 1);
    player.stop(); // nothing to stop: no second finished()
    EXPECT_EQ(rec.finishes.size(), 1);
}

TEST_F(SpeechPlayback, NewSpeechReplacesTheOld)
{
    const QString first = QStringLiteral("Alpha bravo charlie delta echo foxtrot golf hotel.");
    const QString second = QStringLiteral("Yes indeed.");
    SpeechPlayer player(clock, &sharedSynthesizer(), nullptr);
    Recorder rec(player, first);
    player.speak(first, VoiceSpec {});
    ASSERT_TRUE(playUntil([&] { return !rec.words.isEmpty(); }));
    rec.display = SpeechText::parse(second).display;
    const qsizetype before = rec.words.size();
    player.speak(second, VoiceSpec {});
    EXPECT_EQ(rec.finishes, QVector<bool>({ false }));
    ASSERT_TRUE(playUntil([&] { return rec.finishes.size() == 2; }));
    EXPECT_EQ(rec.finishes, QVector<bool>({ false, true }));
    EXPECT_EQ(rec.words.mid(before), QStringList({ "Yes", "indeed" }));
}

TEST_F(SpeechPlayback, WithoutAnAudioDeviceSpeechPlaysSilentlyAndSaysSoOnce)
{
    class NoOutput final : public AudioDevices
    {
    public:
        SoundDevice output() const override { return {}; }
        QList<SoundDevice> inputs() const override { return {}; }
    } devices;
    QStringList lines;
    static QStringList *sink = nullptr;
    sink = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { *sink << text; });
    SpeechPlayer player(clock, &sharedSynthesizer(), &devices);
    Recorder rec(player, QStringLiteral("Hello."));
    for (int i = 0; i < 2; ++i) {
        player.speak(QStringLiteral("Hello."), VoiceSpec {});
        ASSERT_TRUE(playUntil([&] { return rec.finishes.size() == i + 1; }));
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(rec.finishes, QVector<bool>({ true, true }));
    EXPECT_EQ(rec.words, QStringList({ "Hello", "Hello" }));
    EXPECT_EQ(lines.filter("No audio output device").size(), 1) << lines.join('\n').toStdString();
}

TEST(SoundModule, IsLoadedAtFirstUseAndAMissingOneIsAMachineWithoutSound)
{
    QStringList lines;
    static QStringList *sink = nullptr;
    sink = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { *sink << text; });
    {
        SystemAudioDevices missing({ QStringLiteral("/nonexistent") });
        EXPECT_TRUE(missing.output().isNull());
        EXPECT_TRUE(missing.inputs().isEmpty());
        QString why;
        EXPECT_EQ(missing.openOutput({ "out", "Speakers", true }, 22050, 200, &why), nullptr);
        EXPECT_FALSE(why.isEmpty());
        EXPECT_EQ(missing.openInput({ "mic", "Microphone", true }, 16000), nullptr);
        QObject owner;
        missing.watchInputs(&owner, [] {});
    }
    EXPECT_EQ(lines.filter("sound is not available").size(), 1) << lines.join('\n').toStdString();

    // The module built beside the program loads; whether this machine has
    // any device is its own affair.
    lines.clear();
    SystemAudioDevices system(installedModuleFolders());
    const QList<SoundDevice> microphones = system.inputs();
    const SoundDevice output = system.output();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(lines.filter("sound is not available").isEmpty()) << lines.join('\n').toStdString();
    if (!output.isNull()) {
        QString why;
        EXPECT_NE(system.openOutput(output, 22050, 200, &why), nullptr) << why.toStdString();
    }
}

TEST_F(SpeechPlayback, NothingToSayFinishesAtOnce)
{
    const QString texts[] = { QString(), QStringLiteral("   "), QStringLiteral("\\pau=300\\") };
    for (const QString &text : texts) {
        SpeechPlayer player(clock, &sharedSynthesizer(), nullptr);
        Recorder rec(player, text);
        player.speak(text, VoiceSpec {});
        ASSERT_TRUE(playUntil([&] { return !rec.finishes.isEmpty(); }));
        EXPECT_EQ(rec.finishes, QVector<bool>({ true }));
        EXPECT_TRUE(rec.words.isEmpty());
    }
}

TEST_F(SpeechPlayback, OddTextAndEffectsBesideSpeechDoNotDisturbIt)
{
    SpeechPlayer player(clock, &sharedSynthesizer(), nullptr);
    Recorder rec(player, QString());
    const QString odd[]
        = { "\\", QString(QChar(0)) + "x", "\\emp\\", QString::fromUtf8("\xF0\x9F\x98\x80") };
    VoiceSpec quick;
    quick.rate = 450;
    for (const QString &text : odd) {
        rec.finishes.clear();
        player.speak(text, quick);
        player.playEffect({ { 880, 60, 0.6 } }, 1.0);
        ASSERT_TRUE(playUntil([&] { return !rec.finishes.isEmpty(); })) << text.toStdString();
        EXPECT_EQ(rec.finishes, QVector<bool>({ true })) << text.toStdString();
    }
    // Effects alone say nothing and never finish speech.
    rec.finishes.clear();
    player.playEffect({ { 660, 80, 0.5 }, { 990, 80, 0.5 } }, 0.5);
    player.playEffect({}, 1.0);
    player.playEffect({ { std::nan(""), -5, 2.0 } }, -1.0);
    pass(250);
    EXPECT_TRUE(rec.finishes.isEmpty());
    EXPECT_FALSE(player.isSpeaking());
}

TEST_F(SpeechPlayback, PlayerDestroyedMidSpeechLeavesNothingRunning)
{
    auto player = std::make_unique<SpeechPlayer>(clock, &sharedSynthesizer(), nullptr);
    player->speak(QStringLiteral("This sentence is never heard to the end."), VoiceSpec {});
    player->playEffect({ { 880, 300, 0.6 } }, 1.0);
    pass(60);
    player.reset();
    pass(60); // late chunks for the dead player must go nowhere

    // The shared synthesiser is free again, and nothing of the old sentence
    // reaches the next player.
    const QString next = QStringLiteral("Done.");
    SpeechPlayer fresh(clock, &sharedSynthesizer(), nullptr);
    Recorder rec(fresh, next);
    fresh.speak(next, VoiceSpec {});
    ASSERT_TRUE(playUntil([&] { return !rec.finishes.isEmpty(); }));
    EXPECT_EQ(rec.finishes, QVector<bool>({ true }));
    EXPECT_EQ(rec.words, QStringList({ "Done" }));
}

// --- Capture to a WAV file ---------------------------------------------------

TEST(WavWriter, HeaderIsRightAfterEveryWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.wav");
    WavWriter writer(16000);
    ASSERT_TRUE(writer.open(path));
    WavFile w = readWav(path);
    ASSERT_TRUE(w.valid) << w.error.toStdString();
    EXPECT_EQ(w.sampleRate, 16000);
    EXPECT_TRUE(w.samples.isEmpty());

    const QVector<qint16> a = { 0, 1, -1, 32767, -32768 };
    const QVector<qint16> b = { 1234, -4321 };
    ASSERT_TRUE(writer.append(a.constData(), a.size()));
    w = readWav(path);
    ASSERT_TRUE(w.valid) << w.error.toStdString();
    EXPECT_EQ(w.samples, a);
    ASSERT_TRUE(writer.append(b.constData(), b.size()));
    ASSERT_TRUE(writer.append(nullptr, 0));
    w = readWav(path);
    ASSERT_TRUE(w.valid) << w.error.toStdString();
    EXPECT_EQ(w.samples, a + b);
    EXPECT_EQ(writer.sampleCount(), 7);

    // Opening again starts a new file.
    ASSERT_TRUE(writer.open(path));
    ASSERT_TRUE(writer.append(b.constData(), b.size()));
    w = readWav(path);
    ASSERT_TRUE(w.valid) << w.error.toStdString();
    EXPECT_EQ(w.samples, b);

    WavWriter nowhere(22050);
    EXPECT_FALSE(nowhere.open(dir.filePath("missing/dir/out.wav")));
    EXPECT_FALSE(nowhere.append(a.constData(), a.size()));
}

TEST_F(WavCapturing, SpeechAndEffectsLandInTheFileInOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("said.wav");
    const QString text = QStringLiteral("Hi there.");
    const ToneSequence chime = { { 880, 120, 0.6 }, { 1320, 150, 0.6 } };
    VoiceSpec formant;
    formant.engine = QStringLiteral("espeak");
    {
        WavCapture capture(path);
        SpeechPlayer player(clock, &sharedSynthesizer(), nullptr, &capture);
        Recorder rec(player, text);
        player.speak(text, formant);
        player.playEffect(chime, 1.0); // starts after the speech: written after it
        ASSERT_TRUE(playUntil([&] { return !rec.finishes.isEmpty(); }));
    }
    // Every engine's speech is played, and captured, at one rate.
    const SpeechClip clip = sharedSynthesizer().synthesizeToMemory(text, formant);
    const QVector<qint16> tones = synthesizeTones(chime, 1.0, SpeechRunner::kSampleRate);
    const WavFile w = readWav(path);
    ASSERT_TRUE(w.valid) << w.error.toStdString();
    EXPECT_EQ(w.sampleRate, SpeechRunner::kSampleRate);
    // The synthesiser carries a little state from one text to the next, so
    // the same words come out a few samples longer or shorter each time.
    ASSERT_GT(w.samples.size(), tones.size());
    const QVector<qint16> speech = w.samples.first(w.samples.size() - tones.size());
    EXPECT_NEAR(double(speech.size()),
        double(clip.pcm.size()) * SpeechRunner::kSampleRate / clip.sampleRate, 200.0);
    EXPECT_NEAR(rms(speech), rms(clip.pcm), rms(clip.pcm) * 0.1);
    EXPECT_EQ(w.samples.last(tones.size()), tones);
}

TEST_F(WavCapturing, SpeechCutOffIsWrittenUpToWhereItStopped)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cut.wav");
    const QString text
        = QStringLiteral("This is a rather long sentence that will be cut off early.");
    VoiceSpec formant;
    formant.engine = QStringLiteral("espeak");
    const SpeechClip clip = sharedSynthesizer().synthesizeToMemory(text, formant);
    ASSERT_GE(clip.words.size(), 4);
    // The player plays every engine at one rate.
    const qint64 third = clip.words[2].sample * SpeechRunner::kSampleRate / clip.sampleRate;
    {
        WavCapture capture(path);
        SpeechPlayer player(clock, &sharedSynthesizer(), nullptr, &capture);
        Recorder rec(player, text);
        player.speak(text, formant);
        // Stopped as the third word is heard: what was heard lies from there
        // to a tick or two later.
        ASSERT_TRUE(playUntil([&] { return rec.words.size() >= 3; }));
        player.stop();
    }
    const WavFile w = readWav(path);
    ASSERT_TRUE(w.valid) << w.error.toStdString();
    // The synthesiser carries a little state from one text to the next.
    const qsizetype slack = w.sampleRate / 50;
    EXPECT_GT(w.samples.size(), third - slack);
    EXPECT_LT(w.samples.size(), third + w.sampleRate / 10 + slack);
    EXPECT_GT(rms(w.samples), 0.03);
}

// --- Effects -----------------------------------------------------------------

TEST(ToneSynth, NotesAreAudibleAndFreeOfClicks)
{
    const int rate = 22050;
    const ToneSequence notes = { { 880, 200, 0.6 }, { 1320, 300, 0.3 } };
    const QVector<qint16> pcm = synthesizeTones(notes, 1.0, rate);
    const qsizetype first = rate * 200 / 1000;
    ASSERT_EQ(pcm.size(), first + rate * 300 / 1000);
    EXPECT_GT(peak(pcm), 0.25);
    EXPECT_NEAR(peak(pcm), 0.5, 0.05); // -6 dBFS
    // The quieter note keeps its gain relative to the loud one.
    EXPECT_NEAR(peak(pcm.last(pcm.size() - first)), 0.25, 0.03);

    // Every note starts and ends at rest, and ramps rather than jumps.
    for (qsizetype edge : { qsizetype(0), first }) {
        EXPECT_LT(std::abs(pcm[edge]) / 32768.0, 0.005) << edge;
        for (int i = 0; i < 8; ++i)
            EXPECT_LT(std::abs(pcm[edge + i]) / 32768.0, 0.05) << edge + i;
    }
    EXPECT_LT(std::abs(pcm[first - 1]) / 32768.0, 0.005);
    EXPECT_LT(std::abs(pcm.back()) / 32768.0, 0.005);
    // A bell decays: the end of a note is much quieter than its start.
    EXPECT_GT(rms(pcm, 0, first / 4), 3 * rms(pcm, first * 3 / 4, first));

    EXPECT_NEAR(peak(synthesizeTones(notes, 0.5, rate)), 0.25, 0.03);
    EXPECT_TRUE(synthesizeTones({}, 1.0, rate).isEmpty());
    EXPECT_EQ(peak(synthesizeTones(notes, 0.0, rate)), 0.0);
    // Unplayable notes are skipped, never fatal.
    const ToneSequence bad = { { std::nan(""), 100, 0.5 }, { 880, -10, 0.5 }, { 20000, 100, 0.5 },
        { 440, 100, std::numeric_limits<double>::infinity() } };
    EXPECT_TRUE(synthesizeTones(bad, 1.0, rate).isEmpty());
    EXPECT_TRUE(synthesizeTones(notes, std::nan(""), rate).isEmpty());
    EXPECT_LE(peak(synthesizeTones(notes, 50.0, rate)), 0.51);
}

TEST(ToneSynth, ASequenceIsCutToTenSecondsAndItsLastNoteStillFades)
{
    const int rate = 22050;
    // Made on the thread that plays it: a thousand long notes must not stall it.
    const ToneSequence many(1000, Note { 660, 10000, 0.5 });
    const QVector<qint16> pcm = synthesizeTones(many, 1.0, rate);
    EXPECT_EQ(pcm.size(), 10 * rate);
    EXPECT_LT(std::abs(pcm.back()) / 32768.0, 0.005);
    // A short sequence is left as it is.
    EXPECT_EQ(
        synthesizeTones({ { 660, 9000, 0.5 }, { 880, 2000, 0.5 } }, 1.0, rate).size(), 10 * rate);
    EXPECT_EQ(synthesizeTones({ { 660, 4000, 0.5 } }, 1.0, rate).size(), 4 * rate);
}
