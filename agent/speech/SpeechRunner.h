#pragma once

#include "agent/speech/SpeechEngine.h"
#include "agent/speech/SpeechPlayer.h"

#include <QAtomicInteger>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <memory>
#include <vector>

// Runs the speech engines on a worker thread of their own. An utterance is
// cut into pieces (agent/speech/SpeechPieces): the first phrase is synthesised alone
// and its audio handed over as it is made, the rest follows piece by piece,
// never more than kAheadSeconds ahead of what has been heard, so text of any
// length is spoken in bounded memory and can be cancelled between any two
// steps. Every engine's audio is converted to one sample rate.
namespace agent {

// Audio of an utterance as it is made. Samples count from the utterance's
// start at the runner's rate; word positions are in its whole display text.
struct SpeechPart
{
    QVector<qint16> pcm;
    QVector<SpokenWord> words;
    QVector<SpokenPhone> phones;
};

class SpeechRunner : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSampleRate = 16000;
    static constexpr int kAheadSeconds = 20;

    // Takes the engines (see makeSpeechEngines) onto its worker thread.
    explicit SpeechRunner(
        std::vector<std::unique_ptr<SpeechEngine>> engines, QObject *parent = nullptr);
    ~SpeechRunner() override;

    int sampleRate() const { return kSampleRate; }
    bool isAvailable() const { return !m_engineIds.isEmpty(); }
    // "flite", "espeak", in the order they are preferred.
    const QStringList &engineIds() const { return m_engineIds; }
    // The voices an engine offers (Flite: rms, slt, awb, kal16).
    QStringList voices(const QString &engineId) const;

    // Starts speaking `tagged`, ending whatever was being synthesised, and
    // returns the utterance's ticket.
    quint64 speak(const QString &tagged, const VoiceSpec &voice);
    // Ends the current utterance's synthesis; no further part of it comes.
    void cancel();
    // How many samples of the current utterance have been heard.
    void setHeard(qint64 samples);

    // The whole utterance at once, on the worker thread; for tests, the
    // setup program and benchmarks.
    Synthesis synthesiseAll(const QString &tagged, const VoiceSpec &voice);

signals:
    void part(quint64 ticket, const agent::SpeechPart &part);
    // After the last part; false when synthesis failed.
    void done(quint64 ticket, bool ok);

private:
    class Worker;
    struct Shared
    {
        QMutex mutex;
        QWaitCondition wake;
        QAtomicInteger<quint64> live { 0 };
        qint64 heard = 0;
    };

    QThread m_thread;
    Worker *m_worker = nullptr;
    Shared m_shared;
    QStringList m_engineIds;
    QHash<QString, QStringList> m_voices;
    quint64 m_lastTicket = 0;
};

} // namespace agent

Q_DECLARE_METATYPE(agent::SpeechPart)
