#pragma once

#include "agent/speech/CharacterSound.h"

#include <QObject>
#include <QString>

namespace agent {

// What the engine needs of speech: SpeechPlayer in the program, a recording
// fake in tests. One output is shared by every character of an engine. A
// synthesiser of another make goes behind SpeechPlayer, or in its place
// behind this.
class SpeechOutput : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // The text as shown in the balloon; word() positions refer to it.
    virtual QString displayText(const QString &taggedText) const = 0;
    virtual void speak(const QString &taggedText, const VoiceSpec &voice) = 0;
    virtual void playEffect(const ToneSequence &notes, double volume) = 0;
    // Ends speech at once; when something was being spoken, finished(false)
    // follows, now or later.
    virtual void stop() = 0;
    virtual bool isSpeaking() const = 0;

signals:
    // A word of displayText(...) is being heard now.
    void word(int start, int length);
    // The phone being heard from now on (the engine's label; empty when it
    // does not tell), just before mouth().
    void phone(const QString &label);
    // Loudness of the speech being heard, 0..1, about 30 times a second.
    void mouth(double level);
    // Speech ended: true when it was spoken to the end.
    void finished(bool completed);
};

} // namespace agent
