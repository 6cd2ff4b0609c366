#pragma once

#include "agent/Animation.h"

#include <QHash>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTransform>
#include <QVector>

#include <memory>
#include <vector>

class QPainter;
class QSvgRenderer;

namespace agent {

// The art of a character cut into layers that can each be drawn with their
// own transform. A layer is a run of drawing (in document order) that
// belongs to one animated part, or to none. The SVG is parsed once; a layer
// is drawn by rendering each of its subtrees by id with the transforms of
// its ancestors, so nested parts, the art's own transforms, styles and
// gradients all stay intact.
class CharacterArt
{
public:
    ~CharacterArt();
    CharacterArt(const CharacterArt &) = delete;
    CharacterArt &operator=(const CharacterArt &) = delete;

    // Null with `error` set when the SVG is malformed, too large or draws
    // nothing. `movable` names the parts the file animates, shows or hides;
    // those the art lacks are returned in `missing`.
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

    // Pixels held by the layer pictures now, and the scale they were drawn at.
    qint64 cachedPixels() const;
    double cacheScale() const { return m_drawnScale; }

private:
    CharacterArt() = default;

    struct Part
    {
        QString id;
        int parent = -1; // enclosing animated part
        QPointF pivot;
    };
    // A subtree of the art drawn whole: rendered by its id, in the
    // coordinates its ancestors set up.
    struct Piece
    {
        QString id;
        QRectF bounds; // in the coordinates of its parent, as the renderer reports
        QTransform parents; // the ancestors' transforms
    };
    struct Layer
    {
        int owner = -1; // part index, -1 for the character as a whole
        QVector<int> pieces;
        double area = 0; // of the frame its pieces cover, by the renderer's bounds
        // The layer drawn once at the cache scale: animating then moves
        // pictures instead of drawing vector art every frame.
        mutable QImage cache; // cut to what the layer draws
        mutable QRectF cacheTarget; // where the cut picture goes, frame coordinates
    };
    void ensureCaches(double scale) const;
    void drawLayer(const Layer &layer, double scale) const;

    QSize m_frame;
    QTransform m_toFrame; // viewBox to frame
    QByteArray m_svg; // the art as drawn, with the ids it was given
    // Made when pictures are drawn and let go after: its parsed document and
    // the outlines it drew are a few hundred kB held for nothing between.
    mutable std::unique_ptr<QSvgRenderer> m_renderer;
    QVector<Part> m_parts;
    QHash<QString, int> m_partIndex;
    QVector<Piece> m_pieces;
    std::vector<Layer> m_layers;
    mutable double m_askedScale = 0; // the scale the caches were asked for
    mutable double m_drawnScale = 0; // and the one they were drawn at
    mutable double m_scaleLimit = 8;
};

} // namespace agent
