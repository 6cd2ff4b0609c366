#pragma once

#include "engine/Firing.h"
#include "engine/Schedule.h"
#include "platform/Clock.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

// One thing the calendar must tell, in the order the scheduler found it.
struct DueAnnouncement
{
    enum class Kind {
        OnTime, // its minute came: the alert, the text spoken
        Missed, // its minute went by unseen: a page of its own, one summary for all
        Notice, // the scheduler tells the user something about an appointment
    };
    Kind kind = Kind::OnTime;
    FiringPlan plan; // the announced text and whether it waits for "Ok"
    QString key; // the minute it was due
    QString page; // a missed one's or a notice's text
    schedule::Gap gap = schedule::Gap::Asleep;
};

// The calendar's scheduler: it handles every minute once, oldest first,
// whatever the clock does. A minute is due when the wall clock has passed
// it since the last minute handled, so a suspend, a stopped process, a
// clock put forward or the spring gap are caught up at the next look; a
// clock put back tells nothing twice. Each due appointment is moved on in
// the data file before it is queued for the window; the last minute
// handled, the writes still to be made and the repeats waiting on another
// minute are kept in a small file beside the data file.
class MinuteScheduler final : public QObject
{
    Q_OBJECT
public:
    struct Files
    {
        QString dataFile;
        QString stateFile;
    };

    MinuteScheduler(Clock &clock, Files files, QObject *parent = nullptr);
    ~MinuteScheduler() override;

    // At start-up, before the first look: appointments whose minute passed
    // since the last run handled its last minute (at the very first run,
    // every one before now). Repeats among them are moved on past now and
    // keep repeating; one-offs stay in the file for the user to delete. The
    // current minute is left to the first look, unless the calendar that
    // ended in it had handled it already.
    QList<OldAppointment> catchUpAtStart();

    // The timer that lands just after each minute boundary.
    void start();
    void stop();

    // Whether `now` lies on a minute not handled yet.
    bool isNewMinute(const QDateTime &now) const;
    // Handles every minute from the last one handled up to now.
    void check();
    // The computer woke from sleep: look at once.
    void resumed();
    // Whether the computer tells when it sleeps; without it a wall clock
    // that leapt ahead of the monotonic one is taken for sleep.
    void setSleepSignals(bool available) { m_sleepSignals = available; }

    bool hasDue() const { return !m_due.empty(); }
    DueAnnouncement takeDue();
    QString lastKey() const;
    const schedule::State &state() const { return m_state; }

    // Whether the calendar should restart for a new day. `storedStartDay`
    // is the start date as the settings hold it; at most one restart a day,
    // also when the settings could not keep the date.
    bool restartDue(const QString &storedStartDay);

    // A minute at most this far behind is announced as on time.
    static constexpr int kLateSeconds = 120;

signals:
    // The minute timer fired: the window's tick runs.
    void minuteBegan();
    // Announcements wait in the queue.
    void due();
    // The data file could not be written; the writes are kept and retried.
    void writeProblem(const QString &reason);

private:
    struct Found
    {
        QDateTime wall;
        QString key;
        QString value;
    };
    using ValueAt = std::function<QString(const QString &key)>;

    std::optional<QList<Found>> scanSpan(
        const QDateTime &after, const QDateTime &upTo, QHash<QString, QString> *live) const;
    void handle(const QList<Found> &found, const QDateTime &now, std::optional<schedule::Gap> gap,
        bool reliving, const ValueAt &fileValue, QList<OldAppointment> *old);
    std::optional<schedule::Gap> gapSinceLastLook(const QDateTime &local);
    void retryPostponed();
    void saveState();
    void arm();

    Clock &m_clock;
    Files m_files;
    std::unique_ptr<Clock::Timer> m_timer;
    schedule::State m_state;
    QDateTime m_last; // the last minute handled, on the wall
    QDateTime m_highWater; // the latest minute ever handled
    qint64 m_lastLookMono = 0;
    qint64 m_lastLookWallMs = 0;
    bool m_started = false; // catchUpAtStart has run: looks may begin
    bool m_resumed = false;
    bool m_sleepSignals = false;
    std::deque<DueAnnouncement> m_due;
    // What was told lately, so minutes lived again after the clock went
    // back tell nothing twice.
    QSet<QString> m_told;
    QDate m_startDay;
    QDate m_restartAskedOn;
};
