#include "agent/speech/SpeechEngine.h"
#include "agent/SpeechText.h"
#include "agent/speech/EspeakEngine.h"
#include "agent/speech/SpeechPieces.h"
#include "agent/speech/SpeechRunner.h"
#include "agent/speech/SpeechSynth.h"
#include "agent/speech/Visemes.h"
#ifdef QUILLORY_HAVE_FLITE
#include "agent/speech/FliteEngine.h"
#include "tests/agent/SharedSynthesizer.h"
#endif

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>

using namespace agent;

namespace {

double rms(const QVector<qint16> &pcm, qint64 from = 0, qint64 to = -1)
{
    if (to < 0 || to > pcm.size())
        to = pcm.size();
    double sum = 0;
    for (qint64 i = from; i < to; ++i)
        sum += double(pcm[i]) * pcm[i];
    return to > from ? std::sqrt(sum / double(to - from)) / 32768.0 : 0;
}

QStringList shownWords(const QString &display, const QVector<SpokenWord> &words)
{
    QStringList out;
    for (const SpokenWord &w : words)
        out << display.mid(w.position, w.length);
    return out;
}

// Collects the warnings of the speech log while it lives.
class SpeechLog
{
public:
    SpeechLog()
    {
        s_lines.clear();
        m_previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &, const QString &msg) {
                if (type == QtWarningMsg)
                    s_lines << msg;
            });
    }
    ~SpeechLog() { qInstallMessageHandler(m_previous); }
    QString all() const { return s_lines.join(u'\n'); }

private:
    static inline QStringList s_lines;
    QtMessageHandler m_previous = nullptr;
};

// Runs the events the engines' thread delivers until `done` holds; false
// when it never does, though the thread had ample time.
bool deliveredUntil(const std::function<bool()> &done)
{
    QDeadlineTimer patience(60000);
    for (;;) {
        QCoreApplication::processEvents();
        if (done())
            return true;
        if (patience.hasExpired())
            return false;
        QThread::yieldCurrentThread();
    }
}

QString longText(int chars)
{
    const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog, again. ");
    QString t;
    while (t.size() < chars)
        t += sentence;
    return t.left(chars);
}

} // namespace

// --- Pieces -----------------------------------------------------------------

TEST(SpeechPiecesTest, FirstPhraseAloneThenSentencesThatAddUpToTheWhole)
{
    const QString cases[] = {
        QStringLiteral("Good morning, today you have three meetings. And a \\emp\\dentist "
                       "appointment at noon!  Bye."),
        QStringLiteral("Please remember to buy bread and milk on the way home"),
        QStringLiteral("Wait\\pau=500\\ for \\Chr=\"Whisper me\"\\ it, please. Done."),
        QStringLiteral("Hi"),
        QStringLiteral("   "),
        longText(3000),
    };
    for (const QString &tagged : cases) {
        SCOPED_TRACE(tagged.left(60).toStdString());
        SpeechPieces pieces(tagged);
        QString joined;
        QString display;
        int count = 0;
        while (!pieces.atEnd()) {
            const SpeechPiece p = pieces.next();
            ASSERT_FALSE(p.tagged.isEmpty());
            EXPECT_EQ(p.displayOffset, display.size());
            const QString shown = SpeechText::parse(p.tagged).display;
            if (count == 0)
                EXPECT_LE(shown.split(u' ', Qt::SkipEmptyParts).size(), SpeechPieces::kFirstWords);
            else
                EXPECT_LE(shown.size(), SpeechPieces::kMaxPieceChars + 1);
            joined += p.tagged;
            display += shown;
            ++count;
        }
        EXPECT_EQ(joined, tagged);
        EXPECT_EQ(display, SpeechText::parse(tagged).display);
    }
    SpeechPieces date(cases[0]);
    EXPECT_EQ(date.next().tagged, "Good morning,");
    EXPECT_EQ(date.next().tagged, " today you have three meetings.");
}

TEST(SpeechPiecesTest, TextWithoutBlanksIsStillCutInBoundedPieces)
{
    // A 100,000-character "word", and an emoji run that must not be cut
    // inside a surrogate pair.
    for (const QString &tagged : { QString(100000, u'x'), QString::fromUtf8("😀").repeated(1000) }) {
        SpeechPieces pieces(tagged);
        int count = 0;
        QString joined;
        while (!pieces.atEnd()) {
            const SpeechPiece p = pieces.next();
            EXPECT_LE(p.tagged.size(), SpeechPieces::kMaxPieceChars + 1);
            EXPECT_FALSE(p.tagged.front().isLowSurrogate());
            joined += p.tagged;
            ++count;
        }
        EXPECT_EQ(joined, tagged);
        EXPECT_GT(count, 3);
    }
}

// --- Mouth shapes -----------------------------------------------------------

TEST(VisemesTest, EveryFlitePhoneHasAShapeAndAnUnknownOneFallsBackToLoudness)
{
    const char *const flitePhones[] = { "aa", "ae", "ah", "ao", "aw", "ax", "ay", "b", "ch", "d",
        "dh", "eh", "er", "ey", "f", "g", "hh", "ih", "iy", "jh", "k", "l", "m", "n", "ng", "ow",
        "oy", "p", "pau", "r", "s", "sh", "t", "th", "uh", "uw", "v", "w", "y", "z", "zh" };
    for (const char *p : flitePhones)
        EXPECT_TRUE(visemeForPhone(QString::fromLatin1(p))) << p;
    EXPECT_EQ(visemeForPhone(u"m"), Viseme::MBP);
    EXPECT_EQ(visemeForPhone(u"AA"), Viseme::Open);
    EXPECT_FALSE(visemeForPhone(u"qx"));
    EXPECT_FALSE(visemeForPhone(u""));

    VisemeParts parts;
    parts.parts[size_t(Viseme::MBP)] = QStringLiteral("mouthPressed");
    parts.parts[size_t(Viseme::Open)] = QStringLiteral("mouthOpen");
    const SpokenPhone m { 0, 10, QStringLiteral("m") };
    const SpokenPhone ow { 0, 10, QStringLiteral("ow") };
    const SpokenPhone odd { 0, 10, QStringLiteral("qx") };
    // A shape the character draws, one it lacks (its loudness mouth stands
    // in), a phone the table lacks and no phone at all (loudness).
    EXPECT_EQ(pickMouth(&m, 0.7, parts).viseme, Viseme::MBP);
    const MouthPick round = pickMouth(&ow, 0.7, parts);
    EXPECT_FALSE(round.viseme);
    EXPECT_EQ(round.shape, MouthShape::Small);
    const MouthPick unknown = pickMouth(&odd, 0.9, parts);
    EXPECT_FALSE(unknown.viseme);
    EXPECT_EQ(unknown.shape, mouthForLevel(0.9));
    EXPECT_EQ(pickMouth(nullptr, 0.0, parts).shape, mouthForLevel(0.0));
    // A character with loudness mouths only.
    EXPECT_EQ(pickMouth(&m, 0.9, VisemeParts {}).shape, mouthForLevel(0.9));
    EXPECT_FALSE(pickMouth(&m, 0.9, VisemeParts {}).viseme);
}

TEST(VisemesTest, TheFileEntryKeepsKnownShapesAndNamesTheRest)
{
    const QJsonObject o = QJsonDocument::fromJson(
        R"({"mbp": "lips", "OPEN": "jaw", "grin": "x", "wide": 3, "round": ""})")
                              .object();
    QStringList problems;
    const VisemeParts parts = readVisemeParts(o, &problems);
    EXPECT_EQ(parts.part(Viseme::MBP), "lips");
    EXPECT_EQ(parts.part(Viseme::Open), "jaw");
    EXPECT_TRUE(parts.part(Viseme::Wide).isEmpty());
    EXPECT_EQ(problems.size(), 3) << problems.join(u';').toStdString();
    EXPECT_TRUE(readVisemeParts(QJsonValue(), &problems).isEmpty());
    EXPECT_TRUE(readVisemeParts(QJsonValue(5), nullptr).isEmpty());
}

TEST(VisemesTest, TheFollowerFindsThePhoneHeard)
{
    const QVector<SpokenPhone> phones { { 0, 100, "pau" }, { 100, 180, "m" }, { 200, 300, "aa" } };
    PhoneFollower f;
    EXPECT_EQ(f.at(phones, 50)->label, "pau");
    EXPECT_EQ(f.at(phones, 100)->label, "m");
    EXPECT_EQ(f.at(phones, 190), nullptr); // a gap
    EXPECT_EQ(f.at(phones, 299)->label, "aa");
    EXPECT_EQ(f.at(phones, 300), nullptr);
    f.reset();
    EXPECT_EQ(f.at(phones, 0)->label, "pau");
    EXPECT_EQ(f.at({}, 10), nullptr);
}

// --- Choosing the engine ----------------------------------------------------

TEST(EngineChoiceTest, NonLatinTextGoesToEspeakWithAVoiceForItsScript)
{
    EXPECT_FALSE(hasNonLatinLetters(QStringLiteral("Café, naïve façade! 12:30")));
    EXPECT_TRUE(hasNonLatinLetters(QStringLiteral("Hello Привет")));
    EXPECT_TRUE(hasNonLatinLetters(QString::fromUtf8("今日は")));
    EXPECT_FALSE(hasNonLatinLetters(QString::fromUtf8("😀 → ★")));
    EXPECT_EQ(EspeakEngine::voiceForScript(QStringLiteral("Привет")), "ru");
    EXPECT_EQ(EspeakEngine::voiceForScript(QStringLiteral("Καλημέρα")), "el");
    EXPECT_EQ(EspeakEngine::voiceForScript(QStringLiteral("Hello")), "");

    std::vector<std::unique_ptr<SpeechEngine>> engines = makeSpeechEngines(&sharedSynthesizer());
    ASSERT_FALSE(engines.empty());
#ifdef QUILLORY_HAVE_FLITE
    EXPECT_EQ(engines.front()->id(), "flite");
    EXPECT_EQ(chooseEngine(engines, {}, QStringLiteral("Hello"))->id(), "flite");
#endif
    EXPECT_EQ(chooseEngine(engines, {}, QStringLiteral("Привет, мир"))->id(), "espeak");
    EXPECT_EQ(chooseEngine(engines, "espeak", QStringLiteral("Hello"))->id(), "espeak");
    // An engine that is not there: the preferred one that is.
    EXPECT_EQ(
        chooseEngine(engines, "festival", QStringLiteral("Hello"))->id(), engines.front()->id());
    EXPECT_EQ(chooseEngine({}, {}, QStringLiteral("Hello")), nullptr);

    qputenv("QUILLORY_NO_FLITE", "1");
    const auto withoutFlite = makeSpeechEngines(&sharedSynthesizer());
    qunsetenv("QUILLORY_NO_FLITE");
    ASSERT_EQ(withoutFlite.size(), 1u);
    EXPECT_EQ(chooseEngine(withoutFlite, "flite", QStringLiteral("Hello"))->id(), "espeak");
}

TEST(EngineChoiceTest, GainIsSoftAtFullScale)
{
    QVector<qint16> pcm { 1000, -1000, 20000, -30000, 32767 };
    applyGain(pcm, 0, pcm.size(), 2.0);
    EXPECT_EQ(pcm[0], 2000);
    EXPECT_EQ(pcm[1], -2000);
    EXPECT_GT(pcm[2], 26214);
    EXPECT_LE(pcm[2], 32767);
    EXPECT_GE(pcm[3], -32767);
    EXPECT_LT(pcm[3], pcm[1]);
    applyGain(pcm, 3, 99, 0.0); // a range past the end is cut to the audio
    EXPECT_EQ(pcm[3], 0);
    EXPECT_EQ(pcm[4], 0);
}

// --- Flite ------------------------------------------------------------------

#ifdef QUILLORY_HAVE_FLITE

TEST(FliteEngineTest, EveryVoiceSpeaksWithWordsAndPhonesInStep)
{
    FliteEngine flite;
    ASSERT_TRUE(flite.isAvailable());
    const QString tagged = QStringLiteral("The date is, Tuesday, the 21st of March, 2000.");
    const QString display = SpeechText::parse(tagged).display;
    for (const QString &voice : FliteEngine::shippedVoices()) {
        SCOPED_TRACE(voice.toStdString());
        const Synthesis s = flite.synthesise(tagged, { voice }, {});
        ASSERT_TRUE(s.ok);
        EXPECT_EQ(s.sampleRate, 16000);
        EXPECT_GT(s.pcm.size(), s.sampleRate); // over a second of speech
        EXPECT_GT(rms(s.pcm), 0.02);
        // "21st" and "2000" are read as several words and shown once each.
        EXPECT_EQ(shownWords(display, s.words),
            (QStringList { "The", "date", "is", "Tuesday", "the", "21st", "of", "March", "2000" }));
        qint64 last = 0;
        for (const SpokenWord &w : s.words) {
            EXPECT_GE(w.start, last);
            EXPECT_GT(w.end, w.start);
            EXPECT_LE(w.end, s.pcm.size() + 1);
            last = w.start;
        }
        ASSERT_GT(s.phones.size(), 20);
        EXPECT_EQ(s.phones.front().label, "pau");
        for (qsizetype i = 1; i < s.phones.size(); ++i)
            EXPECT_EQ(s.phones[i].start, s.phones[i - 1].end);
        // The sounds of "March" start where its word does, with the lips shut.
        const SpokenWord march = s.words[7];
        const auto m = std::find_if(s.phones.begin(), s.phones.end(),
            [&](const SpokenPhone &p) { return p.start == march.start; });
        ASSERT_NE(m, s.phones.end());
        EXPECT_EQ(m->label, "m");
    }
}

TEST(FliteEngineTest, AStressedWordIsSlowerAndLouder)
{
    FliteEngine flite;
    const Synthesis plain = flite.synthesise(QStringLiteral("I said now, not later."), {}, {});
    const Synthesis stressed
        = flite.synthesise(QStringLiteral("I said \\emp\\now, not later."), {}, {});
    ASSERT_TRUE(plain.ok && stressed.ok);
    ASSERT_EQ(plain.words.size(), 5);
    ASSERT_EQ(stressed.words.size(), 5);
    const SpokenWord a = plain.words[2];
    const SpokenWord b = stressed.words[2];
    EXPECT_EQ(b.position, a.position);
    EXPECT_GT(double(b.end - b.start), 1.15 * double(a.end - a.start));
    EXPECT_GT(rms(stressed.pcm, b.start, b.end), 1.2 * rms(plain.pcm, a.start, a.end));
}

TEST(FliteEngineTest, RateVolumePausesAndOddText)
{
    FliteEngine flite;
    const QString text = QStringLiteral("Seven sleepy seals sang softly.");
    EngineVoice slow { QString(), 110 };
    EngineVoice fast { QString(), 260 };
    const Synthesis a = flite.synthesise(text, slow, {});
    const Synthesis b = flite.synthesise(text, fast, {});
    EXPECT_GT(a.pcm.size(), b.pcm.size() * 3 / 2);
    EngineVoice quiet;
    quiet.volume = 40;
    EXPECT_LT(
        rms(flite.synthesise(text, quiet, {}).pcm), rms(flite.synthesise(text, {}, {}).pcm) * 0.6);

    const Synthesis paused = flite.synthesise(QStringLiteral("Wait\\pau=800\\ now."), {}, {});
    ASSERT_EQ(paused.words.size(), 2);
    EXPECT_GE(paused.words[1].start - paused.words[0].end, 800 * 16);

    // Only tags or blanks: nothing to say, and that is no failure.
    for (const QString &nothing : { QString(), QStringLiteral("   \n\t "),
             QStringLiteral("\\emp\\\\spd=200\\ \\pau=10\\"), QStringLiteral("... ,,, !!!") }) {
        const Synthesis s = flite.synthesise(nothing, {}, {});
        EXPECT_TRUE(s.ok) << nothing.toStdString();
        EXPECT_TRUE(s.words.isEmpty()) << nothing.toStdString();
    }
    // Accents are read as their letters; the word keeps its place.
    const Synthesis cafe = flite.synthesise(QStringLiteral("A café crème"), {}, {});
    EXPECT_EQ(shownWords(QStringLiteral("A café crème"), cafe.words),
        (QStringList { "A", "café", "crème" }));
}

TEST(FliteEngineTest, AVoiceThatIsNotInstalledSpeaksWithTheDefaultAndIsLogged)
{
    FliteEngine flite;
    SpeechLog log;
    const Synthesis s = flite.synthesise(QStringLiteral("Hello there."), { "kal99" }, {});
    EXPECT_TRUE(s.ok);
    EXPECT_GT(rms(s.pcm), 0.02);
    EXPECT_TRUE(log.all().contains("kal99")) << log.all().toStdString();
    const Synthesis d = flite.synthesise(QStringLiteral("Hello there."), {}, {});
    EXPECT_EQ(s.pcm.size(), d.pcm.size());
}

TEST(FliteEngineTest, CancellingStopsTheWorkAndStreamingOnlyAppends)
{
    FliteEngine flite;
    const QString text = longText(600);
    int calls = 0;
    Synthesis seen;
    const Synthesis whole = flite.synthesise(text, {}, {}, [&](const Synthesis &soFar) {
        EXPECT_GE(soFar.pcm.size(), seen.pcm.size());
        EXPECT_EQ(soFar.pcm.mid(0, seen.pcm.size()), seen.pcm);
        seen = soFar;
        ++calls;
    });
    ASSERT_TRUE(whole.ok);
    EXPECT_GT(calls, 3);
    EXPECT_EQ(seen.pcm, whole.pcm);

    int asked = 0;
    const Synthesis cut = flite.synthesise(text, {}, [&] { return ++asked > 3; });
    EXPECT_FALSE(cut.ok);
    EXPECT_TRUE(cut.pcm.isEmpty());
    EXPECT_LT(asked, 10);
}

#endif

// --- The runner -------------------------------------------------------------

class SpeechRunnerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        runner = new SpeechRunner(makeSpeechEngines(&sharedSynthesizer()));
    }
    static void TearDownTestSuite() { delete std::exchange(runner, nullptr); }
    static SpeechRunner *runner;
};
SpeechRunner *SpeechRunnerTest::runner = nullptr;

// An engine whose libraries do not load: it must never be asked to speak.
class BrokenEngine final : public SpeechEngine
{
public:
    explicit BrokenEngine(std::atomic<int> &asked)
        : m_asked(asked)
    { }
    QString id() const override { return QStringLiteral("flite"); }
    bool isAvailable() const override { return false; }
    QStringList voices() const override { return { QStringLiteral("kal") }; }
    QString defaultVoice() const override { return QStringLiteral("kal"); }
    bool canSpeak(const QString &) const override { return true; }
    Synthesis synthesise(const QString &, const EngineVoice &, const CancelCheck &,
        const SynthesisProgress &) override
    {
        ++m_asked;
        return {};
    }

private:
    std::atomic<int> &m_asked;
};

TEST_F(SpeechRunnerTest, AnEngineThatDoesNotLoadIsLeftOutBeforeTheFirstSpeech)
{
    // Not checked while the program starts: the speech thread checks first.
    std::atomic<int> asked = 0;
    std::vector<std::unique_ptr<SpeechEngine>> engines;
    engines.push_back(std::make_unique<BrokenEngine>(asked));
    engines.push_back(std::make_unique<EspeakEngine>(&sharedSynthesizer()));
    SpeechRunner own(std::move(engines));
    QObject here;
    QList<bool> done;
    qint64 made = 0;
    QObject::connect(&own, &SpeechRunner::part, &here,
        [&](quint64, const SpeechPart &p) { made += p.pcm.size(); });
    QObject::connect(&own, &SpeechRunner::done, &here, [&](quint64, bool ok) { done << ok; });
    VoiceSpec flite;
    flite.engine = QStringLiteral("flite");
    own.speak(QStringLiteral("Feed the cat"), flite);
    ASSERT_TRUE(deliveredUntil([&] { return !done.isEmpty(); }));
    EXPECT_EQ(done, QList<bool> { true });
    EXPECT_GT(made, 0);
    EXPECT_EQ(asked, 0);
}

TEST_F(SpeechRunnerTest, PiecesJoinIntoOneUtteranceAtOneRate)
{
    ASSERT_TRUE(runner->isAvailable());
    const QString tagged = QStringLiteral("Good morning, Sam. Your appointment is at noon today.");
    const QString display = SpeechText::parse(tagged).display;
    for (const QString &engine : runner->engineIds()) {
        SCOPED_TRACE(engine.toStdString());
        VoiceSpec voice;
        voice.engine = engine;
        const Synthesis s = runner->synthesiseAll(tagged, voice);
        ASSERT_TRUE(s.ok);
        EXPECT_EQ(s.sampleRate, SpeechRunner::kSampleRate);
        EXPECT_EQ(shownWords(display, s.words),
            (QStringList {
                "Good", "morning", "Sam", "Your", "appointment", "is", "at", "noon", "today" }));
        for (qsizetype i = 1; i < s.words.size(); ++i)
            EXPECT_GE(s.words[i].start, s.words[i - 1].start);
        EXPECT_LE(s.words.last().end, s.pcm.size());
        EXPECT_GT(rms(s.pcm), 0.02);
    }
}

TEST_F(SpeechRunnerTest, NonLatinTextWithAnEnglishVoiceIsReadByEspeak)
{
    VoiceSpec voice; // Flite's default: English only
    const QString tagged = QStringLiteral("Hello. Привет, как дела?");
    const Synthesis s = runner->synthesiseAll(tagged, voice);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(shownWords(tagged, s.words), (QStringList { "Hello", "Привет", "как", "дела" }));
    const SpokenWord privet = s.words[1];
    EXPECT_GT(rms(s.pcm, privet.start, s.pcm.size()), 0.02);
#ifdef QUILLORY_HAVE_FLITE
    // Flite's phones for the English part, none from espeak-ng.
    ASSERT_FALSE(s.phones.isEmpty());
    EXPECT_LE(s.phones.last().end, privet.start + SpeechRunner::kSampleRate / 10);
#endif
}

TEST_F(SpeechRunnerTest, LongTextStaysAheadOnlySoFarAndCancelsAtOnce)
{
    SpeechRunner own(makeSpeechEngines(&sharedSynthesizer()));
    // The runner signals from its worker thread: received here through a
    // context object, so they arrive queued on this thread (a signal spy
    // would fill its list from the worker while the test reads it).
    QObject here;
    QList<quint64> partTickets;
    qint64 made = 0;
    QList<bool> done;
    QObject::connect(&own, &SpeechRunner::part, &here, [&](quint64 t, const SpeechPart &p) {
        partTickets << t;
        made += p.pcm.size();
    });
    QObject::connect(&own, &SpeechRunner::done, &here, [&](quint64, bool ok) { done << ok; });
    const quint64 ticket = own.speak(longText(100000), VoiceSpec {});
    // With nothing heard, synthesis stops once it is far enough ahead.
    auto madeSoFar = [&] {
        for (const quint64 t : std::as_const(partTickets))
            EXPECT_EQ(t, ticket);
        partTickets.clear();
        return made;
    };
    const qint64 ahead = qint64(SpeechRunner::kAheadSeconds) * SpeechRunner::kSampleRate;
    ASSERT_TRUE(deliveredUntil([&] { return madeSoFar() > ahead; }));
    // At most the piece that crossed the line is made; then it waits for
    // more to be heard.
    const qint64 waiting = madeSoFar();
    EXPECT_LT(waiting, ahead + 30 * SpeechRunner::kSampleRate);
    EXPECT_TRUE(done.isEmpty());
    own.setHeard(waiting);
    ASSERT_TRUE(deliveredUntil([&] { return madeSoFar() > waiting; }));
    own.cancel();
    ASSERT_TRUE(deliveredUntil([&] { return !done.isEmpty(); }));
    EXPECT_FALSE(done[0]);
}

TEST_F(SpeechRunnerTest, ANewUtteranceEndsTheOldOne)
{
    SpeechRunner own(makeSpeechEngines(&sharedSynthesizer()));
    QObject here; // signals arrive queued on this thread, as in the player
    QList<quint64> tickets;
    QObject::connect(&own, &SpeechRunner::part, &here, [&](quint64 t, const SpeechPart &) {
        if (tickets.isEmpty() || tickets.last() != t)
            tickets << t;
    });
    QList<QPair<quint64, bool>> done;
    QObject::connect(&own, &SpeechRunner::done, &here, [&](quint64 t, bool ok) {
        done.append({ t, ok });
    });
    const quint64 first = own.speak(longText(5000), VoiceSpec {});
    const quint64 second = own.speak(QStringLiteral("Only this."), VoiceSpec {});
    ASSERT_TRUE(deliveredUntil([&] { return done.size() == 2; }));
    EXPECT_EQ(done[0].first, first);
    EXPECT_FALSE(done[0].second);
    EXPECT_EQ(done[1].first, second);
    EXPECT_TRUE(done[1].second);
    EXPECT_EQ(tickets.last(), second);
    EXPECT_FALSE(tickets.contains(first) && tickets.indexOf(first) > tickets.indexOf(second));
}
