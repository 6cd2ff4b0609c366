#include "setup/SetupWork.h"

#include "agent/speech/SpeechEngine.h"
#include "agent/speech/SpeechRunner.h"
#include "agent/speech/SpeechSynth.h"
#include "storage/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>

namespace setup {

namespace {

// A character file is at most 1 MiB; anything larger is not one of ours.
constexpr qint64 kMostCharacterBytes = 1024 * 1024;
// The setup log keeps its last lines only.
constexpr qint64 kMostLogBytes = 256 * 1024;

QByteArray readBounded(const QString &path, qint64 most, bool *ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly) && f.size() <= most;
    return *ok ? f.read(most) : QByteArray();
}

} // namespace

Report copyShippedCharacters(const QStringList &shippedFolders, const QString &userFolder)
{
    Report r;
    if (!QDir().mkpath(userFolder)) {
        r.fail(QStringLiteral("cannot create the character folder %1").arg(userFolder));
        return r;
    }
    QStringList done;
    for (const QString &folder : shippedFolders) {
        if (QDir(folder).absolutePath() == QDir(userFolder).absolutePath())
            continue;
        const QFileInfoList files = QDir(folder).entryInfoList(
            { QStringLiteral("*.acs") }, QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo &file : files) {
            const QString name = file.fileName();
            if (done.contains(name, Qt::CaseInsensitive))
                continue;
            done << name;
            const QString target = QDir(userFolder).filePath(name);
            bool ok = false;
            const QByteArray bytes = readBounded(file.filePath(), kMostCharacterBytes, &ok);
            if (!ok) {
                r.fail(QStringLiteral("cannot read %1").arg(file.filePath()));
                continue;
            }
            if (QFileInfo::exists(target)) {
                bool same = false;
                const QByteArray there = readBounded(target, kMostCharacterBytes, &same);
                r.note(same && there == bytes
                        ? QStringLiteral("%1 is already in place").arg(name)
                        : QStringLiteral("%1 kept: your folder has its own").arg(name));
                continue;
            }
            QString error;
            if (writeFileAtomically(target, bytes, &error))
                r.note(QStringLiteral("copied %1 to %2").arg(name, userFolder));
            else
                r.fail(QStringLiteral("cannot write %1: %2").arg(target, error));
        }
    }
    if (done.isEmpty())
        r.fail(QStringLiteral("no shipped characters in %1").arg(shippedFolders.join(u',')));
    return r;
}

Report checkSpeech(const QString &phrase, const QString &wavPath, agent::SpeechSynthesizer *formant)
{
    Report r;
    auto engines = agent::makeSpeechEngines(formant);
    if (engines.empty()) {
        r.fail(QStringLiteral("no speech engine starts; the character will be silent"));
        return r;
    }
    // Each voice of each engine says a word.
    for (const auto &engine : engines) {
        for (const QString &voice : engine->voices()) {
            const agent::Synthesis s = engine->synthesise(QStringLiteral("Hello."), { voice }, {});
            const double level = rmsLevel(s.pcm);
            if (s.ok && level >= kSilenceLevel)
                r.note(QStringLiteral("%1 voice %2 speaks").arg(engine->id(), voice));
            else
                r.fail(QStringLiteral("%1 voice %2 gives no sound").arg(engine->id(), voice));
        }
    }
    const QString first = engines.front()->id();
    agent::SpeechRunner runner(std::move(engines));
    agent::VoiceSpec voice;
    const agent::Synthesis s = runner.synthesiseAll(phrase, voice);
    const double level = rmsLevel(s.pcm);
    QString error;
    if (!s.ok || s.pcm.isEmpty()) {
        r.fail(QStringLiteral("the test phrase was not synthesised"));
        return r;
    }
    QDir().mkpath(QFileInfo(wavPath).absolutePath());
    if (!writeFileAtomically(wavPath, wavBytes(s.pcm, s.sampleRate), &error)) {
        r.fail(QStringLiteral("cannot write %1: %2").arg(wavPath, error));
        return r;
    }
    // Read back what is in the file: that is what would be heard.
    bool ok = false;
    const QByteArray written = readBounded(wavPath, 64 * 1024 * 1024, &ok);
    QVector<qint16> back;
    for (qsizetype i = 44; ok && i + 1 < written.size(); i += 2)
        back << qFromLittleEndian<qint16>(written.constData() + i);
    const double heard = rmsLevel(back);
    const QString what = QStringLiteral("test phrase with %1: %2 s, level %3, in %4")
                             .arg(first)
                             .arg(double(s.pcm.size()) / s.sampleRate, 0, 'f', 1)
                             .arg(heard, 0, 'f', 3)
                             .arg(wavPath);
    if (heard >= kSilenceLevel && std::abs(heard - level) < 1e-6)
        r.note(what);
    else
        r.fail(what + QStringLiteral(" is silent"));
    return r;
}

double rmsLevel(const QVector<qint16> &pcm)
{
    if (pcm.isEmpty())
        return 0;
    double sum = 0;
    for (qint16 v : pcm)
        sum += double(v) * v;
    return std::sqrt(sum / double(pcm.size())) / 32768.0;
}

QByteArray wavBytes(const QVector<qint16> &pcm, int sampleRate)
{
    QByteArray b(44, '\0');
    const quint32 data = quint32(pcm.size() * 2);
    auto u32 = [&b](int at, quint32 v) { qToLittleEndian<quint32>(v, b.data() + at); };
    auto u16 = [&b](int at, quint16 v) { qToLittleEndian<quint16>(v, b.data() + at); };
    b.replace(0, 4, "RIFF");
    u32(4, 36 + data);
    b.replace(8, 8, "WAVEfmt ");
    u32(16, 16);
    u16(20, 1);
    u16(22, 1);
    u32(24, quint32(sampleRate));
    u32(28, quint32(sampleRate) * 2);
    u16(32, 2);
    u16(34, 16);
    b.replace(36, 4, "data");
    u32(40, data);
    b.reserve(44 + qsizetype(data));
    for (qint16 v : pcm) {
        char le[2];
        qToLittleEndian<qint16>(v, le);
        b.append(le, 2);
    }
    return b;
}

bool appendToLog(const QString &logPath, const QString &program, const Report &report)
{
    QByteArray log;
    QFile f(logPath);
    if (f.open(QIODevice::ReadOnly)) {
        if (f.size() > kMostLogBytes)
            f.seek(f.size() - kMostLogBytes / 2);
        log = f.readAll();
        f.close();
    }
    const QString stamp = QDateTime::currentDateTime().toString(Qt::ISODate);
    for (const QString &line : report.lines)
        log += QStringLiteral("%1 %2: %3\n").arg(stamp, program, line).toUtf8();
    log += QStringLiteral("%1 %2: %3\n")
               .arg(stamp, program,
                   report.ok ? QStringLiteral("done") : QStringLiteral("done with failures"))
               .toUtf8();
    QDir().mkpath(QFileInfo(logPath).absolutePath());
    return writeFileAtomically(logPath, log);
}

QString testPhrase()
{
    return QStringLiteral("Hello, I am ready to remind you of your appointments.");
}

} // namespace setup
