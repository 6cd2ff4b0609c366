#include "agent/speech/AudioStream.h"

#include "agent/Logging.h"
#include "platform/Clock.h"

#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <utility>

namespace agent {

namespace {

// Enough to ride out a late tick of the 33 ms timer that feeds the device,
// small enough that words and mouth stay close to the sound.
constexpr int DeviceBufferMs = 200;
// A device that has played nothing for this long is not going to play; a
// sound server can take a second to wake a sleeping output.
constexpr qint64 StallNs = 2500LL * 1000 * 1000;

// Full-scale RMS that counts as a wide-open mouth.
constexpr double LoudnessScale = 5.0;

} // namespace

double loudness(const QVector<qint16> &pcm, qint64 center, int window)
{
    if (window <= 0 || pcm.isEmpty())
        return 0;
    const qint64 from = std::clamp<qint64>(center - window / 2, 0, pcm.size());
    const qint64 to = std::clamp<qint64>(from + window, 0, pcm.size());
    if (to <= from)
        return 0;
    double sum = 0;
    for (qint64 i = from; i < to; ++i) {
        const double v = pcm[i] / 32768.0;
        sum += v * v;
    }
    return std::min(1.0, std::sqrt(sum / double(to - from)) * LoudnessScale);
}

AudioStream::AudioStream(int sampleRate, Clock &clock, AudioDevices *devices, QObject *parent)
    : QObject(parent)
    , m_sampleRate(sampleRate > 0 ? sampleRate : 22050)
    , m_clock(clock)
    , m_devices(devices)
{ }

AudioStream::~AudioStream()
{
    shutDown();
}

void AudioStream::shutDown()
{
    stop();
    m_output.reset(); // the sound server's sink can run the event loop in here
}

void AudioStream::append(const QVector<qint16> &pcm)
{
    if (pcm.isEmpty())
        return;
    if (!m_playing) {
        m_playing = true;
        m_queued = 0;
        m_heard = 0;
        m_writtenBytes = 0;
        m_unwritten.clear();
        m_unwrittenOffset = 0;
        m_startMs = m_clock.monotonicMs();
        m_lastNs = 0;
        m_lastProgressNs = 0;
        m_silentPosition = 0;
        m_silent = !openDevice();
    }
    m_queued += pcm.size();
    if (!m_silent) {
        m_unwritten.append(reinterpret_cast<const char *>(pcm.constData()),
            pcm.size() * qsizetype(sizeof(qint16)));
        pump();
    }
}

void AudioStream::stop()
{
    m_playing = false;
    closeDevice(true);
    m_queued = 0;
    m_heard = 0;
    m_unwritten.clear();
    m_unwrittenOffset = 0;
}

void AudioStream::finish()
{
    m_playing = false;
    closeDevice(false); // all of it has been played: nothing is cut off
    m_queued = 0;
    m_heard = 0;
    m_unwritten.clear();
    m_unwrittenOffset = 0;
}

void AudioStream::pump()
{
    if (!m_playing || m_silent || !m_io || !m_output)
        return;
    if (m_output->hasFailed()) {
        playSilently("the audio device reported an error");
        return;
    }
    const qsizetype available = m_unwritten.size() - m_unwrittenOffset;
    const qsizetype room = std::min<qsizetype>(available, m_output->bytesFree()) & ~qsizetype(1);
    if (room <= 0)
        return;
    const qint64 written = m_io->write(m_unwritten.constData() + m_unwrittenOffset, room);
    if (written < 0) {
        playSilently("writing to the audio device failed");
        return;
    }
    m_unwrittenOffset += written;
    m_writtenBytes += written;
    if (m_unwrittenOffset >= 65536 && m_unwrittenOffset * 2 >= m_unwritten.size()) {
        m_unwritten.remove(0, m_unwrittenOffset);
        m_unwrittenOffset = 0;
    }
}

qint64 AudioStream::position()
{
    if (!m_playing)
        return 0;
    const qint64 now = (m_clock.monotonicMs() - m_startMs) * 1000000;
    if (m_silent) {
        // Runs at real time but never ahead of the audio that exists, as a
        // device would fall silent while waiting for more.
        m_silentPosition = std::min(
            double(m_queued), m_silentPosition + double(now - m_lastNs) * m_sampleRate / 1e9);
        m_lastNs = now;
        m_heard = std::max(m_heard, qint64(m_silentPosition));
        return m_heard;
    }
    pump();
    if (m_silent || !m_output)
        return m_heard;
    // The sink counts the time it has played since it started; never more
    // than was written. Idle means it ran dry: all of that has been played.
    const qint64 written = m_writtenBytes / 2;
    qint64 played = ((m_output->processedUSecs() - m_startUSecs) * m_sampleRate + 500000) / 1000000;
    if (m_output->isIdle() && m_unwrittenOffset >= m_unwritten.size())
        played = written;
    const qint64 heard = std::max(m_heard, std::min(written, played));
    if (heard > m_heard || heard >= m_queued)
        m_lastProgressNs = now;
    m_heard = heard;
    m_lastNs = now;
    if (now - m_lastProgressNs > StallNs)
        playSilently("the audio device stopped playing");
    return m_heard;
}

bool AudioStream::openDevice()
{
    if (!m_devices)
        return false;
    const SoundDevice device = m_devices->output();
    if (device.isNull()) {
        // Said once: every sound would say it again.
        if (!std::exchange(m_toldNoDevice, true))
            qCInfo(lcSpeech) << "No audio output device; sound plays silently";
        return false;
    }
    m_toldNoDevice = false;
    if (!m_output || !(device == m_device)) {
        closeDevice(true);
        m_output.reset();
        QString why;
        m_output = m_devices->openOutput(device, m_sampleRate, DeviceBufferMs, &why);
        if (!m_output) {
            qCWarning(lcSpeech).noquote()
                << "The audio output" << device.description << why << "- playing silently";
            return false;
        }
        m_device = device;
    }
    m_io = m_output->start();
    m_startUSecs = m_output->processedUSecs();
    if (!m_io || m_output->hasFailed()) {
        qCWarning(lcSpeech) << "The audio output" << device.description
                            << "did not start; playing silently";
        closeDevice(true);
        return false;
    }
    return true;
}

void AudioStream::closeDevice(bool dropBuffered)
{
    // Cleared first: the sink may run the event loop while it stops, and
    // what runs then must see the device as gone.
    m_io = nullptr;
    if (m_output)
        m_output->stop(dropBuffered);
}

void AudioStream::playSilently(const char *why)
{
    qCWarning(lcSpeech) << "Audio output failed:" << why << "- continuing silently";
    m_silent = true;
    m_silentPosition = double(m_heard);
    m_lastNs = m_playing ? (m_clock.monotonicMs() - m_startMs) * 1000000 : 0;
    closeDevice(true);
    m_unwritten.clear();
    m_unwrittenOffset = 0;
}

} // namespace agent
