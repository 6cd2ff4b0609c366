#include "calendar/FrmMain.h"
#include "calendar/WindowLinks.h"
#include "storage/Backup.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/CalendarFixture.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class UnloadTest : public CalendarFixture
{
protected:
    // A window of its own: a test may hold the old one beside a fresh one.
    std::unique_ptr<FrmMain> load(const QDateTime &now)
    {
        fakes.clock.set(now);
        auto window = makeCalendar(true);
        window->Form_Load();
        return window;
    }
};

TEST_F(UnloadTest, BackupTransferCharacterTrayThenTheEnd)
{
    QTemporaryDir backupFolder;
    home.writeData("[alarms]\r\n10/15/09/12/2026=NCall home\r\n");
    settings.write(setting::AutoBackup, "True");
    settings.write(setting::BackDir, backupFolder.path());
    auto window = load(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));
    QStringList journal;
    versionCheck.journal = &journal;
    QObject::connect(window.get(), &FrmMain::unloadTray, [&] { journal << "tray"; });
    QObject::connect(window.get(), &FrmMain::unloaded, [&] { journal << "end"; });
    QObject::connect(&agentControl, &agent::Control::RequestComplete, [&] {
        if (!journal.contains("character"))
            journal << "character";
    });
    window->Form_Unload();
    EXPECT_EQ(journal, (QStringList { "cancel transfer", "character", "tray", "end" }));
    EXPECT_EQ(TestHome::readFile(backupFolder.path() + "/calendar.cal"), home.readData());
    EXPECT_EQ(agentControl.unloads, QStringList { "Tockel" });
    EXPECT_EQ(window->m_frmSysTray, nullptr);
}

TEST_F(UnloadTest, NoBackupUnlessAskedAndNoneToNowhere)
{
    home.writeData("[alarms]\r\n");
    QTemporaryDir backupFolder;
    settings.write(setting::BackDir, backupFolder.path());
    load(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)))->Form_Unload();
    EXPECT_FALSE(QFile::exists(backupFolder.path() + "/calendar.cal"));

    settings.write(setting::AutoBackup, "True");
    settings.write(setting::BackDir, "");
    // With no folder chosen the copy would land at the top of the file
    // system or wherever the program runs: neither may get one.
    QTemporaryDir runFolder;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(runFolder.path()));
    const auto back = qScopeGuard([&] { QDir::setCurrent(previous); });
    const QString atRoot = QDir::rootPath() + "calendar.cal";
    const bool rootHadOne = QFile::exists(atRoot);
    auto window = load(QDateTime(QDate(2026, 12, 8), QTime(10, 16)));
    QSignalSpy ended(window.get(), &FrmMain::unloaded);
    window->Form_Unload();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(QDir(runFolder.path()).isEmpty());
    EXPECT_EQ(QFile::exists(atRoot), rootHadOne);
}

TEST_F(UnloadTest, ARestartInTheSameMinuteNeverAnnouncesTwice)
{
    // An hourly entry at 23:xx stays in the file after firing.
    home.writeData("[alarms]\r\n23/10/08/12/2026=HTea\r\n");
    auto old = load(QDateTime(QDate(2026, 12, 8), QTime(23, 10, 2)));
    old->blink_Timer();
    ASSERT_EQ(announcer.displays.size(), 1);
    old->Form_Unload(); // "Ok" restarts the calendar within the minute
    old.reset();

    auto fresh = load(QDateTime(QDate(2026, 12, 8), QTime(23, 10, 20)));
    fresh->blink_Timer();
    EXPECT_EQ(announcer.displays.size(), 1);
}

TEST_F(UnloadTest, ARestartBeforeTheMinuteWasLookedUpStillAnnouncesIt)
{
    home.writeData("[alarms]\r\n10/16/08/12/2026=NCall home\r\n");
    auto old = load(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 58)));
    old->blink_Timer(); // handles 10:15
    old->Form_Unload();
    old.reset();

    auto fresh = load(QDateTime(QDate(2026, 12, 8), QTime(10, 16, 1)));
    fresh->blink_Timer();
    ASSERT_EQ(announcer.displays.size(), 1);
    EXPECT_EQ(announcer.displays[0].second, "Call home");
}

TEST(BackupPath, FolderRule)
{
    EXPECT_EQ(backup::backupFile("/"), "/calendar.cal");
    EXPECT_EQ(backup::backupFile("c:\\"), "c:\\calendar.cal");
    EXPECT_EQ(backup::backupFile("/media/usb"), "/media/usb/calendar.cal");
    EXPECT_EQ(backup::backupFile("/mnt/"), "/mnt/calendar.cal");
    EXPECT_FALSE(backup::copyReplacing("/no/such/file", "/tmp/never-written.cal"));
    EXPECT_FALSE(QFile::exists("/tmp/never-written.cal"));
}

} // namespace
