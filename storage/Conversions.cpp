#include "storage/Conversions.h"

#include <cmath>

namespace {
constexpr float kPositionLimit = 1.0e6f;
}

std::optional<quint32> parseColour(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong value = 0;
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2).endsWith(QLatin1Char('&')) ? t.mid(2).chopped(1) : t.mid(2);
        if (digits.isEmpty() || digits.size() > 8)
            return std::nullopt;
        value = digits.toLongLong(&ok, 16);
    } else {
        value = t.toLongLong(&ok, 10);
        if (!ok) {
            // Settings edited by hand may hold "255.0"; whole numbers only.
            const double d = t.toDouble(&ok);
            ok = ok && std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e10;
            value = ok ? static_cast<qlonglong>(d) : 0;
        }
    }
    if (!ok || value < 0 || value > 0xFFFFFF)
        return std::nullopt;
    return static_cast<quint32>(value);
}

std::optional<float> parsePosition(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > kPositionLimit)
        return std::nullopt;
    return static_cast<float>(value);
}

QString formatPosition(float twips)
{
    // Shortest text that reads back as the same single-precision number.
    return QString::number(static_cast<double>(twips), 'g', 9).remove(QLatin1Char('+'));
}

double twipsPerPixel(double logicalDpi)
{
    return logicalDpi > 0 ? 1440.0 / logicalDpi : 15.0;
}
