// How well each voice is understood: the everyday sentences of
// tests/data/speech spoken in every voice, transcribed by pocketsphinx's
// generic English model (no grammar) and compared word by word.
//
// quillory-wer-bench [--wav DIR] [--verbose] [SENTENCES-FILE]
#include "agent/character/CharacterFile.h"
#include "agent/speech/SpeechRunner.h"
#include "agent/speech/SpeechSynth.h"
#include "agent/speech/WavWriter.h"
#include "tests/support/Transcriber.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstring>

using namespace agent;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString wavDir;
    bool verbose = false;
    QString sentencesFile = QStringLiteral(QUILLORY_SOURCE_DIR "/tests/data/speech/everyday.txt");
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--wav") && i + 1 < argc)
            wavDir = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--verbose"))
            verbose = true;
        else
            sentencesFile = QString::fromLocal8Bit(argv[i]);
    }
    Transcriber transcriber;
    if (!transcriber.isReady()) {
        std::fprintf(stderr, "%s\n", qPrintable(transcriber.error()));
        return 1;
    }
    const QStringList sentences = Transcriber::sentences(sentencesFile);
    if (sentences.isEmpty()) {
        std::fprintf(stderr, "no sentences in %s\n", qPrintable(sentencesFile));
        return 1;
    }
    struct Speaker
    {
        QString label;
        VoiceSpec voice;
    };
    QList<Speaker> speakers;
    for (const char *v : { "rms", "slt", "awb", "kal16" }) {
        VoiceSpec s;
        s.engine = QStringLiteral("flite");
        s.fliteVoice = QLatin1String(v);
        speakers << Speaker { QStringLiteral("flite ") + QLatin1String(v), s };
    }
    for (const char *v : { "en-us", "en-us+m3", "en+f3" }) {
        VoiceSpec s;
        s.engine = QStringLiteral("espeak");
        s.espeakVoice = QLatin1String(v);
        speakers << Speaker { QStringLiteral("espeak-ng ") + QLatin1String(v), s };
    }
    for (const char *name : { "Tockel", "Bramble" }) {
        QString error;
        const auto file = CharacterFile::load(
            QStringLiteral(QUILLORY_SOURCE_DIR "/characters/") + QLatin1String(name) + ".acs",
            &error);
        if (file)
            speakers << Speaker { QLatin1String(name), file->voice };
    }

    SpeechSynthesizer formant;
    SpeechRunner runner(makeSpeechEngines(&formant));
    std::printf("%d sentences\n\n| voice | word error rate |\n|---|---|\n", int(sentences.size()));
    for (const Speaker &sp : speakers) {
        int errors = 0;
        int words = 0;
        int n = 0;
        for (const QString &s : sentences) {
            const Synthesis speech = runner.synthesiseAll(s, sp.voice);
            const QString heard = transcriber.transcribe(speech.pcm);
            const QStringList ref = Transcriber::words(s);
            const int e = Transcriber::wordErrors(ref, Transcriber::words(heard));
            errors += e;
            words += int(ref.size());
            if (verbose)
                std::printf("  %-18s %d  %s\n", qPrintable(sp.label), e, qPrintable(heard));
            if (!wavDir.isEmpty()) {
                QDir().mkpath(wavDir);
                WavWriter w(speech.sampleRate);
                const QString path = QDir(wavDir).filePath(
                    QString(sp.label).replace(u' ', u'_') + QStringLiteral("-%1.wav").arg(++n));
                if (w.open(path))
                    w.append(speech.pcm.constData(), speech.pcm.size());
            }
        }
        std::printf("| %s | %.1f %% (%d of %d words) |\n", qPrintable(sp.label),
            100.0 * errors / std::max(1, words), errors, words);
        std::fflush(stdout);
    }
    return 0;
}
