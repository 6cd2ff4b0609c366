// How well the shipped characters are understood: everyday sentences in
// their voices, transcribed by pocketsphinx's generic English model (no
// grammar), word by word against the text. A rough measure, but one that
// told formant speech (86 % of words wrong) from Flite (11 to 18 %).
#include "agent/character/CharacterFile.h"
#include "agent/speech/SpeechPlayer.h"
#include "agent/speech/SpeechSynth.h"
#include "agent/speech/WavCapture.h"
#include "tests/agent/SharedSynthesizer.h"
#include "tests/support/Fakes.h"
#include "tests/support/Transcriber.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

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

// Everyday sentences spoken by the character as the program speaks them,
// copied to a WAV file as QUILLORY_AUDIO_FILE has the program do, and
// that file transcribed.
TEST(IntelligibilityTest, TheShippedCharactersAreUnderstood)
{
    Transcriber transcriber;
    if (!transcriber.isReady())
        GTEST_SKIP() << transcriber.error().toStdString();
    const QStringList sentences = Transcriber::sentences(kSentences);
    ASSERT_FALSE(sentences.isEmpty());
    QTemporaryDir dir;
    FakeClock clock;
    for (const QString name : { "Tockel", "Bramble" }) {
        QString error;
        const auto file = CharacterFile::load(kCharacters + name + ".acs", &error);
        ASSERT_TRUE(file) << error.toStdString();
        int errors = 0;
        int words = 0;
        for (const QString &s : sentences) {
            const QString path = dir.filePath(name + ".wav");
            {
                WavCapture capture(path);
                SpeechPlayer player(clock, &sharedSynthesizer(), nullptr, &capture);
                bool done = false;
                QObject::connect(&player, &SpeechOutput::finished, [&](bool) { done = true; });
                player.speak(s, file->voice);
                QDeadlineTimer patience(30000);
                while (!done && !patience.hasExpired()) {
                    QCoreApplication::processEvents();
                    clock.advance(10);
                    QThread::yieldCurrentThread();
                }
                ASSERT_TRUE(done) << s.toStdString();
            }
            QFile wav(path);
            ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
            const QByteArray bytes = wav.readAll();
            ASSERT_GT(bytes.size(), 44);
            ASSERT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 24), 16000u);
            QVector<qint16> pcm;
            for (qsizetype i = 44; i + 1 < bytes.size(); i += 2)
                pcm << qFromLittleEndian<qint16>(bytes.constData() + i);
            const QStringList ref = Transcriber::words(s);
            const QStringList heard = Transcriber::words(transcriber.transcribe(pcm));
            errors += Transcriber::wordErrors(ref, heard);
            words += int(ref.size());
        }
        const double wer = 100.0 * errors / words;
        std::printf("WER %s %.1f %% (%d of %d words)\n", qPrintable(name), wer, errors, words);
        EXPECT_LE(wer, 20.0) << name.toStdString();
    }
}
