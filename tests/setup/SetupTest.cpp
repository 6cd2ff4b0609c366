#include "setup/SetupWork.h"
#include "tests/agent/SharedSynthesizer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace setup;

namespace {

const QString kShipped = QStringLiteral(QUILLORY_SOURCE_DIR "/characters");

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(AgentSetupTest, ShippedCharactersArriveOnceAndTheUsersOwnStay)
{
    QTemporaryDir home;
    const QString user = home.filePath("msagent/chars");
    const Report first = copyShippedCharacters({ kShipped }, user);
    EXPECT_TRUE(first.ok) << first.lines.join('\n').toStdString();
    EXPECT_EQ(read(user + "/Tockel.acs"), read(kShipped + "/Tockel.acs"));
    EXPECT_EQ(read(user + "/Bramble.acs"), read(kShipped + "/Bramble.acs"));
    EXPECT_TRUE(first.lines.join('\n').contains("copied Tockel.acs"));

    write(user + "/Bramble.acs", "my own Bramble");
    const Report again = copyShippedCharacters({ kShipped }, user);
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(read(user + "/Bramble.acs"), "my own Bramble");
    EXPECT_TRUE(again.lines.join('\n').contains("Tockel.acs is already in place"));
    EXPECT_TRUE(again.lines.join('\n').contains("Bramble.acs kept"));

    // Nothing shipped, or a folder that cannot be made: a failure, said so.
    EXPECT_FALSE(copyShippedCharacters({ home.filePath("none") }, user).ok);
    write(home.filePath("file"), "x");
    const Report blocked = copyShippedCharacters({ kShipped }, home.filePath("file/chars"));
    EXPECT_FALSE(blocked.ok);
    EXPECT_TRUE(blocked.lines.first().startsWith("FAILED"));
}

TEST(SpeechSetupTest, TheTestPhraseIsAudibleInTheFileAndEveryVoiceIsChecked)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath("cache/speech-test.wav");
    const Report r = checkSpeech(testPhrase(), wav, &sharedSynthesizer());
    EXPECT_TRUE(r.ok) << r.lines.join('\n').toStdString();
    const QString log = r.lines.join('\n');
#ifdef QUILLORY_HAVE_FLITE
    for (const char *voice : { "rms", "slt", "awb", "kal16" })
        EXPECT_TRUE(log.contains(QStringLiteral("flite voice %1 speaks").arg(voice))) << voice;
#endif
    EXPECT_TRUE(log.contains("espeak voice en-us speaks"));
    const QByteArray bytes = read(wav);
    ASSERT_GT(bytes.size(), 44 + 16000);
    EXPECT_EQ(bytes.left(4), "RIFF");
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 40), quint32(bytes.size() - 44));
    QVector<qint16> pcm;
    for (qsizetype i = 44; i + 1 < bytes.size(); i += 2)
        pcm << qFromLittleEndian<qint16>(bytes.constData() + i);
    EXPECT_GT(rmsLevel(pcm), kSilenceLevel);

    // Nowhere to write the file: a failure, not a silent success.
    QFile(dir.filePath("blocked")).open(QIODevice::WriteOnly);
    EXPECT_FALSE(checkSpeech(testPhrase(), dir.filePath("blocked/x.wav"), &sharedSynthesizer()).ok);
    // Nothing to say counts as silence.
    EXPECT_FALSE(
        checkSpeech(QStringLiteral("\\emp\\ "), dir.filePath("quiet.wav"), &sharedSynthesizer())
            .ok);
}

TEST(SetupLogTest, LinesAreAddedAndTheLogStaysBounded)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("setup.log");
    Report a;
    a.note("first step");
    ASSERT_TRUE(appendToLog(path, "agent-setup", a));
    Report b;
    b.fail("second step");
    ASSERT_TRUE(appendToLog(path, "speech-setup", b));
    const QString log = QString::fromUtf8(read(path));
    EXPECT_TRUE(log.contains("agent-setup: first step\n"));
    EXPECT_TRUE(log.contains("agent-setup: done\n"));
    EXPECT_TRUE(log.contains("speech-setup: FAILED: second step\n"));
    EXPECT_TRUE(log.contains("speech-setup: done with failures\n"));
    Report big;
    big.note(QString(1000, 'x'));
    for (int i = 0; i < 400; ++i)
        appendToLog(path, "agent-setup", big);
    EXPECT_LT(QFile(path).size(), 300 * 1024);
}

TEST(SetupProgramsTest, TheCountdownsProgramsDoTheirWorkInTheUsersHome)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLORY_HOME", home.path());
    for (const QString &program :
        { QStringLiteral(QUILLORY_AGENT_SETUP), QStringLiteral(QUILLORY_SPEECH_SETUP) }) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, { "/Q:A" });
        ASSERT_TRUE(p.waitForFinished(120000)) << program.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();
    }
    EXPECT_TRUE(QFile::exists(home.filePath("msagent/chars/Tockel.acs")));
    EXPECT_TRUE(QFile::exists(home.filePath("cache/speech-test.wav")));
    const QString log = QString::fromUtf8(read(home.filePath("setup.log")));
    EXPECT_TRUE(log.contains("agent-setup: copied Tockel.acs"));
    EXPECT_TRUE(log.contains("speech-setup: test phrase with"));
}
