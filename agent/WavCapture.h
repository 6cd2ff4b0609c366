#pragma once

#include <QMutex>
#include <QString>
#include <QVector>

#include <deque>
#include <map>
#include <memory>

// Copies every sound the program makes into the WAV file named by the
// environment variable QUILLORY_AUDIO_FILE, one after another in the order
// the sounds started, so that what was said can be checked without a
// loudspeaker. Sounds that overlap are not mixed: a later sound waits until
// the earlier one has ended and been written.
namespace agent {

class WavWriter;

class WavCapture
{
public:
    static WavCapture &instance();
    ~WavCapture();

    // Reserves the place of a sound that starts now; 0 when capture is off.
    quint64 begin(int sampleRate);
    // The samples of that sound, once it is over.
    void finish(quint64 id, const QVector<qint16> &samples);

private:
    struct Slot
    {
        quint64 id = 0;
        QString path;
        int sampleRate = 0;
        QVector<qint16> samples;
        bool done = false;
    };

    void writeFinished();

    QMutex m_mutex;
    quint64 m_nextId = 1;
    std::deque<Slot> m_slots;
    std::map<QString, std::unique_ptr<WavWriter>> m_writers;
};

} // namespace agent
