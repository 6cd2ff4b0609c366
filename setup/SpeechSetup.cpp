// speech-setup: the first run's check of the speech engines. Loads every
// engine and voice, speaks a test phrase to speech-test.wav in the cache
// folder, checks it is not silent and logs what it found in setup.log in the
// data folder. Options such as "/Q:A" (quiet) are accepted and change nothing.
#include "agent/speech/SpeechSynth.h"
#include "setup/SetupWork.h"
#include "storage/AppPaths.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const AppPaths paths = AppPaths::fromEnvironment(QCoreApplication::applicationDirPath());
    // espeak-ng's state is the process's: one synthesiser, made once.
    agent::SpeechSynthesizer formant;
    const setup::Report report = setup::checkSpeech(
        setup::testPhrase(), paths.cacheFolder + QStringLiteral("/speech-test.wav"), &formant);
    for (const QString &line : report.lines)
        std::printf("speech-setup: %s\n", qPrintable(line));
    if (!setup::appendToLog(paths.dataFolder + QStringLiteral("/setup.log"),
            QStringLiteral("speech-setup"), report))
        std::fprintf(stderr, "speech-setup: cannot write the setup log\n");
    return report.ok ? 0 : 1;
}
