// Figures of the voice commands: how many of the program's commands are
// understood, how much unrelated speech is taken for one, and how long the
// command takes to arrive once the speaker stops. Speech is synthesised, so
// the figures compare methods more than they predict a real voice.
//
// quillory-voice-bench [--verbose] [--no-latency] [--threshold X] [--strict X]
//                      [--partial X] [--final-only] [--scores]
#include "agent/character/CharacterFile.h"
#include "agent/listen/Listener.h"
#include "agent/listen/Recognizer.h"
#include "agent/speech/SpeechRunner.h"
#include "agent/speech/SpeechSynth.h"
#include "platform/linux/RecognizerModelFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace agent;

namespace {

constexpr int kRate = RecognizerCore::kSampleRate;
constexpr int kPadSamples = kRate * 3 / 10;

struct Utterance
{
    QString text;
    QString command; // empty: not a command
    QString voice;
    int rate = 0;
    QVector<qint16> pcm;
};

struct Score
{
    int right = 0;
    int commands = 0;
    int wrong = 0;
    int falseAccepts = 0;
    int unrelated = 0;
    int exitFalseAccepts = 0;
    double decodeMs = 0;
    QStringList accepted; // unrelated sentences taken for a command
};

QList<CommandEntry> programCommands(const QString &moveVoice)
{
    return {
        { QStringLiteral("repeat"), QStringLiteral("Repeat the last message"),
            QStringLiteral("[Repeat] last message"), true, true },
        { QStringLiteral("Properties"), QStringLiteral("Alter Character Properties"),
            QStringLiteral("[Character] Properties"), true, true },
        { QStringLiteral("moveme"), QStringLiteral("Move me to the calendar"), moveVoice, true,
            true },
        { QStringLiteral("Date"), QStringLiteral("Speak todays date"),
            QStringLiteral("What is the [date]?"), true, true },
        { QStringLiteral("exit"), QStringLiteral("Exit Quillory"),
            QStringLiteral("[Exit] Quillory"), true, true },
        { QStringLiteral("ontoday"), QStringLiteral("What is on today?"),
            QStringLiteral("What is on [today]?"), true, true },
        { QStringLiteral("ontomorrow"), QStringLiteral("What is on tomorrow?"),
            QStringLiteral("What is on tomorrow?"), true, true },
        { QStringLiteral("next"), QStringLiteral("What is next?"), QStringLiteral("What is next?"),
            true, true },
    };
}

RecognizerOptions installed()
{
    RecognizerOptions options;
    options.model = { installedRecognizerModel(), installedRecognizerDictionary() };
    return options;
}

// The ways of telling other speech from a command that lost to the phone
// loop, kept to compare with it.
RecognizerOptions plainGrammar()
{
    RecognizerOptions o = installed();
    o.phoneLoop = false;
    return o;
}

// Short words that make up much of what people say, competing with the phrases.
const char *const kCommonWords[] = { "the", "a", "and", "to", "of", "is", "it", "you", "i", "that",
    "in", "was", "for", "on", "be", "with", "at", "this", "have", "will", "my", "do", "go", "not",
    "we", "they", "he", "she", "so", "can", "please", "but", "or", "from", "by", "are", "what",
    "when", "where", "time", "day", "back", "door", "room", "chair", "after", "through", "leave",
    "long", "hard", "call", "there", "here", "now", "all", "one", "new" };

// Common words compete with the phrases.
RecognizerOptions wordGarbage()
{
    RecognizerOptions o = plainGrammar();
    o.competitor = [](const QStringList &vocabulary) {
        QStringList words;
        for (const char *w : kCommonWords) {
            if (!vocabulary.contains(QLatin1String(w)))
                words << QLatin1String(w);
        }
        return words.join(QStringLiteral(" | "));
    };
    return o;
}

// Any string of phones competes with the phrases, each phone weighted.
RecognizerOptions phoneGarbage(double phoneWeight)
{
    RecognizerOptions o = plainGrammar();
    QStringList words;
    for (const QString &phone : RecognizerCore::phones()) {
        const QString word = QStringLiteral("garbage_") + phone.toLower();
        o.extraWords.append({ word, phone });
        words << QStringLiteral("/%1/ %2").arg(QString::number(phoneWeight, 'g', 6), word);
    }
    o.competitor = [words](const QStringList &) { return words.join(QStringLiteral(" | ")); };
    return o;
}

SpeechSynthesizer *formantSynthesizer()
{
    // Gone before the application, as its thread must be.
    static SpeechSynthesizer *synthesizer = nullptr;
    if (!synthesizer) {
        synthesizer = new SpeechSynthesizer;
        qAddPostRoutine([] { delete std::exchange(synthesizer, nullptr); });
    }
    return synthesizer;
}

QVector<qint16> synthesize(const QString &text, const QString &voice, int rate)
{
    SpeechSynthesizer *synthesizer = formantSynthesizer();
    VoiceSpec speaker;
    speaker.espeakVoice = voice;
    speaker.rate = rate;
    const SpeechClip clip = synthesizer->synthesizeToMemory(text, speaker);
    if (!clip.ok)
        return {};
    QVector<qint16> pcm(kPadSamples, 0);
    pcm += Resampler::convert(clip.pcm, clip.sampleRate, kRate);
    pcm += QVector<qint16>(kPadSamples, 0);
    return pcm;
}

// Flite's voices, through the same engine the characters speak with.
QVector<qint16> synthesizeWith(SpeechRunner &runner, const QString &text, const VoiceSpec &speaker)
{
    const Synthesis s = runner.synthesiseAll(text, speaker);
    if (!s.ok)
        return {};
    QVector<qint16> pcm(kPadSamples, 0);
    pcm += s.sampleRate == kRate ? s.pcm : Resampler::convert(s.pcm, s.sampleRate, kRate);
    pcm += QVector<qint16>(kPadSamples, 0);
    return pcm;
}

QStringList linesOf(const QString &path)
{
    QFile f(path);
    QStringList out;
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return out;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QString t = QString::fromUtf8(line).trimmed();
        if (!t.isEmpty() && !t.startsWith(u'#'))
            out << t;
    }
    return out;
}

const char *const kUnrelated[] = { "The weather is lovely today", "Please pass the salt",
    "I will call you back tomorrow", "Repeat after me", "The last message was long",
    "Move the chair home", "What time is it", "Exit through the back door",
    "Character building is hard", "Quietly leave the room", "She sells shells by the sea shore",
    "My brother plays the guitar", "We should buy more bread", "The train leaves at seven",
    "Can you open the window", "I forgot my umbrella again", "This book is very interesting",
    "The children are playing outside", "Turn left at the next corner",
    "He drinks coffee every morning", "Let us meet for lunch on Friday",
    "The meeting has been moved to Monday", "Our garden needs some water",
    "I think it will rain later", "Where did you put the keys", "The cat is sleeping on the sofa",
    "Send me the report by noon", "That was a great movie", "The shop closes early on Sunday",
    "I need a new pair of shoes", "Do you know the way to the station",
    "The soup is too hot to eat", "Please turn down the music", "The project is almost finished",
    "Homework is due next week", "Properly cooked rice takes time", "Message me when you arrive",
    "Exactly what I was thinking", "The date of the party changed", "Repeat the question please" };

struct Voice
{
    const char *name;
    int rate;
};
const Voice kVoices[] = { { "en-us", 150 }, { "en-us+m3", 175 }, { "en+f3", 140 } };

Score evaluate(RecognizerCore &core, const std::vector<Utterance> &utterances, bool verbose)
{
    Score s;
    QElapsedTimer timer;
    timer.start();
    for (const Utterance &u : utterances) {
        const RecognitionResult r = core.recognize(u.pcm);
        if (!u.command.isEmpty()) {
            ++s.commands;
            if (r.command == u.command)
                ++s.right;
            else if (r.understood())
                ++s.wrong;
        } else {
            ++s.unrelated;
            if (r.understood()) {
                ++s.falseAccepts;
                s.accepted << u.text + QStringLiteral(" -> ") + r.command;
                if (r.command == QLatin1String("exit"))
                    ++s.exitFalseAccepts;
            }
        }
        if (verbose) {
            std::printf("  %-9s %-38s -> %-24s %-10s %8.1f %8.1f\n", qPrintable(u.voice),
                qPrintable(u.text), qPrintable(r.phrase), qPrintable(r.command), r.score,
                r.worstWord);
        }
    }
    s.decodeMs = double(timer.elapsed()) / double(std::max<size_t>(1, utterances.size()));
    return s;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Feeds each utterance in tenths of a second at the pace a microphone
// would, then measures from the end of the audio to the result.
// `cut`: the audio stops at the last word, as when the key is let go at once.
std::vector<double> latencies(const std::vector<Utterance> &utterances, bool cut, int *right)
{
    Recognizer recognizer(installed());
    QEventLoop wait;
    bool ready = false;
    QObject::connect(&recognizer, &Recognizer::ready, &wait, [&](bool ok) {
        ready = ok;
        wait.quit();
    });
    wait.exec();
    if (!ready)
        return {};
    recognizer.setCommands(
        Listener::grammarEntries(programCommands(QStringLiteral("[Move Me]Home "))));
    std::vector<double> ms;
    *right = 0;
    for (const Utterance &u : utterances) {
        if (u.command.isEmpty())
            continue;
        recognizer.begin();
        const QVector<qint16> pcm = cut ? u.pcm.first(u.pcm.size() - kPadSamples) : u.pcm;
        constexpr int kChunk = kRate / 10;
        // Each chunk arrives a tenth of a second after the one before; the
        // utterance ends as its last chunk arrives, so the time measured
        // includes decoding that chunk.
        for (qsizetype at = 0; at < pcm.size(); at += kChunk) {
            if (at > 0) {
                QEventLoop pace;
                QTimer::singleShot(100, &pace, &QEventLoop::quit);
                pace.exec();
            }
            recognizer.feed(pcm.mid(at, kChunk));
        }
        QElapsedTimer timer;
        RecognitionResult result;
        QEventLoop loop;
        auto c = QObject::connect(
            &recognizer, &Recognizer::recognized, &loop, [&](const RecognitionResult &r) {
                result = r;
                loop.quit();
            });
        timer.start();
        recognizer.end();
        loop.exec();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        QObject::disconnect(c);
        if (result.command == u.command)
            ++*right;
    }
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool verbose = false;
    bool latency = true;
    bool finalOnly = false; // only the kept method, for tuning it
    bool scores = false; // every utterance of the per-voice table with its score
    RecognizerOptions final = installed();
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--verbose"))
            verbose = true;
        else if (!std::strcmp(argv[i], "--no-latency"))
            latency = false;
        else if (!std::strcmp(argv[i], "--final-only"))
            finalOnly = true;
        else if (!std::strcmp(argv[i], "--scores"))
            scores = true;
        else if (!std::strcmp(argv[i], "--word") && i + 1 < argc)
            final.wordThreshold = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--partial") && i + 1 < argc)
            final.partialThreshold = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--threshold") && i + 1 < argc)
            final.threshold = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--strict") && i + 1 < argc)
            final.strictThreshold = std::atof(argv[++i]);
    }

    // The full phrases, as a user would say them.
    const QList<QPair<QString, QString>> phrases {
        { QStringLiteral("Repeat last message"), QStringLiteral("repeat") },
        { QStringLiteral("Character properties"), QStringLiteral("Properties") },
        { QStringLiteral("Move me home"), QStringLiteral("moveme") },
        { QStringLiteral("What is the date"), QStringLiteral("Date") },
        { QStringLiteral("Exit Quillory"), QStringLiteral("exit") },
        { QStringLiteral("What is on today"), QStringLiteral("ontoday") },
        { QStringLiteral("What is on tomorrow"), QStringLiteral("ontomorrow") },
        { QStringLiteral("What is next"), QStringLiteral("next") },
    };
    std::vector<Utterance> utterances;
    for (const Voice &v : kVoices) {
        for (const auto &[text, command] : phrases)
            utterances.push_back({ text, command, QLatin1String(v.name), v.rate, {} });
    }
    for (const char *text : kUnrelated)
        utterances.push_back({ QLatin1String(text), QString(), QStringLiteral("en-us"), 160, {} });
    for (Utterance &u : utterances) {
        u.pcm = synthesize(u.text, u.voice, u.rate);
        if (u.pcm.isEmpty()) {
            std::fprintf(stderr, "speech synthesis failed for \"%s\"\n", qPrintable(u.text));
            return 1;
        }
    }

    struct Method
    {
        const char *name;
        RecognizerOptions options;
    };
    const Method methods[] = {
        { "plain grammar", plainGrammar() },
        { "common-word garbage loop", wordGarbage() },
        { "phone garbage loop, weight 1e-12", phoneGarbage(1e-12) },
        { "phone garbage loop, weight 1e-20", phoneGarbage(1e-20) },
        { "phone-loop ratio (final)", final },
    };

    std::printf("Voice commands: %d command utterances (3 voices), %d unrelated sentences\n\n",
        int(std::size(kVoices) * phrases.size()), int(std::size(kUnrelated)));
    std::printf("| method | recall | wrong command | false accepts | exit false accepts | "
                "decode ms/utterance |\n|---|---|---|---|---|---|\n");
    Score finalScore;
    std::unique_ptr<RecognizerCore> finalCore;
    const QList<VoiceGrammar::Entry> entries
        = Listener::grammarEntries(programCommands(QStringLiteral("[Move Me]Home ")));
    for (const Method &m : methods) {
        if (finalOnly && &m != &methods[std::size(methods) - 1])
            continue;
        auto owned = std::make_unique<RecognizerCore>(m.options);
        RecognizerCore &core = *owned;
        if (!core.isReady()) {
            std::fprintf(stderr, "the recogniser did not load: %s\n", qPrintable(core.error()));
            return 1;
        }
        core.setCommands(entries);
        if (verbose)
            std::printf("%s:\n", m.name);
        const Score s = evaluate(core, utterances, verbose);
        std::printf("| %s | %d/%d | %d | %d/%d | %d | %.0f |\n", m.name, s.right, s.commands,
            s.wrong, s.falseAccepts, s.unrelated, s.exitFalseAccepts, s.decodeMs);
        if (verbose) {
            for (const QString &a : s.accepted)
                std::printf("    false accept: %s\n", qPrintable(a));
        }
        finalScore = s;
        finalCore = std::move(owned);
    }
    std::printf(
        "\nFalse accepts of the final method:%s\n", finalScore.accepted.isEmpty() ? " none" : "");
    for (const QString &a : std::as_const(finalScore.accepted))
        std::printf("  %s\n", qPrintable(a));

    // The spelling the program uses after a character change: the decoder
    // goes on running, only its commands change.
    {
        RecognizerCore &core = *finalCore;
        core.setCommands(
            Listener::grammarEntries(programCommands(QStringLiteral("[MoveMe]Home "))));
        int right = 0;
        int total = 0;
        for (const Utterance &u : utterances) {
            if (u.command != QLatin1String("moveme"))
                continue;
            ++total;
            const RecognitionResult r = core.recognize(u.pcm);
            right += r.command == u.command;
            if (verbose)
                std::printf("  %-9s %-38s -> %-24s %-10s %8.1f\n", qPrintable(u.voice),
                    qPrintable(u.text), qPrintable(r.phrase), qPrintable(r.command), r.score);
        }
        std::printf(
            "\"[MoveMe]Home \" after a character change: %d/%d \"move me home\" understood\n",
            right, total);
    }

    // Every voice the characters may speak with: the commands and all
    // the unrelated sentences (those above and tests/data/speech/unrelated.txt)
    // in each, with the final method.
    {
        SpeechRunner runner(makeSpeechEngines(formantSynthesizer()));
        QStringList unrelated
            = linesOf(QStringLiteral(QUILLORY_SOURCE_DIR "/tests/data/speech/unrelated.txt"));
        for (const char *text : kUnrelated)
            unrelated << QLatin1String(text);
        struct Speaker
        {
            QString label;
            bool engines; // through the speech engines, as the characters speak
            QString voice;
            int rate;
            VoiceSpec voiceSettings;
        };
        QList<Speaker> speakers;
        for (const char *name : { "Tockel", "Bramble" }) {
            QString error;
            const auto file = CharacterFile::load(QStringLiteral(QUILLORY_SOURCE_DIR "/characters/")
                    + QLatin1String(name) + QStringLiteral(".acs"),
                &error);
            if (file)
                speakers << Speaker { QLatin1String(name), true, {}, 0, file->voice };
        }
        for (const char *v : { "rms", "slt", "awb", "kal16" }) {
            VoiceSpec voiceSettings;
            voiceSettings.engine = QStringLiteral("flite");
            voiceSettings.fliteVoice = QLatin1String(v);
            speakers << Speaker { QStringLiteral("flite ") + QLatin1String(v), true, {}, 0,
                voiceSettings };
        }
        for (const Voice &v : kVoices) {
            speakers << Speaker {
                QStringLiteral("espeak-ng %1 %2").arg(QLatin1String(v.name)).arg(v.rate), false,
                QLatin1String(v.name), v.rate, {}
            };
        }
        std::printf("\nPer voice, final method: %d commands and %d unrelated sentences each\n"
                    "| voice | recall | wrong command | false accepts | of them exit |\n"
                    "|---|---|---|---|---|\n",
            int(phrases.size()), int(unrelated.size()));
        RecognizerCore &core = *finalCore;
        core.setCommands(entries);
        int worstFalse = 0;
        int worstRecall = 1000;
        for (const Speaker &sp : speakers) {
            std::vector<Utterance> set;
            for (const auto &[text, command] : phrases)
                set.push_back({ text, command, sp.label, sp.rate, {} });
            for (const QString &text : unrelated)
                set.push_back({ text, QString(), sp.label, sp.rate, {} });
            for (Utterance &u : set) {
                u.pcm = sp.engines ? synthesizeWith(runner, u.text, sp.voiceSettings)
                                   : synthesize(u.text, sp.voice, sp.rate);
            }
            const Score sc = evaluate(core, set, verbose || scores);
            std::printf("| %s | %d/%d | %d | %d/%d (%.1f %%) | %d |\n", qPrintable(sp.label),
                sc.right, sc.commands, sc.wrong, sc.falseAccepts, sc.unrelated,
                100.0 * sc.falseAccepts / std::max(1, sc.unrelated), sc.exitFalseAccepts);
            for (const QString &a : sc.accepted)
                std::printf("    false accept: %s\n", qPrintable(a));
            std::fflush(stdout);
            worstFalse = std::max(worstFalse, 1000 * sc.falseAccepts / std::max(1, sc.unrelated));
            worstRecall = std::min(worstRecall, 1000 * sc.right / std::max(1, sc.commands));
        }
        std::printf("VOICE_PER_VOICE worst recall %.1f %% worst false accepts %.1f %%\n",
            worstRecall / 10.0, worstFalse / 10.0);
    }

    std::printf(
        "VOICE_RECALL %d/%d WRONG %d\n", finalScore.right, finalScore.commands, finalScore.wrong);
    std::printf("VOICE_FALSE_ACCEPTS %d/%d EXIT %d\n", finalScore.falseAccepts,
        finalScore.unrelated, finalScore.exitFalseAccepts);

    for (const bool cut : { false, true }) {
        if (!latency)
            break;
        int right = 0;
        const std::vector<double> ms = latencies(utterances, cut, &right);
        if (ms.empty()) {
            std::fprintf(stderr, "the threaded recogniser did not load\n");
            return 1;
        }
        std::printf("VOICE_LATENCY_MS median %.1f p90 %.1f max %.1f (%s; %d/%d right)\n",
            percentile(ms, 0.5), percentile(ms, 0.9), *std::max_element(ms.begin(), ms.end()),
            cut ? "audio cut at the last word" : "0.3 s of silence after the words", right,
            int(ms.size()));
    }
    return 0;
}
