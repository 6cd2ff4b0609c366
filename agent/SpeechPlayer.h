#pragma once

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

// Speech and sound for the character engine: espeak-ng synthesis on one
// worker thread that owns the synthesiser, playback through the audio
// device (silently, with the same timing, when there is none), and events
// that let the balloon and the mouth follow what is heard.
class Clock;

namespace agent {

class AudioDevices;
class SpeechSynthesizer;
class WavCapture;

struct VoiceSpec
{
    QString espeakVoice = QStringLiteral("en-us");
    int rate = 165; // words per minute
    int pitch = 50; // 0..99
    int volume = 100; // percent
};

// A sound effect made of bell-like notes, one after another.
struct Note
{
    double frequency = 880; // Hz
    int ms = 200; // duration of the note
    double gain = 0.6; // 0..1
};
using ToneSequence = QVector<Note>;

class SpeechPlayerPrivate;

class SpeechPlayer : public QObject
{
    Q_OBJECT
public:
    // Speaks through `synthesizer` (null: shows words without sound), plays
    // on `audio`'s output (null: silently, with the same timing) and copies
    // what it plays to `capture` when there is one. Each must outlive the
    // player.
    // Its ticks and the silent playback's pace come from `clock`.
    SpeechPlayer(Clock &clock, SpeechSynthesizer *synthesizer, AudioDevices *audio,
        WavCapture *capture = nullptr, QObject *parent = nullptr);
    ~SpeechPlayer() override;

    // The text as the balloon shows it: speech tags such as "\emp\" removed.
    static QString displayText(const QString &tagged);
    // The text as SSML for the synthesiser: "\emp\" emphasises the next word.
    static QString toSsml(const QString &tagged);

    // Speaks, cutting off whatever is being spoken.
    void speak(const QString &taggedText, const VoiceSpec &voice);
    // Plays an effect beside any speech.
    void playEffect(const ToneSequence &notes, double volume = 1.0);
    // Ends speech at once; `finished(false)` follows.
    void stop();
    bool isSpeaking() const;

signals:
    // A word of displayText(...) is being heard now.
    void word(int start, int length);
    // Loudness of the speech being heard, 0..1, about 30 times a second.
    void mouth(double level);
    // Speech ended: true when it was spoken to the end.
    void finished(bool completed);

private:
    std::unique_ptr<SpeechPlayerPrivate> d;
};

} // namespace agent
