#pragma once

#include <QString>

#include <optional>

// Conversions of settings text. Each gives nothing for text that is not a
// number of the right form, so the caller keeps what it had.

// A colour 0x00BBGGRR from decimal text ("8388672") or a "&H" hexadecimal
// literal ("&H0000FFFF"). Values outside 0..0xFFFFFF are not colours.
std::optional<quint32> parseColour(const QString &text);

// The three parts of a stored colour 0x00BBGGRR, and back.
struct Rgb
{
    int red = 0;
    int green = 0;
    int blue = 0;
};
constexpr Rgb rgbFromBgr(quint32 bgr)
{
    return { int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF) };
}
constexpr quint32 bgrFromRgb(int red, int green, int blue)
{
    return quint32(red & 0xFF) | (quint32(green & 0xFF) << 8) | (quint32(blue & 0xFF) << 16);
}

// A window coordinate in twips; plain decimal text with an optional
// fraction. Values beyond a million twips (over 600 screens) are refused.
std::optional<float> parsePosition(const QString &text);
// The text a position is stored as; parsePosition reads it back exactly.
QString formatPosition(float twips);

// Twips per pixel for a screen of the given logical DPI (15 at 96 DPI).
double twipsPerPixel(double logicalDpi);
