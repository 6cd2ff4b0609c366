#include "backup/FrmBackup.h"

#include "backup/BackupWizard.h"
#include "storage/Settings.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QByteArray kData = "[alarms]\r\n09/00/24/12/2026=NDentist\r\n";
const QByteArray kBackup = "[alarms]\r\n10/00/01/01/2027=YNew year\r\n";

// The window on two drives: the root, and a folder of the test standing
// for a second drive.
class BackupTest : public ::testing::Test
{
protected:
    BackupTest()
    {
        QDir(drive.path()).mkpath("backups/older");
        home.writeData(kData);
    }

    FrmBackup &open()
    {
        frm = std::make_unique<FrmBackup>(fakes.services, settings, home.paths(),
            FrmBackup::Host { [this](const QString &text) { spoken << text; },
                [this] {
                    ++restarts;
                    return restartWorks;
                } });
        frm->volumes = [this] {
            return QList<backup::Volume> { { "/", {}, "ext4" }, { drive.path(), "STICK", "vfat" } };
        };
        closed = std::make_unique<QSignalSpy>(frm.get(), &FrmBackup::closed);
        frm->Form_Load();
        return *frm;
    }
    QString backups() const { return drive.path() + "/backups"; }
    QString cal() const { return backups() + "/calendar.cal"; }

    FakeServices fakes;
    TestHome home;
    SettingsStore settings { home.paths().settingsFile };
    QTemporaryDir drive;
    QStringList spoken;
    int restarts = 0;
    bool restartWorks = true;
    std::unique_ptr<FrmBackup> frm;
    std::unique_ptr<QSignalSpy> closed;
};

TEST_F(BackupTest, OpensAtTheStoredDriveFolderAndChoice)
{
    settings.write(setting::BackDrive, drive.path());
    settings.write(setting::BackDir, backups() + "/older");
    settings.write(setting::AutoBackup, "True");
    FrmBackup &w = open();
    EXPECT_EQ(w.Drive->currentData().toString(), drive.path());
    EXPECT_EQ(w.Drive->currentText(), drive.path() + " [STICK]");
    EXPECT_EQ(w.Dir->path(), backups() + "/older");
    EXPECT_TRUE(w.chk_backup->isChecked());

    // Another drive: the folder list moves to its root.
    w.Drive->setCurrentIndex(0);
    EXPECT_EQ(w.Dir->path(), "/");
}

TEST_F(BackupTest, NothingStoredOrAFolderThatIsGone)
{
    // "c:" names no drive here: the list stays on the root.
    FrmBackup &w = open();
    EXPECT_EQ(w.Drive->currentIndex(), 0);
    EXPECT_EQ(w.Dir->path(), "/");
    EXPECT_FALSE(w.chk_backup->isChecked());

    settings.write(setting::BackDrive, drive.path());
    settings.write(setting::BackDir, drive.path() + "/gone");
    settings.write(setting::AutoBackup, "true"); // only "True" checks the box
    open();
    EXPECT_EQ(frm->Dir->path(), drive.path());
    EXPECT_FALSE(frm->chk_backup->isChecked());
    // A folder of another drive is not one of this drive's.
    EXPECT_FALSE(frm->Dir->setPath(home.paths().dataFolder));
    EXPECT_EQ(frm->Dir->path(), drive.path());
}

TEST_F(BackupTest, BackupCopiesSaysStoresAndCloses)
{
    settings.write(setting::BackDrive, drive.path());
    settings.write(setting::BackDir, backups());
    TestHome::writeFile(cal(), "an older backup");
    open();
    frm->com_backup->click();
    EXPECT_EQ(TestHome::readFile(cal()), kData);
    EXPECT_EQ(spoken, QStringList { "Your appointments have been backed up" });
    EXPECT_EQ(settings.read(setting::BackDir), backups());
    EXPECT_EQ(settings.read(setting::BackDrive), drive.path());
    EXPECT_EQ(closed->size(), 1);
    EXPECT_TRUE(fakes.dialogs.boxes.isEmpty());

    // At a drive's root the name follows the root directly.
    settings.write(setting::BackDir, drive.path());
    open();
    frm->com_backup->click();
    EXPECT_EQ(TestHome::readFile(drive.path() + "/calendar.cal"), kData);
    EXPECT_EQ(settings.read(setting::BackDir), drive.path());
}

TEST_F(BackupTest, ABackupThatCannotBeWrittenIsToldAndChangesNoSetting)
{
    settings.write(setting::BackDrive, drive.path());
    settings.write(setting::BackDir, backups());
    struct Case
    {
        const char *name;
        std::function<void()> spoil;
        std::function<void()> mend;
    };
    std::unique_ptr<FileSizeLimit> limit;
    const QList<Case> cases {
        { "missing folder", [&] { QDir(backups()).removeRecursively(); },
            [&] { QDir().mkpath(backups()); } },
        { "full disk",
            [&] {
                home.writeData(kData + QByteArray(64 * 1024, '\n'));
                limit = std::make_unique<FileSizeLimit>(4096);
            },
            [&] {
                limit.reset();
                home.writeData(kData);
            } },
        { "calendar.cal is a folder", [&] { QDir().mkpath(cal()); },
            [&] { QDir(cal()).removeRecursively(); } },
    };
    for (const Case &c : cases) {
        open();
        fakes.dialogs.boxes.clear();
        settings.write(setting::BackDrive, "/");
        c.spoil();
        frm->com_backup->click();
        c.mend();
        EXPECT_TRUE(spoken.isEmpty()) << c.name;
        ASSERT_EQ(fakes.dialogs.boxes.size(), 1) << c.name;
        EXPECT_EQ(fakes.dialogs.boxes[0].title, "Error!");
        EXPECT_EQ(fakes.dialogs.boxes[0].icon, MsgIcon::Critical);
        EXPECT_TRUE(fakes.dialogs.boxes[0].text.contains(cal())) << c.name;
        EXPECT_EQ(settings.read(setting::BackDrive), "/") << c.name;
        EXPECT_TRUE(closed->isEmpty()) << c.name << ": the window stays for another folder";
    }
}

TEST_F(BackupTest, APlantedLinkOrAnOversizedFileIsRefusedInTheErrorBox)
{
    settings.write(setting::BackDrive, drive.path());
    settings.write(setting::BackDir, backups());
    const QString victim = home.paths().dataFolder + "/own-file.txt";
    TestHome::writeFile(victim, "mine");
    ASSERT_TRUE(QFile::link(victim, cal()));
    open();
    frm->com_backup->click();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "Error!");
    EXPECT_TRUE(fakes.dialogs.boxes[0].text.contains("is a link to another file"));
    EXPECT_EQ(TestHome::readFile(victim), "mine");

    // Restoring from it is refused with the reason, not the restore's guess.
    fakes.dialogs.answers = { MsgAnswer::Yes };
    frm->com_restore->click();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 3);
    EXPECT_EQ(fakes.dialogs.boxes[2].title, "Error!");
    EXPECT_TRUE(fakes.dialogs.boxes[2].text.contains("is a link to another file"));
    EXPECT_EQ(home.readData(), kData);

    QFile::remove(cal());
    QFile data(home.dataFile());
    ASSERT_TRUE(data.resize(backup::kMaxDataFileBytes + 1));
    frm->com_backup->click();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 4);
    EXPECT_EQ(fakes.dialogs.boxes[3].text, backup::tooLargeBackupText(home.dataFile()));
    EXPECT_FALSE(QFile::exists(cal()));
    EXPECT_TRUE(spoken.isEmpty());
}

TEST_F(BackupTest, RestoreAsksTwiceCopiesSaysAndRestartsQuietly)
{
    settings.write(setting::BackDrive, drive.path());
    settings.write(setting::BackDir, backups());
    TestHome::writeFile(cal(), kBackup);
    fakes.dialogs.answers = { MsgAnswer::Yes, MsgAnswer::Yes };
    open();
    frm->com_restore->click();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 2);
    EXPECT_EQ(fakes.dialogs.boxes[0].title, "WARNING!");
    EXPECT_EQ(fakes.dialogs.boxes[0].text,
        "Are you sure you want to do this. Once the restore has been completed, you can`t turn "
        "back");
    EXPECT_EQ(fakes.dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(fakes.dialogs.boxes[1].title, "Attention!");
    EXPECT_EQ(fakes.dialogs.boxes[1].text,
        "Would you like to re-start the calendar now. This will refresh your appointments that "
        "you have just restored?");
    EXPECT_EQ(home.readData(), kBackup);
    EXPECT_EQ(TestHome::readFile(home.dataFile() + ".before-restore"), kData);
    EXPECT_EQ(spoken, QStringList { "Your appointments have been restored." });
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(closed->size(), 1);
}

TEST_F(BackupTest, DecliningTheRestartClosesAndARestartThatFailsIsTheRestoreError)
{
    settings.write(setting::BackDrive, drive.path());
    settings.write(setting::BackDir, backups());
    TestHome::writeFile(cal(), kBackup);
    fakes.dialogs.answers = { MsgAnswer::Yes, MsgAnswer::No };
    open();
    frm->com_restore->click();
    EXPECT_EQ(home.readData(), kBackup);
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(closed->size(), 1);

    fakes.dialogs.boxes.clear();
    fakes.dialogs.answers = { MsgAnswer::Yes, MsgAnswer::Yes };
    restartWorks = false;
    open();
    frm->com_restore->click();
    ASSERT_EQ(fakes.dialogs.boxes.size(), 3);
    EXPECT_EQ(fakes.dialogs.boxes[2].text, FrmBackup::kRestoreErrorText);
    EXPECT_EQ(fakes.dialogs.boxes[2].icon, MsgIcon::Critical);
    EXPECT_TRUE(fakes.dialogs.boxes[2].title.isEmpty());
    EXPECT_TRUE(closed->isEmpty());
}

TEST_F(BackupTest, DecliningTheFirstQuestionCopiesNothing)
{
    settings.write(setting::BackDrive, drive.path());
    settings.write(setting::BackDir, backups());
    TestHome::writeFile(cal(), kBackup);
    fakes.dialogs.answers = { MsgAnswer::No };
    open();
    frm->com_restore->click();
    EXPECT_EQ(fakes.dialogs.boxes.size(), 1);
    EXPECT_EQ(home.readData(), kData);
    EXPECT_FALSE(QFile::exists(home.dataFile() + ".before-restore"));
    EXPECT_TRUE(spoken.isEmpty());
    EXPECT_TRUE(closed->isEmpty());
}

TEST_F(BackupTest, ABackupThatIsNotThereOrNotADataFileIsNotRestored)
{
    settings.write(setting::BackDrive, drive.path());
    settings.write(setting::BackDir, backups());
    struct Case
    {
        const char *name;
        std::function<void()> prepare;
        bool partMessage; // the restore's own message, else one of ours
    };
    const QList<Case> cases {
        { "no calendar.cal", [] {}, true },
        { "a folder", [&] { QDir().mkpath(cal()); }, true },
        { "binary",
            [&] {
                TestHome::writeFile(cal(),
                    QByteArray("\x7f"
                               "ELF\x02\x01\x01\0\0",
                        9));
            },
            false },
        { "100 MB",
            [&] {
                TestHome::writeFile(cal(), kBackup);
                QFile(cal()).resize(100LL * 1024 * 1024);
            },
            false },
    };
    for (const Case &c : cases) {
        QDir(cal()).removeRecursively();
        QFile::remove(cal());
        c.prepare();
        fakes.dialogs.boxes.clear();
        fakes.dialogs.answers = { MsgAnswer::Yes, MsgAnswer::Yes };
        open();
        frm->com_restore->click();
        ASSERT_EQ(fakes.dialogs.boxes.size(), 2) << c.name;
        const RecordedBox &box = fakes.dialogs.boxes[1];
        EXPECT_EQ(box.icon, MsgIcon::Critical) << c.name;
        if (c.partMessage) {
            EXPECT_EQ(box.text, FrmBackup::kRestoreErrorText) << c.name;
            EXPECT_TRUE(box.title.isEmpty()) << c.name;
        } else {
            EXPECT_TRUE(box.text.contains("was not restored")) << c.name;
            EXPECT_EQ(box.title, "Error!") << c.name;
        }
        EXPECT_EQ(home.readData(), kData) << c.name;
        EXPECT_TRUE(spoken.isEmpty()) << c.name;
        EXPECT_EQ(restarts, 0) << c.name;
        EXPECT_TRUE(closed->isEmpty()) << c.name;
    }
}

TEST_F(BackupTest, TheBoxIsStoredOnTheMouseButtonsReleaseOnly)
{
    settings.write(setting::BackDir, "/somewhere/earlier");
    open();
    QTest::mouseClick(frm->chk_backup, Qt::LeftButton);
    EXPECT_TRUE(frm->chk_backup->isChecked());
    EXPECT_EQ(settings.read(setting::AutoBackup), "True");
    QTest::mouseClick(frm->chk_backup, Qt::LeftButton);
    EXPECT_EQ(settings.read(setting::AutoBackup), "False");

    frm->chk_backup->setFocus();
    QTest::keyClick(frm->chk_backup, Qt::Key_Space);
    EXPECT_TRUE(frm->chk_backup->isChecked());
    EXPECT_EQ(settings.read(setting::AutoBackup), "False") << "the keyboard writes nothing";

    // Checked and closed without a backup: the folder keeps its old value.
    QTest::mouseClick(frm->chk_backup, Qt::LeftButton);
    QTest::mouseClick(frm->chk_backup, Qt::LeftButton);
    EXPECT_EQ(settings.read(setting::AutoBackup), "True");
    frm->close();
    EXPECT_EQ(settings.read(setting::BackDir), "/somewhere/earlier");
    EXPECT_EQ(closed->size(), 1);
}

TEST_F(BackupTest, EveryControlHasItsCaptionTipAndAccessibleName)
{
    FrmBackup &w = open();
    EXPECT_EQ(w.objectName(), "frm_backup");
    EXPECT_EQ(w.windowTitle(), "Backup / Restore wizard");
    EXPECT_EQ(w.accessibleName(), "Backup / Restore wizard");
    EXPECT_TRUE(w.Label2->text().startsWith("To backup your data and appointments, just select"));
    EXPECT_TRUE(w.Label2->text().endsWith("check the box at the bottom right of this window."));
    EXPECT_EQ(w.com_backup->text(), "Backup your appointments");
    EXPECT_EQ(w.com_backup->toolTip(), "Click here to back up your appointments");
    EXPECT_EQ(w.com_restore->text(), "Restore your appointments");
    EXPECT_EQ(w.com_restore->toolTip(), "Click here to restore your appointments");
    EXPECT_EQ(w.Drive->toolTip(), "Select the drive from this drop down list");
    EXPECT_EQ(w.Dir->toolTip(), "Select the folder from this drop down list");
    EXPECT_EQ(w.Label1->text(), "Backup to the above directory when the calendar exits");
    EXPECT_EQ(w.chk_backup->toolTip(),
        "Click this box to either back up your appointments everytime the calendar starts, or "
        "to cancel this setting");
    EXPECT_EQ(w.chk_backup->accessibleName(), w.Label1->text());
    for (QWidget *control : std::initializer_list<QWidget *> {
             w.Label2, w.Drive, w.Dir, w.com_backup, w.com_restore, w.chk_backup, w.Label1 }) {
        EXPECT_FALSE(control->objectName().isEmpty());
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
    }
    EXPECT_EQ(w.Drive->accessibleName(), w.Drive->toolTip());
    EXPECT_EQ(w.com_backup->accessibleName(), w.com_backup->text());
}

TEST_F(BackupTest, TheLinkOpensOneWindowAndAFreshOneOnceClosed)
{
    BackupWizard wizard(fakes.services, settings, home.paths(),
        FrmBackup::Host { [](const QString &) {}, [] { return true; } });
    wizard.show();
    FrmBackup *first = wizard.window();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    wizard.show();
    EXPECT_EQ(wizard.window(), first);
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(wizard.window(), nullptr);
    wizard.show();
    EXPECT_NE(wizard.window(), nullptr);
}

} // namespace
