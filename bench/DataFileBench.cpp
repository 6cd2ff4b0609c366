#include "calendar/MarkingRules.h"
#include "engine/MinuteScheduler.h"
#include "platform/Clock.h"
#include "storage/IniEngine.h"
#include "storage/IniFuncs.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

// The data file after years of use: one [alarms] section of 100,000 lines,
// one line for every minute that ever held an appointment, most of them
// cleared to "nothing". Each benchmark gets a file of its own, because the
// write benchmark grows its file.

namespace {

constexpr int kLines = 100000;

QByteArray keyOf(const QDateTime &t)
{
    return t.toString(QStringLiteral("hh/mm/dd/MM/yyyy")).toLatin1();
}

// The n-th key of the file: minutes 37 apart from the start of 2020, so the
// keys are distinct and cover several years of days and times.
QByteArray keyAt(int n)
{
    static const QDateTime start(QDate(2020, 1, 1), QTime(0, 0));
    return keyOf(start.addSecs(qint64(n) * 37 * 60));
}

// Most entries are cleared; about 5% are live appointments, some with the
// early-warning marker.
QByteArray valueAt(int n)
{
    static const char codes[] = "AHYTVZCXQIJLRN";
    static const char *const texts[] = {
        "Buy bread and milk on the way home from work",
        "Call home and ask about the weekend plans",
        "Dentist at ten, bring the insurance card and the letter",
        "Take the bins out, the paper collection is tomorrow morning",
        "Pay the rent and the electricity bill before the bank closes",
        "Mum's birthday: order flowers and book a table for four people",
    };
    if (n % 20 != 7)
        return "nothing";
    QByteArray value = codes[n % 14] + QByteArray(texts[n % 6]);
    if (n % 3 == 0)
        value += '}';
    return value;
}

struct DataFile
{
    std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
    QString path;
    qint64 bytes = 0;
};

DataFile makeDataFile()
{
    DataFile file;
    file.path = file.dir->filePath(QStringLiteral("data.ini"));
    QByteArray content;
    content.reserve(3 << 20);
    content += "[alarms]\r\n";
    for (int n = 0; n < kLines - 1; ++n)
        content += keyAt(n) + '=' + valueAt(n) + "\r\n";
    QFile out(file.path);
    if (out.open(QIODevice::WriteOnly))
        file.bytes = out.write(content);
    return file;
}

} // namespace

// One sequential pass over all appointments, as the line readers make it.
namespace {

// The scan never gives up here; a dialog would be a fault of the benchmark.
class NoDialogs final : public Dialogs
{
public:
    MsgAnswer messageBox(const QString &, MsgButtons, MsgIcon, const QString &) override
    {
        return MsgAnswer::Ok;
    }
    std::optional<quint32> chooseColour(quint32) override { return std::nullopt; }
    void beep() override { }
    QString chooseOpenFile(const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString chooseSaveFile(const QString &, const QString &, const QString &) override
    {
        return {};
    }
};

} // namespace

// One full scan as the day marking and the manager's list make it.
static int scanOnce(const QString &path)
{
    NoDialogs dialogs;
    int count = 0;
    const ScanOutcome outcome = scanDataFile(path, ScanFilter {}, ScanRetry {}, { dialogs, {}, {} },
        [&](const AppointmentLine &) { ++count; });
    return outcome == ScanOutcome::Complete ? count : -1;
}

namespace {

void BM_IniReadNearEnd(benchmark::State &state)
{
    const DataFile file = makeDataFile();
    const int n = kLines - 13; // the 12th line from the end
    const QByteArray key = keyAt(n);
    if (ini::getPrivateProfileString("alarms", key, "nothing", 255, file.path).text != valueAt(n)) {
        state.SkipWithError("the key near the end was not found");
        return;
    }
    for (auto _ : state) {
        ini::ReadResult r = ini::getPrivateProfileString("alarms", key, "nothing", 255, file.path);
        benchmark::DoNotOptimize(r);
    }
    state.counters["file_bytes"] = double(file.bytes);
}

void BM_IniWriteNewKey(benchmark::State &state)
{
    const DataFile file = makeDataFile();
    // Fresh keys far beyond the file's range, one per iteration.
    const QDateTime future(QDate(2099, 1, 1), QTime(0, 0));
    qint64 n = 0;
    for (auto _ : state) {
        const QByteArray key = keyOf(future.addSecs(60 * n++));
        if (!ini::writePrivateProfileString("alarms", key, "TBuy bread}", file.path)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.counters["file_bytes"] = double(file.bytes);
}

void BM_SequentialScan(benchmark::State &state)
{
    const DataFile file = makeDataFile();
    int count = 0;
    for (auto _ : state) {
        count = scanOnce(file.path);
        benchmark::DoNotOptimize(count);
    }
    if (count <= 0)
        state.SkipWithError("the scan found no appointments");
    state.counters["appointments"] = count;
    state.counters["file_bytes"] = double(file.bytes);
}

} // namespace

// The start-up day marking: one scan of a long-used file that classifies
// every line of the shown month, with old messages and early warnings.
void BM_DayMarkingScan(benchmark::State &state)
{
    // 100,000 lines, 5,000 of them live, 300 of those in March 2027.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.ini"));
    QByteArray content = "[alarms]\r\n";
    const QDateTime march(QDate(2027, 3, 1), QTime(0, 0));
    int live = 0;
    for (int n = 0; n < 300; ++n, ++live)
        content += keyOf(march.addSecs(qint64(n) * 137 * 60)) + "=N" + valueAt(7).mid(1) + "}\r\n";
    for (int n = 0; content.count('\n') < kLines; ++n) {
        const QByteArray key = keyAt(n);
        if (key.mid(9, 7) == "03/2027")
            continue;
        const bool isLive = live < 5000 && n % 19 == 3;
        live += isLive ? 1 : 0;
        content += key + '=' + (isLive ? valueAt(7) : QByteArray("nothing")) + "\r\n";
    }
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size()) {
        state.SkipWithError("cannot write the data file");
        return;
    }
    out.close();

    NoDialogs dialogs;
    int marked = 0;
    for (auto _ : state) {
        marking::MonthScanner scanner(
            { 3, 2027, QDateTime(QDate(2027, 3, 15), QTime(10, 0)), false, false });
        scanDataFile(path, ScanFilter {}, ScanRetry {}, { dialogs, {}, {} },
            [&scanner](const AppointmentLine &line) { scanner.add(line); });
        marked = static_cast<int>(scanner.result().markedDays.size());
        benchmark::DoNotOptimize(marked);
    }
    state.counters["live"] = live;
    state.counters["marked"] = marked;
}

namespace {

// Time as the scheduler sees it, set by the benchmark.
class BenchClock final : public Clock
{
public:
    class NoTimer final : public Timer
    {
    public:
        void start(int) override { }
        void stop() override { }
        bool isActive() const override { return false; }
    };
    QDateTime now() const override { return at; }
    qint64 monotonicMs() const override { return 0; }
    void processEventsFor(int) override { }
    std::unique_ptr<Timer> timer(std::function<void()>, bool) override
    {
        return std::make_unique<NoTimer>();
    }
    QDateTime at;
};

} // namespace

// A week asleep: the look on waking scans the long-used file for the
// minutes slept through, moves each appointment found on, and writes the
// file once. The monotonic clock stands still meanwhile, as in a suspend.
void BM_CatchUpAfterAWeekAsleep(benchmark::State &state)
{
    QLoggingCategory::setFilterRules(QStringLiteral("quillory.*=false"));
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data.ini"));
    const QString handled = dir.filePath(QStringLiteral("quillory.minute"));
    QByteArray content = "[alarms]\r\n";
    for (int n = 0; n < kLines; ++n)
        content += keyAt(n) + '=' + valueAt(n) + "\r\n";
    const QDateTime asleep(QDate(2026, 6, 1), QTime(8, 0, 30));
    qint64 told = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QFile out(data);
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size()) {
            state.SkipWithError("cannot write the data file");
            return;
        }
        out.close();
        QFile minute(handled);
        if (!minute.open(QIODevice::WriteOnly) || minute.write(keyOf(asleep) + '\n') < 0) {
            state.SkipWithError("cannot write the minute handled");
            return;
        }
        minute.close();
        BenchClock clock;
        clock.at = asleep;
        MinuteScheduler scheduler(clock, { data, handled });
        scheduler.catchUpAtStart();
        clock.at = asleep.addDays(7);
        state.ResumeTiming();

        scheduler.check();

        state.PauseTiming();
        told = 0;
        while (scheduler.hasDue()) {
            scheduler.takeDue();
            ++told;
        }
        state.ResumeTiming();
    }
    state.counters["appointments"] = double(told);
}

BENCHMARK(BM_IniReadNearEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IniWriteNewKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SequentialScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DayMarkingScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CatchUpAfterAWeekAsleep)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
