// How well the shipped characters are understood: everyday sentences in
// their voices, transcribed by pocketsphinx's generic English model (no
// grammar), word by word against the text. A rough measure, but one that
// told formant speech (86 % of words wrong) from Flite (11 to 18 %).
#include "agent/CharacterFile.h"
#include "agent/SpeechEngine.h"
#include "agent/SpeechRunner.h"
#include "agent/SpeechSynth.h"
#include "tests/agent/SharedSynthesizer.h"
#include "tests/support/Transcriber.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace agent;

namespace {

const QString kSentences = QStringLiteral(QUILLORY_SOURCE_DIR "/tests/data/speech/everyday.txt");
const QString kCharacters = QStringLiteral(QUILLORY_SOURCE_DIR "/characters/");

} // namespace

TEST(TranscriberTest, WordErrorsCountSubstitutionsInsertionsAndDeletions)
{
    const QStringList ref = Transcriber::words(QStringLiteral("Buy bread, and MILK!"));
    EXPECT_EQ(ref, (QStringList { "buy", "bread", "and", "milk" }));
    EXPECT_EQ(Transcriber::wordErrors(ref, ref), 0);
    EXPECT_EQ(Transcriber::wordErrors(ref, { "by", "bread", "and", "milk" }), 1);
    EXPECT_EQ(Transcriber::wordErrors(ref, { "buy", "bread", "milk" }), 1);
    EXPECT_EQ(Transcriber::wordErrors(ref, { "buy", "the", "bread", "and", "milk", "too" }), 2);
    EXPECT_EQ(Transcriber::wordErrors(ref, {}), 4);
    EXPECT_EQ(Transcriber::wordErrors({}, { "a" }), 1);
    EXPECT_GE(Transcriber::sentences(kSentences).size(), 10);
}

TEST(IntelligibilityTest, TheShippedCharactersAreUnderstood)
{
    Transcriber transcriber;
    if (!transcriber.isReady())
        GTEST_SKIP() << transcriber.error().toStdString();
    const QStringList sentences = Transcriber::sentences(kSentences);
    ASSERT_FALSE(sentences.isEmpty());
    SpeechRunner runner(makeSpeechEngines(&sharedSynthesizer()));
    for (const QString name : { "Tockel", "Bramble" }) {
        QString error;
        const auto file = CharacterFile::load(kCharacters + name + ".acs", &error);
        ASSERT_TRUE(file) << error.toStdString();
        int errors = 0;
        int words = 0;
        for (const QString &s : sentences) {
            const Synthesis speech = runner.synthesiseAll(s, file->voice);
            ASSERT_TRUE(speech.ok);
            ASSERT_EQ(speech.sampleRate, 16000);
            const QStringList ref = Transcriber::words(s);
            const QStringList heard = Transcriber::words(transcriber.transcribe(speech.pcm));
            errors += Transcriber::wordErrors(ref, heard);
            words += int(ref.size());
        }
        const double wer = 100.0 * errors / words;
        std::printf("WER %s %.1f %% (%d of %d words)\n", qPrintable(name), wer, errors, words);
        EXPECT_LE(wer, 20.0) << name.toStdString();
    }
}
