#include "calendar/MenuRules.h"

namespace menu {

ToggleStep toggle(Toggle which, bool on)
{
    ToggleStep step;
    step.checked = !on;
    switch (which) {
    case Toggle::Delay:
        step.caption = on ? QStringLiteral("Delay off") : QStringLiteral("Delay on");
        step.settingText = on ? QStringLiteral("False") : QStringLiteral("True");
        step.sentence
            = on ? QStringLiteral("The delay is now off!") : QStringLiteral("The delay is now on!");
        break;
    case Toggle::SoundFx:
        step.writeFirst = true;
        step.caption = soundEffectsCaption(!on);
        step.settingText = on ? QStringLiteral("False") : QStringLiteral("True");
        step.sentence
            = on ? QStringLiteral("Sound effects off!") : QStringLiteral("Sound effects on!");
        break;
    case Toggle::Hide:
        step.settingText = on ? QStringLiteral("False") : QStringLiteral("True");
        step.sentence = on ? QStringLiteral("I will no longer hide after speaking!")
                           : QStringLiteral("I will hide 5 seconds after speaking!");
        break;
    case Toggle::Notify:
        step.settingText = on ? QStringLiteral("False") : QStringLiteral("True");
        step.sentence = on
            ? QStringLiteral("Appointments are no longer shown as desktop notifications!")
            : QStringLiteral("Appointments are shown as desktop notifications too!");
        break;
    case Toggle::Briefing:
        step.settingText = on ? QStringLiteral("False") : QStringLiteral("True");
        step.sentence = on ? QStringLiteral("I will no longer read your day in the morning.")
                           : QStringLiteral("Each morning I will tell you what is on that day.");
        break;
    }
    return step;
}

QString soundEffectsCaption(bool on)
{
    return on ? QStringLiteral("Character sound effects are on")
              : QStringLiteral("Character sound effects are off");
}

QString startAtLoginSentence(bool nowOn)
{
    return nowOn ? QStringLiteral("Quillory will now start when you log in!")
                 : QStringLiteral("Quillory will no longer start when you log in!");
}

QString startAtLoginFailedText(bool wantedOn, const QString &reason)
{
    return QStringLiteral("Quillory could not be set to %1 when you log in: %2")
        .arg(wantedOn ? QStringLiteral("start") : QStringLiteral("stop starting"), reason);
}

QString hiddenSentence()
{
    return QStringLiteral(
        "Okay, the Calendar has gone. Use the notification-area icon to show it again!");
}

QString shownSentence()
{
    return QStringLiteral("Here it is!");
}

QString moveHomeSentence()
{
    return QStringLiteral("Off I go!");
}

QString rescueSentence()
{
    return QStringLiteral("Are you having problems seeing the calendar?");
}

QString rescueQuestion()
{
    return QStringLiteral("Are you having problems seeing the calendar? Would you like me to make "
                          "it visible again. Only click this if you really can`t see the calendar");
}

QString rescueRestartText()
{
    return QStringLiteral("The calendar will now re-start, please be patient");
}

QString helpMissingText(const QString &page)
{
    return QStringLiteral("The help pages could not be found. They should be at:\n%1\n\n"
                          "Reinstalling Quillory puts them back.")
        .arg(page);
}

QString helpNotOpenedText(const QString &page)
{
    return QStringLiteral("No web browser could be started to show the help. "
                          "You can open this page yourself:\n%1")
        .arg(page);
}

} // namespace menu
