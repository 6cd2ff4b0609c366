#include "update/DownloadRules.h"

#include "tests/support/TestHome.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using namespace update;

constexpr QFile::Permissions kOwnerAll = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

QByteArray sha(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QFile::Permissions modeOf(const QString &path)
{
    // The owner's and everybody else's bits; "user" bits repeat the owner's.
    return QFileInfo(path).permissions()
        & (kOwnerAll | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::WriteOther | QFile::ExeOther);
}

TEST(DownloadVerdict, ThreeBytesNotAllZeroAndTheDigestAlways)
{
    const QByteArray mz("MZ\x90\x00", 4);
    EXPECT_EQ(judge(0, {}, sha({}), {}), Verdict::TooShort);
    EXPECT_EQ(judge(2, "MZ", sha("MZ"), sha("MZ")), Verdict::TooShort);
    EXPECT_EQ(judge(3, QByteArray(3, '\0'), sha(QByteArray(3, '\0')), sha(QByteArray(3, '\0'))),
        Verdict::ZeroStart);
    const QByteArray low("\0\0\1\0", 4);
    EXPECT_EQ(judge(4, low, sha(low), sha(low)), Verdict::Good);
    EXPECT_EQ(judge(4, mz, sha(mz), sha(mz)), Verdict::Good);
    EXPECT_EQ(judge(4, mz, sha(mz), sha("something else")), Verdict::WrongDigest);
    // Without a digest, or with one that is not 32 bytes, nothing is good.
    EXPECT_EQ(judge(4, mz, sha(mz), {}), Verdict::NoDigest);
    EXPECT_EQ(judge(4, mz, sha(mz), sha(mz).left(31)), Verdict::NoDigest);
    // A digest does not excuse a file of nothing.
    EXPECT_EQ(judge(0, {}, sha({}), sha({})), Verdict::TooShort);
}

class UpdateFileTest : public ::testing::Test
{
protected:
    QString folder() const { return home.paths().updateFolder(); }
    QStringList files() const { return QDir(folder()).entryList(QDir::Files | QDir::Hidden); }
    TestHome home;
};

TEST_F(UpdateFileTest, AGoodUpdateIsAFreshFileOnlyItsOwnerCanReachAndRun)
{
    const QByteArray body = "#!/bin/sh\necho updated\n";
    QString error;
    auto first = UpdateFile::create(folder(), &error);
    ASSERT_TRUE(first) << error.toStdString();
    auto second = UpdateFile::create(folder(), &error);
    ASSERT_TRUE(second);
    EXPECT_NE(first->path(), second->path());
    EXPECT_EQ(QFileInfo(first->path()).absolutePath(), folder());
    EXPECT_EQ(modeOf(folder()), kOwnerAll);
    // Not runnable while it is still arriving.
    EXPECT_FALSE(QFileInfo(first->path()).isExecutable());

    ASSERT_TRUE(first->write(body.left(5)));
    ASSERT_TRUE(first->write(body.mid(5)));
    EXPECT_EQ(first->finish(sha(body)), Verdict::Good);
    EXPECT_EQ(TestHome::readFile(first->path()), body);
    EXPECT_EQ(modeOf(first->path()), kOwnerAll);

    const QString kept = first->path();
    first.reset();
    EXPECT_TRUE(QFile::exists(kept)) << "a good update stays to be started";
    second->discard();
    EXPECT_EQ(files(), QStringList { QFileInfo(kept).fileName() });
}

TEST_F(UpdateFileTest, ABadUpdateIsRemoved)
{
    struct Bad
    {
        QByteArray body;
        QByteArray digest;
    };
    const QList<Bad> cases { { {}, {} }, { QByteArray(3, '\0'), {} },
        { "MZ-program", sha("another program") }, { "MZ-program", {} } };
    for (const Bad &bad : cases) {
        auto file = UpdateFile::create(folder(), nullptr);
        ASSERT_TRUE(file);
        if (!bad.body.isEmpty())
            file->write(bad.body);
        EXPECT_NE(file->finish(bad.digest), Verdict::Good);
        EXPECT_FALSE(QFile::exists(file->path()));
    }
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(UpdateFileTest, AFullDiskIsAFailedWriteAndTheFileGoes)
{
    auto file = UpdateFile::create(folder(), nullptr);
    ASSERT_TRUE(file);
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(file->write(QByteArray(64 * 1024, 'x')));
    }
    EXPECT_FALSE(file->write("more")) << "a failed file takes nothing more";
    EXPECT_EQ(file->finish({}), Verdict::NotSaved);
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(UpdateFileTest, TheFolderIsMadePrivateAndEarlierDownloadsAreRemoved)
{
    ASSERT_TRUE(QDir().mkpath(folder()));
    QFile::setPermissions(folder(),
        kOwnerAll | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther | QFile::ReadGroup);
    TestHome::writeFile(folder() + "/quillory-update-abc123", "old");
    TestHome::writeFile(folder() + "/notes.txt", "kept");
    EXPECT_EQ(removeOldDownloads(folder()), 1);
    EXPECT_EQ(files(), QStringList { "notes.txt" });

    QString error;
    EXPECT_TRUE(preparePrivateFolder(folder(), &error)) << error.toStdString();
    EXPECT_EQ(modeOf(folder()), kOwnerAll);
}

TEST_F(UpdateFileTest, AFolderThatCannotBeMadeGivesNoFile)
{
    // A file stands where the folder should be.
    TestHome::writeFile(home.paths().cacheFolder, "not a folder");
    QString error;
    EXPECT_FALSE(UpdateFile::create(folder(), &error));
    EXPECT_FALSE(error.isEmpty());

    const QString link = home.paths().dataFolder + "/link";
    ASSERT_TRUE(QFile::link(home.paths().dataFolder, link));
    EXPECT_FALSE(preparePrivateFolder(link, &error)) << "a link could be swapped";
}

} // namespace
