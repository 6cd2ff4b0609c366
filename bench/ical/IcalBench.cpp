#include "ical/Exchange.h"
#include "ical/VdirSync.h"
#include "storage/AtomicFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// Import of 10,000 events, export of 5,000 appointments, and one sync look
// at a vdir of 5,000 files that nothing changed.

namespace {

const QDateTime kNow(QDate(2027, 1, 1), QTime(8, 0));

QByteArray events(int count)
{
    QByteArray ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//bench//EN\r\n";
    for (int i = 0; i < count; ++i) {
        const QDateTime at = kNow.addDays(1).addSecs(i * 60);
        ics += "BEGIN:VEVENT\r\nUID:e" + QByteArray::number(i)
            + "\r\nDTSTAMP:20270101T000000Z\r\nDTSTART:"
            + at.toString(QStringLiteral("yyyyMMdd'T'hhmmss")).toLatin1()
            + "\r\nSUMMARY:Event number " + QByteArray::number(i)
            + "\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nTRIGGER:-PT15M\r\n"
              "END:VALARM\r\nEND:VEVENT\r\n";
    }
    return ics + "END:VCALENDAR\r\n";
}

QByteArray dataFile(int count)
{
    QByteArray data = "[alarms]\r\n";
    for (int i = 0; i < count; ++i) {
        const QDateTime at = kNow.addDays(1).addSecs(i * 60);
        data += at.toString(QStringLiteral("hh/mm/dd/MM/yyyy")).toLatin1() + "=ZAppointment "
            + QByteArray::number(i) + "}\r\n";
    }
    return data;
}

void importTenThousand(benchmark::State &state)
{
    const QByteArray ics = events(10000);
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data.ini"));
        writeFileAtomically(data, "[alarms]\r\n");
        state.ResumeTiming();
        const ical::ImportReport report = ical::importCalendar(ics, data, { kNow, QTime(9, 0) });
        benchmark::DoNotOptimize(report.added);
    }
}
BENCHMARK(importTenThousand)->Unit(benchmark::kMillisecond);

void exportFiveThousand(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data.ini"));
    writeFileAtomically(data, dataFile(5000));
    ical::exportDataFile(data); // the UIDs are made once
    for (auto _ : state)
        benchmark::DoNotOptimize(ical::exportDataFile(data).events);
}
BENCHMARK(exportFiveThousand)->Unit(benchmark::kMillisecond);

void syncLookAtFiveThousandFiles(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data.ini"));
    const QString folder = dir.filePath(QStringLiteral("vdir"));
    QDir().mkpath(folder);
    writeFileAtomically(data, dataFile(5000));
    ical::syncFolder(data, folder, { kNow, QTime(9, 0) }); // writes the 5,000 files
    for (auto _ : state)
        benchmark::DoNotOptimize(ical::syncFolder(data, folder, { kNow, QTime(9, 0) }).written);
}
BENCHMARK(syncLookAtFiveThousandFiles)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
