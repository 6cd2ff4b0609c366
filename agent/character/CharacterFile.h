#pragma once

#include "agent/Animation.h"
#include "agent/character/CharacterArt.h"
#include "agent/speech/CharacterSound.h"
#include "agent/speech/Visemes.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <memory>

class QPainter;
class QSvgRenderer;

// A character file (<Name>.acs, JSON with SVG art) read, checked and made
// ready to draw. See docs/CHARACTERS.md for the format.
namespace agent {

struct CharacterFile
{
    // The bounds of a character file (docs/CHARACTERS.md lists them). They
    // keep loading under a third of a second and a few tens of megabytes
    // whatever a file holds; a file past any of them is refused with the reason.
    static constexpr qint64 kMaxBytes = 1024 * 1024;
    static constexpr int kMaxJsonDepth = 32;
    static constexpr int kMaxFrameSide = 1024;
    static constexpr int kMaxTextLength = 1000; // description
    static constexpr int kMaxNameLength = 128; // animation, sound and part names
    static constexpr int kMaxAnimations = 128;
    static constexpr int kMaxKeyframesPerAnimation = 256;
    static constexpr int kMaxKeyframes = 1024; // in all animations together
    static constexpr int kMaxKeyframeMs = 10000;
    static constexpr int kMaxAnimationMs = 60000;
    static constexpr int kMaxPartsPerKeyframe = 64;
    static constexpr int kMaxPartMoves = 8192; // parts named in all keyframes together
    static constexpr int kMaxMovableParts = 128;
    static constexpr int kMaxHidden = 64;
    static constexpr int kMaxPivots = 256;
    static constexpr int kMaxSounds = 64;
    static constexpr int kMaxNotesPerSound = 64;
    static constexpr int kMaxNoteMs = 10000;
    static constexpr int kMaxSoundMs = 10000; // all notes of a sound together
    static constexpr qsizetype kMaxArtChars = 512 * 1024;
    static constexpr int kMaxArtElements = 5000; // counting what <use> repeats
    static constexpr int kMaxArtDepth = 64;
    static constexpr int kMaxUseSteps = 8; // <use> of something holding a <use> ...
    static constexpr qint64 kMaxPicturePixels = 1024 * 1024; // embedded pictures together
    static constexpr int kMaxLayers = 2 * kMaxMovableParts + 1; // follows from the parts
    // The layer pictures together, and the one picture drawn at a time.
    static constexpr qint64 kMaxCachePixels = 4 * 1024 * 1024;
    static constexpr qint64 kMaxLayerPixels = 1024 * 1024;
    static const QStringList &requiredAnimations();

    // Null with `error` set when the file is missing or wrong. The name is
    // the file name without ".acs".
    static std::shared_ptr<const CharacterFile> load(const QString &path, QString *error);
    static std::shared_ptr<const CharacterFile> parse(
        const QByteArray &json, const QString &name, QString *error);

    // The animation of that name, matched without regard to case, or null.
    const Animation *animation(const QString &name) const;
    // `pose` with its mouth shape shown and the other mouths hidden.
    Pose withMouth(const Pose &pose, std::optional<MouthShape> shape) const;
    // `pose` with the mouth part `id` shown and every other mouth hidden.
    Pose withMouthPart(const Pose &pose, const QString &shown) const;
    // The sound's notes; empty when the file has no such sound.
    ToneSequence sound(const QString &name) const { return sounds.value(name); }

    QString name;
    QString description;
    QSize frame;
    VoiceSpec voice;
    QHash<QString, QPointF> pivots;
    std::array<QString, 4> mouths; // part ids by MouthShape
    VisemeParts visemes; // part ids by speech sound; empty: the mouths follow loudness
    QStringList hidden;
    QHash<QString, ToneSequence> sounds;
    QHash<QString, Animation> animations; // by lower-case name
    Pose rest;
    std::shared_ptr<const CharacterArt> art;
};

} // namespace agent
