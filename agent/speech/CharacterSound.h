#pragma once

#include <QString>
#include <QVector>

// A character's voice and sound effects as its file gives them and the
// player makes them heard.
namespace agent {

struct VoiceSpec
{
    QString engine; // "flite" or "espeak"; empty: Flite where it is installed
    QString fliteVoice; // empty: Flite's default voice
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

} // namespace agent
