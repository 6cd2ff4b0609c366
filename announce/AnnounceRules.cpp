#include "announce/AnnounceRules.h"

#include "storage/AtomicFile.h"
#include "storage/TextCodec.h"

#include <QFile>
#include <QLocale>

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

namespace {

constexpr char kPendingHeader[] = "quillory pending 1";

} // namespace

QByteArray pendingFileText(const QList<Announcement> &pending, const QDateTime &snoozedUntil)
{
    QByteArray out = QByteArray(kPendingHeader) + '\n';
    if (snoozedUntil.isValid())
        out += "Z\t" + snoozedUntil.toString(Qt::ISODate).toLatin1() + '\n';
    for (const Announcement &a : pending) {
        out += a.confirm ? 'C' : '-';
        out += a.revealed ? 'R' : '-';
        out += '\t';
        out += textcodec::escapedField(a.text.left(kMaxPendingText)).toUtf8();
        out += '\n';
    }
    return out;
}

PendingRead readPendingText(const QByteArray &bytes)
{
    PendingRead result;
    const QList<QByteArray> lines = bytes.left(kMaxPendingFile).split('\n');
    bool header = true;
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (header) {
            header = false;
            if (line == kPendingHeader)
                continue;
        }
        if (line.isEmpty())
            continue;
        if (line.startsWith("Z\t")) {
            result.snoozedUntil
                = QDateTime::fromString(QString::fromLatin1(line.mid(2, 64)), Qt::ISODate);
            continue;
        }
        if (line.size() < 3 || line[2] != '\t' || (line[0] != 'C' && line[0] != '-')
            || (line[1] != 'R' && line[1] != '-')) {
            ++result.skipped;
            continue;
        }
        if (result.pending.size() == kMaxPending) {
            ++result.skipped;
            continue;
        }
        Announcement a;
        a.confirm = line[0] == 'C';
        a.revealed = line[1] == 'R' || !a.confirm;
        a.text = textcodec::unescapedField(QString::fromUtf8(line.mid(3))).left(kMaxPendingText);
        result.pending.append(a);
    }
    return result;
}

bool writePendingFile(const QString &path, const QList<Announcement> &pending,
    const QDateTime &snoozedUntil, QString *error)
{
    if (pending.isEmpty()) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        if (error)
            *error = file.errorString();
        return false;
    }
    return writeFileAtomically(path, pendingFileText(pending, snoozedUntil), error);
}

PendingRead readPendingFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return readPendingText(file.read(kMaxPendingFile));
}

QString pageText(qsizetype index, qsizetype count)
{
    return QStringLiteral("%1 of %2").arg(index + 1).arg(count);
}

QDateTime snoozeEnd(const QDateTime &now, SnoozeLength length)
{
    switch (length) {
    case SnoozeLength::Minutes5:
        return now.addSecs(5 * 60);
    case SnoozeLength::Minutes10:
        return now.addSecs(10 * 60);
    case SnoozeLength::Minutes15:
        return now.addSecs(15 * 60);
    case SnoozeLength::Minutes30:
        return now.addSecs(30 * 60);
    case SnoozeLength::Hour1:
        return now.addSecs(60 * 60);
    case SnoozeLength::TomorrowAt9:
        break;
    }
    // Kept in now's own kind of time (local or a zone), so a clock change
    // moves the instant, never the 9:00 the user reads.
    QDateTime end = now;
    end.setTime(QTime(0, 0)); // setting the date alone could land in a gap
    end.setDate(now.date().addDays(1));
    end.setTime(QTime(9, 0));
    if (!end.isValid() || end <= now)
        end = now.addDays(1);
    return end;
}

QString snoozeCaption(SnoozeLength length)
{
    switch (length) {
    case SnoozeLength::Minutes5:
        return QStringLiteral("5 minutes");
    case SnoozeLength::Minutes10:
        return QStringLiteral("10 minutes");
    case SnoozeLength::Minutes15:
        return QStringLiteral("15 minutes");
    case SnoozeLength::Minutes30:
        return QStringLiteral("30 minutes");
    case SnoozeLength::Hour1:
        return QStringLiteral("1 hour");
    case SnoozeLength::TomorrowAt9:
        break;
    }
    return QStringLiteral("until tomorrow 9:00");
}

QString snoozeSentence(SnoozeLength length)
{
    switch (length) {
    case SnoozeLength::Minutes5:
        return QStringLiteral("The appointment will show again in five minutes");
    case SnoozeLength::Minutes10:
        return QStringLiteral("The appointment will show again in ten minutes");
    case SnoozeLength::Minutes15:
        return QStringLiteral("The appointment will show again in fifteen minutes");
    case SnoozeLength::Minutes30:
        return QStringLiteral("The appointment will show again in thirty minutes");
    case SnoozeLength::Hour1:
        return QStringLiteral("The appointment will show again in one hour");
    case SnoozeLength::TomorrowAt9:
        break;
    }
    return QStringLiteral("The appointment will show again tomorrow at nine");
}

std::optional<SnoozeLength> snoozeOfAction(const QString &key)
{
    if (key == QLatin1String("snooze-5"))
        return SnoozeLength::Minutes5;
    if (key == QLatin1String("snooze-15"))
        return SnoozeLength::Minutes15;
    if (key == QLatin1String("snooze-60"))
        return SnoozeLength::Hour1;
    return std::nullopt;
}

Notifier::Notice noticeFor(const Announcement &announcement, const QDateTime &when)
{
    Notifier::Notice notice;
    notice.summary = QLatin1String(kNoticeSummary);
    const QLocale locale;
    const QString stamp = locale.toString(when.date(), QLocale::LongFormat) + QStringLiteral(", ")
        + when.time().toString(QStringLiteral("HH:mm"));
    const bool hidden = announcement.confirm && !announcement.revealed;
    notice.body = stamp + QLatin1Char('\n')
        + (hidden ? QString::fromUtf8(kNoticeHidden) : announcement.text);
    notice.actions = { { QStringLiteral("snooze-5"), QStringLiteral("Snooze 5 min") },
        { QStringLiteral("snooze-15"), QStringLiteral("Snooze 15 min") },
        { QStringLiteral("snooze-60"), QStringLiteral("Snooze 1 hour") },
        { QLatin1String(kActionOk), QStringLiteral("Ok") },
        { QLatin1String(kActionDefault), QStringLiteral("Show") } };
    return notice;
}

} // namespace announce
