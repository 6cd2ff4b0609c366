#pragma once

#include <QString>

#include <optional>

// Conversions of settings text. Each gives nothing for text that is not a
// number of the right form, so the caller keeps what it had.

// A colour 0x00BBGGRR from decimal text ("8388672") or a "&H" hexadecimal
// literal ("&H0000FFFF"). Values outside 0..0xFFFFFF are not colours.
std::optional<quint32> parseColour(const QString &text);

// A window coordinate in twips; plain decimal text with an optional
// fraction. Values beyond a million twips (over 600 screens) are refused.
std::optional<float> parsePosition(const QString &text);
// The text a position is stored as; parsePosition reads it back exactly.
QString formatPosition(float twips);

// Twips per pixel for a screen of the given logical DPI (15 at 96 DPI).
double twipsPerPixel(double logicalDpi);
