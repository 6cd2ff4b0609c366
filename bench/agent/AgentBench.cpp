// Whole-process figures of the character engine: the time from a request
// to speak until the first synthesised audio arrives, and the CPU the
// process uses while the character rests and while it animates.
// Run under a display (bench/agent.sh starts a virtual one).
//
// "quillory-agent-bench load FILE..." measures loading instead: the time
// to read, check and draw each file, and the process's peak memory; "load
// --worst" loads a file made at every bound of docs/CHARACTERS.md.
#include "agent/CharacterFolders.h"
#include "agent/character/AgentEngine.h"
#include "agent/character/CharacterFile.h"
#include "agent/speech/AudioDevices.h"
#include "agent/speech/SpeechPlayer.h"
#include "agent/speech/SpeechSynth.h"
#include "platform/LoadedLibrary.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/X11WindowShape.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Resident and peak resident memory of the process, in MB.
std::pair<double, double> memoryMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    double rss = 0, peak = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() >= 2 && f[0] == "VmRSS:")
                rss = f[1].toDouble() / 1024;
            if (f.size() >= 2 && f[0] == "VmHWM:")
                peak = f[1].toDouble() / 1024;
        }
    }
    return { rss, peak };
}

// A character at every bound: the largest frame, every part a layer over
// all of it, the most elements, keyframes, part moves, sounds and notes.
QByteArray worstCharacter()
{
    using F = agent::CharacterFile;
    const QStringList required = F::requiredAnimations();
    QString art
        = QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 1024 1024'>");
    QStringList parts;
    // Each part is a group, its rectangle, its circles and a line after it.
    const int circles = (F::kMaxArtElements - 1) / (F::kMaxMovableParts - 1) - 3;
    for (int i = 0; i < F::kMaxMovableParts - 1; ++i) {
        parts << QStringLiteral("p%1").arg(i);
        art += QStringLiteral("<g id='p%1' opacity='0.3'><rect width='1024' height='1024' "
                              "fill='#%2'/>")
                   .arg(i)
                   .arg(0x102030 + i * 997, 6, 16, QLatin1Char('0'));
        for (int k = 0; k < circles; ++k)
            art += QStringLiteral("<circle cx='%1' cy='%2' r='9'/>").arg(k * 14).arg(i * 8);
        art += QStringLiteral("</g><path d='M0 %1 L1024 %1' stroke='black'/>").arg(i * 8);
    }
    art += QStringLiteral("</svg>");
    QJsonObject animations;
    int moves = 0;
    for (int a = 0; a < F::kMaxAnimations; ++a) {
        QJsonArray frames;
        for (int k = 0; k < F::kMaxKeyframes / F::kMaxAnimations; ++k) {
            QJsonObject moved;
            for (int p = 0; p < F::kMaxPartsPerKeyframe && moves < F::kMaxPartMoves; ++p, ++moves)
                moved[parts[(a + k + p) % parts.size()]]
                    = QJsonObject { { "dx", p }, { "rotate", k } };
            frames.append(QJsonObject { { "ms", 7000 }, { "parts", moved }, { "sound", "s0" } });
        }
        animations[a < required.size() ? required[a] : QStringLiteral("Extra%1").arg(a)]
            = QJsonObject { { "frames", frames } };
    }
    QJsonObject sounds;
    for (int s = 0; s < F::kMaxSounds; ++s) {
        QJsonArray notes;
        for (int n = 0; n < F::kMaxNotesPerSound; ++n)
            notes.append(QJsonObject {
                { "frequency", 200 + n * 50 }, { "ms", F::kMaxSoundMs / F::kMaxNotesPerSound } });
        sounds[QStringLiteral("s%1").arg(s)] = notes;
    }
    const QJsonObject root { { "format", "quillory-character/1" },
        { "frame", QJsonObject { { "width", 1024 }, { "height", 1024 } } }, { "art", art },
        { "sounds", sounds }, { "animations", animations } };
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

int loadBench(const QStringList &files)
{
    const auto [baseRss, basePeak] = memoryMb();
    std::printf("before loading: rss %.1f MB, peak %.1f MB\n", baseRss, basePeak);
    std::vector<std::shared_ptr<const agent::CharacterFile>> kept;
    for (const QString &path : files) {
        std::vector<double> ms;
        QString error;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer timer;
            timer.start();
            auto file = agent::CharacterFile::load(path, &error);
            ms.push_back(double(timer.nsecsElapsed()) / 1e6);
            if (i == 0 && file)
                kept.push_back(file); // held, as a loaded character is
        }
        const auto [rss, peak] = memoryMb();
        std::printf("%s: %s, load median %.1f ms (max %.1f), rss %.1f MB, peak %.1f MB%s%s\n",
            qPrintable(QFileInfo(path).fileName()),
            kept.empty() || !error.isEmpty() ? "refused" : "loaded", median(ms),
            *std::max_element(ms.begin(), ms.end()), rss, peak, error.isEmpty() ? "" : ": ",
            qPrintable(error));
        if (!kept.empty() && error.isEmpty())
            std::printf("  layer pictures %.1f MB at scale %.2f\n",
                double(kept.back()->art->cachedPixels()) * 4 / 1048576,
                kept.back()->art->cacheScale());
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "load") {
        QStringList files;
        QTemporaryDir dir;
        for (int i = 2; i < argc; ++i) {
            if (QByteArray(argv[i]) == "--worst") {
                const QString path = dir.filePath(QStringLiteral("Worst.acs"));
                QFile f(path);
                if (f.open(QIODevice::WriteOnly))
                    f.write(worstCharacter());
                files << path;
            } else {
                files << QString::fromLocal8Bit(argv[i]);
            }
        }
        return loadBench(files);
    }
    const int restSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int animateSeconds = argc > 2 ? std::atoi(argv[2]) : 20;

    SystemClock clock;
    agent::SystemAudioDevices audioDevices(installedModuleFolders());
    agent::SpeechSynthesizer synthesizer;
    // Speech: speak() until the first word of the first audio is heard.
    {
        agent::SpeechPlayer player(clock, &synthesizer, &audioDevices);
        const QString sentence = QStringLiteral(
            "Your dentist appointment is at half past two this afternoon, do not forget it.");
        std::vector<double> latencies;
        for (int i = 0; i < 7; ++i) {
            QElapsedTimer timer;
            QEventLoop loop;
            double first = -1;
            auto c = QObject::connect(&player, &agent::SpeechPlayer::word, [&](int, int) {
                if (first < 0) {
                    first = double(timer.nsecsElapsed()) / 1e6;
                    loop.quit();
                }
            });
            QTimer::singleShot(3000, &loop, &QEventLoop::quit);
            timer.start();
            player.speak(sentence, agent::VoiceSpec {});
            loop.exec();
            QObject::disconnect(c);
            player.stop();
            if (i > 0) // the first includes loading the voice
                latencies.push_back(first);
        }
        std::printf("say_to_first_audio_ms %.1f (median of %zu; 12-word sentence)\n",
            median(latencies), latencies.size());
    }

    X11WindowShape windowShape;
    agent::AgentEngine engine(characterFolders(QString()),
        agent::EngineServices {
            clock, windowShape, audioDevices, &synthesizer, nullptr, nullptr, {} },
        nullptr);
    if (!engine.Load(QStringLiteral("Tockel"), QStringLiteral("Tockel.acs"))) {
        std::fprintf(stderr, "Tockel could not be loaded\n");
        return 1;
    }
    agent::Character *tockel = engine.Characters(QStringLiteral("Tockel"));
    tockel->setSoundEffectsOn(false);
    tockel->Show();
    runFor(3000); // the entrance

    double before = cpuSeconds();
    runFor(restSeconds * 1000);
    std::printf("cpu_resting_percent %.2f (over %d s)\n",
        100.0 * (cpuSeconds() - before) / restSeconds, restSeconds);

    static const char *const gestures[]
        = { "Pleased", "Search", "Explain", "Read", "Decline", "Greet", "Confused", "Suggest" };
    int next = 0;
    bool measuring = true;
    QObject::connect(&engine, &agent::Control::RequestComplete, [&] {
        if (measuring)
            tockel->Play(QString::fromLatin1(gestures[next++ % 8]));
    });
    tockel->Play(QStringLiteral("Greet"));
    before = cpuSeconds();
    runFor(animateSeconds * 1000);
    measuring = false;
    std::printf("cpu_animating_percent %.2f (over %d s, %d gestures)\n",
        100.0 * (cpuSeconds() - before) / animateSeconds, animateSeconds, next);
    return 0;
}
