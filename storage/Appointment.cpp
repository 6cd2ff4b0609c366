#include "storage/Appointment.h"

namespace {

const std::array<RepeatCode, 14> kCodes = { {
    { 'A', true, RepeatStep::Hour, ", this alarm will be repeated in 1 hour !",
        "Repeat every hour" },
    { 'H', false, RepeatStep::Hour, ", this alarm will be repeated in 1 hour !",
        "Repeat every hour" },
    { 'Y', true, RepeatStep::Day, ", this alarm will be repeated tomorrow !", "Repeat every day" },
    { 'T', false, RepeatStep::Day, ", this alarm will be repeated tomorrow !", "Repeat every day" },
    { 'V', true, RepeatStep::Week, ", this alarm will be repeated in 1 week !",
        "Repeat every week" },
    { 'Z', false, RepeatStep::Week, ", this alarm will be repeated in 1 week !",
        "Repeat every week" },
    { 'C', true, RepeatStep::Month, ", this alarm will be repeated in 1 month !",
        "Repeat every month" },
    { 'X', false, RepeatStep::Month, ", this alarm will be repeated in 1 month !",
        "Repeat every month" },
    { 'Q', true, RepeatStep::Quarter, ", this alarm will be repeated in 3 months !",
        "Repeat quarterly (3 months)" },
    { 'I', false, RepeatStep::Quarter, ", this alarm will be repeated in 3 months !",
        "Repeat quarterly (3 months)" },
    { 'J', true, RepeatStep::Year, ", this alarm will be repeated next year !",
        "Repeat every year" },
    { 'L', false, RepeatStep::Year, ", this alarm will be repeated in 1 year !",
        "Repeat every year" },
    { 'R', true, RepeatStep::None, ", This announcement will not be repeated",
        "Don`t repeat this message" },
    { 'N', false, RepeatStep::None, "", "Don`t repeat this message" },
} };

QString padded(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

bool allDigits(QStringView text)
{
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

} // namespace

const std::array<RepeatCode, 14> &repeatCodes()
{
    return kCodes;
}

const RepeatCode *findRepeatCode(QChar code)
{
    for (const RepeatCode &row : kCodes) {
        if (code == QLatin1Char(row.code))
            return &row;
    }
    return nullptr;
}

QString KeyParts::key() const
{
    return hour + QLatin1Char('/') + minute + QLatin1Char('/') + day + QLatin1Char('/') + month
        + QLatin1Char('/') + year;
}

QDate KeyParts::date() const
{
    bool okDay = false, okMonth = false, okYear = false;
    const QDate date(year.toInt(&okYear), month.toInt(&okMonth), day.toInt(&okDay));
    return (okDay && okMonth && okYear) ? date : QDate();
}

KeyParts KeyParts::fromDateTime(const QDateTime &when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    return { padded(t.hour(), 2), padded(t.minute(), 2), padded(d.day(), 2), padded(d.month(), 2),
        padded(d.year(), 4) };
}

std::optional<KeyParts> KeyParts::parse(const QString &key)
{
    if (key.size() != 16)
        return std::nullopt;
    for (int slash : { 2, 5, 8, 11 }) {
        if (key[slash] != QLatin1Char('/'))
            return std::nullopt;
    }
    KeyParts parts { key.mid(0, 2), key.mid(3, 2), key.mid(6, 2), key.mid(9, 2), key.mid(12, 4) };
    for (const QString *field :
        { &parts.hour, &parts.minute, &parts.day, &parts.month, &parts.year }) {
        if (!allDigits(*field))
            return std::nullopt;
    }
    return parts;
}

AppointmentLine AppointmentLine::fromLine(const QString &line)
{
    AppointmentLine out;
    out.line = line;
    out.parts = { line.mid(0, 2), line.mid(3, 2), line.mid(6, 2), line.mid(9, 2), line.mid(12, 4) };
    out.code = line.size() > 17 ? line[17] : QChar();
    out.text = line.mid(18);
    if (out.text.endsWith(QLatin1Char('}'))) {
        out.earlyWarning = true;
        out.text.chop(1);
    }
    return out;
}
