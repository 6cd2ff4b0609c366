#include "ical/VdirSync.h"

#include "engine/Schedule.h"
#include "ical/Exchange.h"
#include "ical/Logging.h"
#include "storage/AtomicFile.h"
#include "storage/IniFuncs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QSet>
#include <QTimeZone>
#include <QTimer>
#include <QUuid>

#include <algorithm>

namespace ical {

namespace {

struct Stamp
{
    qint64 time = 0;
    qint64 size = -1;
};

Stamp stampOf(const QFileInfo &info)
{
    return { info.lastModified().toMSecsSinceEpoch(), info.size() };
}

// A folder made anew under the same path is known by the mark the calendar
// leaves in it: a hidden file vdirsyncer does not sync (it takes only
// ".ics" files), holding a name of its own.
QString folderIdentity(const QString &folder)
{
    const QString mark = folder + QStringLiteral("/.quillory-vdir");
    const std::optional<QByteArray> held = readWholeFile(mark);
    if (held && !held->trimmed().isEmpty())
        return QString::fromLatin1(held->trimmed());
    QString made = QUuid::createUuid().toString(QUuid::WithoutBraces);
    writeFileAtomically(mark, made.toLatin1() + '\n');
    return made;
}

QString whenText(const QString &key)
{
    return schedule::wallOfKey(key).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

QString messageOf(const QString &value)
{
    QString message = value.mid(1);
    if (message.endsWith(QLatin1Char('}')))
        message.chop(1);
    return message;
}

// One look's work on both sides; data.ini is written once at the end.
class Look
{
public:
    Look(const QString &dataFile, const QString &folder, const ImportOptions &options)
        : m_dataFile(dataFile)
        , m_folder(folder)
        , m_options(options)
    { }

    SyncOutcome run();

private:
    bool writeFile(StoredItem &item);
    void removeFile(const StoredItem &item);
    // The file's event, nothing when it does not read (yet) or holds none.
    std::optional<ParsedCalendar> readFile(const QString &name);
    // Puts the event at its minute unless another appointment holds it.
    bool place(StoredItem &item, const IncomingEvent &event, const QString &freed = {});
    void addFromFile(const QString &name, const IncomingEvent &event, Stamp stamp);
    void setNothing(const QString &key);

    QString m_dataFile;
    QString m_folder;
    ImportOptions m_options;
    QString m_zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    SyncOutcome m_out;
    QHash<QString, QString> m_held; // data.ini as it will be after the look
    QList<QPair<QString, QString>> m_writes;
    QList<StoredItem> m_added;
};

bool Look::writeFile(StoredItem &item)
{
    const std::optional<OutgoingEvent> event = outgoing({ item.key, item.value }, item);
    if (!event)
        return false;
    if (item.file.isEmpty())
        item.file = fileNameOf(item.uid);
    const QString path = m_folder + QLatin1Char('/') + item.file;
    QString error;
    if (!writeFileAtomically(path, exportCalendar({ *event }, m_zone), &error)) {
        qCWarning(lcIcal) << "sync file" << path << "not written:" << error;
        return false;
    }
    const Stamp stamp = stampOf(QFileInfo(path));
    item.fileTime = stamp.time;
    item.fileSize = stamp.size;
    item.syncedKey = item.key;
    item.syncedValue = item.value;
    ++m_out.written;
    return true;
}

void Look::removeFile(const StoredItem &item)
{
    if (QFile::remove(m_folder + QLatin1Char('/') + item.file))
        ++m_out.written;
}

std::optional<ParsedCalendar> Look::readFile(const QString &name)
{
    const std::optional<QByteArray> bytes = readWholeFile(m_folder + QLatin1Char('/') + name);
    if (!bytes || bytes->isEmpty())
        return std::nullopt;
    // A file written half-way lacks its end; it is read at a later look.
    if (!bytes->trimmed().endsWith("END:VCALENDAR"))
        return std::nullopt;
    ParsedCalendar parsed = parseCalendar(*bytes, m_options);
    if (!parsed.error.isEmpty() || (parsed.events.isEmpty() && parsed.skipped.isEmpty()))
        return std::nullopt;
    return parsed;
}

void Look::setNothing(const QString &key)
{
    m_held.remove(key);
    m_writes.append({ key, QLatin1String(kNothing) });
}

bool Look::place(StoredItem &item, const IncomingEvent &event, const QString &freed)
{
    const QString key = schedule::keyOf(event.wall);
    const QString value = valueOf(event);
    if (m_held.contains(key) && key != freed) {
        m_out.told.append(
            QStringLiteral("\"%1\" from the sync folder was not taken: %2 is taken by \"%3\".")
                .arg(event.text, whenText(key), messageOf(m_held.value(key))));
        return false;
    }
    if (!freed.isEmpty() && freed != key)
        setNothing(freed);
    m_held.insert(key, value);
    m_writes.append({ key, value });
    item.key = key;
    item.value = value;
    item.rule = event.rule;
    item.original = event.original;
    item.syncedKey = key;
    item.syncedValue = value;
    ++m_out.taken;
    return true;
}

void Look::addFromFile(const QString &name, const IncomingEvent &event, Stamp stamp)
{
    StoredItem item;
    item.uid = event.uid.isEmpty() ? QFileInfo(name).completeBaseName() : event.uid;
    item.file = name;
    item.fileTime = stamp.time;
    item.fileSize = stamp.size;
    // A file the calendar does not take is still known, so it is not read
    // again at every look; it is taken when it changes.
    place(item, event);
    m_added.append(item);
}

SyncOutcome Look::run()
{
    if (!QFileInfo(m_folder).isDir()) {
        m_out.problem = QStringLiteral("the sync folder %1 is missing").arg(m_folder);
        return m_out;
    }
    const std::optional<QByteArray> data = readWholeFile(m_dataFile);
    if (!data) {
        m_out.problem = QStringLiteral("the data file cannot be read");
        return m_out;
    }
    const QString storeFile = sideStoreFile(m_dataFile);
    SideStore store = SideStore::load(storeFile);
    const QList<DataEntry> entries = dataEntries(*data);
    const QList<QString> uids = assignUids(entries, store, m_options.now);
    const QSet<QString> present(uids.cbegin(), uids.cend());
    for (const DataEntry &e : entries)
        m_held.insert(e.key, e.value);
    const qint64 dataTime = QFileInfo(m_dataFile).lastModified().toMSecsSinceEpoch();

    QHash<QString, Stamp> files;
    const QFileInfoList listing
        = QDir(m_folder).entryInfoList({ QStringLiteral("*.ics") }, QDir::Files, QDir::Name);
    for (const QFileInfo &info : listing)
        files.insert(info.fileName(), stampOf(info));
    QSet<QString> tracked;
    // A folder made anew (removed and made again, or another folder of the
    // same name) holds none of the files that stood in the old one: it is
    // filled again rather than taken as every appointment removed.
    const QString identity = folderIdentity(m_folder);
    if (identity != store.folder) {
        for (StoredItem &item : store.items) {
            if (!item.file.isEmpty() && !item.syncedKey.isEmpty()) {
                item.file.clear();
                item.syncedKey.clear();
                item.syncedValue.clear();
            }
        }
    }

    QList<StoredItem> kept;
    for (StoredItem item : store.items) {
        const bool here = present.contains(item.uid);
        if (item.file.isEmpty()) {
            // Never in the folder yet: an appointment made here.
            if (here && writeFile(item))
                tracked.insert(item.file);
            kept.append(item);
            continue;
        }
        tracked.insert(item.file);
        // Not taken at an earlier look: wait for the file to change.
        const bool untaken = item.syncedKey.isEmpty();
        const bool changedHere
            = !untaken && (!here || item.key != item.syncedKey || item.value != item.syncedValue);
        const auto file = files.constFind(item.file);
        if (file == files.cend()) {
            // Removed from the folder.
            if (here && changedHere) {
                m_out.told.append(
                    QStringLiteral("\"%1\" was removed in the sync folder and changed here; "
                                   "it is kept.")
                        .arg(messageOf(item.value)));
                item.file.clear();
                writeFile(item);
                kept.append(item);
            } else if (here && !untaken) {
                setNothing(item.key);
                ++m_out.taken;
            }
            continue;
        }
        const bool changedThere = file->time != item.fileTime || file->size != item.fileSize;
        if (!changedThere) {
            if (untaken) {
                kept.append(item);
            } else if (!here) {
                removeFile(item);
            } else {
                if (changedHere)
                    writeFile(item);
                kept.append(item);
            }
            continue;
        }
        const std::optional<ParsedCalendar> parsed = readFile(item.file);
        if (!parsed) {
            kept.append(item);
            continue;
        }
        item.fileTime = file->time;
        item.fileSize = file->size;
        if (parsed->events.isEmpty()) {
            // Cancelled, passed or unreadable there: it goes here too,
            // unless it was changed here meanwhile.
            qCInfo(lcIcal) << "sync file" << item.file
                           << "not taken:" << parsed->skipped.first().why;
            if (here && !untaken && !changedHere) {
                setNothing(item.key);
                ++m_out.taken;
            }
            if (here && changedHere) {
                item.file.clear();
                writeFile(item);
                kept.append(item);
            }
            continue;
        }
        const IncomingEvent &event = parsed->events.first();
        if (!here || untaken) {
            place(item, event);
            kept.append(item);
            continue;
        }
        if (!changedHere) {
            place(item, event, item.key);
            kept.append(item);
            continue;
        }
        // Changed on both sides: the newer wins, the other stays as an
        // appointment of its own where its minute is free.
        const StoredItem mine = item;
        if (file->time >= dataTime) {
            const QString theirKey = schedule::keyOf(event.wall);
            place(item, event, theirKey == mine.key ? mine.key : QString());
            if (theirKey != mine.key && m_held.value(mine.key) == mine.value) {
                StoredItem copy;
                copy.uid = QStringLiteral("%1-%2").arg(mine.uid, QString::number(dataTime));
                copy.key = mine.key;
                copy.value = mine.value;
                m_added.append(copy);
                m_out.told.append(
                    QStringLiteral("\"%1\" was changed here and in the sync folder; the "
                                   "folder's change is newer, yours is kept beside it at %2.")
                        .arg(messageOf(mine.value), whenText(mine.key)));
            } else {
                m_out.told.append(
                    QStringLiteral("\"%1\" was changed here and in the sync folder; the "
                                   "folder's newer change took its place.")
                        .arg(messageOf(mine.value)));
            }
        } else {
            writeFile(item);
            StoredItem copy;
            copy.uid = QStringLiteral("%1-%2").arg(mine.uid, QString::number(file->time));
            const QString theirKey = schedule::keyOf(event.wall);
            if (!m_held.contains(theirKey)) {
                place(copy, event);
                copy.syncedKey.clear();
                copy.syncedValue.clear();
                m_added.append(copy);
                m_out.told.append(
                    QStringLiteral("\"%1\" was changed here and in the sync folder; yours is "
                                   "newer, the folder's is kept beside it at %2.")
                        .arg(event.text, whenText(theirKey)));
            } else {
                m_out.told.append(
                    QStringLiteral("\"%1\" was changed here and in the sync folder; yours is "
                                   "newer and kept.")
                        .arg(messageOf(mine.value)));
            }
        }
        kept.append(item);
    }

    // Files another program put in the folder.
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (tracked.contains(it.key()))
            continue;
        const std::optional<ParsedCalendar> parsed = readFile(it.key());
        if (!parsed)
            continue;
        // A second file of an appointment the calendar has (a folder filled
        // again from the server) is known, not taken twice.
        const bool known = !parsed->events.isEmpty()
            && std::any_of(kept.cbegin(), kept.cend(),
                [&](const StoredItem &item) { return item.uid == parsed->events.first().uid; });
        if (parsed->events.isEmpty() || known) {
            StoredItem item;
            item.uid = QFileInfo(it.key()).completeBaseName() + QStringLiteral("#") + it.key();
            item.file = it.key();
            item.fileTime = it->time;
            item.fileSize = it->size;
            m_added.append(item);
            continue;
        }
        addFromFile(it.key(), parsed->events.first(), *it);
    }

    if (!m_writes.isEmpty()) {
        QString error;
        if (!INIFuncs::INIWriteMany(m_dataFile, QLatin1String(kAlarmsSection), m_writes, &error)) {
            m_out.problem = QStringLiteral("the data file could not be written (%1)").arg(error);
            m_out.taken = 0;
            return m_out;
        }
    }
    // Appointments kept beside a newer change get their files at the next look.
    store.items = kept + m_added;
    store.folder = identity;
    QString error;
    if (!store.save(storeFile, &error))
        qCWarning(lcIcal) << "side file not written:" << error;
    if (m_out.written || m_out.taken)
        qCInfo(lcIcal) << "sync: wrote" << m_out.written << "files, took" << m_out.taken
                       << "changes";
    return m_out;
}

} // namespace

QString fileNameOf(const QString &uid)
{
    QString name;
    for (QChar c : uid) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-')
            || c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('.');
        name += plain ? c : QLatin1Char('_');
    }
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QLatin1Char('x'));
    return name + QStringLiteral(".ics");
}

SyncOutcome syncFolder(const QString &dataFile, const QString &folder, const ImportOptions &options)
{
    return Look(dataFile, folder, options).run();
}

VdirWatcher::VdirWatcher(Config config, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_watcher(new QFileSystemWatcher(this))
    , m_soon(new QTimer(this))
{
    m_soon->setSingleShot(true);
    m_soon->setInterval(300);
    connect(m_soon, &QTimer::timeout, this, &VdirWatcher::look);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_soon, qOverload<>(&QTimer::start));
    connect(m_watcher, &QFileSystemWatcher::fileChanged, m_soon, qOverload<>(&QTimer::start));
}

void VdirWatcher::watch(const QString &folder)
{
    // The data file is replaced whole at every write, so its folder is watched.
    QStringList want;
    if (!folder.isEmpty())
        want
            = { QFileInfo(folder).absoluteFilePath(), QFileInfo(m_config.dataFile).absolutePath() };
    QStringList have = m_watcher->directories();
    want.sort();
    have.sort();
    if (have == want)
        return;
    if (!have.isEmpty())
        m_watcher->removePaths(have);
    if (!want.isEmpty())
        m_watcher->addPaths(want);
}

void VdirWatcher::look()
{
    const QDateTime now = m_config.now();
    const QTime allDayAt = m_config.allDayAt();
    bool changed = advanceRules(m_config.dataFile, now, allDayAt) > 0;
    const QString folder = m_config.folder();
    if (!folder.isEmpty()) {
        const SyncOutcome out = syncFolder(m_config.dataFile, folder, { now, allDayAt });
        changed = changed || out.taken > 0;
        for (const QString &text : out.told)
            emit tell(text);
        // A problem is told once, not at every minute it lasts.
        if (!out.problem.isEmpty() && out.problem != m_lastProblem) {
            qCWarning(lcIcal) << "sync:" << out.problem;
            emit tell(
                QStringLiteral("The calendar cannot keep the sync folder: %1.").arg(out.problem));
        }
        m_lastProblem = out.problem;
        // A folder that came back (or was made) is watched again.
        watch(QFileInfo(folder).isDir() ? folder : QString());
    } else {
        watch({});
    }
    if (changed)
        emit dataChanged();
}

} // namespace ical
