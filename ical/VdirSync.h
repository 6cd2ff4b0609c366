#pragma once

#include "ical/ICalendar.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QFileSystemWatcher;
class QTimer;

// The calendar kept as a vdir (a folder of one .ics file per appointment)
// that another program, such as vdirsyncer, keeps in step with a server.
namespace ical {

struct SyncOutcome
{
    int written = 0; // files written or removed in the folder
    int taken = 0; // changes from the folder taken into data.ini
    QStringList told; // what the user must hear: conflicts, refusals
    QString problem; // nothing was done, and why
};

// One look at both sides. What changed on one side since the last look is
// made on the other; a change on both sides goes to the newer (the file's
// modification time against the data file's), the other is kept as an
// appointment of its own at its minute when that is free, and told.
// Files that do not read (written half-way) are left for the next look.
SyncOutcome syncFolder(
    const QString &dataFile, const QString &folder, const ImportOptions &options);

// A file name for a UID: what a file name cannot hold becomes "_".
QString fileNameOf(const QString &uid);

// Keeps the folder in step while the calendar runs: at once when either
// side changes (QFileSystemWatcher), and at every `look` the owner makes
// (each minute).
class VdirWatcher final : public QObject
{
    Q_OBJECT
public:
    struct Config
    {
        QString dataFile;
        std::function<QString()> folder; // empty: no sync
        std::function<QDateTime()> now;
        std::function<QTime()> allDayAt;
    };

    explicit VdirWatcher(Config config, QObject *parent = nullptr);

    // The minute's look: repeats of richer rules moved on, then the folder.
    void look();

signals:
    // data.ini was changed from the folder or by a rule's next occurrence.
    void dataChanged();
    void tell(const QString &text);

private:
    void watch(const QString &folder);

    Config m_config;
    QFileSystemWatcher *m_watcher = nullptr;
    // Several changes in a row make one look.
    QTimer *m_soon = nullptr;
    QString m_lastProblem;
};

} // namespace ical
