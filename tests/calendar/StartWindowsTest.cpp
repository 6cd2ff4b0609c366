#include "calendar/StartWindows.h"
#include "agent/CharacterFolders.h"
#include "calendar/FrmAbout.h"
#include "platform/linux/LocalFiles.h"
#include "storage/ModClock.h"
#include "storage/Settings.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "Version.h"

namespace {

class StartTest : public ::testing::Test
{
protected:
    StartTest()
    {
        flow.showSplash = [this] { steps << "splash"; };
        flow.showNewUser = [this] { steps << "agreement"; };
        flow.showMain = [this] { steps << "main"; };
        flow.endNow = [this] { steps << "end"; };
    }
    FakeServices fakes;
    TestHome home;
    SettingsStore settings { home.paths().settingsFile };
    ModClock modClock { fakes.clock, fakes.autostart, fakes.network, home.paths().windowsFolder() };
    StartFlow flow;
    QStringList steps;
};

TEST_F(StartTest, FirstRunCountsDownWithInstallersFolderAndAgreement)
{
    FrmWait wait(settings, modClock, fakes.launcher, home.paths(), flow);
    wait.Form_Load();
    EXPECT_TRUE(wait.Timer1->isActive());
    EXPECT_EQ(wait.Timer1->interval(), 1000);
    EXPECT_EQ(wait.size(), QSize(423, 81)); // 6345 x 1215 twips
    QStringList shownSeconds;
    for (int tick = 1; tick <= 21; ++tick) {
        wait.Timer1_Timer();
        shownSeconds << wait.lab_secs->text();
        const bool folder = QDir(userCharacterFolder(home.paths().windowsFolder())).exists();
        if (tick == 3) {
            ASSERT_EQ(fakes.launcher.started.size(), 1);
            EXPECT_EQ(fakes.launcher.started[0].program, home.paths().program("agent-setup"));
            EXPECT_EQ(fakes.launcher.started[0].arguments, QStringList { "/Q:A" });
        }
        EXPECT_EQ(folder, tick >= 8) << tick;
        if (tick == 14) {
            ASSERT_EQ(fakes.launcher.started.size(), 2);
            EXPECT_EQ(fakes.launcher.started[1].program, home.paths().program("speech-setup"));
        }
        EXPECT_EQ(steps.contains("agreement"), tick == 21) << tick;
    }
    EXPECT_EQ(shownSeconds.first(), "21");
    EXPECT_EQ(shownSeconds.last(), "1");
    EXPECT_FALSE(wait.Timer1->isActive());
}

TEST_F(StartTest, LaterRunsAndAnotherProgramsMarkerGoToTheSplash)
{
    settings.write(setting::TwoRun, "False");
    FrmWait wait(settings, modClock, fakes.launcher, home.paths(), flow);
    wait.Form_Load();
    EXPECT_EQ(steps, QStringList { "splash" });

    settings.write(setting::TwoRun, "True");
    settings.write(setting::OneRun, "no");
    steps.clear();
    FrmWait again(settings, modClock, fakes.launcher, home.paths(), flow);
    again.Form_Load();
    EXPECT_EQ(steps, QStringList { "splash" });
    EXPECT_FALSE(again.Timer1->isActive());
}

TEST_F(StartTest, DecliningKeepsTheFirstRunAndEnds)
{
    settings.write(setting::TwoRun, "False");
    NewUser agreement(settings, flow);
    agreement.Form_Load();
    EXPECT_EQ(agreement.Command1->text(), "&DON`T AGREE");
    EXPECT_EQ(agreement.Command3->text(), "I &AGREE");
    agreement.Command1_Click();
    EXPECT_EQ(settings.read(setting::TwoRun), "True");
    EXPECT_EQ(steps, QStringList { "end" });
}

TEST_F(StartTest, AgreeingWritesTheThreeOptionsAndShowsTheCalendar)
{
    NewUser agreement(settings, flow);
    agreement.Command3_Click();
    EXPECT_EQ(settings.read(setting::SoundFx), "True");
    EXPECT_EQ(settings.read(setting::Delay, "x"), "False");
    EXPECT_EQ(settings.read(setting::Hide), "False");
    EXPECT_EQ(steps, QStringList { "main" });
}

TEST_F(StartTest, SplashStandsOneSecondAndAQuietRestartSkipsIt)
{
    LocalFiles files;
    FrmSplash quiet(home.paths(), files, true, flow);
    quiet.Form_Load();
    EXPECT_EQ(steps, QStringList { "main" });
    EXPECT_FALSE(quiet.Timer1->isActive());

    steps.clear();
    TestHome::writeFile(home.paths().program("Quillory.EXE"), "old update");
    TestHome::writeFile(home.paths().program("quillory"), "the program");
    FrmSplash splash(home.paths(), files, false, flow);
    splash.Form_Load();
    EXPECT_EQ(splash.lab_version->text(),
        QStringLiteral("This is version %1").arg(quillory::kVersionText));
    EXPECT_TRUE(splash.Timer1->isActive());
    EXPECT_EQ(splash.Timer1->interval(), 1000);
    EXPECT_FALSE(QFile::exists(home.paths().program("Quillory.EXE")));
    EXPECT_TRUE(QFile::exists(home.paths().program("quillory")));
    EXPECT_TRUE(steps.isEmpty());
    splash.Timer1_Timer();
    EXPECT_EQ(steps, QStringList { "main" });
}

TEST_F(StartTest, SplashRemovesAStrayUpdateFileButNeverTheRunningProgram)
{
    const QString folder = home.paths().programFolder;
    FakeFiles files;
    files.folders[folder]
        = QStringList { "QUILLORY.exe", "quillory", "quillory.exe.bak", "notes.txt" };
    {
        FrmSplash splash(home.paths(), files, false, flow);
        splash.Form_Load();
    }
    EXPECT_EQ(files.tried, QStringList { folder + "/QUILLORY.exe" });
    EXPECT_EQ(files.folders[folder], (QStringList { "quillory", "quillory.exe.bak", "notes.txt" }));

    // Started under that very name: the file is the program, and stays.
    files.tried.clear();
    files.folders[folder] = QStringList { "quillory.exe" };
    files.running = folder + "/quillory.exe";
    {
        FrmSplash splash(home.paths(), files, false, flow);
        splash.Form_Load();
    }
    EXPECT_TRUE(files.tried.isEmpty());
    EXPECT_EQ(files.folders[folder], QStringList { "quillory.exe" });

    // A file that cannot be removed leaves the splash to go on as usual.
    files.running.clear();
    files.removable = false;
    FrmSplash splash(home.paths(), files, false, flow);
    splash.Form_Load();
    EXPECT_EQ(files.tried, QStringList { folder + "/quillory.exe" });
    EXPECT_TRUE(splash.Timer1->isActive());
    EXPECT_TRUE(steps.isEmpty());

    // A quiet restart shows no splash and touches no file.
    files.tried.clear();
    FrmSplash quiet(home.paths(), files, true, flow);
    quiet.Form_Load();
    EXPECT_TRUE(files.tried.isEmpty());
}

// The real files: a link to the running program is the running program.
TEST(LocalFiles, TheRunningProgramIsKnownUnderAnyLinkToIt)
{
    TestHome home;
    LocalFiles files;
    const QString running = QCoreApplication::applicationFilePath();
    const QString link = home.paths().programFolder + "/quillory.exe";
    QDir().mkpath(home.paths().programFolder);
    ASSERT_TRUE(QFile::link(running, link));
    EXPECT_TRUE(files.isRunningProgram(link));
    EXPECT_TRUE(files.isRunningProgram(running));
    const QString other = home.paths().programFolder + "/other.exe";
    TestHome::writeFile(other, "x");
    EXPECT_FALSE(files.isRunningProgram(other));
    EXPECT_TRUE(files.fileNames(home.paths().programFolder).contains("other.exe"));
    EXPECT_TRUE(files.remove(other));
    EXPECT_FALSE(QFile::exists(other));
    EXPECT_FALSE(files.remove(other));
    EXPECT_TRUE(files.remove(link));
    EXPECT_TRUE(QFile::exists(running));
}

TEST(About, CaptionAndVersion)
{
    FrmAbout about;
    EXPECT_EQ(about.windowTitle(), "About Quillory");
    EXPECT_EQ(about.lab_version->text(),
        QStringLiteral("This is version %1").arg(quillory::kVersionText));
    EXPECT_FALSE(about.lab_description->text().isEmpty());
}

} // namespace
