#include "ical/ICalendar.h"

#include "engine/Schedule.h"
#include "ical/Logging.h"
#include "storage/Appointment.h"
#include "storage/TextCodec.h"

#include <QSet>
#include <QTimeZone>

#include <libical/ical.h>

#include <cstdlib>
#include <memory>

namespace ical {

namespace {

const char *const kConfirmProperty = "X-QUILLORY-CONFIRM";
const char *const kWarningProperty = "X-QUILLORY-EARLY-WARNING";
const char *const kProductId = "-//Quillory//Quillory calendar//EN";
// A recurrence is followed at most this many steps to its next occurrence:
// a rule by the second that never ends must not hold the calendar up.
constexpr int kMaxRecurrenceSteps = 200000;

struct ComponentFree
{
    void operator()(icalcomponent *c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

struct IteratorFree
{
    void operator()(icalrecur_iterator *it) const { icalrecur_iterator_free(it); }
};
using RecurIterator = std::unique_ptr<icalrecur_iterator, IteratorFree>;

void quietLibical()
{
    // Bad input is reported per event; libical must never abort on it.
    static const bool once = [] {
        icalerror_set_errors_are_fatal(0);
        return true;
    }();
    (void)once;
}

QString text(const char *utf8)
{
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

QByteArray asBytes(icalcomponent *component)
{
    char *raw = icalcomponent_as_ical_string_r(component);
    QByteArray out(raw ? raw : "");
    std::free(raw);
    return out;
}

QString xProperty(icalcomponent *event, const char *name)
{
    for (icalproperty *p = icalcomponent_get_first_property(event, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_X_PROPERTY)) {
        if (qstricmp(icalproperty_get_x_name(p), name) == 0)
            return text(icalproperty_get_x(p));
    }
    return {};
}

// A wall-clock minute as a value without a zone, as the data file's keys are.
QDateTime wallOf(const QDate &date, const QTime &time)
{
    return QDateTime(date, QTime(time.hour(), time.minute()), Qt::UTC);
}

QDateTime wallOfLocal(const QDateTime &instant)
{
    const QDateTime local = instant.toLocalTime();
    return wallOf(local.date(), local.time());
}

// The zone a property's TZID names: the file's own VTIMEZONE first, then
// libical's zone data, then the system's.
struct Zone
{
    icaltimezone *libical = nullptr;
    std::optional<QTimeZone> system;
};

std::optional<Zone> zoneOf(icalproperty *prop, icalcomponent *root, QString *why)
{
    icalparameter *param = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
    if (!param)
        return Zone {};
    const char *tzid = icalparameter_get_tzid(param);
    if (!tzid || !*tzid)
        return Zone {};
    Zone zone;
    if (root && icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT)
        zone.libical = icalcomponent_get_timezone(root, tzid);
    if (!zone.libical)
        zone.libical = icaltimezone_get_builtin_timezone_from_tzid(tzid);
    if (!zone.libical)
        zone.libical = icaltimezone_get_builtin_timezone(tzid);
    if (!zone.libical) {
        const QTimeZone system { QByteArray(tzid) };
        if (system.isValid())
            zone.system = system;
    }
    if (!zone.libical && !zone.system) {
        *why = QStringLiteral("its time zone \"%1\" is unknown").arg(text(tzid));
        return std::nullopt;
    }
    return zone;
}

// The instant a date-time names in its zone (UTC, a TZID, or floating in
// local time).
QDateTime instantOf(const icaltimetype &t, const Zone &zone)
{
    const QDate date(t.year, t.month, t.day);
    const QTime time(t.hour, t.minute, t.second);
    if (icaltime_is_utc(t))
        return QDateTime(date, time, Qt::UTC);
    if (zone.libical) {
        icaltimetype copy = t;
        return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(copy, zone.libical));
    }
    if (zone.system)
        return QDateTime(date, time, *zone.system);
    return QDateTime(date, time);
}

// What an event's times say, worked out once for import and for later
// occurrences alike.
struct EventTimes
{
    icaltimetype start {};
    Zone zone;
    bool allDay = false;
    // From the start to the alarm (seconds); unused for all-day events.
    qint64 alarmOffset = 0;
};

std::optional<EventTimes> eventTimes(icalcomponent *event, icalcomponent *root, QString *why)
{
    icalproperty *startProp = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    if (!startProp) {
        *why = QStringLiteral("it has no start (DTSTART)");
        return std::nullopt;
    }
    EventTimes times;
    times.start = icalproperty_get_dtstart(startProp);
    if (icaltime_is_null_time(times.start) || !icaltime_is_valid_time(times.start)
        || !QDate(times.start.year, times.start.month, times.start.day).isValid()) {
        *why = QStringLiteral("its start (DTSTART) is no date");
        return std::nullopt;
    }
    times.allDay = icaltime_is_date(times.start);
    if (times.allDay)
        return times;
    const std::optional<Zone> zone = zoneOf(startProp, root, why);
    if (!zone)
        return std::nullopt;
    times.zone = *zone;
    const QDateTime start = instantOf(times.start, times.zone);

    // The end, for alarms related to it: DTEND, else DTSTART plus DURATION.
    QDateTime end = start;
    if (icalproperty *endProp = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
        QString ignored;
        if (const std::optional<Zone> endZone = zoneOf(endProp, root, &ignored)) {
            const icaltimetype e = icalproperty_get_dtend(endProp);
            if (!icaltime_is_null_time(e) && !icaltime_is_date(e))
                end = instantOf(e, *endZone);
        }
    } else if (icalproperty *d = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
        end = start.addSecs(icaldurationtype_as_int(icalproperty_get_duration(d)));
    }

    // The latest alarm is the one that tells the appointment is here; an
    // earlier one is a warning ahead of it.
    std::optional<QDateTime> alarm;
    for (icalcomponent *a = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT); a;
         a = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT)) {
        icalproperty *trigger = icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY);
        if (!trigger)
            continue;
        const icaltriggertype t = icalproperty_get_trigger(trigger);
        QDateTime when;
        if (!icaltime_is_null_time(t.time)) {
            QString ignored;
            const std::optional<Zone> z = zoneOf(trigger, root, &ignored);
            when = instantOf(t.time, z.value_or(Zone {}));
        } else {
            icalparameter *related
                = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
            const bool fromEnd = related && icalparameter_get_related(related) == ICAL_RELATED_END;
            when = (fromEnd ? end : start).addSecs(icaldurationtype_as_int(t.duration));
        }
        if (when.isValid() && (!alarm || when > *alarm))
            alarm = when;
    }
    times.alarmOffset = alarm ? start.secsTo(*alarm) : 0;
    return times;
}

// The local alarm minute of one occurrence starting at `t`.
QDateTime alarmWall(const EventTimes &times, const icaltimetype &t, QTime allDayAt)
{
    if (times.allDay)
        return wallOf(QDate(t.year, t.month, t.day), allDayAt);
    return wallOfLocal(instantOf(t, times.zone).addSecs(times.alarmOffset));
}

bool noParts(const short *parts)
{
    return parts[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

// The repeat step a rule is, when a repeat code holds it exactly.
std::optional<RepeatStep> stepOf(const icalrecurrencetype &r)
{
    if (r.count != 0 || !icaltime_is_null_time(r.until))
        return std::nullopt;
    if (!noParts(r.by_second) || !noParts(r.by_minute) || !noParts(r.by_hour) || !noParts(r.by_day)
        || !noParts(r.by_month_day) || !noParts(r.by_year_day) || !noParts(r.by_week_no)
        || !noParts(r.by_month) || !noParts(r.by_set_pos))
        return std::nullopt;
    const int interval = r.interval <= 0 ? 1 : r.interval;
    switch (r.freq) {
    case ICAL_HOURLY_RECURRENCE:
        return interval == 1 ? std::optional(RepeatStep::Hour) : std::nullopt;
    case ICAL_DAILY_RECURRENCE:
        return interval == 1 ? std::optional(RepeatStep::Day) : std::nullopt;
    case ICAL_WEEKLY_RECURRENCE:
        return interval == 1 ? std::optional(RepeatStep::Week) : std::nullopt;
    case ICAL_MONTHLY_RECURRENCE:
        if (interval == 1)
            return RepeatStep::Month;
        return interval == 3 ? std::optional(RepeatStep::Quarter) : std::nullopt;
    case ICAL_YEARLY_RECURRENCE:
        return interval == 1 ? std::optional(RepeatStep::Year) : std::nullopt;
    default:
        return std::nullopt;
    }
}

QChar codeOf(RepeatStep step, bool confirm)
{
    for (const RepeatCode &row : repeatCodes()) {
        if (row.step == step && row.confirm == confirm)
            return QLatin1Char(row.code);
    }
    return QLatin1Char(confirm ? 'R' : 'N');
}

// The first alarm minute after `after` of an event repeating by `rule`.
std::optional<QDateTime> firstAfter(
    const EventTimes &times, const icalrecurrencetype &rule, const QDateTime &after, QTime allDayAt)
{
    RecurIterator it(icalrecur_iterator_new(rule, times.start));
    if (!it)
        return std::nullopt;
    // Without a count the iterator may start near `after` instead of
    // walking every occurrence since the first.
    if (rule.count == 0 && !times.allDay) {
        const QDateTime from = after.addSecs(-times.alarmOffset).addDays(-2);
        if (from > instantOf(times.start, times.zone)) {
            QDateTime there = from.toLocalTime();
            if (icaltime_is_utc(times.start))
                there = from.toUTC();
            else if (times.zone.system)
                there = from.toTimeZone(*times.zone.system);
            icaltimetype jump = times.start;
            if (times.zone.libical && !icaltime_is_utc(times.start)) {
                jump = icaltime_from_timet_with_zone(
                    static_cast<time_t>(from.toSecsSinceEpoch()), 0, times.zone.libical);
            } else {
                jump.year = there.date().year();
                jump.month = there.date().month();
                jump.day = there.date().day();
                jump.hour = there.time().hour();
                jump.minute = there.time().minute();
                jump.second = there.time().second();
            }
            icalrecur_iterator_set_start(it.get(), jump);
        }
    }
    for (int i = 0; i < kMaxRecurrenceSteps; ++i) {
        const icaltimetype t = icalrecur_iterator_next(it.get());
        if (icaltime_is_null_time(t))
            return std::nullopt;
        const QDateTime wall = alarmWall(times, t, allDayAt);
        if (wall > after)
            return wall;
    }
    qCInfo(lcIcal) << "no occurrence found within" << kMaxRecurrenceSteps << "steps";
    return std::nullopt;
}

// The components a file holds at its top: a VCALENDAR, several (libical
// wraps them in an XROOT), or a bare VEVENT.
QList<icalcomponent *> calendarsIn(icalcomponent *root)
{
    QList<icalcomponent *> out;
    if (icalcomponent_isa(root) == ICAL_XROOT_COMPONENT) {
        for (icalcomponent *c = icalcomponent_get_first_component(root, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(root, ICAL_ANY_COMPONENT))
            out.append(c);
    } else {
        out.append(root);
    }
    return out;
}

QList<icalcomponent *> eventsIn(icalcomponent *calendar)
{
    QList<icalcomponent *> out;
    if (icalcomponent_isa(calendar) == ICAL_VEVENT_COMPONENT) {
        out.append(calendar);
        return out;
    }
    for (icalcomponent *e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        out.append(e);
    return out;
}

// The event alone in a calendar of its own, with the zones it refers to.
QByteArray keptEvent(icalcomponent *event, icalcomponent *calendar)
{
    Component kept(icalcomponent_new_vcalendar());
    icalcomponent_add_property(kept.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(kept.get(), icalproperty_new_prodid(kProductId));
    if (calendar != event) {
        for (icalcomponent *z
             = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT);
             z; z = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT))
            icalcomponent_add_component(kept.get(), icalcomponent_new_clone(z));
    }
    icalcomponent_add_component(kept.get(), icalcomponent_new_clone(event));
    return asBytes(kept.get());
}

// The data file keeps a message on one line, and a final "}" would read as
// the early-warning marker.
QString messageOf(const QString &summary)
{
    QString message = textcodec::oneLine(summary).trimmed();
    if (message.endsWith(QLatin1Char('}')))
        message += QLatin1Char('.');
    return message;
}

icaltimetype localTime(const QDateTime &wall)
{
    icaltimetype t = icaltime_null_time();
    t.year = wall.date().year();
    t.month = wall.date().month();
    t.day = wall.date().day();
    t.hour = wall.time().hour();
    t.minute = wall.time().minute();
    t.second = 0;
    t.is_date = 0;
    return t;
}

icalcomponent *alarm(const char *trigger, const QString &description)
{
    icalcomponent *a = icalcomponent_new_valarm();
    icalcomponent_add_property(a, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icalcomponent_add_property(a, icalproperty_new_trigger(icaltriggertype_from_string(trigger)));
    icalcomponent_add_property(a, icalproperty_new_description(description.toUtf8().constData()));
    return a;
}

} // namespace

QString ruleOfCode(QChar code)
{
    const RepeatCode *row = findRepeatCode(code);
    if (!row)
        return {};
    switch (row->step) {
    case RepeatStep::Hour:
        return QStringLiteral("FREQ=HOURLY");
    case RepeatStep::Day:
        return QStringLiteral("FREQ=DAILY");
    case RepeatStep::Week:
        return QStringLiteral("FREQ=WEEKLY");
    case RepeatStep::Month:
        return QStringLiteral("FREQ=MONTHLY");
    case RepeatStep::Quarter:
        return QStringLiteral("FREQ=MONTHLY;INTERVAL=3");
    case RepeatStep::Year:
        return QStringLiteral("FREQ=YEARLY");
    case RepeatStep::None:
        break;
    }
    return {};
}

QByteArray exportCalendar(const QList<OutgoingEvent> &events, const QString &zoneId)
{
    quietLibical();
    Component calendar(icalcomponent_new_vcalendar());
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid(kProductId));
    icaltimezone *zone = zoneId.isEmpty() || zoneId == QLatin1String("UTC")
        ? nullptr
        : icaltimezone_get_builtin_timezone(zoneId.toUtf8().constData());
    if (zone && !events.isEmpty()) {
        if (icalcomponent *vtimezone = icaltimezone_get_component(zone))
            icalcomponent_add_component(calendar.get(), icalcomponent_new_clone(vtimezone));
        else
            zone = nullptr;
    }
    const icaltimetype stamp = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
    for (const OutgoingEvent &e : events) {
        icalcomponent *event = icalcomponent_new_vevent();
        icalcomponent_add_property(event, icalproperty_new_uid(e.uid.toUtf8().constData()));
        icalcomponent_add_property(event, icalproperty_new_dtstamp(stamp));
        if (zone) {
            icalproperty *start = icalproperty_new_dtstart(localTime(e.wall));
            icalproperty_add_parameter(start, icalparameter_new_tzid(icaltimezone_get_tzid(zone)));
            icalcomponent_add_property(event, start);
        } else {
            // A zone libical cannot describe: the instant in UTC.
            const QDateTime instant = QDateTime(e.wall.date(), e.wall.time()).toUTC();
            icaltimetype t = localTime(wallOf(instant.date(), instant.time()));
            t.zone = icaltimezone_get_utc_timezone();
            icalcomponent_add_property(event, icalproperty_new_dtstart(t));
        }
        icalcomponent_add_property(event, icalproperty_new_summary(e.text.toUtf8().constData()));
        const QString rule = e.rule.isEmpty() ? ruleOfCode(e.code) : e.rule;
        if (!rule.isEmpty()) {
            icalcomponent_add_property(event,
                icalproperty_new_rrule(icalrecurrencetype_from_string(rule.toUtf8().constData())));
        }
        const RepeatCode *row = findRepeatCode(e.code);
        icalproperty *confirm = icalproperty_new_x(row && row->confirm ? "TRUE" : "FALSE");
        icalproperty_set_x_name(confirm, kConfirmProperty);
        icalcomponent_add_property(event, confirm);
        if (e.earlyWarning) {
            icalproperty *warn = icalproperty_new_x("TRUE");
            icalproperty_set_x_name(warn, kWarningProperty);
            icalcomponent_add_property(event, warn);
        }
        icalcomponent_add_component(event, alarm("PT0S", e.text));
        if (e.earlyWarning)
            icalcomponent_add_component(event, alarm("-P7D", e.text));
        icalcomponent_add_component(calendar.get(), event);
    }
    return asBytes(calendar.get());
}

ParsedCalendar parseCalendar(const QByteArray &bytes, const ImportOptions &options)
{
    quietLibical();
    ParsedCalendar out;
    if (bytes.size() > kMaxFileBytes) {
        out.error = QStringLiteral("the file is larger than %1 MB").arg(kMaxFileBytes >> 20);
        return out;
    }
    if (!bytes.contains("BEGIN:")) {
        out.error = QStringLiteral("the file holds no iCalendar data");
        return out;
    }
    Component root(icalparser_parse_string(bytes.constData()));
    if (!root) {
        out.error = QStringLiteral("the file holds no iCalendar data");
        return out;
    }
    QSet<QString> seen;
    int place = 0;
    for (icalcomponent *calendar : calendarsIn(root.get())) {
        for (icalcomponent *event : eventsIn(calendar)) {
            ++place;
            const QString uid = text(icalcomponent_get_uid(event));
            const QString summary = text(icalcomponent_get_summary(event));
            const QString what = !summary.isEmpty() ? summary
                : !uid.isEmpty()                    ? uid
                                                    : QStringLiteral("event %1").arg(place);
            auto skip = [&](const QString &why) { out.skipped.append({ what, why }); };
            if (icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY)) {
                skip(QStringLiteral("it changes one occurrence of a repeating event"));
                continue;
            }
            if (!uid.isEmpty() && seen.contains(uid)) {
                skip(QStringLiteral("its UID is used by an earlier event"));
                continue;
            }
            if (!uid.isEmpty())
                seen.insert(uid);
            if (icalproperty *status
                = icalcomponent_get_first_property(event, ICAL_STATUS_PROPERTY);
                status && icalproperty_get_status(status) == ICAL_STATUS_CANCELLED) {
                skip(QStringLiteral("it is cancelled"));
                continue;
            }
            QString why;
            const std::optional<EventTimes> times = eventTimes(event, calendar, &why);
            if (!times) {
                skip(why);
                continue;
            }
            IncomingEvent in;
            in.uid = uid;
            in.text = messageOf(
                summary.isEmpty() ? text(icalcomponent_get_description(event)) : summary);
            if (in.text.isEmpty()) {
                skip(QStringLiteral("it has no text"));
                continue;
            }
            const bool confirm = xProperty(event, kConfirmProperty)
                                     .compare(QLatin1String("TRUE"), Qt::CaseInsensitive)
                == 0;
            in.earlyWarning = xProperty(event, kWarningProperty)
                                  .compare(QLatin1String("TRUE"), Qt::CaseInsensitive)
                == 0;
            in.wall = alarmWall(*times, times->start, options.allDayAt);
            const QDateTime now = schedule::wallMinute(options.now);

            icalproperty *rruleProp = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
            const bool extraRules = rruleProp
                && (icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)
                    || icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY)
                    || icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY));
            if (!rruleProp) {
                in.code = codeOf(RepeatStep::None, confirm);
                if (in.wall <= now) {
                    skip(QStringLiteral("its time has passed"));
                    continue;
                }
            } else {
                const icalrecurrencetype rule = icalproperty_get_rrule(rruleProp);
                const std::optional<RepeatStep> step = extraRules ? std::nullopt : stepOf(rule);
                if (step) {
                    in.code = codeOf(*step, confirm);
                    if (in.wall <= now) {
                        const std::optional<QDateTime> next
                            = schedule::nextOccurrenceAfter(*step, in.wall, now);
                        if (!next) {
                            skip(QStringLiteral("its next occurrence is out of reach"));
                            continue;
                        }
                        in.wall = *next;
                    }
                } else {
                    // Kept whole: later occurrences come from its own rule.
                    in.code = codeOf(RepeatStep::None, confirm);
                    in.rule = text(
                        icalrecurrencetype_as_string(const_cast<icalrecurrencetype *>(&rule)));
                    in.original = keptEvent(event, calendar);
                    if (in.wall <= now) {
                        const std::optional<QDateTime> next
                            = firstAfter(*times, rule, now, options.allDayAt);
                        if (!next) {
                            skip(QStringLiteral("it repeats no more"));
                            continue;
                        }
                        in.wall = *next;
                    }
                }
            }
            if (in.wall.date().year() > 9999) {
                skip(QStringLiteral("its time is out of reach"));
                continue;
            }
            out.events.append(in);
        }
    }
    if (out.events.isEmpty() && out.skipped.isEmpty()
        && icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT
        && icalcomponent_isa(root.get()) != ICAL_XROOT_COMPONENT) {
        out.error = QStringLiteral("the file holds no iCalendar data");
    }
    qCDebug(lcIcal) << "read" << out.events.size() << "events," << out.skipped.size() << "skipped";
    return out;
}

namespace {

void collectErrors(icalcomponent *component, QStringList &out)
{
    for (icalproperty *p = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_XLICERROR_PROPERTY))
        out.append(text(icalproperty_get_xlicerror(p)));
    for (icalcomponent *c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT))
        collectErrors(c, out);
}

} // namespace

QStringList problemsOf(const QByteArray &bytes)
{
    quietLibical();
    Component root(icalparser_parse_string(bytes.constData()));
    if (!root)
        return { QStringLiteral("no iCalendar data") };
    icalrestriction_check(root.get());
    QStringList out;
    collectErrors(root.get(), out);
    return out;
}

std::optional<QDateTime> nextOccurrence(
    const QByteArray &original, const QDateTime &after, QTime allDayAt)
{
    quietLibical();
    Component root(icalparser_parse_string(original.constData()));
    if (!root)
        return std::nullopt;
    const QList<icalcomponent *> events = eventsIn(root.get());
    if (events.isEmpty())
        return std::nullopt;
    icalcomponent *event = events.first();
    QString why;
    const std::optional<EventTimes> times = eventTimes(event, root.get(), &why);
    icalproperty *rruleProp = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
    if (!times || !rruleProp)
        return std::nullopt;
    return firstAfter(*times, icalproperty_get_rrule(rruleProp), after, allDayAt);
}

} // namespace ical
