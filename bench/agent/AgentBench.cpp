// Whole-process figures of the character engine: the time from a request
// to speak until the first synthesised audio arrives, and the CPU the
// process uses while the character rests and while it animates.
// Run under a display (bench/agent.sh starts a virtual one).
#include "agent/AgentEngine.h"
#include "agent/CharacterFolders.h"
#include "agent/SpeechPlayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
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

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int restSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int animateSeconds = argc > 2 ? std::atoi(argv[2]) : 20;

    // Speech: speak() until the first word of the first audio is heard.
    {
        agent::SpeechPlayer player;
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

    agent::AgentEngine engine(characterFolders(QString()));
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
