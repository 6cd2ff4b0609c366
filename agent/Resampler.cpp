#include "agent/Resampler.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace agent {

// ---------------------------------------------------------------------------
// Resampler

namespace {

constexpr double kPi = 3.14159265358979323846;
// Zero crossings of the sinc either side of the centre: about 60 dB of
// stop band with the Blackman window, plenty for speech recognition.
constexpr int kZeroCrossings = 10;
// Beyond this many phases the table would outgrow its use; such odd rate
// pairs compute the taps as they go.
constexpr int kMaxTablePhases = 4096;

double blackmanSinc(double t, double cutoff, int half)
{
    if (std::abs(t) >= half)
        return 0;
    const double x = 2 * cutoff * t;
    const double sinc = x == 0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
    const double w = 0.42 + 0.5 * std::cos(kPi * t / half) + 0.08 * std::cos(2 * kPi * t / half);
    return 2 * cutoff * sinc * w;
}

} // namespace

Resampler::Resampler(int fromRate, int toRate)
    : m_from(std::max(1, fromRate))
    , m_to(std::max(1, toRate))
{
    const int g = std::gcd(m_from, m_to);
    m_step = m_from / g;
    m_phases = m_to / g;
    // A little under the lower Nyquist frequency, in cycles per input sample.
    const double cutoff = 0.46 * std::min(1.0, double(m_to) / m_from);
    m_half = int(std::ceil(kZeroCrossings / (2 * cutoff)));
    if (m_phases <= kMaxTablePhases) {
        m_kernel.resize(size_t(m_phases) * size_t(2 * m_half));
        for (int p = 0; p < m_phases; ++p) {
            const double frac = double(p) / m_phases;
            float *row = m_kernel.data() + size_t(p) * size_t(2 * m_half);
            double sum = 0;
            for (int j = 0; j < 2 * m_half; ++j) {
                row[j] = float(blackmanSinc(double(j - m_half + 1) - frac, cutoff, m_half));
                sum += row[j];
            }
            for (int j = 0; j < 2 * m_half && sum != 0; ++j)
                row[j] = float(row[j] / sum);
        }
    }
    reset();
}

Resampler::~Resampler() = default;

void Resampler::reset()
{
    // The stream starts after silence, so the first taps see zeros.
    m_history.assign(size_t(m_half), 0.0f);
    m_dropped = -m_half;
    m_next = 0;
}

void Resampler::push(const float *in, qsizetype count, QVector<qint16> &out)
{
    if (count <= 0 || !in)
        return;
    if (m_from == m_to) {
        out.reserve(out.size() + count);
        for (qsizetype i = 0; i < count; ++i)
            out.append(qint16(std::lround(std::clamp(in[i], -1.0f, 1.0f) * 32767.0f)));
        return;
    }
    m_history.insert(m_history.end(), in, in + count);
    const qint64 available = m_dropped + qint64(m_history.size());
    const double cutoff = 0.46 * std::min(1.0, double(m_to) / m_from);
    std::vector<float> taps;
    for (;;) {
        const qint64 position = m_next * m_step; // in input samples times m_phases
        const qint64 n = position / m_phases;
        const int phase = int(position % m_phases);
        if (n + m_half >= available)
            break;
        const float *row = nullptr;
        if (!m_kernel.empty()) {
            row = m_kernel.data() + size_t(phase) * size_t(m_half) * 2;
        } else {
            taps.resize(size_t(m_half) * 2);
            const double frac = double(phase) / m_phases;
            for (int j = 0; j < 2 * m_half; ++j)
                taps[size_t(j)]
                    = float(blackmanSinc(double(j - m_half + 1) - frac, cutoff, m_half));
            row = taps.data();
        }
        const float *x = m_history.data() + (n - m_half + 1 - m_dropped);
        double y = 0;
        for (int j = 0; j < 2 * m_half; ++j)
            y += double(row[j]) * x[j];
        out.append(qint16(std::lround(std::clamp(y, -1.0, 1.0) * 32767.0)));
        ++m_next;
    }
    // Keep only what the next output still reaches back to.
    const qint64 keepFrom = (m_next * m_step) / m_phases - m_half + 1;
    const qint64 drop = keepFrom - m_dropped;
    if (drop > 4096) {
        m_history.erase(m_history.begin(), m_history.begin() + drop);
        m_dropped += drop;
    }
}

QVector<qint16> Resampler::convert(const QVector<qint16> &pcm, int fromRate, int toRate)
{
    if (fromRate <= 0 || toRate <= 0)
        return {};
    if (fromRate == toRate)
        return pcm;
    Resampler r(fromRate, toRate);
    std::vector<float> in(size_t(pcm.size()) + size_t(r.m_half), 0.0f);
    for (qsizetype i = 0; i < pcm.size(); ++i)
        in[size_t(i)] = float(pcm[i]) / 32768.0f;
    QVector<qint16> out;
    out.reserve(qsizetype(double(pcm.size()) * toRate / fromRate) + 1);
    r.push(in.data(), qsizetype(in.size()), out);
    out.resize(qsizetype((qint64(pcm.size()) * toRate + fromRate - 1) / fromRate));
    return out;
}

} // namespace agent
