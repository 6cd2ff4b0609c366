// Figures of the speaking voice as a listener meets them: how long after
// speak() the first audio reaches the player, and how closely playback
// keeps to the clip's own length (1.0 = paced by what is heard).
#include "agent/speech/AudioStream.h"
#include "agent/speech/SpeechPlayer.h"
#include "agent/speech/SpeechRunner.h"
#include "agent/speech/SpeechSynth.h"
#include "platform/linux/SystemClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

using namespace agent;

namespace {

SystemClock clock;

// No audio device: as the tests run, the same figures everywhere.
SpeechSynthesizer &synthesizer()
{
    static SpeechSynthesizer *made = nullptr;
    if (!made) {
        made = new SpeechSynthesizer;
        qAddPostRoutine([] { delete std::exchange(made, nullptr); });
    }
    return *made;
}

void BM_FirstAudio(benchmark::State &state)
{
    const QString text
        = QStringLiteral("Good morning, today you have three meetings and a dentist appointment.");
    SpeechPlayer player(clock, &synthesizer(), nullptr);
    for (auto _ : state) {
        QElapsedTimer clock;
        qint64 firstAudio = -1;
        QEventLoop loop;
        const auto connection = QObject::connect(&player, &SpeechPlayer::word, &loop, [&] {
            if (firstAudio < 0)
                firstAudio = clock.nsecsElapsed();
            loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        clock.start();
        player.speak(text, VoiceSpec {});
        loop.exec();
        QObject::disconnect(connection);
        player.stop();
        if (firstAudio < 0) {
            state.SkipWithError("no audio within 5 s");
            return;
        }
        state.SetIterationTime(double(firstAudio) / 1e9);
    }
}
BENCHMARK(BM_FirstAudio)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// `say` to the first audio of a 12-word sentence, per engine, in one run:
// the first phrase is synthesised alone and handed over as it is made.
void BM_FirstAudioOf(benchmark::State &state, const char *engine)
{
    const QString text = QStringLiteral(
        "Good morning, today you have three meetings and a dentist appointment later.");
    SpeechRunner runner(makeSpeechEngines(&synthesizer()));
    if (!runner.engineIds().contains(QLatin1String(engine))) {
        state.SkipWithError("engine not installed");
        return;
    }
    VoiceSpec voice;
    voice.engine = QLatin1String(engine);
    runner.synthesiseAll(QStringLiteral("Hello."), voice); // loads the voice
    for (auto _ : state) {
        QElapsedTimer clock;
        qint64 firstAudio = -1;
        QEventLoop loop;
        const auto connection = QObject::connect(
            &runner, &SpeechRunner::part, &loop, [&](quint64, const SpeechPart &p) {
                if (firstAudio < 0 && !p.pcm.isEmpty()) {
                    firstAudio = clock.nsecsElapsed();
                    loop.quit();
                }
            });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        clock.start();
        runner.speak(text, voice);
        loop.exec();
        QObject::disconnect(connection);
        runner.cancel();
        if (firstAudio < 0) {
            state.SkipWithError("no audio within 5 s");
            return;
        }
        state.SetIterationTime(double(firstAudio) / 1e9);
    }
}
BENCHMARK_CAPTURE(BM_FirstAudioOf, flite, "flite")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(7)
    ->Repetitions(3);
BENCHMARK_CAPTURE(BM_FirstAudioOf, espeak, "espeak")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(7)
    ->Repetitions(3);

void BM_PlaybackPacing(benchmark::State &state)
{
    const QString text = QStringLiteral("\\emp\\Hello there, my friend.");
    const SpeechClip clip = synthesizer().synthesizeToMemory(text, VoiceSpec {});
    const double clipMs = double(clip.pcm.size()) * 1000.0 / clip.sampleRate;
    SpeechPlayer player(clock, &synthesizer(), nullptr);
    double ratio = 0;
    for (auto _ : state) {
        QEventLoop loop;
        const auto connection
            = QObject::connect(&player, &SpeechPlayer::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        player.speak(text, VoiceSpec {});
        loop.exec();
        QObject::disconnect(connection);
        ratio = double(clock.elapsed()) / clipMs;
    }
    state.counters["clip_ms"] = clipMs;
    state.counters["elapsed_per_clip"] = ratio;
}
BENCHMARK(BM_PlaybackPacing)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
