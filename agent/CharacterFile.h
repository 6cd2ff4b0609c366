#pragma once

#include "agent/Animation.h"
#include "agent/SpeechPlayer.h"

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

// The art of a character cut into layers that can each be drawn with their
// own transform. A layer is a run of drawing (in document order) that
// belongs to one animated part, or to none; it is drawn by rendering the
// whole document with everything outside the layer cut away, so nested
// parts, the art's own transforms, styles and gradients all stay intact.
class CharacterArt
{
public:
    ~CharacterArt();
    CharacterArt(const CharacterArt &) = delete;
    CharacterArt &operator=(const CharacterArt &) = delete;

    // Null with `error` set when the SVG is malformed or draws nothing.
    // `movable` names the parts the file animates, shows or hides; those the
    // art lacks are returned in `missing`.
    static std::unique_ptr<CharacterArt> build(const QString &svg, QSize frame,
        const QStringList &movable, const QHash<QString, QPointF> &pivots, QString *error,
        QStringList *missing);

    QSize frame() const { return m_frame; }
    int layerCount() const { return int(m_layers.size()); }
    bool hasPart(const QString &id) const { return m_partIndex.contains(id); }
    // The point (frame coordinates) the part turns and scales around.
    QPointF pivot(const QString &id) const;

    // Draws the character in `pose` into the frame rectangle (0,0)-frame()
    // of the painter's current coordinates.
    void paint(QPainter &painter, const Pose &pose) const;

private:
    CharacterArt() = default;

    struct Part
    {
        QString id;
        int parent = -1; // enclosing animated part
        QPointF pivot;
    };
    struct Layer
    {
        int owner = -1; // part index, -1 for the character as a whole
        std::unique_ptr<QSvgRenderer> renderer;
        // The layer drawn once at `cacheScale` times the frame: animating
        // then moves pictures instead of drawing vector art every frame.
        mutable QImage cache; // cut to what the layer draws
        mutable QRectF cacheTarget; // where the cut picture goes, frame coordinates
        mutable double cacheScale = 0;
    };
    const QImage &layerImage(const Layer &layer, double scale) const;

    QSize m_frame;
    QVector<Part> m_parts;
    QHash<QString, int> m_partIndex;
    std::vector<Layer> m_layers;
};

struct CharacterFile
{
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;
    static constexpr int kMaxFrameSide = 1024;
    static constexpr int kMaxKeyframeMs = 10000;
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
    // The sound's notes; empty when the file has no such sound.
    ToneSequence sound(const QString &name) const { return sounds.value(name); }

    QString name;
    QString description;
    QSize frame;
    VoiceSpec voice;
    QHash<QString, QPointF> pivots;
    std::array<QString, 4> mouths; // part ids by MouthShape
    QStringList hidden;
    QHash<QString, ToneSequence> sounds;
    QHash<QString, Animation> animations; // by lower-case name
    Pose rest;
    std::shared_ptr<const CharacterArt> art;
};

} // namespace agent
