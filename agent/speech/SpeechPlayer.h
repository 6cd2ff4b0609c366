#pragma once

#include "agent/speech/CharacterSound.h"
#include "agent/speech/SpeechOutput.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

// Speech and sound for the character engine: synthesis by the speech
// engines (agent/speech/SpeechRunner: Flite, and espeak-ng through the synthesiser
// handed in) on a worker thread, playback through the audio
// device (silently, with the same timing, when there is none), and events
// that let the balloon and the mouth follow what is heard: word(), phone(),
// mouth() and finished() of SpeechOutput.
class Clock;

namespace agent {

class AudioDevices;
class SpeechSynthesizer;
class WavCapture;

class SpeechPlayerPrivate;

class SpeechPlayer final : public SpeechOutput
{
    Q_OBJECT
public:
    // Speaks through `synthesizer` (null: shows words without sound), plays
    // on `audio`'s output (null: silently, with the same timing) and copies
    // what it plays to `capture` when there is one; its ticks and the silent
    // playback's pace come from `clock`. Each must outlive the player.
    SpeechPlayer(Clock &clock, SpeechSynthesizer *synthesizer, AudioDevices *audio,
        WavCapture *capture = nullptr, QObject *parent = nullptr);
    ~SpeechPlayer() override;

    // The text as the balloon shows it: speech tags such as "\emp\" removed.
    QString displayText(const QString &tagged) const override;
    // The text as SSML for the synthesiser: "\emp\" emphasises the next word.
    static QString toSsml(const QString &tagged);

    // Speaks, cutting off whatever is being spoken.
    void speak(const QString &taggedText, const VoiceSpec &voice) override;
    // Plays an effect beside any speech.
    void playEffect(const ToneSequence &notes, double volume = 1.0) override;
    // Ends speech at once; `finished(false)` follows.
    void stop() override;
    bool isSpeaking() const override;

private:
    std::unique_ptr<SpeechPlayerPrivate> d;
};

} // namespace agent
