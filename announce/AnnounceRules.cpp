#include "announce/AnnounceRules.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace announce {

int nextGesture(int animcount)
{
    const int next = animcount + 1;
    return next > 7 ? 0 : next;
}

namespace {

// Rounded to the nearest 16-bit integer, halves to even, as the engine takes it.
qint16 toPixel(double value)
{
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded))
        return 0;
    return static_cast<qint16>(std::clamp(rounded, double(std::numeric_limits<qint16>::min()),
        double(std::numeric_limits<qint16>::max())));
}

} // namespace

QPoint homePosition(const HomeInput &in)
{
    const double cw = in.characterWidth;
    const double ch = in.characterHeight;
    double x = 0;
    // The character's pixel width is added to twips unconverted: the test
    // keeps the room the calendar has always given the character.
    if (double(in.left) + cw + double(in.width) + 1000.0 > double(in.screenWidth))
        x = (double(in.left) - cw - double(in.gap)) / in.twipsPerPixelX - cw / 2;
    else
        x = (double(in.left) + double(in.width) + double(in.gap)) / in.twipsPerPixelX - cw / 2;
    const double y
        = (double(in.top) + double(in.height) - double(in.rise)) / in.twipsPerPixelY - ch / 2;
    return QPoint(toPixel(x), toPixel(y));
}

QString ordinalSuffix(int day)
{
    switch (day) {
    case 1:
    case 21:
    case 31:
        return QStringLiteral("st");
    case 2:
    case 22:
        return QStringLiteral("nd");
    case 3:
    case 23:
        return QStringLiteral("rd");
    default:
        return QStringLiteral("th");
    }
}

QString dateSentence(const QDate &date, const QLocale &locale)
{
    const int d = date.day();
    return QStringLiteral("The date is, ") + locale.dayName(date.dayOfWeek(), QLocale::LongFormat)
        + QStringLiteral(", the ") + QString::number(d) + ordinalSuffix(d) + QStringLiteral(" of ")
        + locale.monthName(date.month(), QLocale::LongFormat) + QStringLiteral(", ")
        + QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
}

} // namespace announce
