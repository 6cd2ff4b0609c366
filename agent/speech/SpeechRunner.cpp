#include "agent/speech/SpeechRunner.h"

#include "agent/Logging.h"
#include "agent/Resampler.h"
#include "agent/SpeechText.h"
#include "agent/speech/EspeakEngine.h"
#include "agent/speech/SpeechPieces.h"

#include <QMutexLocker>

#include <algorithm>

namespace agent {

namespace {

// Enough input to flush the resampler's filter at the end of a piece.
constexpr int kFlushSamples = 256;
// A wait for the listener to catch up wakes this often to look for a cancel.
constexpr int kWaitSliceMs = 100;

EngineVoice engineVoice(const SpeechEngine &engine, const VoiceSpec &voice, const QString &display)
{
    EngineVoice v;
    v.rate = voice.rate;
    v.pitch = voice.pitch;
    v.volume = voice.volume;
    if (engine.id() == QLatin1String("flite")) {
        v.name = voice.fliteVoice;
        return v;
    }
    v.name = voice.espeakVoice;
    // Text in another script read with an English voice would come out as
    // the names of its letters, or as nothing.
    const QString script = EspeakEngine::voiceForScript(display);
    if (!script.isEmpty() && (v.name.isEmpty() || v.name.startsWith(QLatin1String("en"))))
        v.name = script;
    return v;
}

} // namespace

class SpeechRunner::Worker : public QObject
{
public:
    Worker(std::vector<std::unique_ptr<SpeechEngine>> engines, Shared *shared)
        : m_engines(std::move(engines))
        , m_shared(shared)
    { }

    using Sink = std::function<void(SpeechPart &&)>;

    // Synthesises the utterance piece by piece; false when it failed or was
    // cancelled (`ticket` 0: never cancelled, never waits for the listener).
    bool run(quint64 ticket, const QString &tagged, const VoiceSpec &voice, const Sink &sink)
    {
        // At the first speech, on this thread: an engine's check may load its
        // libraries, which neither the program's start nor its window waits for.
        if (!m_checked) {
            m_checked = true;
            leaveOutUnavailable(m_engines);
        }
        auto cancelled
            = [this, ticket] { return ticket && m_shared->live.loadAcquire() != ticket; };
        SpeechPieces pieces(tagged);
        qint64 produced = 0;
        while (!pieces.atEnd()) {
            if (ticket && !waitForListener(ticket, produced))
                return false;
            const SpeechPiece piece = pieces.next();
            const QString display = SpeechText::parse(piece.tagged).display;
            if (display.trimmed().isEmpty())
                continue;
            SpeechEngine *engine = chooseEngine(m_engines, voice.engine, display);
            if (!engine)
                return false;
            const EngineVoice ev = engineVoice(*engine, voice, display);

            // What of the engine's result has been handed on.
            qsizetype sentIn = 0;
            qsizetype sentWords = 0;
            qsizetype sentPhones = 0;
            qint64 sentOut = 0;
            std::unique_ptr<Resampler> resampler;
            int inRate = 0;
            auto toOut = [&](qint64 s) { return produced + s * kSampleRate / std::max(1, inRate); };
            auto forward = [&](const Synthesis &soFar, bool last) {
                if (soFar.sampleRate <= 0)
                    return;
                if (!inRate) {
                    inRate = soFar.sampleRate;
                    if (inRate != kSampleRate)
                        resampler = std::make_unique<Resampler>(inRate, kSampleRate);
                }
                SpeechPart part;
                if (resampler) {
                    std::vector<float> in;
                    in.reserve(size_t(soFar.pcm.size() - sentIn) + kFlushSamples);
                    for (qsizetype i = sentIn; i < soFar.pcm.size(); ++i)
                        in.push_back(float(soFar.pcm[i]) / 32768.0f);
                    if (last)
                        in.resize(in.size() + kFlushSamples, 0.0f);
                    resampler->push(in.data(), qsizetype(in.size()), part.pcm);
                } else {
                    part.pcm = soFar.pcm.mid(sentIn);
                }
                sentIn = soFar.pcm.size();
                if (last) {
                    // Exactly the length the piece has at the output rate.
                    const qint64 total
                        = (qint64(soFar.pcm.size()) * kSampleRate + inRate - 1) / inRate;
                    part.pcm.resize(std::max<qint64>(0, total - sentOut));
                }
                sentOut += part.pcm.size();
                for (; sentWords < soFar.words.size(); ++sentWords) {
                    SpokenWord w = soFar.words[sentWords];
                    w.start = toOut(w.start);
                    w.end = toOut(w.end);
                    w.position += piece.displayOffset;
                    part.words << w;
                }
                for (; sentPhones < soFar.phones.size(); ++sentPhones) {
                    SpokenPhone p = soFar.phones[sentPhones];
                    p.start = toOut(p.start);
                    p.end = toOut(p.end);
                    part.phones << p;
                }
                if (!part.pcm.isEmpty() || !part.words.isEmpty() || !part.phones.isEmpty())
                    sink(std::move(part));
            };
            const Synthesis s = engine->synthesise(piece.tagged, ev, cancelled,
                [&](const Synthesis &soFar) { forward(soFar, false); });
            if (cancelled())
                return false;
            if (!s.ok) {
                qCWarning(lcSpeech) << "The" << engine->id() << "engine could not speak a piece";
                return false;
            }
            forward(s, true);
            produced += sentOut;
        }
        return true;
    }

    // Waits while more than kAheadSeconds are made and not yet heard; false
    // when the utterance was cancelled meanwhile.
    bool waitForListener(quint64 ticket, qint64 produced)
    {
        QMutexLocker lock(&m_shared->mutex);
        while (m_shared->live.loadAcquire() == ticket
            && produced - m_shared->heard > qint64(kAheadSeconds) * kSampleRate)
            m_shared->wake.wait(&m_shared->mutex, kWaitSliceMs);
        return m_shared->live.loadAcquire() == ticket;
    }

    std::vector<std::unique_ptr<SpeechEngine>> m_engines;
    bool m_checked = false;
    Shared *m_shared; // the runner's, which outlives the worker thread
};

SpeechRunner::SpeechRunner(std::vector<std::unique_ptr<SpeechEngine>> engines, QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<agent::SpeechPart>();
    for (const auto &e : engines) {
        m_engineIds << e->id();
        m_voices.insert(e->id(), e->voices());
    }
    m_thread.setObjectName(QStringLiteral("quillory-voice"));
    m_worker = new Worker(std::move(engines), &m_shared);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

SpeechRunner::~SpeechRunner()
{
    cancel();
    m_thread.quit();
    m_thread.wait();
}

QStringList SpeechRunner::voices(const QString &engineId) const
{
    return m_voices.value(engineId);
}

quint64 SpeechRunner::speak(const QString &tagged, const VoiceSpec &voice)
{
    const quint64 ticket = ++m_lastTicket;
    {
        QMutexLocker lock(&m_shared.mutex);
        m_shared.live.storeRelease(ticket);
        m_shared.heard = 0;
    }
    m_shared.wake.wakeAll();
    QMetaObject::invokeMethod(
        m_worker,
        [this, w = m_worker, ticket, tagged, voice] {
            if (m_shared.live.loadAcquire() != ticket) {
                emit done(ticket, false); // replaced while it waited in the queue
                return;
            }
            const bool ok = w->run(ticket, tagged, voice, [this, ticket](SpeechPart &&p) {
                if (m_shared.live.loadAcquire() == ticket)
                    emit part(ticket, p);
            });
            emit done(ticket, ok);
        },
        Qt::QueuedConnection);
    return ticket;
}

void SpeechRunner::cancel()
{
    {
        QMutexLocker lock(&m_shared.mutex);
        m_shared.live.storeRelease(0);
    }
    m_shared.wake.wakeAll();
}

void SpeechRunner::setHeard(qint64 samples)
{
    {
        QMutexLocker lock(&m_shared.mutex);
        m_shared.heard = samples;
    }
    m_shared.wake.wakeAll();
}

Synthesis SpeechRunner::synthesiseAll(const QString &tagged, const VoiceSpec &voice)
{
    Synthesis all;
    all.sampleRate = kSampleRate;
    auto work = [&] {
        all.ok = m_worker->run(0, tagged, voice, [&all](SpeechPart &&p) {
            all.pcm += p.pcm;
            all.words += p.words;
            all.phones += p.phones;
        });
    };
    if (QThread::currentThread() == &m_thread)
        work();
    else
        QMetaObject::invokeMethod(m_worker, work, Qt::BlockingQueuedConnection);
    return all;
}

} // namespace agent
