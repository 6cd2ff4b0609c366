#pragma once

#include "agent/Animation.h"
#include "agent/speech/SpeechEngine.h"

#include <QJsonValue>
#include <QString>

#include <array>
#include <optional>

// Mouth shapes that follow the sounds of speech. Each phone the synthesiser
// times maps to one of eight shapes; a character draws those it can (the
// "visemes" of its file) and the rest fall back to its four loudness mouths.
// A character without any, an engine that tells no phones, and a phone the
// table lacks all fall back to the loudness of the speech. docs/CHARACTERS.md
// shows the table.
namespace agent {

enum class Viseme {
    Rest, // lips together, relaxed: silence
    MBP, // lips pressed: m b p
    FV, // lower lip under the teeth: f v
    TH, // tongue between or behind the teeth: th dh l
    Open, // jaw dropped: aa ae ah aw ay
    Wide, // lips spread: eh ey ih iy y er
    Round, // lips rounded, small opening: ao ow oy uh uw w
    Etc, // teeth nearly together: the other consonants
};
constexpr int kVisemeCount = 8;

QString visemeName(Viseme v);
std::optional<Viseme> visemeFromName(const QString &name);
// The shape for a phone of Flite's US English set; none for a phone the
// table lacks.
std::optional<Viseme> visemeForPhone(QStringView phone);
// The loudness mouth that stands in for a shape the character lacks.
MouthShape fallbackMouth(Viseme v);

// A character's shapes: the part that draws each, empty where it has none.
struct VisemeParts
{
    std::array<QString, kVisemeCount> parts;
    bool isEmpty() const;
    const QString &part(Viseme v) const { return parts[size_t(v)]; }
};

// Reads the "visemes" object of a character file: shape name to part id.
// Unknown shape names and non-text values are reported in `problems` and left out.
VisemeParts readVisemeParts(const QJsonValue &value, QStringList *problems);

// What the mouth shows at a moment of speech.
struct MouthPick
{
    std::optional<Viseme> viseme; // set: show this shape's part
    MouthShape shape = MouthShape::Closed; // otherwise this loudness mouth
};

// Walks the phones of an utterance as its audio is heard (positions only grow).
class PhoneFollower
{
public:
    void reset() { m_next = 0; }
    // The phone heard at `sample`, or null between phones and past the end.
    const SpokenPhone *at(const QVector<SpokenPhone> &phones, qint64 sample);

private:
    qsizetype m_next = 0;
};

// The mouth for the phone heard now (null: none known) and the loudness there.
MouthPick pickMouth(const SpokenPhone *phone, double loudness, const VisemeParts &parts);

} // namespace agent
