#include "engine/MinuteScheduler.h"

#include "engine/Logging.h"
#include "engine/TickRules.h"
#include "storage/AtomicFile.h"
#include "storage/IniFuncs.h"

#include <QElapsedTimer>

#include <algorithm>

using schedule::Gap;

namespace {

QString nothing()
{
    return QLatin1String(kNothing);
}

QString messageOf(const QString &value)
{
    QString message = value.mid(1);
    if (message.endsWith(QLatin1Char('}')))
        message.chop(1);
    return message;
}

// As many told minutes as a clock put back could make us live again.
constexpr qsizetype kToldKept = 2000;

} // namespace

MinuteScheduler::MinuteScheduler(Clock &clock, Files files, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_files(std::move(files))
{
    m_timer = m_clock.timer([this] {
        emit minuteBegan();
        arm();
    });
    m_startDay = m_clock.now().date();
}

MinuteScheduler::~MinuteScheduler() = default;

void MinuteScheduler::start()
{
    arm();
}

void MinuteScheduler::stop()
{
    m_timer->stop();
    saveState();
}

void MinuteScheduler::arm()
{
    m_timer->start(tick::msUntilNextMinute(m_clock.now().time()));
}

QString MinuteScheduler::lastKey() const
{
    return m_last.isValid() ? schedule::keyOf(m_last) : QString();
}

DueAnnouncement MinuteScheduler::takeDue()
{
    DueAnnouncement next = m_due.front();
    m_due.pop_front();
    return next;
}

bool MinuteScheduler::isNewMinute(const QDateTime &now) const
{
    return schedule::wallMinute(now) != m_last;
}

void MinuteScheduler::resumed()
{
    qCInfo(lcEngine) << "the computer woke from sleep; looking at the minutes passed";
    m_resumed = true;
    check();
}

bool MinuteScheduler::restartDue(const QString &storedStartDay)
{
    const QDate today = m_clock.now().date();
    if (storedStartDay == tick::dayText(today))
        return false;
    // Settings that cannot keep the date must not restart us every tick.
    if (m_startDay == today || m_restartAskedOn == today)
        return false;
    m_restartAskedOn = today;
    return true;
}

QList<OldAppointment> MinuteScheduler::catchUpAtStart()
{
    const QDateTime local = m_clock.now();
    const QDateTime now = schedule::wallMinute(local);
    m_started = true;
    m_lastLookMono = m_clock.monotonicMs();
    m_lastLookWallMs = local.toMSecsSinceEpoch();

    if (const std::optional<QByteArray> bytes = readWholeFile(m_files.stateFile); bytes)
        m_state = schedule::readStateText(*bytes);
    const QDateTime handled = schedule::wallOfKey(m_state.lastKey);
    // The current minute belongs to the first look, unless the calendar
    // that ended in it had dealt with it.
    m_last = handled == now ? now : now.addSecs(-60);
    m_highWater = std::max(m_last, handled);
    retryPostponed();

    QList<OldAppointment> old;
    if (handled.isValid() && handled >= m_last) {
        saveState();
        return old; // nothing passed, or the clock went back
    }
    QHash<QString, QString> live;
    const std::optional<QList<Found>> found = scanSpan(handled, m_last, &live);
    if (!found) {
        qCWarning(lcEngine) << "the data file cannot be read; what passed meanwhile waits";
        m_last = handled.isValid() ? handled : m_last;
        return old;
    }
    QElapsedTimer timer;
    timer.start();
    handle(
        *found, now, std::nullopt, false,
        [&live](const QString &key) { return live.value(key, nothing()); }, &old);
    qCInfo(lcEngine) << "start-up:" << old.size() << "appointments passed since"
                     << (handled.isValid() ? m_state.lastKey : QStringLiteral("ever")) << "in"
                     << timer.elapsed() << "ms";
    saveState();
    return old;
}

void MinuteScheduler::check()
{
    // Before start-up has looked at what passed meanwhile, a look would
    // take the time off for a leap.
    if (!m_started)
        return;
    const QDateTime local = m_clock.now();
    const QDateTime now = schedule::wallMinute(local);
    if (now == m_last)
        return;
    retryPostponed();

    const std::optional<Gap> gap = gapSinceLastLook(local);
    QDateTime after = m_last;
    const bool reliving = now <= m_highWater;
    if (now < m_last) {
        // The clock went back: only the minutes from here on, as they come.
        qCInfo(lcEngine) << "the clock went back from" << schedule::keyOf(m_last) << "to"
                         << schedule::keyOf(now);
        after = now.addSecs(-60);
    }

    QList<Found> found;
    QHash<QString, QString> live;
    ValueAt fileValue;
    std::optional<QByteArray> content;
    if (after.addSecs(60) == now) {
        // The usual minute: one lookup by key. A file that exists but cannot
        // be read leaves the minute to the next tick rather than skip it.
        content = readWholeFile(m_files.dataFile);
        if (!content) {
            qCWarning(lcEngine) << "the data file cannot be read; minute" << schedule::keyOf(now)
                                << "waits";
            return;
        }
        const QString key = schedule::keyOf(now);
        const QString value
            = INIFuncs::INIReadFrom(*content, QLatin1String(kAlarmsSection), key, nothing());
        qCDebug(lcEngine) << "minute" << key << "holds" << value;
        if (value != nothing())
            found.append({ now, key, value });
        fileValue = [&content](const QString &k) {
            return INIFuncs::INIReadFrom(*content, QLatin1String(kAlarmsSection), k, nothing());
        };
    } else {
        QElapsedTimer timer;
        timer.start();
        const std::optional<QList<Found>> span = scanSpan(after, now, &live);
        if (!span) {
            // Looked at again on the next tick; nothing is skipped meanwhile.
            qCWarning(lcEngine) << "the data file cannot be read; the minutes since"
                                << schedule::keyOf(after) << "wait";
            return;
        }
        found = *span;
        qCInfo(lcEngine) << "caught up" << after.secsTo(now) / 60 << "minutes since"
                         << schedule::keyOf(after) << ":" << found.size() << "appointments in"
                         << timer.elapsed() << "ms";
        fileValue = [&live](const QString &k) { return live.value(k, nothing()); };
    }
    // Handled before anything is told: a look nested in an announcement's
    // wait finds this minute done.
    m_last = now;
    m_highWater = std::max(m_highWater, now);
    handle(found, now, gap, reliving, fileValue, nullptr);
    saveState();
    if (!m_due.empty())
        emit due();
}

std::optional<Gap> MinuteScheduler::gapSinceLastLook(const QDateTime &local)
{
    const qint64 mono = m_clock.monotonicMs();
    const qint64 wallMs = local.toMSecsSinceEpoch();
    const qint64 monoPassed = mono - m_lastLookMono;
    const qint64 wallPassed = wallMs - m_lastLookWallMs;
    m_lastLookMono = mono;
    m_lastLookWallMs = wallMs;
    const bool resumed = std::exchange(m_resumed, false);
    if (resumed)
        return Gap::Asleep;
    // The wall clock ran ahead of the one that never jumps: sleep, or a
    // clock put forward.
    if (wallPassed - monoPassed > 60000)
        return m_sleepSignals ? Gap::ClockForward : Gap::Asleep;
    // Both ran on, yet we did not look: the process was stopped.
    if (monoPassed > (kLateSeconds + 30) * 1000LL)
        return Gap::Paused;
    return std::nullopt; // only the clock's own spring gap, if anything
}

std::optional<QList<MinuteScheduler::Found>> MinuteScheduler::scanSpan(
    const QDateTime &after, const QDateTime &upTo, QHash<QString, QString> *live) const
{
    const std::optional<QByteArray> bytes = readWholeFile(m_files.dataFile);
    if (!bytes)
        return std::nullopt;
    QList<Found> found;
    QSet<QString> seen;
    scanBytes(*bytes, ScanFilter {}, [&](const AppointmentLine &line) {
        const QString key = line.line.left(16);
        if (line.line.size() < 17 || line.line[16] != QLatin1Char('='))
            return;
        const QDateTime wall = schedule::wallOfKey(key);
        // The first line of a key is the one a lookup finds.
        if (!wall.isValid() || seen.contains(key))
            return;
        seen.insert(key);
        // As a lookup returns it: trimmed, at most 254 characters.
        const QString value = line.line.mid(17).trimmed().left(254);
        if (value == nothing())
            return;
        if (live && (!after.isValid() || wall > after))
            live->insert(key, value);
        if ((!after.isValid() || wall > after) && wall <= upTo)
            found.append({ wall, key, value });
    });
    std::stable_sort(
        found.begin(), found.end(), [](const Found &a, const Found &b) { return a.wall < b.wall; });
    return found;
}

void MinuteScheduler::handle(const QList<Found> &found, const QDateTime &now,
    std::optional<Gap> gap, bool reliving, const ValueAt &fileValue, QList<OldAppointment> *old)
{
    QList<QPair<QString, QString>> writes;
    QList<PendingWrite> pending;
    QHash<QString, QString> changed; // what this batch has written so far
    auto valueAt = [&](const QString &key) {
        const auto it = changed.constFind(key);
        return it != changed.cend() ? *it : fileValue(key);
    };
    auto write = [&](const QString &key, const QString &value) {
        pending.append({ key, value, valueAt(key) });
        writes.append({ key, value });
        changed.insert(key, value);
    };

    const QDateTime lateFrom = now.addSecs(-kLateSeconds);
    for (const Found &f : found) {
        const QString told = f.key + QLatin1Char('=') + f.value;
        if (reliving && m_told.contains(told)) {
            qCInfo(lcEngine) << f.key << "was told before the clock went back; not again";
            continue;
        }
        const std::optional<KeyParts> parts = KeyParts::parse(f.key);
        const FiringPlan plan = planFiring(f.value, *parts);
        if (!plan.announce) {
            qCInfo(lcEngine) << "entry" << f.key << "has no repeat code; left in the file";
            continue;
        }
        const RepeatCode *code = findRepeatCode(f.value[0]);
        const bool missed = old || (gap && f.wall < lateFrom);

        // A repeat that waited on another minute returns to its own time.
        QDateTime base = f.wall;
        const auto displaced = std::find_if(m_state.displaced.begin(), m_state.displaced.end(),
            [&f](const auto &d) { return d.first == f.key; });
        if (displaced != m_state.displaced.end()) {
            base = schedule::wallOfKey(displaced->second);
            m_state.displaced.erase(displaced);
        }

        std::optional<QDateTime> next;
        bool clear = true;
        if (code->step == RepeatStep::Hour && !missed) {
            // On time, an hourly chain ends with its day, the entry kept.
            const QDateTime hourOn = base.addSecs(3600);
            if (hourOn.date() == base.date())
                next = schedule::nextOccurrenceAfter(RepeatStep::Hour, base, now);
            else
                clear = false;
        } else if (code->step != RepeatStep::None) {
            next = schedule::nextOccurrenceAfter(code->step, base, now);
            clear = next.has_value(); // past year 9999 the entry stays
        } else if (old) {
            // Reported as an old message, a one-off stays for the user to delete.
            clear = false;
        }

        QString notice;
        if (next) {
            // Never over another appointment: wait on the next free minute.
            QDateTime at = *next;
            QString holder = valueAt(schedule::keyOf(at));
            for (int tries = 0; holder != nothing() && holder != f.value && tries < 24 * 60;
                 ++tries) {
                at = at.addSecs(60);
                holder = valueAt(schedule::keyOf(at));
            }
            if (holder != nothing() && holder != f.value) {
                qCWarning(lcEngine) << "no free minute for" << f.key << "; it stays where it is";
                next.reset();
                clear = false;
            } else if (at != *next) {
                const QString wanted = schedule::keyOf(*next);
                qCInfo(lcEngine) << f.key << "moves to" << schedule::keyOf(at) << "since" << wanted
                                 << "is taken";
                m_state.displaced.append({ schedule::keyOf(at), wanted });
                notice = schedule::displacedText(
                    messageOf(f.value), *next, at, messageOf(valueAt(wanted)));
                next = at;
            }
        }
        if (next)
            write(schedule::keyOf(*next), f.value);
        if (clear)
            write(f.key, nothing());

        m_told.insert(told);
        if (old) {
            old->append({ f.wall, messageOf(f.value) });
        } else {
            DueAnnouncement item;
            item.plan = plan;
            item.key = f.key;
            if (missed) {
                item.kind = DueAnnouncement::Kind::Missed;
                item.gap = *gap;
                item.page = schedule::missedText(*gap, f.wall, messageOf(f.value));
            }
            m_due.push_back(item);
        }
        if (!notice.isEmpty()) {
            DueAnnouncement item;
            item.kind = DueAnnouncement::Kind::Notice;
            item.key = f.key;
            item.page = notice;
            m_due.push_back(item);
        }
    }
    if (m_told.size() > kToldKept)
        m_told.clear();
    if (writes.isEmpty())
        return;

    QString error;
    if (!INIFuncs::INIWriteMany(m_files.dataFile, QLatin1String(kAlarmsSection), writes, &error)) {
        qCWarning(lcEngine).noquote()
            << "could not move" << writes.size() / 2 << "appointments on:" << error;
        m_state.postponed += pending;
        emit writeProblem(error);
        return;
    }
    qCInfo(lcEngine) << "moved on" << found.size() << "appointments in one write";
}

void MinuteScheduler::retryPostponed()
{
    if (m_state.postponed.isEmpty())
        return;
    QString error;
    m_state.postponed = retryWrites(m_files.dataFile, m_state.postponed, &error);
    if (!m_state.postponed.isEmpty())
        qCWarning(lcEngine).noquote()
            << m_state.postponed.size() << "data-file writes still postponed:" << error;
    saveState();
}

void MinuteScheduler::saveState()
{
    m_state.lastKey = lastKey();
    QString error;
    if (!writeFileAtomically(m_files.stateFile, schedule::stateText(m_state), &error))
        qCWarning(lcEngine) << "the minute handled is not kept:" << error;
}
