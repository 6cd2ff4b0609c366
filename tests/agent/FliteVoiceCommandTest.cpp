// Voice commands spoken in Flite's voices, the ones the shipped characters
// speak with: every command understood, ordinary talk not taken for one.
#include "agent/listen/Listener.h"
#include "agent/listen/Recognizer.h"
#include "agent/speech/SpeechRunner.h"
#include "agent/speech/SpeechSynth.h"
#include "platform/linux/RecognizerModelFiles.h"
#include "tests/agent/SharedSynthesizer.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>

using namespace agent;

#ifdef QUILLORY_HAVE_FLITE

namespace {

QList<CommandEntry> programCommands()
{
    return {
        { "repeat", "Repeat the last message", "[Repeat] last message", true, true },
        { "Properties", "Alter Character Properties", "[Character] Properties", true, true },
        { "moveme", "Move me to the calendar", "[Move Me]Home ", true, true },
        { "Date", "Speak todays date", "What is the [date]?", true, true },
        { "exit", "Exit Quillory", "[Exit] Quillory", true, true },
        { "ontoday", "What is on today?", "What is on [today]?", true, true },
        { "ontomorrow", "What is on tomorrow?", "What is on tomorrow?", true, true },
        { "next", "What is next?", "What is next?", true, true },
    };
}

QStringList unrelatedSentences()
{
    QFile f(QStringLiteral(QUILLORY_SOURCE_DIR "/tests/data/speech/unrelated.txt"));
    QStringList out;
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return out;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QString s = QString::fromUtf8(line).trimmed();
        if (!s.isEmpty() && !s.startsWith(u'#'))
            out << s;
    }
    return out;
}

} // namespace

TEST(FliteVoiceCommandTest, CommandsAreUnderstoodAndOrdinaryTalkIsNot)
{
    RecognizerOptions options;
    options.model = { installedRecognizerModel(), installedRecognizerDictionary() };
    RecognizerCore core(options);
    if (!core.isReady())
        GTEST_SKIP() << "no speech recognition model: " << core.error().toStdString();
    ASSERT_TRUE(core.setCommands(Listener::grammarEntries(programCommands())));
    SpeechRunner runner(makeSpeechEngines(&sharedSynthesizer()));
    const QStringList voices { "rms", "slt", "awb", "kal16" };
    auto heard = [&](const QString &text, const QString &voice) {
        VoiceSpec v;
        v.engine = "flite";
        v.fliteVoice = voice;
        const Synthesis s = runner.synthesiseAll(text, v);
        EXPECT_EQ(s.sampleRate, RecognizerCore::kSampleRate);
        const QVector<qint16> pad(RecognizerCore::kSampleRate * 3 / 10, 0);
        return core.recognize(pad + s.pcm + pad);
    };

    const QList<QPair<QString, QString>> commands { { "Repeat last message", "repeat" },
        { "Character properties", "Properties" }, { "Move me home", "moveme" },
        { "What is the date", "Date" }, { "Exit Quillory", "exit" },
        { "What is on today", "ontoday" }, { "What is on tomorrow", "ontomorrow" },
        { "What is next", "next" } };
    int right = 0;
    for (const QString &voice : voices) {
        for (const auto &[text, command] : commands) {
            const RecognitionResult r = heard(text, voice);
            right += r.command == command;
            EXPECT_TRUE(r.command == command || !r.understood())
                << voice.toStdString() << ": " << text.toStdString() << " -> "
                << r.command.toStdString();
        }
    }
    const int spoken = int(voices.size() * commands.size());
    std::printf("FLITE_VOICE_RECALL %d/%d\n", right, spoken);
    // At least 95 %.
    EXPECT_GE(right * 100, spoken * 95);

    // Each sentence in one voice, taking turns: the bench speaks them all in every voice.
    const QStringList unrelated = unrelatedSentences();
    ASSERT_GE(unrelated.size(), 50);
    int accepted = 0;
    for (qsizetype i = 0; i < unrelated.size(); ++i) {
        const RecognitionResult r = heard(unrelated[i], voices[i % voices.size()]);
        if (r.understood()) {
            ++accepted;
            std::printf("  false accept: %s -> %s (%.1f, word %.1f)\n", qPrintable(unrelated[i]),
                qPrintable(r.command), r.score, r.worstWord);
        }
        EXPECT_NE(r.command, "exit") << unrelated[i].toStdString();
    }
    std::printf("FLITE_FALSE_ACCEPTS %d/%d\n", accepted, int(unrelated.size()));
    EXPECT_LE(accepted, 1);
}

#endif
