#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

// One interface for the synthesisers the character speaks with. An engine
// turns a piece of tagged text into audio with the timing of its words and,
// where it can tell, of its phones, so that the balloon can follow the words
// and the mouth the sounds. Engines are not thread-safe: each is used on the
// speech worker thread only.
namespace agent {

// A word heard from `start` to `end` (samples) that stands for
// `length` characters at `position` of the display text.
struct SpokenWord
{
    qint64 start = 0;
    qint64 end = 0;
    int position = 0;
    int length = 0;
};

// A phone heard from `start` to `end` (samples); `label` in the engine's
// own phone set ("pau" is silence for both).
struct SpokenPhone
{
    qint64 start = 0;
    qint64 end = 0;
    QString label;
};

struct Synthesis
{
    bool ok = false;
    int sampleRate = 0;
    QVector<qint16> pcm;
    QVector<SpokenWord> words; // in order, positions in the display text
    QVector<SpokenPhone> phones; // empty when the engine does not tell them
};

// What a request asks of an engine's voice.
struct EngineVoice
{
    QString name; // empty: the engine's default voice
    int rate = 165; // words per minute
    int pitch = 50; // 0..99, 50 is the voice's own
    int volume = 100; // percent
};

// Asked between steps of the work; true gives it up.
using CancelCheck = std::function<bool()>;
// Told what has been made so far, while the engine is still at work: audio
// can start before the whole piece is synthesised.
using SynthesisProgress = std::function<void(const Synthesis &soFar)>;

class SpeechEngine
{
public:
    virtual ~SpeechEngine() = default;

    // "flite" or "espeak".
    virtual QString id() const = 0;
    virtual bool isAvailable() const = 0;
    virtual QStringList voices() const = 0;
    virtual QString defaultVoice() const = 0;
    virtual bool hasVoice(const QString &name) const { return voices().contains(name); }
    // Whether the engine can read this text aloud in an English voice.
    virtual bool canSpeak(const QString &display) const = 0;

    // Synthesises text with speech tags ("\emp\", "\pau=N\"); word positions
    // refer to SpeechText::parse(tagged).display. A voice the engine lacks is
    // spoken with its default voice. `ok` is false when cancelled or failed.
    // `progress`, when given, sees the result grow: samples, words and phones
    // are only ever appended.
    virtual Synthesis synthesise(const QString &tagged, const EngineVoice &voice,
        const CancelCheck &cancelled, const SynthesisProgress &progress = {})
        = 0;
};

class SpeechSynthesizer;

// The engines the program ships, Flite first, then espeak-ng through
// `espeak` (null: none); an engine that could not start is left out. Empty
// when there is no synthesiser at all. QUILLORY_NO_FLITE=1 leaves Flite out,
// as on a system without it.
std::vector<std::unique_ptr<SpeechEngine>> makeSpeechEngines(SpeechSynthesizer *espeak);
// The same, unchecked: the speech thread leaves out what cannot start
// (`leaveOutUnavailable`) before its first speech.
std::vector<std::unique_ptr<SpeechEngine>> makeSpeechEnginesUnchecked(SpeechSynthesizer *espeak);
void leaveOutUnavailable(std::vector<std::unique_ptr<SpeechEngine>> &engines);

// Whether `display` holds letters of a script other than Latin (Greek,
// Cyrillic, Arabic, CJK, ...): an English voice cannot read those.
bool hasNonLatinLetters(const QString &display);

// Which engine of `engines` speaks `display` for a character that asks for
// `engineId` (empty: the first, the default). Text an English voice cannot
// read goes to an engine that can. Null when there is none.
SpeechEngine *chooseEngine(const std::vector<std::unique_ptr<SpeechEngine>> &engines,
    const QString &engineId, const QString &display);

// Scales `pcm` by `gain` (1 = as is), clipping softly where it would overflow.
void applyGain(QVector<qint16> &pcm, qint64 from, qint64 to, double gain);

} // namespace agent
