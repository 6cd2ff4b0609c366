#include "agent/speech/SpeechPlayer.h"

#include "agent/Logging.h"
#include "agent/SpeechText.h"
#include "agent/speech/AudioStream.h"
#include "agent/speech/SpeechRunner.h"
#include "agent/speech/SpeechSynth.h"
#include "agent/speech/ToneSynth.h"
#include "agent/speech/Visemes.h"
#include "agent/speech/WavCapture.h"
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
// Audio already heard is let go of past this, so that a long text is spoken
// in bounded memory (unless it is being captured to a file whole).
constexpr int KeptHeardSeconds = 2;
constexpr int TrimAfterSeconds = 30;

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

    void onPart(quint64 ticket, const SpeechPart &part);
    void onDone(quint64 ticket, bool ok);
    void onTick();
    // Ends the utterance being spoken, then tells; a slot may speak again.
    void end(bool completed);
    void keepTicking();

    SpeechPlayer *q;
    Clock &clock;
    // The engines: Flite, and espeak-ng through the synthesiser handed in.
    std::unique_ptr<SpeechRunner> runner;
    WavCapture *capture = nullptr;
    int sampleRate = SpeechRunner::kSampleRate;

    // The utterance: counts up at every start and end, so a callback that
    // outlived its utterance can tell.
    quint64 utterance = 0;
    quint64 ticket = 0;
    bool speaking = false;
    bool synthesized = false;
    QVector<qint16> pcm; // from sample `pcmStart` of the utterance on
    qint64 pcmStart = 0;
    qint64 made = 0; // samples of the utterance received
    QVector<SpokenWord> words;
    qsizetype nextWord = 0;
    QVector<SpokenPhone> phones;
    PhoneFollower phoneAt;
    QString lastPhone;
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
    // Without a synthesiser nothing is heard: the words show silently.
    , runner(std::make_unique<SpeechRunner>(synth ? makeSpeechEnginesUnchecked(synth)
                                                  : std::vector<std::unique_ptr<SpeechEngine>> {}))
    , capture(capture)
    , speech(sampleRate, clock, audio)
    , effects(sampleRate, clock, audio)
    , tick(clock.timer([this] { onTick(); }, true))
{
    QObject::connect(runner.get(), &SpeechRunner::part, q,
        [this](quint64 t, const SpeechPart &p) { onPart(t, p); });
    QObject::connect(
        runner.get(), &SpeechRunner::done, q, [this](quint64 t, bool ok) { onDone(t, ok); });
}

void SpeechPlayerPrivate::keepTicking()
{
    if (!tick->isActive())
        tick->start(TickMs);
}

void SpeechPlayerPrivate::onPart(quint64 t, const SpeechPart &part)
{
    if (!speaking || t != ticket)
        return; // from an utterance that was cut off
    const bool first = !heardFirstChunk && !part.pcm.isEmpty();
    if (first) {
        heardFirstChunk = true;
        qCDebug(lcSpeech) << "First audio" << clock.monotonicMs() - speakStartMs
                          << "ms after speak";
    }
    pcm += part.pcm;
    made += part.pcm.size();
    words += part.words;
    phones += part.phones;
    if (!part.pcm.isEmpty())
        speech.append(part.pcm);
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
        runner->setHeard(heard);
        const bool allHeard = synthesized && heard >= made;
        if (allHeard)
            heard = std::numeric_limits<qint64>::max(); // any word left is due now
        while (nextWord < words.size() && words[nextWord].start <= heard) {
            const SpokenWord w = words[nextWord++];
            emit q->word(w.position, w.length);
            if (utterance != current)
                return; // a slot stopped or replaced the speech
        }
        if (allHeard) {
            end(true);
            return;
        }
        const SpokenPhone *phone = phoneAt.at(phones, heard);
        const QString label = phone ? phone->label : QString();
        if (label != lastPhone) {
            lastPhone = label;
            emit q->phone(label);
            if (utterance != current)
                return;
        }
        emit q->mouth(loudness(pcm, heard - pcmStart, sampleRate * TickMs / 1000));
        if (utterance != current)
            return;
        // Let go of what was heard long ago; a capture needs it all.
        if (!captureSlot && pcm.size() > qint64(TrimAfterSeconds) * sampleRate) {
            const qint64 drop = std::min<qint64>(
                heard - pcmStart - qint64(KeptHeardSeconds) * sampleRate, pcm.size());
            if (drop > 0) {
                pcm.remove(0, drop);
                pcmStart += drop;
            }
        }
    }
    if (!speaking && !effects.isPlaying())
        tick->stop();
}

void SpeechPlayerPrivate::end(bool completed)
{
    const qint64 heard
        = completed ? pcm.size() : std::clamp<qint64>(speech.position() - pcmStart, 0, pcm.size());
    QVector<qint16> spoken = std::exchange(pcm, {});
    spoken.resize(heard);
    finishCapture(std::exchange(captureSlot, 0), spoken);
    pcmStart = 0;
    made = 0;
    words.clear();
    nextWord = 0;
    phones.clear();
    phoneAt.reset();
    lastPhone.clear();
    runner->cancel(); // stops a synthesis still running
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
    d->runner->cancel();
    d->tick->stop();
    QObject::disconnect(d->runner.get(), nullptr, this, nullptr);
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    if (d->speaking) {
        const qint64 heard
            = std::clamp<qint64>(d->speech.position() - d->pcmStart, 0, d->pcm.size());
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
    if (nothingToSay || !d->runner->isAvailable()) {
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
    d->ticket = d->runner->speak(taggedText, voice);
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
