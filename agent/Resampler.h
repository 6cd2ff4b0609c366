#pragma once

#include <QVector>

#include <vector>

namespace agent {

// Changes the sample rate of a stream of mono audio with a windowed-sinc
// filter, which also removes what the lower rate cannot carry.
class Resampler
{
public:
    Resampler(int fromRate, int toRate);
    ~Resampler();
    Resampler(const Resampler &) = delete;
    Resampler &operator=(const Resampler &) = delete;

    int fromRate() const { return m_from; }
    int toRate() const { return m_to; }
    // Appends to `out` every sample `in` completes; samples are in -1..1.
    void push(const float *in, qsizetype count, QVector<qint16> &out);
    void reset();

    static QVector<qint16> convert(const QVector<qint16> &pcm, int fromRate, int toRate);

private:
    int m_from = 0;
    int m_to = 0;
    int m_step = 0; // input samples per output phase cycle (from / gcd)
    int m_phases = 0; // output samples per cycle (to / gcd)
    int m_half = 0; // taps either side of the centre
    std::vector<float> m_kernel; // m_phases rows of 2 * m_half taps
    std::vector<float> m_history;
    qint64 m_next = 0; // the next output sample
    qint64 m_dropped = 0; // input samples no longer in m_history
};

} // namespace agent
