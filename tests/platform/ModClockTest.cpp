#include "storage/ModClock.h"
#include "platform/linux/XdgAutostart.h"
#include "storage/StartAtLogin.h"
#include "tests/support/Fakes.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString kRun = QString::fromLatin1(ModClock::kRunKey);
const QString kRunServices = QString::fromLatin1(ModClock::kRunServicesKey);
const QString kName = QString::fromLatin1(ModClock::kRunValueName);
constexpr auto HKLM = ModClock::RegRoot::LocalMachine;

class RunLists : public ::testing::Test
{
protected:
    // A new ModClock over a new XdgAutostart on the same folder stands for a
    // restart of the program.
    ModClock fresh()
    {
        autostart = std::make_unique<XdgAutostart>(dir.path());
        return ModClock(clock, *autostart, network, dir.path());
    }
    QTemporaryDir dir;
    FakeClock clock;
    FakeNetwork network;
    std::unique_ptr<XdgAutostart> autostart;
};

TEST_F(RunLists, AbsentEmptyAndSetSurviveARestart)
{
    EXPECT_EQ(fresh().RegReadString(HKLM, kRun, kName, "notset"), "notset");
    EXPECT_EQ(fresh().RegReadString(HKLM, kRun, kName), "");

    const QString program = "/opt/my programs/quillory";
    fresh().RegWriteString(HKLM, kRun, kName, program);
    EXPECT_EQ(fresh().RegReadString(HKLM, kRun, kName, "notset"), program);
    const QByteArray entry = [&] {
        QFile f(dir.path() + "/quillory.desktop");
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    EXPECT_TRUE(entry.contains("Exec=\"/opt/my programs/quillory\"\n")) << entry.constData();
    EXPECT_TRUE(entry.contains("Hidden=false"));

    // Switched off: both lists hold empty text, which is not "notset".
    ModClock off = fresh();
    off.RegWriteString(HKLM, kRun, kName, "");
    off.RegWriteString(HKLM, kRunServices, kName, "");
    EXPECT_EQ(fresh().RegReadString(HKLM, kRun, kName, "notset"), "");
    EXPECT_EQ(fresh().RegReadString(HKLM, kRunServices, kName, "notset"), "");
}

TEST_F(RunLists, OtherKeysRootsAndNamesReadAsAbsent)
{
    ModClock mc = fresh();
    mc.RegWriteString(HKLM, kRun, kName, "/usr/bin/quillory");
    EXPECT_EQ(mc.RegReadString(HKLM, "Software\\Other", kName, "d"), "d");
    EXPECT_EQ(mc.RegReadString(ModClock::RegRoot::CurrentUser, kRun, kName, "d"), "d");
    EXPECT_EQ(mc.RegReadString(HKLM, kRun, "SomethingElse", "d"), "d");
    mc.RegWriteString(HKLM, "Software\\Other", kName, "x"); // no effect, no failure
    EXPECT_EQ(mc.RegReadString(HKLM, "Software\\Other", kName, "d"), "d");
    EXPECT_EQ(mc.RegReadString(HKLM, kRun, kName, "d"), "/usr/bin/quillory");
}

TEST_F(RunLists, StartAtLoginTellsNeverSetOnAndOff)
{
    ModClock mc = fresh();
    StartAtLogin login(mc, "/usr/bin/quillory");
    EXPECT_TRUE(login.neverSet());
    EXPECT_FALSE(login.isOn());

    EXPECT_TRUE(login.set(true));
    EXPECT_FALSE(login.neverSet());
    EXPECT_TRUE(login.isOn());

    // Off empties both lists, and is still a choice made.
    EXPECT_TRUE(login.set(false));
    EXPECT_FALSE(login.isOn());
    EXPECT_FALSE(login.neverSet());
    EXPECT_EQ(fresh().RegReadString(HKLM, kRunServices, kName, "notset"), "");
}

TEST_F(RunLists, StartAtLoginReportsAFailedWrite)
{
    FakeClock clock;
    FakeNetwork network;
    FakeAutostart refusing;
    refusing.writable = false;
    ModClock mc(clock, refusing, network, dir.path());
    StartAtLogin login(mc, "/usr/bin/quillory");
    EXPECT_FALSE(login.set(true));
    EXPECT_FALSE(login.lastError().isEmpty());
    EXPECT_TRUE(login.neverSet());
}

TEST(ExecQuoting, RoundTripsAwkwardPaths)
{
    for (const QString &path : { QString("/usr/bin/quillory"), QString("/home/a b/q"),
             QString("/tmp/100%/\"q\"$`\\x"), QString() })
        EXPECT_EQ(unquoteExec(quoteExec(path)), path) << path.toStdString();
}

TEST(PauseSeconds, EndsAfterItsSecondsAcrossMidnightAndKeepsTimersRunning)
{
    FakeClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58)));
    FakeNetwork network;
    FakeAutostart autostart;
    ModClock mc(clock, autostart, network, "/tmp");
    int ticks = 0;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    mc.PauseSeconds(8);
    EXPECT_EQ(clock.now(), QDateTime(QDate(2027, 1, 1), QTime(0, 0, 6)));
    EXPECT_GT(ticks, 0);

    const int waits = clock.waits;
    mc.PauseSeconds(0);
    EXPECT_EQ(clock.waits, waits);
}

TEST(IsOnline, AsksTheNetworkService)
{
    FakeClock clock;
    FakeNetwork network;
    FakeAutostart autostart;
    ModClock mc(clock, autostart, network, "/data");
    EXPECT_FALSE(mc.IsOnline());
    network.online = true;
    EXPECT_TRUE(mc.IsOnline());
    EXPECT_EQ(mc.WindowsFolder(), "/data");
}

} // namespace
