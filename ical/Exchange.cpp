#include "ical/Exchange.h"

#include "engine/Schedule.h"
#include "ical/Logging.h"
#include "storage/AtomicFile.h"
#include "storage/IniFuncs.h"

#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTimeZone>
#include <QUuid>

namespace ical {

namespace {

QString newUid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral("@quillory");
}

QString minuteText(const QDateTime &wall)
{
    return wall.toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

QString messageOfValue(const QString &value)
{
    QString message = value.mid(1);
    if (message.endsWith(QLatin1Char('}')))
        message.chop(1);
    return message;
}

} // namespace

SideStore SideStore::load(const QString &path)
{
    SideStore store;
    const std::optional<QByteArray> bytes = readWholeFile(path);
    if (!bytes || bytes->isEmpty())
        return store;
    store.loaded = *bytes;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(*bytes, &error);
    if (!doc.isObject()) {
        qCWarning(lcIcal) << "side file" << path << "unreadable:" << error.errorString();
        return store;
    }
    store.folder = doc.object().value(QLatin1String("folder")).toString();
    const QJsonArray items = doc.object().value(QLatin1String("items")).toArray();
    for (const auto &v : items) {
        const QJsonObject o = v.toObject();
        StoredItem item;
        item.uid = o.value(QLatin1String("uid")).toString();
        if (item.uid.isEmpty())
            continue;
        item.key = o.value(QLatin1String("key")).toString();
        item.value = o.value(QLatin1String("value")).toString();
        item.rule = o.value(QLatin1String("rule")).toString();
        item.original = o.value(QLatin1String("original")).toString().toUtf8();
        item.file = o.value(QLatin1String("file")).toString();
        item.fileTime = o.value(QLatin1String("fileTime")).toInteger();
        item.fileSize = o.value(QLatin1String("fileSize")).toInteger(-1);
        item.syncedKey = o.value(QLatin1String("syncedKey")).toString();
        item.syncedValue = o.value(QLatin1String("syncedValue")).toString();
        store.items.append(item);
    }
    return store;
}

bool SideStore::save(const QString &path, QString *error) const
{
    QJsonArray list;
    for (const StoredItem &item : items) {
        QJsonObject o { { QStringLiteral("uid"), item.uid }, { QStringLiteral("key"), item.key },
            { QStringLiteral("value"), item.value } };
        if (!item.rule.isEmpty()) {
            o.insert(QStringLiteral("rule"), item.rule);
            o.insert(QStringLiteral("original"), QString::fromUtf8(item.original));
        }
        if (!item.file.isEmpty()) {
            o.insert(QStringLiteral("file"), item.file);
            o.insert(QStringLiteral("fileTime"), item.fileTime);
            o.insert(QStringLiteral("fileSize"), item.fileSize);
            o.insert(QStringLiteral("syncedKey"), item.syncedKey);
            o.insert(QStringLiteral("syncedValue"), item.syncedValue);
        }
        list.append(o);
    }
    const QByteArray bytes = QJsonDocument(
        QJsonObject { { QStringLiteral("folder"), folder },
            { QStringLiteral("items"),
                list } }).toJson(QJsonDocument::Indented);
    if (bytes == loaded)
        return true;
    return writeFileAtomically(path, bytes, error);
}

QString sideStoreFile(const QString &dataFile)
{
    return QFileInfo(dataFile).absolutePath() + QStringLiteral("/ical-uids.json");
}

QList<DataEntry> dataEntries(const QByteArray &dataBytes)
{
    QList<DataEntry> out;
    scanBytes(dataBytes, ScanFilter {}, [&](const AppointmentLine &line) {
        if (line.line.size() < 18 || line.line[16] != QLatin1Char('=')
            || !KeyParts::parse(line.line.left(16)))
            return;
        out.append({ line.line.left(16), line.line.mid(17) });
    });
    return out;
}

QList<int> matchEntries(const QList<DataEntry> &entries, const QList<StoredItem> &items)
{
    QList<int> match(entries.size(), -1);
    QList<bool> taken(items.size(), false);
    QSet<QString> keysNow;
    for (const DataEntry &e : entries)
        keysNow.insert(e.key);
    // Three passes, strongest evidence first.
    QHash<QString, int> byKey;
    for (int i = 0; i < items.size(); ++i)
        byKey.insert(items[i].key, i);
    for (int e = 0; e < entries.size(); ++e) {
        const auto it = byKey.constFind(entries[e].key);
        if (it != byKey.cend() && !taken[*it] && items[*it].value == entries[e].value) {
            match[e] = *it;
            taken[*it] = true;
        }
    }
    QMultiHash<QString, int> movedByValue;
    for (int i = items.size() - 1; i >= 0; --i) {
        if (!taken[i] && !keysNow.contains(items[i].key))
            movedByValue.insert(items[i].value, i);
    }
    for (int e = 0; e < entries.size(); ++e) {
        if (match[e] >= 0)
            continue;
        for (auto it = movedByValue.find(entries[e].value);
             it != movedByValue.end() && it.key() == entries[e].value; ++it) {
            if (!taken[*it]) {
                match[e] = *it;
                taken[*it] = true;
                break;
            }
        }
    }
    for (int e = 0; e < entries.size(); ++e) {
        if (match[e] >= 0)
            continue;
        const auto it = byKey.constFind(entries[e].key);
        if (it != byKey.cend() && !taken[*it]) {
            match[e] = *it;
            taken[*it] = true;
        }
    }
    return match;
}

QList<QString> assignUids(const QList<DataEntry> &entries, SideStore &store, const QDateTime &now)
{
    const QDateTime nowWall = schedule::wallMinute(now);
    const QList<int> match = matchEntries(entries, store.items);
    QList<bool> used(store.items.size(), false);
    QList<QString> uids;
    uids.reserve(entries.size());
    QList<StoredItem> added;
    for (int e = 0; e < entries.size(); ++e) {
        if (match[e] >= 0) {
            StoredItem &item = store.items[match[e]];
            item.key = entries[e].key;
            item.value = entries[e].value;
            used[match[e]] = true;
            uids.append(item.uid);
        } else {
            StoredItem item;
            item.uid = newUid();
            item.key = entries[e].key;
            item.value = entries[e].value;
            added.append(item);
            uids.append(item.uid);
        }
    }
    QList<StoredItem> kept;
    for (int i = 0; i < store.items.size(); ++i) {
        const StoredItem &item = store.items[i];
        const bool ruleWaiting = !item.rule.isEmpty() && schedule::wallOfKey(item.key) <= nowWall;
        if (used[i] || !item.file.isEmpty() || ruleWaiting)
            kept.append(item);
    }
    store.items = kept + added;
    return uids;
}

std::optional<OutgoingEvent> outgoing(const DataEntry &entry, const StoredItem &item)
{
    const QDateTime wall = schedule::wallOfKey(entry.key);
    if (!wall.isValid() || entry.value.isEmpty() || !findRepeatCode(entry.value[0]))
        return std::nullopt;
    OutgoingEvent out;
    out.uid = item.uid;
    out.wall = wall;
    out.code = entry.value[0];
    out.text = messageOfValue(entry.value);
    out.earlyWarning = entry.value.endsWith(QLatin1Char('}'));
    // A richer rule stands only while the appointment is what came with it.
    if (!item.rule.isEmpty() && item.value == entry.value)
        out.rule = item.rule;
    return out;
}

QString valueOf(const IncomingEvent &event)
{
    return event.code + event.text + (event.earlyWarning ? QStringLiteral("}") : QString());
}

QString reportText(const ImportReport &report)
{
    if (!report.error.isEmpty())
        return QStringLiteral("Nothing was imported: %1.").arg(report.error);
    QString out
        = QStringLiteral("%1 added, %2 skipped").arg(report.added).arg(report.skipped.size());
    if (report.skipped.isEmpty())
        return out + QLatin1Char('.');
    out += QLatin1Char(':');
    // A screenful of reasons; the count above says how many there were.
    constexpr qsizetype kShown = 20;
    for (qsizetype i = 0; i < report.skipped.size() && i < kShown; ++i)
        out += QStringLiteral("\n%1: %2").arg(report.skipped[i].what, report.skipped[i].why);
    if (report.skipped.size() > kShown)
        out += QStringLiteral("\n… and %1 more").arg(report.skipped.size() - kShown);
    return out;
}

ImportReport importCalendar(
    const QByteArray &ics, const QString &dataFile, const ImportOptions &options)
{
    ImportReport report;
    const std::optional<QByteArray> data = readWholeFile(dataFile);
    if (!data) {
        report.error = QStringLiteral("the data file cannot be read");
        return report;
    }
    const ParsedCalendar parsed = parseCalendar(ics, options);
    if (!parsed.error.isEmpty()) {
        report.error = parsed.error;
        return report;
    }
    report.skipped = parsed.skipped;
    const QList<DataEntry> entries = dataEntries(*data);
    QHash<QString, QString> held;
    for (const DataEntry &e : entries)
        held.insert(e.key, e.value);
    const QString storeFile = sideStoreFile(dataFile);
    SideStore store = SideStore::load(storeFile);
    assignUids(entries, store);
    QSet<QString> knownUids;
    for (const StoredItem &item : store.items)
        knownUids.insert(item.uid);

    QList<QPair<QString, QString>> writes;
    for (const IncomingEvent &event : parsed.events) {
        const QString what = event.text;
        if (!event.uid.isEmpty() && knownUids.contains(event.uid)) {
            report.skipped.append({ what, QStringLiteral("it is in the calendar already") });
            continue;
        }
        const QString key = schedule::keyOf(event.wall);
        if (const auto it = held.constFind(key); it != held.cend()) {
            report.skipped.append({ what,
                QStringLiteral("%1 is taken by \"%2\"")
                    .arg(minuteText(event.wall), messageOfValue(*it)) });
            continue;
        }
        StoredItem item;
        item.uid = event.uid.isEmpty() ? newUid() : event.uid;
        item.key = key;
        item.value = valueOf(event);
        item.rule = event.rule;
        item.original = event.original;
        knownUids.insert(item.uid);
        held.insert(key, item.value);
        writes.append({ key, item.value });
        store.items.append(item);
    }
    if (!writes.isEmpty()) {
        QString error;
        if (!INIFuncs::INIWriteMany(dataFile, QLatin1String(kAlarmsSection), writes, &error)) {
            report.error = QStringLiteral("the data file could not be written (%1)").arg(error);
            return report;
        }
    }
    QString error;
    if (!store.save(storeFile, &error))
        qCWarning(lcIcal) << "side file not written:" << error;
    report.added = int(writes.size());
    qCInfo(lcIcal) << "imported" << report.added << "skipped" << report.skipped.size();
    return report;
}

ImportReport importFile(
    const QString &icsFile, const QString &dataFile, const ImportOptions &options)
{
    if (QFileInfo(icsFile).size() > kMaxFileBytes) {
        ImportReport report;
        report.error = QStringLiteral("the file is larger than %1 MB").arg(kMaxFileBytes >> 20);
        return report;
    }
    const std::optional<QByteArray> bytes = readWholeFile(icsFile);
    if (!bytes || !QFileInfo::exists(icsFile)) {
        ImportReport report;
        report.error = QStringLiteral("the file cannot be read");
        return report;
    }
    return importCalendar(*bytes, dataFile, options);
}

ExportResult exportDataFile(const QString &dataFile)
{
    ExportResult result;
    const std::optional<QByteArray> data = readWholeFile(dataFile);
    if (!data) {
        result.error = QStringLiteral("the data file cannot be read");
        return result;
    }
    const QList<DataEntry> entries = dataEntries(*data);
    const QString storeFile = sideStoreFile(dataFile);
    SideStore store = SideStore::load(storeFile);
    const QList<QString> uids = assignUids(entries, store);
    QHash<QString, const StoredItem *> byUid;
    for (const StoredItem &item : store.items)
        byUid.insert(item.uid, &item);
    QList<OutgoingEvent> events;
    events.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        if (const auto e = outgoing(entries[i], *byUid.value(uids[i])))
            events.append(*e);
    }
    result.ics = exportCalendar(events, QString::fromUtf8(QTimeZone::systemTimeZoneId()));
    result.events = int(events.size());
    QString error;
    if (!store.save(storeFile, &error))
        qCWarning(lcIcal) << "side file not written:" << error;
    return result;
}

ExportResult exportToFile(const QString &dataFile, const QString &icsFile)
{
    ExportResult result = exportDataFile(dataFile);
    if (!result.error.isEmpty())
        return result;
    QString error;
    if (!writeFileAtomically(icsFile, result.ics, &error))
        result.error = QStringLiteral("the file could not be written (%1)").arg(error);
    else
        qCInfo(lcIcal) << "exported" << result.events << "events to" << icsFile;
    return result;
}

QTime allDayTime(const QString &setting)
{
    const QTime time = QTime::fromString(setting.trimmed(), QStringLiteral("H:mm"));
    return time.isValid() ? time : QTime(9, 0);
}

int advanceRules(const QString &dataFile, const QDateTime &now, QTime allDayAt)
{
    const QString storeFile = sideStoreFile(dataFile);
    SideStore store = SideStore::load(storeFile);
    bool anyRule = false;
    for (const StoredItem &item : store.items)
        anyRule = anyRule || !item.rule.isEmpty();
    if (!anyRule)
        return 0;
    const std::optional<QByteArray> data = readWholeFile(dataFile);
    if (!data)
        return 0;
    QHash<QString, QString> held;
    for (const DataEntry &e : dataEntries(*data))
        held.insert(e.key, e.value);
    const QDateTime nowWall = schedule::wallMinute(now);
    QList<QPair<QString, QString>> writes;
    bool ended = false;
    for (StoredItem &item : store.items) {
        if (item.rule.isEmpty() || held.value(item.key) == item.value)
            continue;
        const QDateTime was = schedule::wallOfKey(item.key);
        // Gone before its minute: the user deleted it, and its rule goes too.
        if (!was.isValid() || was > nowWall) {
            item.rule.clear();
            item.original.clear();
            ended = true;
            continue;
        }
        const std::optional<QDateTime> next = nextOccurrence(item.original, nowWall, allDayAt);
        if (!next) {
            // The rule has run out: the item goes with the next matching.
            item.rule.clear();
            item.original.clear();
            ended = true;
            continue;
        }
        const QString key = schedule::keyOf(*next);
        if (held.contains(key)) {
            qCInfo(lcIcal) << "next occurrence of" << item.uid << "at" << key << "is taken";
            continue;
        }
        held.insert(key, item.value);
        writes.append({ key, item.value });
        item.key = key;
    }
    QString error;
    if (writes.isEmpty()) {
        if (ended)
            store.save(storeFile, &error);
        return 0;
    }
    if (!INIFuncs::INIWriteMany(dataFile, QLatin1String(kAlarmsSection), writes, &error)) {
        qCWarning(lcIcal) << "next occurrences not written:" << error;
        return 0;
    }
    store.save(storeFile, &error);
    qCInfo(lcIcal) << "placed" << writes.size() << "occurrences of richer rules";
    return int(writes.size());
}

} // namespace ical
