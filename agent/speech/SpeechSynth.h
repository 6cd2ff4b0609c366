#pragma once

#include "agent/speech/CharacterSound.h"

#include <QObject>
#include <QThread>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>

// The speech synthesiser. Its state is global to the process, so a program
// makes one (app/ does, the tests share one) and one worker thread owns it:
// it is initialised there and every call to it is made there. Requests queue
// up on that thread; each streams its audio back in chunks as it is produced.
namespace agent {

// A word of the display text and the sample at which it is heard.
struct WordMark
{
    qint64 sample = 0;
    int start = 0;
    int length = 0;
};

struct SpeechChunk
{
    QVector<qint16> pcm;
    QVector<WordMark> words;
};

struct SpeechClip
{
    bool ok = false;
    int sampleRate = 0;
    QVector<qint16> pcm;
    QVector<WordMark> words;
};

// Identifies one synthesis. A request runs only while `live` holds its
// ticket: whoever asked for it moves `live` on to cancel it.
using LiveTicket = std::shared_ptr<std::atomic<quint64>>;

class SpeechWorker;

class SpeechSynthesizer : public QObject
{
    Q_OBJECT
public:
    SpeechSynthesizer();
    ~SpeechSynthesizer() override;

    // Both start the synthesiser if it has not run yet.
    int sampleRate();
    bool isAvailable();
    // The object that emits chunkReady() and done(), on the worker thread.
    SpeechWorker *worker() const { return m_worker; }

    // Queues the synthesis of `tagged` and returns its ticket, which is also
    // stored in `live`.
    quint64 start(const QString &tagged, const VoiceSpec &voice, const LiveTicket &live);

    // Runs the same synthesis to the end on the worker thread and waits for it.
    SpeechClip synthesizeToMemory(const QString &tagged, const VoiceSpec &voice);

private:
    // espeak-ng and its thread start at the first use, not at start: most
    // speech is Flite's, and espeak-ng holds its phoneme data in memory.
    void ensureStarted();

    QThread m_thread;
    SpeechWorker *m_worker = nullptr;
    int m_sampleRate = 22050;
    bool m_available = false;
    bool m_started = false;
};

class SpeechWorker : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        quint64 ticket = 0;
        QString tagged;
        VoiceSpec voice;
        LiveTicket live; // null: runs to the end
    };
    using Sink = std::function<void(SpeechChunk &&)>;

    // On the worker thread only.
    int initialise(); // the sample rate, or 0 when the synthesiser failed
    void terminate();
    bool synthesize(const Request &request, const Sink &sink);
    void run(const Request &request);

signals:
    void chunkReady(quint64 ticket, const agent::SpeechChunk &chunk);
    void done(quint64 ticket, bool ok);

private:
    void selectVoice(const VoiceSpec &voice);

    bool m_initialised = false;
    int m_sampleRate = 0;
    QString m_voiceName;
};

} // namespace agent
