#include "manager/ManagerRules.h"

#include "announce/AnnounceRules.h"
#include "storage/TextCodec.h"

#include <cmath>

namespace manager {

namespace {

QString twoDigits(qint64 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString longDate(const KeyParts &parts, const QLocale &locale)
{
    return locale.toString(parts.date(), QLocale::LongFormat);
}

} // namespace

QString noAlarmsText()
{
    return QString(55, QLatin1Char(' '))
        + QStringLiteral("You don`t have any alarms set at the moment");
}

QString listHelpText()
{
    return QStringLiteral(
        "To preview an \nappointment, just \nclick on it in the list. \nTo delete an "
        "\nappointment, \nsimply highlight the \nline you wish to \ndelete then "
        "click on \nthe delete button below.");
}

QStringList hourChoices()
{
    QStringList out;
    for (int h = 1; h <= 12; ++h)
        out << twoDigits(h);
    return out;
}

QStringList minuteChoices()
{
    QStringList out;
    for (int m = 0; m < 60; m += 5)
        out << twoDigits(m);
    return out;
}

QStringList ampmChoices()
{
    return { QStringLiteral("am"), QStringLiteral("pm") };
}

QStringList repeatChoices()
{
    return { QStringLiteral("Repeat every hour"), QStringLiteral("Repeat every day"),
        QStringLiteral("Repeat every week"), QStringLiteral("Repeat every month"),
        QStringLiteral("Repeat quarterly (3 months)"), QStringLiteral("Repeat every year"),
        QLatin1String(kNoRepeatChoice) };
}

TimeFields defaultTime(const QTime &now)
{
    const int h12 = now.hour() % 12 == 0 ? 12 : now.hour() % 12;
    TimeFields out { twoDigits(h12), {},
        now.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm") };
    int m = now.minute();
    if (m < 59)
        ++m;
    while (m % 5 != 0) {
        ++m;
        if (m == 60) {
            m = 0;
            break;
        }
    }
    out.minute = twoDigits(m);
    return out;
}

QString listLine(const AppointmentLine &line, const QLocale &locale)
{
    return line.line.left(16) + QStringLiteral(" On ") + longDate(line.parts, locale)
        + QStringLiteral(", at ") + line.parts.hour + QLatin1Char(':') + line.parts.minute
        + (line.earlyWarning ? QStringLiteral(", say : ") : QStringLiteral(" say : ")) + line.text;
}

QStringList printDocument(const QList<AppointmentLine> &lines, const QLocale &locale)
{
    QStringList out { QStringLiteral(
                          "This is a list of your appointments on Quillory from Moravel."),
        QStringLiteral(".") };
    for (const AppointmentLine &line : lines) {
        out << QStringLiteral("At ") + line.parts.hour + QLatin1Char(':') + line.parts.minute
                + QStringLiteral(", on ") + longDate(line.parts, locale);
        out << line.text;
    }
    out << QStringLiteral(".") << QStringLiteral("This is the end of your appointments list.");
    return out;
}

QChar repeatCode(const QString &choice, bool confirm)
{
    for (const RepeatCode &row : repeatCodes()) {
        if (row.confirm == confirm && choice == QLatin1String(row.choice))
            return QLatin1Char(row.code);
    }
    return QLatin1Char('N');
}

RepeatFields repeatFields(QChar code)
{
    const RepeatCode *row = findRepeatCode(code);
    if (!row)
        return { false, QLatin1String(kNoRepeatChoice) };
    return { row->confirm, QLatin1String(row->choice) };
}

int messageRoom(const QString &message)
{
    // One byte for the code, one for the marker.
    return kValueLimit - 2 - int(textcodec::toFileBytes(message).size());
}

QString fitMessage(const QString &message)
{
    if (messageRoom(message) >= 0)
        return message;
    QString text = message.left(kValueLimit - 2);
    while (!text.isEmpty() && messageRoom(text) < 0)
        text.chop(1);
    if (!text.isEmpty() && text.back().isHighSurrogate())
        text.chop(1);
    return text;
}

QString roomText(int room, bool cut)
{
    const QString count = room == 1 ? QStringLiteral("1 character left")
                                    : QStringLiteral("%1 characters left").arg(qMax(0, room));
    return cut ? count + QStringLiteral(" (the pasted text was cut)") : count;
}

MessageFit fitTyped(const QString &typed)
{
    MessageFit fit;
    fit.text = fitMessage(typed);
    fit.cut = fit.text != typed;
    fit.room = roomText(messageRoom(fit.text), fit.cut);
    return fit;
}

QString spokenHelp(HelpTopic topic)
{
    switch (topic) {
    case HelpTopic::Confirm:
        return QStringLiteral("\\emp\\Do you want user confirmation?");
    case HelpTopic::HelpSwitch:
        return QStringLiteral("\\emp\\Click here to turn on or off, the speaking help");
    case HelpTopic::Warn:
        return QStringLiteral("\\emp\\Do you want an \\emp\\early warning of this alarm?, If you "
                              "turn it on, you will be notified 1 week in advance and then 3 days "
                              "in advance!");
    case HelpTopic::AmPm:
        return QStringLiteral("\\emp\\Please choose between A,M and P,M in this box");
    case HelpTopic::Hour:
        return QStringLiteral("\\emp\\Enter the hour in here!");
    case HelpTopic::Minute:
        return QStringLiteral("\\emp\\Please select the minute!");
    case HelpTopic::Repeat:
        return QStringLiteral("\\emp\\Do you want the alarm to re schedule?");
    case HelpTopic::List:
        // The button is named by its caption: this desktop does not colour it.
        return QStringLiteral(
            "\\emp\\To preview an appointment, just click once on the line you wish to look at. "
            "\\emp\\To delete an appointment, do the same, and then click on the Delete button at "
            "the bottom.");
    case HelpTopic::Exit:
        return QStringLiteral("Click here to exit this window!");
    case HelpTopic::Save:
        return QStringLiteral("Click on Save, to save the message");
    }
    return {};
}

QString dateHint()
{
    return QStringLiteral("\\emp\\Please choose the appointment date");
}

QString helpSwitchSentence(bool helpOff)
{
    return helpOff ? QStringLiteral("\\emp\\Okay, I will no longer help you!")
                   : QStringLiteral("\\emp\\Hey, I would love to help you out again!");
}

std::optional<qint64> wholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < t.size() && t[i] == QLatin1Char('.')) {
        ++i;
        while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0 || i != t.size())
        return std::nullopt;
    bool ok = false;
    const double value = t.toDouble(&ok);
    // Far beyond any hour or minute; kept finite so the range checks refuse it.
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return qint64(std::clamp(std::floor(value), -1e15, 1e15));
}

bool validTimeField(TimeField field, const QString &text)
{
    if (field == TimeField::AmPm) {
        const QString t = text.trimmed().toLower();
        return t == QLatin1String("am") || t == QLatin1String("pm");
    }
    const auto number = wholeNumber(text);
    if (field == TimeField::Hour)
        return number && *number >= 1 && *number <= 12;
    return number && *number >= 0 && *number <= 59;
}

QString invalidFieldText(TimeField field)
{
    switch (field) {
    case TimeField::Hour:
        return QStringLiteral("Not a valid hour: type 1 to 12");
    case TimeField::Minute:
        return QStringLiteral("Not a valid minute: type 0 to 59");
    case TimeField::AmPm:
        return QStringLiteral("Please type am or pm");
    }
    return {};
}

SavePlan planSave(const SaveFields &fields, const QDateTime &now)
{
    if (!validTimeField(TimeField::Minute, fields.minute))
        return { SaveRefusal::InvalidMinute, {}, {} };
    if (!validTimeField(TimeField::Hour, fields.hour))
        return { SaveRefusal::InvalidHour, {}, {} };
    // Anything but am or pm would be saved as a morning without a word.
    if (!validTimeField(TimeField::AmPm, fields.ampm))
        return { SaveRefusal::InvalidAmPm, {}, {} };
    const qint64 minute = *wholeNumber(fields.minute);

    qint64 hour = *wholeNumber(fields.hour);
    const bool pm = fields.ampm.trimmed().toLower() == QLatin1String("pm");
    if (pm && hour != 12)
        hour += 12;
    else if (!pm && hour == 12)
        hour = 0;

    const QDate d = fields.date;
    const QString key = twoDigits(hour) + QLatin1Char('/') + twoDigits(minute) + QLatin1Char('/')
        + twoDigits(d.day()) + QLatin1Char('/') + twoDigits(d.month()) + QLatin1Char('/')
        + QString::number(d.year());
    if (key == KeyParts::fromDateTime(now).key())
        return { SaveRefusal::ExactTime, {}, {} };

    if (fields.message.size() < 2)
        return { SaveRefusal::ShortMessage, {}, {} };
    const QString message = textcodec::oneLine(fields.message);
    if (messageRoom(message) < 0)
        return { SaveRefusal::LongMessage, {}, {} };
    if (message.endsWith(QLatin1Char('}')))
        return { SaveRefusal::FinalBrace, {}, {} };

    QString value = repeatCode(fields.repeat, fields.confirm) + message;
    if (fields.warn)
        value += QLatin1Char('}');
    const bool passedToday = d == now.date()
        && QTime(int(hour), int(minute)) < QTime(now.time().hour(), now.time().minute());
    return { SaveRefusal::None, key, value, passedToday };
}

QString refusalText(SaveRefusal refusal)
{
    switch (refusal) {
    case SaveRefusal::InvalidMinute:
        return QStringLiteral("Sorry, you have chosen and invalid minute. Please try again!");
    case SaveRefusal::InvalidHour:
        return QStringLiteral("Sorry, you have chosen and invalid hour. Please try again!");
    case SaveRefusal::InvalidAmPm:
        return QStringLiteral("Sorry, the am/pm box must read am or pm. Please try again!");
    case SaveRefusal::ExactTime:
        return QStringLiteral("Sorry, you can`t set the alarm for this exact time and date");
    case SaveRefusal::ShortMessage:
        return QStringLiteral(
            "Sorry, you must enter a valid message before the alarm will work, please try again!");
    case SaveRefusal::LongMessage:
        return QStringLiteral("Sorry, your message is too long to be kept whole. Please shorten "
                              "it and try again!");
    case SaveRefusal::FinalBrace:
        return QStringLiteral("Sorry, a message can`t end with \"}\": the calendar reads it as the "
                              "early warning mark. Please end it with another character and try "
                              "again!");
    case SaveRefusal::None:
        break;
    }
    return {};
}

QString spokenMonth(int month)
{
    static const char *const kNames[] = { "January ", "February ", "March ", "April ", "May ",
        "June ", "July ", "August ", "September ", "October ", "November ", "December" };
    return month >= 1 && month <= 12 ? QLatin1String(kNames[month - 1]) : QString();
}

std::optional<PreviewFields> preview(const QString &key, const QString &value)
{
    if (value == QLatin1String(kNothing))
        return std::nullopt;
    PreviewFields out;
    out.minute = key.mid(3, 2);
    out.year = key.mid(12, 4).toInt();
    out.month = key.mid(9, 2).toInt();
    out.day = key.mid(6, 2).toInt();
    out.warn = value.endsWith(QLatin1Char('}'));
    out.message = value.mid(1, out.warn ? value.size() - 2 : -1);

    QString h = key.left(2);
    if (h.size() == 2 && h[0] == QLatin1Char('0'))
        h.remove(0, 1);
    out.ampm = QStringLiteral("am");
    out.periodWord = QStringLiteral("a.m,");
    bool numeric = false;
    int hv = h.toInt(&numeric);
    if (numeric) {
        if (hv >= 12) {
            out.periodWord = QStringLiteral("p.m,");
            out.ampm = QStringLiteral("pm");
        }
        if (hv > 12)
            hv -= 12;
        if (hv == 0)
            hv = 12;
        h = QString::number(hv);
    }
    out.hourWord = h;
    out.hour = h.size() < 2 ? QLatin1Char('0') + h : h;
    out.repeat = repeatFields(value.isEmpty() ? QChar() : value[0]);
    return out;
}

QString previewSentence(const PreviewFields &f, int day, int month, int year)
{
    QString s
        = QStringLiteral("This appointment is set for !, ") + f.hourWord + QStringLiteral(", ");
    if (f.minute != QLatin1String("00"))
        s += f.minute + QStringLiteral(", ");
    return s + f.periodWord + QStringLiteral(", on the ") + QString::number(day)
        + announce::ordinalSuffix(day) + QStringLiteral(", of ") + spokenMonth(month)
        + QStringLiteral(", ") + QString::number(year) + QStringLiteral(", and the message is !, ")
        + f.message;
}

std::optional<QString> deletableKey(const QString &comboText)
{
    if (comboText == noAlarmsText())
        return std::nullopt;
    const QString key = comboText.left(16);
    if (!KeyParts::parse(key))
        return std::nullopt;
    return key;
}

QString writeFailureText(const QString &reason)
{
    return QStringLiteral("Sorry, the appointment file could not be written (%1). Nothing was "
                          "changed; please check the disk and try again.")
        .arg(reason.isEmpty() ? QStringLiteral("unknown reason") : reason);
}

QString passedTodayQuestion()
{
    return QStringLiteral("This time has already passed today. Save it anyway?");
}

QString deleteQuestion(const QString &key, const QString &value, const QLocale &locale)
{
    const std::optional<KeyParts> parts = KeyParts::parse(key);
    QString message = value.mid(1);
    if (message.endsWith(QLatin1Char('}')))
        message.chop(1);
    QString question = QStringLiteral("Are you sure you want to delete this alarm");
    if (!parts)
        return question;
    return question + QStringLiteral("\n\n") + locale.toString(parts->date(), QLocale::LongFormat)
        + QStringLiteral(", ") + parts->hour + QLatin1Char(':') + parts->minute
        + QStringLiteral(": ") + message;
}

std::optional<QString> replaceQuestion(const QString &held, const QString &value)
{
    if (held == QLatin1String(kNothing) || held == value)
        return std::nullopt;
    auto message = [](const QString &v) {
        QString text = v.mid(1);
        if (text.endsWith(QLatin1Char('}')))
            text.chop(1);
        return text;
    };
    return QStringLiteral("This time already holds the appointment \"%1\". Replace it with \"%2\"?")
        .arg(message(held), message(value));
}

QString movedOnText()
{
    return QStringLiteral("This appointment was announced or changed while you were asked, so "
                          "nothing was deleted. Please choose it again in the list.");
}

} // namespace manager
