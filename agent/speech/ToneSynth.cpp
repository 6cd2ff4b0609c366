#include "agent/speech/ToneSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace agent {

namespace {

constexpr double PeakAtFullVolume = 0.5; // -6 dBFS
constexpr int MaxNoteMs = 10000;
// Notes are made on the spot, on the thread that plays them: a sound longer
// than this is cut short rather than stall it.
constexpr int MaxSequenceMs = 10000;
constexpr double AttackSeconds = 0.004;
constexpr double ReleaseSeconds = 0.010;

// A struck bar: the fundamental rings longest, the partials above it fade
// sooner and give the note its bright start.
struct Partial
{
    double ratio;
    double amplitude;
    double decayScale; // of the fundamental's decay time
};
constexpr Partial Partials[] = { { 1.0, 1.0, 1.0 }, { 2.0, 0.45, 0.55 }, { 3.01, 0.2, 0.3 } };

bool playable(const Note &note, int sampleRate)
{
    return std::isfinite(note.frequency) && note.frequency >= 20
        && note.frequency < sampleRate / 2.0 && note.ms > 0 && std::isfinite(note.gain)
        && note.gain > 0;
}

QVector<float> ring(const Note &note, int sampleRate)
{
    const int n = int(qint64(std::min(note.ms, MaxNoteMs)) * sampleRate / 1000);
    QVector<float> out(n, 0.0f);
    const double seconds = double(n) / sampleRate;
    const double decay = std::max(0.03, seconds * 0.35);
    const int attack = std::max(1, std::min(n / 4, int(AttackSeconds * sampleRate)));
    const int release = std::max(1, std::min(n / 4, int(ReleaseSeconds * sampleRate)));
    for (const Partial &p : Partials) {
        const double f = note.frequency * p.ratio;
        if (f >= sampleRate / 2.0)
            continue; // would fold back as a wrong, harsh pitch
        const double w = 2 * std::numbers::pi * f / sampleRate;
        const double tau = decay * p.decayScale;
        for (int i = 0; i < n; ++i)
            out[i]
                += float(p.amplitude * std::exp(-(double(i) / sampleRate) / tau) * std::sin(w * i));
    }
    for (int i = 0; i < n; ++i) {
        double env = 1.0;
        if (i < attack)
            env = 0.5 - 0.5 * std::cos(std::numbers::pi * i / attack);
        const int fromEnd = n - 1 - i;
        if (fromEnd < release)
            env *= 0.5 - 0.5 * std::cos(std::numbers::pi * fromEnd / release);
        out[i] *= float(env);
    }
    return out;
}

} // namespace

QVector<qint16> synthesizeTones(const ToneSequence &notes, double volume, int sampleRate)
{
    if (sampleRate <= 0 || !std::isfinite(volume))
        return {};
    volume = std::clamp(volume, 0.0, 1.0);
    double loudest = 0;
    for (const Note &note : notes)
        if (playable(note, sampleRate))
            loudest = std::max(loudest, std::min(note.gain, 1.0));
    if (loudest <= 0)
        return {};

    QVector<qint16> pcm;
    const qsizetype room = qsizetype(qint64(MaxSequenceMs) * sampleRate / 1000);
    for (Note note : notes) {
        if (!playable(note, sampleRate))
            continue;
        const qsizetype left = room - pcm.size();
        if (left < sampleRate / 100)
            break;
        note.ms
            = int(std::min<qint64>(std::min(note.ms, MaxNoteMs), qint64(left) * 1000 / sampleRate));
        const QVector<float> wave = ring(note, sampleRate);
        float peak = 0;
        for (float v : wave)
            peak = std::max(peak, std::abs(v));
        if (peak <= 0)
            continue;
        const double target
            = PeakAtFullVolume * volume * (std::min(note.gain, 1.0) / loudest) * 32767.0;
        const double scale = target / peak;
        pcm.reserve(pcm.size() + wave.size());
        for (float v : wave)
            pcm.push_back(qint16(std::clamp(std::lround(v * scale), -32767L, 32767L)));
    }
    return pcm;
}

} // namespace agent
