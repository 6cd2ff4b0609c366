#include "engine/TickRules.h"

namespace tick {

QString timeBandText(const QTime &time)
{
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return QStringLiteral("The time is %1:%2 %3")
        .arg(hour12)
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.hour() < 12 ? QLatin1String("AM") : QLatin1String("PM"));
}

QString minuteOf(const QTime &time)
{
    return QStringLiteral("%1").arg(time.minute(), 2, 10, QLatin1Char('0'));
}

QString dayText(const QDate &date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

QString introductionText(const QString &bandColour)
{
    return QStringLiteral(
               "To get started with Quillory, here are a couple of helpers for you. You can drag "
               "the calendar around the screen by, Left clicking on the %1 time band at the "
               "bottom of the calendar, and moving your mouse around. You can access the menus and "
               "appointment manager, \\emp\\by Right clicking the calendar with your mouse. "
               "\\emp\\If you come across any problems with the calendar, then please email, "
               "\\emp\\")
               .arg(bandColour)
        + QLatin1String(kProblemAddress)
        + QStringLiteral(" with as much information as possible. \\emp\\Enjoy the calendar, please "
                         "click on OK to continue.");
}

int msUntilNextMinute(const QTime &time)
{
    const int intoMinute = time.isValid() ? (time.msecsSinceStartOfDay() % 60000) : 0;
    return 60000 - intoMinute + kMinuteTickLag;
}

QString writeProblemText(const QString &dataFile, const QString &reason)
{
    return QStringLiteral("Quillory could not write to its appointments file\n%1\n\n%2\n\n"
                          "Appointments that repeat cannot move on to their next date until "
                          "the file can be written again. Nothing in the file has been lost, "
                          "and Quillory keeps trying.")
        .arg(dataFile, reason.isEmpty() ? QStringLiteral("The reason is not known.") : reason);
}

QString settingsProblemText(const QString &settingsFile, const QString &reason)
{
    return QStringLiteral("Quillory cannot save its settings in %1 (%2). Your appointments are "
                          "still announced, but options you change will not be kept until this "
                          "is put right.")
        .arg(settingsFile, reason);
}

QString oldMessagesNotice()
{
    return QStringLiteral("You have old messages that have not yet been announced. Click on OK to "
                          "see them all now!");
}

QString deleteOldQuestion()
{
    return QStringLiteral("You should delete them now using the Appointment Manager. Would you "
                          "like to do this now?");
}

} // namespace tick
