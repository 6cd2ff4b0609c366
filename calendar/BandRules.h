#pragma once

#include <QPoint>
#include <QPointF>
#include <QString>

// The time band: the strip under the month view by which windows are dragged.

namespace band {

QString dragText();

// The character follows the window when it moved far enough from where the
// drag began: more than 300 twips right or down, more than 50 left or up.
bool characterFollows(const QPointF &start, const QPointF &now);

// Where a dragged window goes: the base position plus the pointer's move
// from the grab point (all in twips).
QPointF dragTarget(const QPointF &base, const QPoint &grab, const QPointF &pointer);

} // namespace band
