#pragma once

#include "storage/Appointment.h"

#include <QDate>
#include <QString>
#include <QStringList>

// The rules of the day query (a double-click on a day of the month view),
// apart from the windows, so that tests call them directly.

namespace dayquery {

inline constexpr const char *kPastSentence = "Sorry, this action is not allowed!";
inline constexpr const char *kPastMessage = "Sorry, you can't set an appointment for an old date";
inline constexpr const char *kNotMarkedSentence
    = "\\emp\\You dont have any appointments set for this day, \\emp\\do you want to set one now?";
inline constexpr const char *kNotMarkedQuestion
    = "You don`t have any appointments set for this date, do you want to set one now?";
inline constexpr const char *kMakeQuestion = "Would you like to make an appointment for this date?";

// Whether day/month/year lies before today; today itself is not past.
bool isPast(int day, int month, int year, const QDate &today);

// Whether the counting pass counts `line` for the date "dd/mm/yyyy".
bool countsFor(const QString &line, const QString &date);
// Whether the quick look lists the line for the date's parts.
bool listsFor(
    const AppointmentLine &line, const QString &day, const QString &month, const QString &year);

QString countSentence(int found);
QString quickLookQuestion(int found, int day);

// Limits that keep the quick look's box on a screen.
inline constexpr int kQuickLookMessages = 20;
inline constexpr int kQuickLookMessageChars = 300;

// The quick look's text: "Message n reads:  text" lines in file order, each
// and the whole list cut short with "…" so the box fits on a screen.
QString quickLookText(const QStringList &messages);

} // namespace dayquery
