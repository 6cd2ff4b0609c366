#include "storage/IniFuncs.h"
#include "storage/TextCodec.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"
#include "tests/tools/CrashWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

// A writer killed at any moment must leave a data file that reads, holding
// every appointment written before the one in flight and no damaged line.
// One file grows through all rounds: each round a child process carries on
// where the last one was killed, and once all appointments are in, the next
// pass rewrites them in place.

namespace {

constexpr int kRounds = 50;

// What the file holds as far as the parent knows.
struct FileState
{
    // What the file must hold when every appointment has the value of its pass.
    QByteArray expected() const
    {
        QByteArray out = "[alarms]\r\n";
        for (int i = 0; i < crashwriter::kAppointments; ++i) {
            if (passOf[size_t(i)] < 0)
                continue;
            out += textcodec::toFileBytes(crashwriter::key(i)) + '='
                + textcodec::toFileBytes(crashwriter::value(i, passOf[size_t(i)])) + "\r\n";
        }
        return out;
    }

    bool anyWritten() const { return passOf[0] >= 0; }

    // The pass of each appointment's value; -1 before its first write.
    std::vector<int> passOf = std::vector<int>(crashwriter::kAppointments, -1);
    int pass = 0;
    int next = 0; // the first appointment this pass has not certainly written
};

// Indexes the child reported before each write it started, and whether it
// got through them all.
struct Progress
{
    int lastStarted = -1;
    bool done = false;
    QByteArray pending;

    void take(const QByteArray &bytes)
    {
        pending += bytes;
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(nl);
            pending.remove(0, nl + 1);
            if (line == "done")
                done = true;
            else
                lastStarted = line.toInt();
        }
    }
};

// Where two file contents part, with a little of each around it.
std::string difference(const QByteArray &actual, const QByteArray &expected)
{
    qsizetype at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    const qsizetype from = std::max<qsizetype>(0, at - 40);
    return QStringLiteral("the file (%1 bytes) differs from the expected (%2 bytes) at byte %3:\n"
                          "  file:     %4\n  expected: %5")
        .arg(actual.size())
        .arg(expected.size())
        .arg(at)
        .arg(QString::fromLatin1(actual.mid(from, 80).toPercentEncoding(" /=")),
            QString::fromLatin1(expected.mid(from, 80).toPercentEncoding(" /=")))
        .toStdString();
}

TEST(CrashDurability, KilledWritersLeaveEveryEarlierAppointmentWhole)
{
    TestHome home;
    const QString file = home.dataFile();
    FileState state;
    const quint32 seed = QRandomGenerator::global()->generate();
    SCOPED_TRACE(testing::Message() << "random seed " << seed);
    std::mt19937 random(seed);

    int killedMidRun = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(testing::Message()
            << "round " << round << ", pass " << state.pass << ", from appointment " << state.next);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(QUILLORY_CRASH_WRITER),
            { file, QString::number(state.next), QString::number(state.pass) });
        ASSERT_TRUE(child.waitForStarted(10000)) << qPrintable(child.errorString());

        // Kill once the child has started the target write, after a pause
        // that lands anywhere in that write or the next few.
        const int target = state.next + int(random() % 45);
        Progress progress;
        while (
            !progress.done && progress.lastStarted < target && child.state() == QProcess::Running) {
            child.waitForReadyRead(10000);
            progress.take(child.readAllStandardOutput());
        }
        if (!progress.done) {
            QThread::usleep(random() % 4000);
            child.kill(); // SIGKILL: no clean-up of any kind runs
            ++killedMidRun;
        }
        ASSERT_TRUE(child.waitForFinished(10000));
        progress.take(child.readAllStandardOutput());
        if (child.exitStatus() == QProcess::NormalExit) {
            ASSERT_EQ(child.exitCode(), 0) << "the writer itself failed";
        }

        // Writes before the last started one are certainly in; that one may be.
        for (int i = state.next; i < progress.lastStarted; ++i)
            state.passOf[size_t(i)] = state.pass;
        const QByteArray actual = home.readData();
        if (progress.lastStarted >= 0 && !progress.done) {
            const int inFlight = progress.lastStarted;
            const int before = state.passOf[size_t(inFlight)];
            state.passOf[size_t(inFlight)] = state.pass;
            const bool landed = actual == state.expected();
            if (!landed)
                state.passOf[size_t(inFlight)] = before;
            state.next = landed ? inFlight + 1 : inFlight;
        } else if (progress.lastStarted >= 0) {
            state.passOf[size_t(progress.lastStarted)] = state.pass;
            state.next = crashwriter::kAppointments;
        }

        // Byte for byte: nothing earlier missing, no line damaged, nothing extra.
        if (state.anyWritten()) {
            ASSERT_TRUE(actual == state.expected()) << difference(actual, state.expected());
        } else {
            ASSERT_FALSE(QFileInfo::exists(file));
        }

        // And the program's own readers agree: the sequential scan sees every
        // line, a key read gives each sampled value back.
        FakeDialogs dialogs;
        int scanned = 0;
        bool scannedRight = true;
        const ScanOutcome outcome = scanDataFile(file, ScanFilter {}, ScanRetry {},
            { dialogs, {}, {} }, [&](const AppointmentLine &line) {
                const int i = scanned++;
                scannedRight = scannedRight && i < crashwriter::kAppointments
                    && state.passOf[size_t(i)] >= 0 && line.parts.key() == crashwriter::key(i)
                    && line.line.mid(17) == crashwriter::value(i, state.passOf[size_t(i)]);
            });
        EXPECT_EQ(outcome, ScanOutcome::Complete);
        EXPECT_TRUE(scannedRight);
        EXPECT_EQ(scanned, int(std::count_if(state.passOf.begin(), state.passOf.end(), [](int p) {
            return p >= 0;
        })));
        for (int probe :
            { state.next - 1, state.next, int(random() % crashwriter::kAppointments) }) {
            if (probe < 0 || probe >= crashwriter::kAppointments)
                continue;
            const int p = state.passOf[size_t(probe)];
            EXPECT_EQ(INIFuncs::INIRead(file, kAlarmsSection, crashwriter::key(probe), kNothing),
                p < 0 ? QString(kNothing) : crashwriter::value(probe, p).left(254))
                << "appointment " << probe;
        }

        if (state.next >= crashwriter::kAppointments) {
            ++state.pass;
            state.next = 0;
        }
    }
    // Most rounds must have been killed in the middle, or the test proved little.
    EXPECT_GT(killedMidRun, kRounds / 2);
    RecordProperty(
        "leftovers", int(QDir(home.paths().dataFolder).entryList(QDir::Files).size()) - 1);
    RecordProperty("killed_mid_run", killedMidRun);
    RecordProperty("file_bytes", int(home.readData().size()));
    RecordProperty("passes", state.pass);
    RecordProperty("appointments_in_pass", state.next);
}

} // namespace
