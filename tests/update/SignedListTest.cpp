#include "update/SignedList.h"

#include "tests/support/SigningKey.h"
#include "tests/support/TestHome.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace update;

const QByteArray kList = "otherapp:2.0.0:\nquillory:1.2.0:"
                         "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08:\n";

class SignedListTest : public ::testing::Test
{
protected:
    SigningKey maker;
    SigningKey stranger;
};

TEST_F(SignedListTest, AListSignedByTheKeyGivesItsTextWithoutTheSignature)
{
    const QByteArray served = maker.signList(kList);
    const VerifiedList verified = verifySignedList(served, maker.publicPem());
    ASSERT_TRUE(verified.text) << verified.problem.toStdString();
    EXPECT_EQ(*verified.text, kList);

    // Blanks and line breaks after the signature line do not matter; CR LF lines do
    // when they were signed so.
    EXPECT_TRUE(verifySignedList(served + "\r\n \n", maker.publicPem()).text);
    const QByteArray crlf = maker.signList("quillory:1.2.0:\r\n");
    EXPECT_EQ(verifySignedList(crlf, maker.publicPem()).text, "quillory:1.2.0:\r\n");
}

TEST_F(SignedListTest, AnythingButTheMakersSignatureOverTheExactBytesIsRefused)
{
    const QByteArray good = maker.signList(kList);
    QByteArray tampered = good;
    tampered.replace("1.2.0", "1.3.0");
    QByteArray flipped = good;
    // Another base64 letter, so the signature still reads but says something else.
    char &letter = flipped[flipped.indexOf("ed25519 ") + 10];
    letter = letter == 'A' ? 'B' : 'A';
    const QByteArray signature = good.mid(good.indexOf("ed25519 "));
    const struct
    {
        const char *name;
        QByteArray served;
        const char *problem;
    } cases[] = {
        { "unsigned", kList, "not signed" },
        { "empty", {}, "not signed" },
        { "blank", "\n\n  \n", "not signed" },
        { "only a signature line", signature, "not the maker's" },
        { "signature not last", good + "quillory:9.9.9:\n", "not signed" },
        { "signature in the middle", signature + kList, "not signed" },
        { "another key", stranger.signList(kList), "not the maker's" },
        { "a changed list", tampered, "not the maker's" },
        { "a changed signature", flipped, "not the maker's" },
        { "a line break added", "\n" + good, "not the maker's" },
        { "not base64", kList + "ed25519 ***not base64***\n", "malformed" },
        { "short", kList + "ed25519 " + QByteArray(63, 'x').toBase64() + "\n", "malformed" },
        { "long", kList + "ed25519 " + QByteArray(65, 'x').toBase64() + "\n", "malformed" },
        { "no prefix", kList + maker.sign(kList).toBase64() + "\n", "not signed" },
    };
    for (const auto &c : cases) {
        const VerifiedList verified = verifySignedList(c.served, maker.publicPem());
        EXPECT_FALSE(verified.text) << c.name;
        EXPECT_TRUE(verified.problem.contains(c.problem))
            << c.name << ": " << verified.problem.toStdString();
    }
}

TEST_F(SignedListTest, OnlyAnEd25519PublicKeyChecksAList)
{
    const QByteArray served = maker.signList(kList);
    EXPECT_TRUE(verifySignedList(served, {}).problem.contains("no key"));
    EXPECT_TRUE(
        verifySignedList(served, "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n")
            .problem.contains("not an Ed25519 public key"));
    // The built-in key is a real Ed25519 key, and a test key's list is not the maker's.
    EXPECT_TRUE(verifySignedList(served, builtInPublicKey()).problem.contains("not the maker's"));
}

TEST_F(SignedListTest, TheVariableNamesAKeyFileThatReplacesTheBuiltInKey)
{
    TestHome home;
    const QString path = home.paths().dataFolder + "/maker.pem";
    TestHome::writeFile(path, maker.publicPem());
    qunsetenv(kPublicKeyVariable);
    EXPECT_EQ(trustedPublicKey().pem, builtInPublicKey());

    qputenv(kPublicKeyVariable, path.toLocal8Bit());
    TrustedKey key = trustedPublicKey();
    EXPECT_EQ(key.pem, maker.publicPem());
    EXPECT_EQ(key.source, path);
    EXPECT_TRUE(verifySignedList(maker.signList(kList), key.pem).text);

    // A file that is not there is no key at all, never the built-in one.
    qputenv(kPublicKeyVariable, (path + ".missing").toLocal8Bit());
    key = trustedPublicKey();
    EXPECT_TRUE(key.pem.isEmpty());
    EXPECT_TRUE(key.problem.contains("cannot be read"));
    qunsetenv(kPublicKeyVariable);
}

// The maker's script and the program agree on the format.
TEST_F(SignedListTest, AListSignedWithTheScriptIsAcceptedAndOnlyUnderItsKey)
{
    QTemporaryDir dir;
    const QString script = QStringLiteral(QUILLORY_SOURCE_DIR "/scripts/sign-update-list");
    const auto run = [&](const QStringList &arguments) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(script, arguments);
        EXPECT_TRUE(p.waitForFinished(30000));
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    ASSERT_EQ(run({ "keygen", "maker.pem", "maker.pub" }), 0);
    EXPECT_EQ(QFileInfo(dir.filePath("maker.pem")).permissions() & 0x0077, 0)
        << "the private key is the owner's alone";
    EXPECT_NE(run({ "keygen", "maker.pem", "other.pub" }), 0) << "a key is never replaced";
    // Without a final line break: the script adds one, inside what it signs.
    TestHome::writeFile(dir.filePath("versions.txt"), kList.chopped(1));
    ASSERT_EQ(run({ "sign", "maker.pem", "versions.txt", "signed.txt" }), 0);
    EXPECT_EQ(run({ "verify", "maker.pub", "signed.txt" }), 0);
    EXPECT_NE(run({ "sign", "maker.pem", "signed.txt", "twice.txt" }), 0);

    const QByteArray served = TestHome::readFile(dir.filePath("signed.txt"));
    const VerifiedList verified
        = verifySignedList(served, TestHome::readFile(dir.filePath("maker.pub")));
    ASSERT_TRUE(verified.text) << verified.problem.toStdString();
    EXPECT_EQ(*verified.text, kList);
    EXPECT_FALSE(verifySignedList(served, maker.publicPem()).text);
}

} // namespace
