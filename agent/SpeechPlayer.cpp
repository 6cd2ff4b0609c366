#include "agent/SpeechPlayer.h"

#include "agent/AudioStream.h"
#include "agent/Logging.h"
#include "agent/SpeechSynth.h"
#include "agent/SpeechText.h"
#include "agent/ToneSynth.h"
#include "agent/WavCapture.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <memory>

#include <limits>
#include <utility>

namespace agent {

namespace {

constexpr int TickMs = 33; // the mouth moves about 30 times a second
constexpr int MostEffectsQueuedMs = 10000;

} // namespace

class SpeechPlayerPrivate
{
public:
    SpeechPlayerPrivate(SpeechPlayer *q, Clock &clock, SpeechSynthesizer *synth,
        AudioDevices *audio, WavCapture *capture);
    quint64 beginCapture() { return capture ? capture->begin(sampleRate) : 0; }
    void finishCapture(quint64 slot, const QVector<qint16> &samples)
    {
        if (capture)
            capture->finish(slot, samples);
    }

    void onChunk(quint64 ticket, const SpeechChunk &chunk);
    void onDone(quint64 ticket, bool ok);
    void onTick();
    // Ends the utterance being spoken, then tells; a slot may speak again.
    void end(bool completed);
    void keepTicking();

    SpeechPlayer *q;
    Clock &clock;
    QPointer<SpeechSynthesizer> synth;
    WavCapture *capture = nullptr;
    int sampleRate = 22050;
    LiveTicket live = std::make_shared<std::atomic<quint64>>(0);

    // The utterance: counts up at every start and end, so a callback that
    // outlived its utterance can tell.
    quint64 utterance = 0;
    quint64 ticket = 0;
    bool speaking = false;
    bool synthesized = false;
    QVector<qint16> pcm;
    QVector<WordMark> words;
    qsizetype nextWord = 0;
    quint64 captureSlot = 0;
    qint64 speakStartMs = 0;
    bool heardFirstChunk = false;

    AudioStream speech;
    AudioStream effects;
    std::unique_ptr<Clock::Timer> tick;
};

SpeechPlayerPrivate::SpeechPlayerPrivate(SpeechPlayer *q, Clock &clock, SpeechSynthesizer *synth,
    AudioDevices *audio, WavCapture *capture)
    : q(q)
    , clock(clock)
    , synth(synth)
    , capture(capture)
    , sampleRate(synth ? synth->sampleRate() : 22050)
    , speech(sampleRate, clock, audio)
    , effects(sampleRate, clock, audio)
    , tick(clock.timer([this] { onTick(); }, true))
{
    if (synth) {
        QObject::connect(synth->worker(), &SpeechWorker::chunkReady, q,
            [this](quint64 t, const SpeechChunk &c) { onChunk(t, c); });
        QObject::connect(
            synth->worker(), &SpeechWorker::done, q, [this](quint64 t, bool ok) { onDone(t, ok); });
    }
}

void SpeechPlayerPrivate::keepTicking()
{
    if (!tick->isActive())
        tick->start(TickMs);
}

void SpeechPlayerPrivate::onChunk(quint64 t, const SpeechChunk &chunk)
{
    if (!speaking || t != ticket)
        return; // from an utterance that was cut off
    const bool first = !heardFirstChunk;
    if (first) {
        heardFirstChunk = true;
        qCDebug(lcSpeech) << "First audio" << clock.monotonicMs() - speakStartMs
                          << "ms after speak";
    }
    pcm += chunk.pcm;
    words += chunk.words;
    speech.append(chunk.pcm);
    keepTicking();
    if (first)
        onTick(); // the first word shows with the first sound
}

void SpeechPlayerPrivate::onDone(quint64 t, bool ok)
{
    if (!speaking || t != ticket)
        return;
    synthesized = true;
    if (!ok) {
        qCWarning(lcSpeech) << "Speech could not be synthesised";
        end(false);
        return;
    }
    keepTicking();
}

void SpeechPlayerPrivate::onTick()
{
    if (effects.isPlaying() && effects.position() >= effects.queued())
        effects.finish();

    if (speaking) {
        const quint64 current = utterance;
        qint64 heard = speech.position();
        const bool allHeard = synthesized && heard >= pcm.size();
        if (allHeard)
            heard = std::numeric_limits<qint64>::max(); // any word left is due now
        while (nextWord < words.size() && words[nextWord].sample <= heard) {
            const WordMark w = words[nextWord++];
            emit q->word(w.start, w.length);
            if (utterance != current)
                return; // a slot stopped or replaced the speech
        }
        if (allHeard) {
            end(true);
            return;
        }
        emit q->mouth(loudness(pcm, heard, sampleRate * TickMs / 1000));
        if (utterance != current)
            return;
    }
    if (!speaking && !effects.isPlaying())
        tick->stop();
}

void SpeechPlayerPrivate::end(bool completed)
{
    const qint64 heard = completed ? pcm.size() : std::min<qint64>(speech.position(), pcm.size());
    QVector<qint16> spoken = std::exchange(pcm, {});
    spoken.resize(heard);
    finishCapture(std::exchange(captureSlot, 0), spoken);
    words.clear();
    nextWord = 0;
    live->store(0); // stops a synthesis still running
    ++utterance;
    ticket = 0;
    speaking = false;
    // Last, as the sink may run the event loop while it stops.
    if (completed)
        speech.finish();
    else
        speech.stop();
    if (!speaking && !effects.isPlaying())
        tick->stop();
    emit q->mouth(0.0);
    emit q->finished(completed);
}

SpeechPlayer::SpeechPlayer(Clock &clock, SpeechSynthesizer *synthesizer, AudioDevices *audio,
    WavCapture *capture, QObject *parent)
    : SpeechOutput(parent)
    , d(std::make_unique<SpeechPlayerPrivate>(this, clock, synthesizer, audio, capture))
{ }

SpeechPlayer::~SpeechPlayer()
{
    d->live->store(0);
    d->tick->stop();
    if (d->synth)
        QObject::disconnect(d->synth->worker(), nullptr, this, nullptr);
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    if (d->speaking) {
        const qint64 heard = std::min<qint64>(d->speech.position(), d->pcm.size());
        d->finishCapture(std::exchange(d->captureSlot, 0), d->pcm.first(heard));
        d->speaking = false;
        ++d->utterance;
    }
    // While the private part is whole: closing a sink can run the event loop.
    d->speech.shutDown();
    d->effects.shutDown();
}

QString SpeechPlayer::displayText(const QString &tagged) const
{
    return SpeechText::parse(tagged).display;
}

QString SpeechPlayer::toSsml(const QString &tagged)
{
    return SpeechText::parse(tagged).ssml;
}

void SpeechPlayer::speak(const QString &taggedText, const VoiceSpec &voice)
{
    // Each pass ends one utterance: a slot of finished() may speak again.
    while (d->speaking)
        d->end(false);

    const QString display = SpeechText::parse(taggedText).display;
    qCDebug(lcSpeech).noquote() << "Speaking:" << display;
    ++d->utterance;
    d->speaking = true;
    d->synthesized = false;
    d->heardFirstChunk = false;
    d->speakStartMs = d->clock.monotonicMs();
    d->captureSlot = d->beginCapture();

    const bool nothingToSay = display.trimmed().isEmpty();
    if (nothingToSay || !d->synth || !d->synth->isAvailable()) {
        if (!nothingToSay)
            qCWarning(lcSpeech) << "No speech synthesiser; the text is not spoken";
        d->ticket = 0;
        const quint64 current = d->utterance;
        QTimer::singleShot(0, this, [this, current, nothingToSay] {
            if (d->utterance != current || !d->speaking)
                return;
            if (nothingToSay) {
                d->synthesized = true;
                d->onTick();
            } else {
                d->end(false);
            }
        });
        return;
    }
    d->ticket = d->synth->start(taggedText, voice, d->live);
    d->keepTicking();
}

void SpeechPlayer::playEffect(const ToneSequence &notes, double volume)
{
    // Effects queue up behind each other; a character that starts them
    // faster than they play would otherwise pile up audio without end.
    const qint64 waiting = d->effects.isPlaying() ? d->effects.queued() - d->effects.position() : 0;
    if (waiting > qint64(MostEffectsQueuedMs) * d->sampleRate / 1000) {
        qCDebug(lcSpeech) << "Effect dropped:" << waiting << "samples still to play";
        return;
    }
    const QVector<qint16> pcm = synthesizeTones(notes, volume, d->sampleRate);
    if (pcm.isEmpty())
        return;
    qCDebug(lcSpeech) << "Effect:" << notes.size() << "notes," << pcm.size() << "samples";
    d->finishCapture(d->beginCapture(), pcm);
    d->effects.append(pcm);
    d->keepTicking();
}

void SpeechPlayer::stop()
{
    if (d->speaking)
        d->end(false);
}

bool SpeechPlayer::isSpeaking() const
{
    return d->speaking;
}

} // namespace agent
