#include "agent/speech/SpeechSynth.h"

#include "agent/Logging.h"
#include "agent/SpeechText.h"
#include "platform/LoadedLibrary.h"

#include <QCoreApplication>

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace agent {

namespace {

// Chunks after the first are gathered to about 90 ms so that a long text
// does not flood the receiving thread with tiny deliveries; the first goes
// out at once because it decides how soon the speech is heard.
constexpr int ChunkSamples = 2048;
constexpr int MaxVoiceNameLength = 40;

std::atomic<quint64> lastTicket { 0 };

// espeak-ng is opened at its first use: most speech is Flite's, and the
// library brings its own sound stack with it.
struct Espeak
{
    decltype(&::espeak_Initialize) initialize = nullptr;
    decltype(&::espeak_SetSynthCallback) setSynthCallback = nullptr;
    decltype(&::espeak_Terminate) terminate = nullptr;
    decltype(&::espeak_SetVoiceByName) setVoiceByName = nullptr;
    decltype(&::espeak_SetParameter) setParameter = nullptr;
    decltype(&::espeak_Synth) synth = nullptr;
};

// Null, with the reason logged once, when espeak-ng cannot be opened.
const Espeak *espeak()
{
    return openOnce<Espeak>([]() -> std::optional<Espeak> {
        LoadedLibrary library(QStringLiteral("espeak-ng"), 1);
        Espeak e;
        if (library.load() && library.resolve("espeak_Initialize", e.initialize)
            && library.resolve("espeak_SetSynthCallback", e.setSynthCallback)
            && library.resolve("espeak_Terminate", e.terminate)
            && library.resolve("espeak_SetVoiceByName", e.setVoiceByName)
            && library.resolve("espeak_SetParameter", e.setParameter)
            && library.resolve("espeak_Synth", e.synth))
            return e;
        qCWarning(lcSpeech).noquote() << library.why();
        return std::nullopt;
    });
}

struct SynthContext
{
    const SpeechWorker::Request *request = nullptr;
    const SpeechText *text = nullptr;
    const SpeechWorker::Sink *sink = nullptr;
    int sampleRate = 0;
    SpeechChunk pending;
    bool sentFirst = false;
    bool aborted = false;
    int lastWordStart = -1;
    qint64 lastWordSample = 0;

    void flush()
    {
        if (pending.pcm.isEmpty() && pending.words.isEmpty())
            return;
        sentFirst = true;
        (*sink)(std::move(pending));
        pending = {};
    }
};

// The synthesiser's callback is a plain function; the request being
// synthesised is reachable only from the worker thread, which alone calls it.
SynthContext *currentContext = nullptr;

int synthCallback(short *wav, int count, espeak_EVENT *events)
{
    SynthContext *c = currentContext;
    if (!c)
        return 0;
    const auto &live = c->request->live;
    if (live && live->load() != c->request->ticket) {
        c->aborted = true;
        return 1; // asks the synthesiser to abandon the text
    }
    if (wav && count > 0) {
        const qsizetype at = c->pending.pcm.size();
        c->pending.pcm.resize(at + count);
        std::memcpy(c->pending.pcm.data() + at, wav, size_t(count) * sizeof(qint16));
    }
    for (const espeak_EVENT *e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type != espeakEVENT_WORD)
            continue;
        const WordSpan span
            = wordAt(c->text->display, c->text->displayIndexForSynthPosition(e->text_position));
        // A number read as several words ("2000") reports each of them;
        // the balloon shows it once.
        if (!span.isValid() || span.start <= c->lastWordStart)
            continue;
        qint64 sample
            = e->sample >= 0 ? qint64(e->sample) : qint64(e->audio_position) * c->sampleRate / 1000;
        sample = std::max(sample, c->lastWordSample);
        c->lastWordStart = span.start;
        c->lastWordSample = sample;
        c->pending.words.push_back({ sample, span.start, span.length });
    }
    if ((!c->sentFirst && !c->pending.pcm.isEmpty()) || c->pending.pcm.size() >= ChunkSamples)
        c->flush();
    return 0;
}

} // namespace

SpeechSynthesizer::SpeechSynthesizer()
{
    qRegisterMetaType<agent::SpeechChunk>();
    m_thread.setObjectName(QStringLiteral("quillory-speech"));
    m_worker = new SpeechWorker;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
}

SpeechSynthesizer::~SpeechSynthesizer()
{
    if (!m_started) {
        delete m_worker; // its thread never ran
        return;
    }
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { w->terminate(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void SpeechSynthesizer::ensureStarted()
{
    if (m_started)
        return;
    m_started = true;
    m_thread.start();
    int rate = 0;
    QMetaObject::invokeMethod(
        m_worker, [this, &rate] { rate = m_worker->initialise(); }, Qt::BlockingQueuedConnection);
    m_available = rate > 0;
    if (m_available)
        m_sampleRate = rate;
}

int SpeechSynthesizer::sampleRate()
{
    ensureStarted();
    return m_sampleRate;
}

bool SpeechSynthesizer::isAvailable()
{
    ensureStarted();
    return m_available;
}

quint64 SpeechSynthesizer::start(
    const QString &tagged, const VoiceSpec &voice, const LiveTicket &live)
{
    ensureStarted();
    SpeechWorker::Request request;
    request.ticket = ++lastTicket;
    request.tagged = tagged;
    request.voice = voice;
    request.live = live;
    if (live)
        live->store(request.ticket);
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, request] { w->run(request); }, Qt::QueuedConnection);
    return request.ticket;
}

SpeechClip SpeechSynthesizer::synthesizeToMemory(const QString &tagged, const VoiceSpec &voice)
{
    ensureStarted();
    SpeechSynthesizer *s = this;
    SpeechClip clip;
    clip.sampleRate = s->m_sampleRate;
    SpeechWorker::Request request;
    request.tagged = tagged;
    request.voice = voice;
    auto work = [&] {
        clip.ok = s->m_worker->synthesize(request, [&clip](SpeechChunk &&chunk) {
            clip.pcm += chunk.pcm;
            clip.words += chunk.words;
        });
    };
    if (QThread::currentThread() == &s->m_thread)
        work();
    else
        QMetaObject::invokeMethod(s->m_worker, work, Qt::BlockingQueuedConnection);
    return clip;
}

int SpeechWorker::initialise()
{
    const Espeak *api = espeak();
    const int rate = api ? api->initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0) : 0;
    if (rate <= 0) {
        qCWarning(lcSpeech) << "The speech synthesiser did not start; speech stays silent";
        return 0;
    }
    api->setSynthCallback(synthCallback);
    m_initialised = true;
    m_sampleRate = rate;
    return rate;
}

void SpeechWorker::terminate()
{
    if (m_initialised)
        espeak()->terminate();
    m_initialised = false;
}

void SpeechWorker::selectVoice(const VoiceSpec &voice)
{
    QString name = voice.espeakVoice.trimmed().left(MaxVoiceNameLength);
    if (name.isEmpty())
        name = QStringLiteral("en-us");
    if (name == m_voiceName)
        return;
    m_voiceName = name;
    if (espeak()->setVoiceByName(name.toUtf8().constData()) == EE_OK)
        return;
    qCWarning(lcSpeech) << "No voice" << name << "- speaking with the default English voice";
    if (espeak()->setVoiceByName("en") != EE_OK)
        qCWarning(lcSpeech) << "The default English voice is missing too";
}

bool SpeechWorker::synthesize(const Request &request, const Sink &sink)
{
    if (!m_initialised)
        return false;
    if (request.live && request.live->load() != request.ticket)
        return false; // cancelled while it waited in the queue

    const SpeechText text = SpeechText::parse(request.tagged);
    selectVoice(request.voice);
    espeak()->setParameter(espeakRATE, std::clamp(request.voice.rate, 80, 450), 0);
    espeak()->setParameter(espeakPITCH, std::clamp(request.voice.pitch, 0, 99), 0);
    espeak()->setParameter(espeakVOLUME, std::clamp(request.voice.volume, 0, 200), 0);

    SynthContext context;
    context.request = &request;
    context.text = &text;
    context.sink = &sink;
    context.sampleRate = m_sampleRate;
    const QByteArray utf8 = text.ssml.toUtf8();
    currentContext = &context;
    unsigned int id = 0;
    const espeak_ERROR result = espeak()->synth(utf8.constData(), size_t(utf8.size()) + 1, 0,
        POS_CHARACTER, 0, espeakSSML | espeakCHARS_UTF8, &id, nullptr);
    currentContext = nullptr;
    if (context.aborted)
        return false;
    context.flush();
    if (result != EE_OK) {
        qCWarning(lcSpeech) << "Speech synthesis failed with code" << int(result);
        return false;
    }
    return true;
}

void SpeechWorker::run(const Request &request)
{
    const bool ok = synthesize(
        request, [this, &request](SpeechChunk &&chunk) { emit chunkReady(request.ticket, chunk); });
    emit done(request.ticket, ok);
}

} // namespace agent
