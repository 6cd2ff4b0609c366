#include "backup/BackupRules.h"

#include "storage/Backup.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace backup;

QStringList roots(const QList<Volume> &volumes)
{
    QStringList out;
    for (const Volume &v : volumes)
        out << v.rootPath;
    return out;
}

TEST(DriveList, TheRootFirstThenTheDrivesThatHoldFilesByPath)
{
    const QList<Volume> mounted { { "/media/usb", "STICK", "vfat" }, { "/proc", {}, "proc" },
        { "/home", {}, "ext4" }, { "/", {}, "overlay" }, { "/dev/shm", {}, "tmpfs" },
        { "/run/user/1000", {}, "tmpfs" }, { "/snap/core/1", {}, "squashfs" },
        { "/sys/fs/cgroup", {}, "cgroup2" }, { "/home", {}, "ext4" }, { "/boot/efi", {}, "vfat" } };
    EXPECT_EQ(roots(driveList(mounted)), QStringList({ "/", "/boot/efi", "/home", "/media/usb" }));
    EXPECT_EQ(driveCaption(driveList(mounted).last()), "/media/usb [STICK]");
    EXPECT_EQ(driveCaption(driveList(mounted).first()), "/");
    // The root is there even when nothing reports it.
    EXPECT_EQ(roots(driveList({})), QStringList { "/" });
}

TEST(DriveList, AFolderLiesOnTheDriveWithTheLongestRoot)
{
    const QList<Volume> drives { { "/", {}, {} }, { "/media/usb", {}, {} } };
    EXPECT_EQ(driveOf("/media/usb/backups", drives), "/media/usb");
    EXPECT_EQ(driveOf("/media/usb", drives), "/media/usb");
    EXPECT_EQ(driveOf("/media/usb2", drives), "/");
    EXPECT_EQ(driveOf("/home/me", drives), "/");
    EXPECT_TRUE(liesOn("/home", "/"));
    EXPECT_FALSE(liesOn("relative", "/media/usb"));
    EXPECT_FALSE(liesOn("/media/usb", ""));
}

TEST(DataFileCheck, AnAlarmsSectionOrNothingButBlankLines)
{
    QByteArray utf16("\xFF\xFE", 2);
    for (char c : QByteArray("[alarms]\r\n10/15/08/12/2026=NCall home\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    EXPECT_TRUE(isDataFile("[alarms]\r\n10/15/08/12/2026=NCall home\r\n"));
    EXPECT_TRUE(isDataFile("; mine\r\n[other]\r\na=1\r\n [ALARMS] \r\n"));
    EXPECT_TRUE(isDataFile(utf16));
    EXPECT_TRUE(isDataFile(""));
    EXPECT_TRUE(isDataFile("\r\n  \r\n\t\n"));

    EXPECT_FALSE(isDataFile("[other]\r\na=1\r\n"));
    EXPECT_FALSE(isDataFile("Dear diary, today I kept no appointments."));
    EXPECT_FALSE(isDataFile("alarms\r\n[alarm]\r\n[alarms-old]\r\n"));
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 37 + 11) % 256);
    EXPECT_FALSE(isDataFile(binary));
}

class RestoreTest : public ::testing::Test
{
protected:
    RestoreTest() { QDir().mkpath(folder); }
    QString cal() const { return backupFile(folder); }
    QString beforeRestore() const { return home.dataFile() + ".before-restore"; }

    TestHome home;
    QString folder = home.paths().dataFolder + "/backups";
};

const QByteArray kCurrent = "[alarms]\r\n09/00/24/12/2026=NNow\r\n";
const QByteArray kBackup = "[alarms]\r\n10/00/01/01/2027=YThen\r\n";

TEST_F(RestoreTest, TheBackupReplacesTheDataFileWhichIsKeptBesideIt)
{
    home.writeData(kCurrent);
    TestHome::writeFile(cal(), kBackup);
    const RestoreResult result = restoreFrom(cal(), home.dataFile());
    EXPECT_EQ(result.outcome, RestoreOutcome::Restored) << result.error.toStdString();
    EXPECT_EQ(home.readData(), kBackup);
    EXPECT_EQ(TestHome::readFile(beforeRestore()), kCurrent);
    EXPECT_EQ(TestHome::readFile(cal()), kBackup);

    // With no data file yet there is nothing to keep.
    QFile::remove(home.dataFile());
    QFile::remove(beforeRestore());
    EXPECT_EQ(restoreFrom(cal(), home.dataFile()).outcome, RestoreOutcome::Restored);
    EXPECT_EQ(home.readData(), kBackup);
    EXPECT_FALSE(QFile::exists(beforeRestore()));
}

TEST_F(RestoreTest, AnEmptyBackupIsAnEmptyDataFileAndTheOldOneIsKept)
{
    home.writeData(kCurrent);
    TestHome::writeFile(cal(), "");
    EXPECT_EQ(restoreFrom(cal(), home.dataFile()).outcome, RestoreOutcome::Restored);
    EXPECT_EQ(home.readData(), "");
    EXPECT_EQ(TestHome::readFile(beforeRestore()), kCurrent);
}

TEST_F(RestoreTest, WhatIsNoDataFileLeavesTheDataFileAsItWas)
{
    home.writeData(kCurrent);
    struct Case
    {
        const char *name;
        std::function<void()> prepare;
        RestoreOutcome outcome;
    };
    const QList<Case> cases {
        { "missing", [] {}, RestoreOutcome::NoBackup },
        { "a folder", [&] { QDir().mkpath(cal()); }, RestoreOutcome::NoBackup },
        { "binary",
            [&] {
                QByteArray bytes;
                for (int i = 0; i < 4096; ++i)
                    bytes += char((i * 37 + 11) % 256);
                TestHome::writeFile(cal(), bytes);
            },
            RestoreOutcome::NotADataFile },
        { "100 MB",
            [&] {
                // Sparse: the size is what matters, and it is refused unread.
                TestHome::writeFile(cal(), kBackup);
                QFile f(cal());
                ASSERT_TRUE(f.resize(100LL * 1024 * 1024));
            },
            RestoreOutcome::TooLarge },
    };
    for (const Case &c : cases) {
        QDir(cal()).removeRecursively();
        QFile::remove(cal());
        c.prepare();
        const RestoreResult result = restoreFrom(cal(), home.dataFile());
        EXPECT_EQ(result.outcome, c.outcome) << c.name;
        EXPECT_FALSE(result.error.isEmpty()) << c.name;
        EXPECT_EQ(home.readData(), kCurrent) << c.name;
        EXPECT_FALSE(QFile::exists(beforeRestore())) << c.name;
    }
    EXPECT_TRUE(refusedRestoreText(cal(), RestoreOutcome::TooLarge).contains("32 MB"));
    EXPECT_TRUE(refusedRestoreText(cal(), RestoreOutcome::NotADataFile).contains(cal()));
}

TEST_F(RestoreTest, AFullDiskLeavesTheDataFileWhole)
{
    home.writeData(kCurrent);
    TestHome::writeFile(cal(), kBackup + QByteArray(64 * 1024, '\n'));
    RestoreResult result;
    {
        FileSizeLimit limit(4096);
        result = restoreFrom(cal(), home.dataFile());
    }
    EXPECT_EQ(result.outcome, RestoreOutcome::NotWritten);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_EQ(home.readData(), kCurrent);
}

// A backup folder may be shared (mode 1777): what another user plants there
// is never written through, nor read back as the user's backup.
class ForeignFileTest : public RestoreTest
{
protected:
    ForeignFileTest()
    {
        home.writeData(kCurrent);
        TestHome::writeFile(victim, kVictim);
    }
    // Another user's regular calendar.cal; false where this test cannot
    // give a file away (not running as root).
    bool plantForeignFile()
    {
        TestHome::writeFile(cal(), kBackup);
        return ::geteuid() == 0 && ::chown(QFile::encodeName(cal()).constData(), 65534, 65534) == 0;
    }

    const QByteArray kVictim = "one of the user's own files\n";
    QString victim = home.paths().dataFolder + "/thesis.txt";
};

TEST_F(ForeignFileTest, ABackupNeverWritesThroughAPlantedLink)
{
    ASSERT_TRUE(QFile::link(victim, cal()));
    const CopyResult result = copyDataFile(home.dataFile(), cal());
    EXPECT_EQ(result.outcome, CopyOutcome::Refused);
    EXPECT_TRUE(result.error.contains("link")) << result.error.toStdString();
    EXPECT_FALSE(automaticBackup(home.dataFile(), folder));
    EXPECT_EQ(TestHome::readFile(victim), kVictim);
    EXPECT_TRUE(QFileInfo(cal()).isSymLink());

    // A link to nowhere is no better: nothing is created at its target.
    QFile::remove(cal());
    const QString nowhere = home.paths().dataFolder + "/created-through-a-link";
    ASSERT_TRUE(QFile::link(nowhere, cal()));
    EXPECT_EQ(copyDataFile(home.dataFile(), cal()).outcome, CopyOutcome::Refused);
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST_F(ForeignFileTest, ABackupIsAFreshFileOfItsOwnerOnlyAndAnotherUsersFileIsLeft)
{
    TestHome::writeFile(cal(), "an older backup");
    ASSERT_TRUE(copyDataFile(home.dataFile(), cal()).ok());
    EXPECT_EQ(TestHome::readFile(cal()), kCurrent);
    EXPECT_EQ(QFileInfo(cal()).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList { "calendar.cal" })
        << "no fresh file is left beside it";

    QFile::remove(cal());
    if (!plantForeignFile())
        GTEST_SKIP() << "only root can plant another user's file";
    const CopyResult result = copyDataFile(home.dataFile(), cal());
    EXPECT_EQ(result.outcome, CopyOutcome::Refused);
    EXPECT_TRUE(result.error.contains("another user"));
    EXPECT_EQ(TestHome::readFile(cal()), kBackup);
}

TEST_F(ForeignFileTest, ARestoreReadsNeitherALinkNorAnotherUsersFile)
{
    TestHome::writeFile(home.paths().dataFolder + "/planted.ini", kBackup);
    ASSERT_TRUE(QFile::link(home.paths().dataFolder + "/planted.ini", cal()));
    RestoreResult result = restoreFrom(cal(), home.dataFile());
    EXPECT_EQ(result.outcome, RestoreOutcome::Refused);
    EXPECT_TRUE(refusedRestoreText(cal(), result.outcome, result.error).contains("link"));
    EXPECT_EQ(home.readData(), kCurrent);
    EXPECT_FALSE(QFile::exists(beforeRestore()));

    QFile::remove(cal());
    if (!plantForeignFile())
        GTEST_SKIP() << "only root can plant another user's file";
    result = restoreFrom(cal(), home.dataFile());
    EXPECT_EQ(result.outcome, RestoreOutcome::Refused);
    EXPECT_TRUE(result.error.contains("another user"));
    EXPECT_EQ(home.readData(), kCurrent);
}

TEST_F(RestoreTest, BackupAndRestoreHoldToOneBoundInTheSameWords)
{
    home.writeData(kCurrent);
    QFile data(home.dataFile());
    ASSERT_TRUE(data.resize(kMaxDataFileBytes + 1)); // sparse
    EXPECT_EQ(copyDataFile(home.dataFile(), cal()).outcome, CopyOutcome::TooLarge);
    EXPECT_FALSE(automaticBackup(home.dataFile(), folder));
    EXPECT_FALSE(QFile::exists(cal()));
    ASSERT_TRUE(data.resize(kMaxDataFileBytes));
    EXPECT_TRUE(copyDataFile(home.dataFile(), cal()).ok()) << "the bound itself is taken";

    const QString words = "is too large to be a backup of your appointments (more than 32 MB)";
    EXPECT_TRUE(tooLargeBackupText(home.dataFile()).contains(words));
    EXPECT_TRUE(refusedRestoreText(cal(), RestoreOutcome::TooLarge).contains(words));
}

} // namespace
