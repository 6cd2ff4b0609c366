#pragma once

#include <QByteArray>
#include <QObject>
#include <QVector>

#include "agent/speech/AudioDevices.h"

#include <memory>

class Clock;

class QIODevice;

// One stream of 16-bit mono PCM on its way to the loudspeaker. Audio is
// appended as it is made; position() tells how much has been heard, which
// is what words and the mouth follow. Without an audio device (none, or one
// that fails or stalls) the stream plays silently: a clock consumes the
// samples at the rate they would have been heard, so timing stays the same.
namespace agent {

// How loud the speech around `center` sounds, 0..1, from the RMS of `window`
// samples there; scaled so that ordinary speech moves between about 0.3 and
// 0.8 and pauses give 0.
double loudness(const QVector<qint16> &pcm, qint64 center, int window);

class AudioStream : public QObject
{
    Q_OBJECT
public:
    // Plays on `devices`' output; null: always silently.
    // Silent playback keeps pace with `clock`.
    AudioStream(int sampleRate, Clock &clock, AudioDevices *devices, QObject *parent = nullptr);
    ~AudioStream() override;

    // Starts playing with the first samples after a stop.
    void append(const QVector<qint16> &pcm);
    // Silences the stream at once and forgets what it held.
    void stop();
    // Ends a stream whose samples have all been heard.
    void finish();
    // Stops and lets go of the device. Pulse-based sinks run the event loop
    // while they close, so an owner calls this while it is still whole.
    void shutDown();
    // Hands the device what it can take; call often (every tick).
    void pump();

    qint64 queued() const { return m_queued; }
    qint64 position(); // samples heard since the stream started
    bool isPlaying() const { return m_playing; }

private:
    bool openDevice();
    void closeDevice(bool dropBuffered);
    void playSilently(const char *why);

    const int m_sampleRate;
    Clock &m_clock;
    AudioDevices *m_devices;
    bool m_toldNoDevice = false;
    bool m_playing = false;
    bool m_silent = false;
    qint64 m_queued = 0; // samples appended
    qint64 m_heard = 0; // samples heard, never decreasing

    // Device playback.
    std::unique_ptr<SoundOutput> m_output;
    SoundDevice m_device;
    QIODevice *m_io = nullptr;
    QByteArray m_unwritten;
    qsizetype m_unwrittenOffset = 0;
    qint64 m_writtenBytes = 0;
    qint64 m_startUSecs = 0;
    qint64 m_lastProgressNs = 0;

    // The clock's time when playing started, for silent playback and for
    // noticing a device that has stopped consuming.
    qint64 m_startMs = 0;
    qint64 m_lastNs = 0;
    double m_silentPosition = 0;
};

} // namespace agent
