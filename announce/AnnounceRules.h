#pragma once

#include <QDate>
#include <QLocale>
#include <QPoint>
#include <QString>

#include <array>

// Pure rules of the speaking character: which gesture comes next, where the
// character stands beside the calendar, and the spoken date.
namespace announce {

// Played in turn, one per sentence.
inline constexpr std::array<const char *, 8> kGestures
    = { "Pleased", "Search", "Explain", "Read", "Decline", "Greet", "Confused", "Suggest" };
// The index after `animcount`, wrapping after the eighth gesture.
int nextGesture(int animcount);

struct HomeInput
{
    float left = 0; // window, twips
    float top = 0;
    float width = 0;
    float height = 0;
    float screenWidth = 0; // twips
    double twipsPerPixelX = 15.0;
    double twipsPerPixelY = 15.0;
    int characterWidth = 0; // pixels
    int characterHeight = 0;
    float gap = 1000; // twips between window and character
    float rise = 900; // twips the character stands above the window's foot
};

inline constexpr float kStandardGap = 1000;
inline constexpr float kStandardRise = 900;
inline constexpr float kStartGap = 1200;
inline constexpr float kStartRise = 1000;

// The frame's top-left corner in screen pixels: right of the window, or left
// of it when the right side has no room.
QPoint homePosition(const HomeInput &in);

// "st", "nd", "rd" or "th" for a day of the month.
QString ordinalSuffix(int day);
// "The date is, Tuesday, the 21st of March, 2000", names in `locale`.
QString dateSentence(const QDate &date, const QLocale &locale);

} // namespace announce
