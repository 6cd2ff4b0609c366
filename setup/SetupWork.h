#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The first run's real work, done by the two small programs the first-run
// countdown starts from the program folder: agent-setup puts the shipped
// characters into the user's character folder, speech-setup checks that the
// speech engines and their voices load and that a test phrase comes out
// audible. Each step is a line of the setup log.
namespace agent {
class SpeechSynthesizer;
}

namespace setup {

struct Report
{
    bool ok = true;
    QStringList lines;
    void note(const QString &line) { lines << line; }
    void fail(const QString &line)
    {
        ok = false;
        lines << QStringLiteral("FAILED: ") + line;
    }
};

// Copies every `*.acs` of `shippedFolders` (the first folder holding a name
// wins) into `userFolder`, creating it. A file the user already has is kept
// as it is: it may be their own edit.
Report copyShippedCharacters(const QStringList &shippedFolders, const QString &userFolder);

// Checks each engine and voice with a word, speaks `phrase` in the default
// voice to `wavPath` and checks the file is not silent. espeak-ng speaks
// through `formant` (the process's one synthesiser; null: none).
Report checkSpeech(
    const QString &phrase, const QString &wavPath, agent::SpeechSynthesizer *formant);

// Loudness of 16-bit samples, 0..1 (root mean square).
double rmsLevel(const QVector<qint16> &pcm);
// A canonical 44-byte-header WAV file of 16-bit mono samples.
QByteArray wavBytes(const QVector<qint16> &pcm, int sampleRate);

// Appends the report, stamped with `program` and the time, to `logPath`
// (rewritten whole, so it is never half written); false when it could not.
bool appendToLog(const QString &logPath, const QString &program, const Report &report);

// The phrase speech-setup says.
QString testPhrase();
// Below this the test phrase counts as silence.
constexpr double kSilenceLevel = 0.01;

} // namespace setup
