#pragma once

#include <QMutex>
#include <QString>
#include <QVector>

#include <deque>
#include <memory>

// Copies every sound the program makes into one WAV file (app/ makes one
// when the environment variable QUILLORY_AUDIO_FILE names it), one after
// another in the order the sounds started, so that what was said can be
// checked without a loudspeaker. Sounds that overlap are not mixed: a later sound waits until
// the earlier one has ended and been written.
namespace agent {

class WavWriter;

class WavCapture
{
public:
    explicit WavCapture(QString path);
    ~WavCapture();

    const QString &path() const { return m_path; }
    // Reserves the place of a sound that starts now.
    quint64 begin(int sampleRate);
    // The samples of that sound, once it is over.
    void finish(quint64 id, const QVector<qint16> &samples);

private:
    struct Slot
    {
        quint64 id = 0;
        int sampleRate = 0;
        QVector<qint16> samples;
        bool done = false;
    };

    void writeFinished();

    const QString m_path;
    QMutex m_mutex;
    quint64 m_nextId = 1;
    std::deque<Slot> m_slots;
    std::unique_ptr<WavWriter> m_writer;
};

} // namespace agent
