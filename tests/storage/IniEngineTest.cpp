#include "storage/IniEngine.h"
#include "storage/IniFuncs.h"
#include "storage/Logging.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <sys/stat.h>

// What the vector files cannot say: how writes fail, what is logged, and
// that hostile content neither crashes the engine nor loses other lines.

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Collects what the storage category logs while it lives.
class LogCapture
{
public:
    LogCapture()
    {
        s_messages.clear();
        m_previous = qInstallMessageHandler(&LogCapture::handle);
        m_debugWasOn = lcStorage().isDebugEnabled();
        const_cast<QLoggingCategory &>(lcStorage()).setEnabled(QtDebugMsg, true);
    }
    ~LogCapture()
    {
        const_cast<QLoggingCategory &>(lcStorage()).setEnabled(QtDebugMsg, m_debugWasOn);
        qInstallMessageHandler(m_previous);
    }

    // Messages of `type` from quillory.storage that mention every one of `parts`.
    int count(QtMsgType type, const QStringList &parts) const
    {
        int n = 0;
        for (const Message &m : s_messages) {
            bool all = m.type == type && m.category == "quillory.storage";
            for (const QString &p : parts)
                all = all && m.text.contains(p);
            n += all;
        }
        return n;
    }

private:
    struct Message
    {
        QtMsgType type;
        QString category;
        QString text;
    };
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        s_messages.push_back({ type, QString::fromUtf8(context.category), text });
    }
    static inline std::vector<Message> s_messages;
    QtMessageHandler m_previous = nullptr;
    bool m_debugWasOn = false;
};

const QByteArray kOld = "[alarms]\r\n09/05/24/12/2026=TBuy bread}\r\n";

// Each way a replacement can fail must leave the old file exactly as it was.
struct FailedWrite
{
    const char *name;
    // Prepares `dir` and returns the data file's path; an empty path skips.
    std::function<QString(const QDir &dir, std::string &skipReason)> prepare;
};

void PrintTo(const FailedWrite &f, std::ostream *os)
{
    *os << f.name;
}

class IniFailedWrite : public ::testing::TestWithParam<FailedWrite>
{ };

TEST_P(IniFailedWrite, ReturnsFalseLogsAndKeepsTheOldFile)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    // Writable again at the end, so that the folder can be removed.
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    std::string skip;
    const QString path = GetParam().prepare(QDir(tmp.path()), skip);
    if (path.isEmpty())
        GTEST_SKIP() << skip;

    LogCapture log;
    EXPECT_FALSE(ini::writePrivateProfileString("alarms", "23/30/01/01/2027", "NCall home", path));
    EXPECT_EQ(readAll(path), kOld);
    EXPECT_EQ(log.count(QtWarningMsg, { path }), 1);
    EXPECT_EQ(log.count(QtDebugMsg, { "wrote" }), 0);
}

INSTANTIATE_TEST_SUITE_P(Storage, IniFailedWrite,
    ::testing::Values(
        // The file itself is writable: only an in-place write would succeed.
        FailedWrite { "ReadOnlyFolder",
            [](const QDir &dir, std::string &skip) {
                const QString path = dir.filePath("data.ini");
                writeAll(path, kOld);
                QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
                QFile probe(dir.filePath("probe"));
                if (probe.open(QIODevice::WriteOnly)) {
                    probe.remove();
                    skip = "this user writes into read-only folders";
                    return QString();
                }
                return path;
            } },
        // A name at the file-system limit leaves no room for a temporary
        // file beside it: the same failure, reproducible with any privileges.
        FailedWrite { "NoRoomForTheTemporaryFile",
            [](const QDir &dir, std::string &) {
                const QString path = dir.filePath(QString(251, 'd') + ".ini");
                writeAll(path, kOld);
                return path;
            } }),
    [](const ::testing::TestParamInfo<FailedWrite> &info) { return info.param.name; });

TEST(IniFiles, AFullDiskIsAFailedWriteAndNeverACutOffFile)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString path = tmp.filePath("data.ini");
    writeAll(path, kOld);
    bool written = true;
    {
        // Room for part of the new copy only: the first bytes go, the rest fail.
        FileSizeLimit full(16);
        written = ini::writePrivateProfileString("alarms", "23/30/01/01/2027", "NCall home", path);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(readAll(path), kOld);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files), QStringList { "data.ini" });
}

TEST(IniFiles, MissingDataFolderIsAFailedWriteNotACreatedOne)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString folder = tmp.filePath("Quillory");
    const QString path = folder + "/data.ini";

    LogCapture log;
    EXPECT_FALSE(ini::writePrivateProfileString("alarms", "k", "v", path));
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_EQ(log.count(QtWarningMsg, { path }), 1);
    // Reading there is not an error: a missing file reads as the default.
    EXPECT_EQ(ini::getPrivateProfileString("alarms", "k", "nothing", 255, path).text, "nothing");
}

TEST(IniFiles, AFolderInPlaceOfTheFileIsNeitherReadNorReplaced)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString path = tmp.filePath("data.ini");
    ASSERT_TRUE(QDir(tmp.path()).mkdir("data.ini"));

    EXPECT_EQ(ini::getPrivateProfileString("alarms", "k", "nothing", 255, path).text, "nothing");
    EXPECT_FALSE(ini::writePrivateProfileString("alarms", "k", "v", path));
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(IniFiles, EveryWriteIsLoggedWithPathAndKey)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString path = tmp.filePath("data.ini");

    LogCapture log;
    ASSERT_TRUE(ini::writePrivateProfileString("alarms", "09/05/24/12/2026", "TBuy bread}", path));
    ASSERT_TRUE(ini::writePrivateProfileString("alarms", "09/05/24/12/2026", "nothing", path));
    // The same value again changes nothing, so nothing is written.
    ASSERT_TRUE(ini::writePrivateProfileString("alarms", "09/05/24/12/2026", "nothing", path));
    EXPECT_EQ(log.count(QtDebugMsg, { path, "09/05/24/12/2026" }), 2);
}

// A megabyte line, every byte value and a NUL: nothing crashes, the lines
// that are not written keep every byte, and the keys after them are found.
TEST(IniFiles, HostileLinesSurviveWritesAroundThem)
{
    QByteArray binary = "bin=";
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            binary.push_back(char(b));
    const QByteArray huge = "huge=" + QByteArray(1 << 20, 'x');
    const QByteArray before = "[alarms]\r\n" + huge + "\r\n" + binary + "\r\n;note\r\nk=old\r\n";

    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString path = tmp.filePath("data.ini");
    writeAll(path, before);

    EXPECT_EQ(
        ini::getPrivateProfileString("alarms", "huge", "", 255, path).text, QByteArray(254, 'x'));
    // The NUL ends what a lookup sees of the binary line.
    EXPECT_EQ(ini::getPrivateProfileString("alarms", "bin", "", 255, path).count, 0u);
    EXPECT_EQ(ini::getPrivateProfileString("alarms", "k", "", 255, path).text, "old");

    ASSERT_TRUE(ini::writePrivateProfileString("alarms", "k", "new", path));
    ASSERT_TRUE(ini::writePrivateProfileString("alarms", "j", "added", path));
    EXPECT_EQ(readAll(path),
        "[alarms]\r\n" + huge + "\r\n" + binary + "\r\n;note\r\nk=new\r\nj=added\r\n");
}

// Writes that change nothing must say so, so that no file is replaced.
struct Unchanged
{
    const char *name;
    std::optional<QByteArray> content;
    ini::OptBytes section;
    ini::OptBytes key;
    ini::OptBytes value;
    bool ok;
};

void PrintTo(const Unchanged &c, std::ostream *os)
{
    *os << c.name;
}

class IniUnchangedWrite : public ::testing::TestWithParam<Unchanged>
{ };

TEST_P(IniUnchangedWrite, IsNotStored)
{
    const Unchanged &c = GetParam();
    const ini::WriteResult r = ini::writeString(c.content, c.section, c.key, c.value);
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_FALSE(r.changed);
    EXPECT_EQ(r.content, c.content.value_or(QByteArray()));
}

const QByteArray kFile = "[alarms]\r\nk = same \r\n;c\r\n";

INSTANTIATE_TEST_SUITE_P(Storage, IniUnchangedWrite,
    ::testing::Values(Unchanged { "SameValue", kFile, "alarms", "K", "same", true },
        Unchanged { "SameValueAfterNul", kFile, "alarms", "k", QByteArray("same\0tail", 9), true },
        Unchanged { "DeleteMissingKey", kFile, "alarms", "x", std::nullopt, true },
        Unchanged { "DeleteCommentIsNoKey", kFile, "alarms", ";c", std::nullopt, true },
        Unchanged { "DeleteMissingSection", kFile, "other", std::nullopt, std::nullopt, true },
        Unchanged { "DeleteInMissingFile", std::nullopt, "alarms", "k", std::nullopt, true },
        Unchanged { "NullSection", kFile, std::nullopt, "k", "v", false },
        Unchanged { "EmptyKey", kFile, "alarms", " ", "v", false }),
    [](const ::testing::TestParamInfo<Unchanged> &info) { return info.param.name; });

} // namespace

namespace {

// Setting many keys in one pass must give the bytes that setting them one
// after another gives, whatever the file looks like.
TEST(IniBatch, ManyKeysInOnePassEqualOneAfterAnother)
{
    const QList<QPair<QByteArray, QByteArray>> pairs { { "10/15/08/12/2026", "nothing" },
        { "10/15/09/12/2026", "TTea" }, { "new key", "first" }, { "NEW KEY", "second" },
        { "09/00/01/01/2027", "NSame" }, { "  padded  ", "x\0cut" }, { "", "never" } };
    const QList<std::optional<QByteArray>> contents {
        std::nullopt,
        QByteArray(),
        QByteArray("[other]\r\na=1"),
        QByteArray("[alarms]\r\n10/15/08/12/2026=TTea\r\n; note\r\n\r\n[next]\r\nb=2\r\n"),
        QByteArray("[ALARMS]\n10/15/08/12/2026 = TTea\n10/15/08/12/2026=Tsecond\n"
                   "09/00/01/01/2027=NSame\nkey without value\n[alarms]\nlate=1"),
        QByteArray("[alarms]"),
        QByteArray("\xFF\xFE[\0a\0l\0a\0r\0m\0s\0]\0\r\0\n\0x\0=\0y\0", 26),
    };
    for (const std::optional<QByteArray> &content : contents) {
        ini::WriteResult oneByOne { true, false, content.value_or(QByteArray()) };
        std::optional<QByteArray> current = content;
        for (const auto &[key, value] : pairs) {
            const ini::WriteResult step
                = ini::writeString(current, QByteArray("alarms"), key, value);
            if (step.changed) {
                oneByOne.changed = true;
                oneByOne.content = step.content;
                current = step.content;
            }
        }
        const ini::WriteResult batch = ini::writeStrings(content, "alarms", pairs);
        EXPECT_TRUE(batch.ok);
        EXPECT_EQ(batch.changed, oneByOne.changed) << content.value_or("(no file)").constData();
        EXPECT_EQ(batch.content, oneByOne.content) << content.value_or("(no file)").constData();
    }
}

TEST(IniBatch, AFullDiskWritesNoneOfTheKeys)
{
    TestHome home;
    const QByteArray before = "[alarms]\r\n10/15/08/12/2026=TTea\r\n";
    home.writeData(before);
    {
        FileSizeLimit full(16);
        QString error;
        EXPECT_FALSE(ini::writePrivateProfileStrings("alarms",
            { { "10/15/09/12/2026", "TTea" }, { "10/15/08/12/2026", "nothing" } }, home.dataFile(),
            &error));
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_EQ(home.readData(), before);
}

} // namespace

// A FIFO or a device in place of the data file would hang the reader in
// open (a FIFO without a writer) or never end (a device): each reads as an
// unreadable file, at once, and is never replaced.
TEST(IniFiles, AnythingButARegularFileReadsAsUnreadableWithoutWaiting)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString fifo = tmp.filePath("data.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString linkToDevice = tmp.filePath("Calendar.ini");
    ASSERT_TRUE(QFile::link("/dev/zero", linkToDevice));

    for (const QString &path : { fifo, linkToDevice, QStringLiteral("/dev/zero") }) {
        LogCapture log;
        EXPECT_EQ(ini::getPrivateProfileString("alarms", "k", "nothing", 255, path).text, "nothing")
            << path.toStdString();
        EXPECT_EQ(log.count(QtWarningMsg, { path, "not a file" }), 1) << path.toStdString();
        EXPECT_FALSE(readWholeFile(path)) << path.toStdString();
    }
    EXPECT_FALSE(ini::writePrivateProfileString("alarms", "k", "v", fifo));
    EXPECT_FALSE(ini::writePrivateProfileString("alarms", "k", "v", linkToDevice));
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile()) << "the FIFO stays";
    EXPECT_TRUE(QFileInfo(linkToDevice).isSymLink());

    // A link to a regular file is still read: the user may keep the file elsewhere.
    writeAll(tmp.filePath("real.ini"), "[alarms]\r\nk=v\r\n");
    ASSERT_TRUE(QFile::link(tmp.filePath("real.ini"), tmp.filePath("linked.ini")));
    EXPECT_EQ(
        ini::getPrivateProfileString("alarms", "k", "nothing", 255, tmp.filePath("linked.ini"))
            .text,
        "v");
}
