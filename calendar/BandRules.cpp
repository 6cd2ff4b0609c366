#include "calendar/BandRules.h"

namespace band {

QString dragText()
{
    return QStringLiteral("Click this bar to drag");
}

bool characterFollows(const QPointF &start, const QPointF &now)
{
    return start.x() < now.x() - 300 || start.y() < now.y() - 300 || start.x() > now.x() + 50
        || start.y() > now.y() + 50;
}

QPointF dragTarget(const QPointF &base, const QPoint &grab, const QPointF &pointer)
{
    return { base.x() + (pointer.x() - grab.x()), base.y() + (pointer.y() - grab.y()) };
}

} // namespace band
