#include "platform/SingleInstance.h"

#include "platform/InstanceChannel.h"

#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Claim = SingleInstance::Claim;
using LockState = SingleInstance::LockState;

TEST(SingleInstance, ALiveCalendarIsAskedForwardAndItsLockSeenAsHeld)
{
    TestHome home;
    const QString folder = home.paths().dataFolder;
    SingleInstance first(folder);
    ASSERT_EQ(first.acquire(), Claim::Acquired) << first.error().toStdString();
    EXPECT_EQ(SingleInstance::lockState(folder), LockState::Held);

    QSignalSpy raised(&first, &SingleInstance::raiseRequested);
    SingleInstance second(folder);
    EXPECT_EQ(second.acquire(), Claim::AlreadyRunning);
    EXPECT_TRUE(second.error().isEmpty());
    EXPECT_TRUE(raised.wait(5000));

    first.release();
    EXPECT_EQ(SingleInstance::lockState(folder), LockState::Free);
    EXPECT_EQ(second.acquire(), Claim::Acquired);
}

// Neither what a killed calendar leaves behind nor what another program
// sends gets in the way: the next calendar listens in its place, and only a
// later start's own call brings it forward.
TEST(SingleInstance, AStaleSocketIsReplacedAndOnlyTheCallToComeForwardRaises)
{
    TestHome home;
    const QString folder = home.paths().dataFolder;
    const QString path = SingleInstance::socketPath(folder);
    QFile stale(path);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    SingleInstance running(folder);
    ASSERT_EQ(running.acquire(), Claim::Acquired);
    EXPECT_EQ(QFile::permissions(path)
            & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
        QFile::Permissions());
    QSignalSpy raised(&running, &SingleInstance::raiseRequested);
    EXPECT_TRUE(sendToInstance(path, QByteArray(4000, 'x'), 1000));
    EXPECT_TRUE(sendToInstance(path, "hello", 1000));
    EXPECT_TRUE(sendToInstance(path, "raise", 1000));
    EXPECT_TRUE(raised.wait(5000));
    QTest::qWait(100);
    EXPECT_EQ(raised.size(), 1);

    running.release();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(sendToInstance(path, "raise", 1000));
}

// A folder the lock cannot be made in is no running calendar: the reason is
// told and nobody is asked to come forward.
TEST(SingleInstance, ABrokenDataFolderIsAFailureWithItsReason)
{
    TestHome home;
    const QString notAFolder = home.paths().dataFolder + "/data-as-a-file";
    TestHome::writeFile(notAFolder, "x");
    SingleInstance onAFile(notAFolder);
    EXPECT_EQ(onAFile.acquire(), Claim::Failed);
    EXPECT_TRUE(onAFile.error().contains("is not a folder")) << onAFile.error().toStdString();
    QString why;
    EXPECT_EQ(SingleInstance::lockState(notAFolder, &why), LockState::Broken);
    EXPECT_EQ(why, onAFile.error());
    EXPECT_TRUE(SingleInstance::cannotRunText(why).startsWith("Quillory cannot run: "));

    // A full disk: the lock file cannot be written.
    const QString full = home.paths().dataFolder + "/full";
    QDir().mkpath(full);
    SingleInstance onAFullDisk(full);
    Claim claim;
    {
        FileSizeLimit limit(0);
        claim = onAFullDisk.acquire();
        EXPECT_EQ(SingleInstance::lockState(full), LockState::Broken);
    }
    EXPECT_EQ(claim, Claim::Failed);
    EXPECT_TRUE(onAFullDisk.error().contains("cannot be written"))
        << onAFullDisk.error().toStdString();
    EXPECT_FALSE(QFile::exists(SingleInstance::lockPath(full)));
}

// The restart program, from a program folder of its own whose "quillory"
// leaves a mark when started.
TEST(SingleInstance, TheRestartProgramWaitsForNoBrokenLockButSaysWhy)
{
    QTemporaryDir program;
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(QUILLORY_RESTART), program.filePath("quillory-restart")));
    const QString mark = program.filePath("started");
    TestHome::writeFile(program.filePath("quillory"),
        "#!/bin/sh\necho \"$@\" > '" + QFile::encodeName(mark) + "'\n");
    QFile::setPermissions(
        program.filePath("quillory"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    TestHome home;
    const QString notAFolder = home.paths().dataFolder + "/data-as-a-file";
    TestHome::writeFile(notAFolder, "x");

    const auto run = [&](const QString &dataFolder) {
        QProcess restart;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUILLORY_HOME", dataFolder);
        env.insert("QUILLORY_RESTART_WAIT", "120"); // far longer than the test waits
        restart.setProcessEnvironment(env);
        restart.start(program.filePath("quillory-restart"), { "/n" });
        EXPECT_TRUE(restart.waitForFinished(20000)) << "no wait on a broken lock";
        return std::make_pair(
            restart.exitCode(), QString::fromLocal8Bit(restart.readAllStandardError()));
    };
    const auto [brokenStatus, brokenSaid] = run(notAFolder);
    EXPECT_EQ(brokenStatus, 1);
    EXPECT_TRUE(brokenSaid.contains("Quillory cannot run: ")) << brokenSaid.toStdString();
    EXPECT_TRUE(brokenSaid.contains("is not a folder"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(mark); }, 10000))
        << "the calendar is started to show the reason in its box";

    QFile::remove(mark);
    const auto [freeStatus, freeSaid] = run(home.paths().dataFolder);
    EXPECT_EQ(freeStatus, 0) << freeSaid.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(mark); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return TestHome::readFile(mark) == "/n\n"; }, 5000));
}

// The calendar itself, started twice on one data folder: the second start
// asks the first to come forward and ends cleanly at once; the first runs on
// until the system asks it to end.
TEST(SingleInstance, ASecondCalendarBringsTheFirstForwardAndEndsCleanly)
{
    TestHome home;
    TestHome::writeFile(home.paths().settingsFile, "[data]\r\n2run=False\r\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLORY_HOME", home.paths().dataFolder);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(QUILLORY_PROGRAM), { "/n" });
    ASSERT_TRUE(first.waitForStarted(10000));
    const QString socket = SingleInstance::socketPath(home.paths().dataFolder);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socket); }, 30000))
        << first.readAllStandardError().toStdString();

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(QUILLORY_PROGRAM), {});
    ASSERT_TRUE(second.waitForFinished(30000));
    const QString said = QString::fromLocal8Bit(second.readAllStandardError());
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit) << said.toStdString();
    EXPECT_EQ(second.exitCode(), 0) << said.toStdString();
    EXPECT_TRUE(said.contains("asking it to come forward")) << said.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(socket));
}

} // namespace
