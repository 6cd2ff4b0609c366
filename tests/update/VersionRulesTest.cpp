#include "update/VersionRules.h"

#include "Version.h"

#include <gtest/gtest.h>

namespace {

using namespace update;

const OwnVersion kOwn { 1, 1, 11 };

struct ListCase
{
    const char *name;
    QByteArray list;
    // The version read, or empty when the list gives none.
    QString version;
    bool offered;
};

class VersionList : public ::testing::TestWithParam<ListCase>
{ };

TEST_P(VersionList, ReadAndCompared)
{
    const ListCase &c = GetParam();
    const ListReading reading = readVersionList(c.list);
    if (c.version.isEmpty()) {
        EXPECT_FALSE(reading.entry);
        EXPECT_FALSE(reading.problem.isEmpty());
        return;
    }
    ASSERT_TRUE(reading.entry) << reading.problem.toStdString();
    EXPECT_EQ(reading.entry->version, c.version);
    EXPECT_EQ(isOffered(reading.entry->version, kOwn), c.offered);
}

QByteArray binaryList()
{
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i)
        bytes += char((i * 37 + 11) % 256);
    return bytes.replace("quillory", "").replace("QUILLORY", "");
}

INSTANTIATE_TEST_SUITE_P(Update, VersionList,
    ::testing::Values(
        // The key matches whatever its case; 120 is greater than 1111 as text.
        ListCase { "KeyInAnyCase", "otherapp:2.0.0:QUILLORY:1.2.0:", "1.2.0", true },
        ListCase { "Equal", "quillory:1.1.11:", "1.1.11", false },
        // 119 is greater than 1111 as text: the comparison is not numeric.
        ListCase { "TextualNotNumeric", "quillory:1.1.9:", "1.1.9", true },
        ListCase { "OlderAsText", "quillory:1.1.10:", "1.1.10", false },
        ListCase { "FirstOccurrenceCounts", "quillory:1.0.0:quillory:9.9.9:", "1.0.0", false },
        ListCase { "VersionToTheEnd", "quillory:2.0.0", "2.0.0", true },
        ListCase {
            "BlanksAndLineBreaksAround", "quillory: 1.2.0 \r\n:otherapp:1.0:\r\n", "1.2.0", true },
        ListCase { "OneEntryALine", "otherapp:2.0.0:\r\nquillory:1.2.0:\r\n", "1.2.0", true },
        ListCase { "Empty", "", {}, false }, ListCase { "NoKey", "otherapp:2.0.0:", {}, false },
        ListCase { "KeyWithoutColon", "quillory 1.2.0", {}, false },
        ListCase { "EmptyVersion", "quillory::", {}, false },
        ListCase { "NotAVersion", "quillory:1.2.0-beta=x:", {}, false },
        ListCase { "HugeVersion", "quillory:" + QByteArray(10000, '1') + ":", {}, false },
        ListCase { "Binary", binaryList(), {}, false },
        ListCase { "BinaryAroundTheEntry", binaryList() + "quillory:1.2.0:" + binaryList(), "1.2.0",
            true }),
    [](const ::testing::TestParamInfo<ListCase> &info) { return info.param.name; });

TEST(VersionListDigest, TheFieldAfterTheVersionIsTheUpdatesSha256)
{
    const QByteArray hex = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
    auto withDigest = readVersionList("quillory:1.2.0:" + hex + ":");
    ASSERT_TRUE(withDigest.entry);
    EXPECT_EQ(withDigest.entry->sha256, QByteArray::fromHex(hex));
    EXPECT_EQ(withDigest.entry->sha256.size(), 32);
    EXPECT_TRUE(withDigest.entry->digestProblem.isEmpty());

    // Missing or malformed: the entry is read, without a digest and with the reason.
    const struct
    {
        QByteArray list;
        const char *problem;
    } cases[] = {
        { "quillory:1.2.0:", "gives no SHA-256" },
        { "quillory:1.2.0", "gives no SHA-256" },
        { "quillory:1.2.0::", "gives no SHA-256" },
        { "quillory:1.2.0:otherapp:2.0.0:", "not 64 hex digits" },
        { "quillory:1.2.0:" + hex.left(63) + ":", "not 64 hex digits" },
        { "quillory:1.2.0:" + hex + "0:", "not 64 hex digits" },
        { "quillory:1.2.0:" + hex.left(63) + "g:", "not 64 hex digits" },
        { "quillory:1.2.0:" + hex, "closed by a colon" },
        { "quillory:1.2.0:" + hex + "\n", "closed by a colon" },
    };
    for (const auto &c : cases) {
        auto reading = readVersionList(c.list);
        ASSERT_TRUE(reading.entry) << c.list.toStdString();
        EXPECT_TRUE(reading.entry->sha256.isEmpty()) << c.list.toStdString();
        EXPECT_TRUE(reading.entry->digestProblem.contains(c.problem))
            << c.list.toStdString() << " gave " << reading.entry->digestProblem.toStdString();
        EXPECT_TRUE(reading.entry->digestProblem.contains("1.2.0"));
    }
}

TEST(OwnVersionForms, DottedAndDigits)
{
    EXPECT_EQ(kOwn.dotted(), "1.1.11");
    EXPECT_EQ(kOwn.digits(), "1111");
    const OwnVersion current = OwnVersion::current();
    EXPECT_EQ(current.dotted(), QString::fromLatin1(quillory::kVersionText));
}

TEST(UpdateAddresses, HttpsUnlessTheAddressSaysHttp)
{
    EXPECT_EQ(endpoint("https://www.quillory.org", kVersionsPath).toString(),
        "https://www.quillory.org/versions.txt");
    EXPECT_EQ(endpoint("download.quillory.org", kUpdatePath).toString(),
        "https://download.quillory.org/downloads/update.exe");
    EXPECT_EQ(endpoint("http://127.0.0.1:8080/", kVersionsPath).toString(),
        "http://127.0.0.1:8080/versions.txt");
    EXPECT_EQ(endpoint(" https://example.org/mirror/?x=1 ", kUpdatePath).toString(),
        "https://example.org/mirror/downloads/update.exe");
    for (const char *bad : { "", "   ", "ftp://example.org", "file:///tmp", "https://" })
        EXPECT_TRUE(endpoint(bad, kVersionsPath).isEmpty()) << bad;

    EXPECT_EQ(
        configuredAddress("http://127.0.0.1:9", "https://www.quillory.org"), "http://127.0.0.1:9");
    EXPECT_EQ(configuredAddress("", "https://www.quillory.org"), "https://www.quillory.org");
}

TEST(UpdateTexts, TheQuestionHasItsCrLfBreaks)
{
    EXPECT_EQ(questionText(kOwn, "1.2.0"),
        "There is a new version of Quillory available.\r\nYou have version 1.1.11, and the new "
        "version number\r\nis 1.2.0. Do you want me to download it now for you?");
}

} // namespace
