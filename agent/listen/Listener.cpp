#include "agent/listen/Listener.h"

#include "agent/Logging.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace agent {

namespace {

constexpr int kRate = RecognizerCore::kSampleRate;
// The noise estimate drifts up this fast when everything is louder, so a
// noise that starts late is silence again after a while.
constexpr double kNoiseRiseDbPerFrame = 0.05;
constexpr int kLevelEverySamples = kRate / 20;
constexpr int kReleaseDebounceMs = 40;
constexpr int kPreloadMs = 2000;
// Sound still on its way from the loudspeaker when speech ends: the room's
// echo and the audio buffers. Counted in samples, not time, so it follows
// the audio itself.
constexpr int kEchoTailSamples = kRate * 3 / 10;

const QList<ListenKeyInfo> kKeys {
    { ListenKey::ScrollLock, "ScrollLock", QT_TRANSLATE_NOOP("agent::Listener", "Scroll Lock") },
    { ListenKey::Pause, "Pause", QT_TRANSLATE_NOOP("agent::Listener", "Pause") },
    { ListenKey::F12, "F12", QT_TRANSLATE_NOOP("agent::Listener", "F12") },
    { ListenKey::RightCtrl, "RightCtrl", QT_TRANSLATE_NOOP("agent::Listener", "Right Ctrl") },
    { ListenKey::None, "None",
        QT_TRANSLATE_NOOP("agent::Listener", "No key (listen from the menu)") },
};

// X keysyms of the keys.
quint32 keysym(ListenKey key)
{
    switch (key) {
    case ListenKey::ScrollLock:
        return 0xff14;
    case ListenKey::Pause:
        return 0xff13;
    case ListenKey::F12:
        return 0xffc9;
    case ListenKey::RightCtrl:
        return 0xffe4;
    case ListenKey::None:
        break;
    }
    return 0;
}

bool matches(ListenKey key, const QKeyEvent *event)
{
    switch (key) {
    case ListenKey::ScrollLock:
        return event->key() == Qt::Key_ScrollLock;
    case ListenKey::Pause:
        return event->key() == Qt::Key_Pause;
    case ListenKey::F12:
        return event->key() == Qt::Key_F12;
    case ListenKey::RightCtrl:
        return event->key() == Qt::Key_Control && event->nativeVirtualKey() == keysym(key);
    case ListenKey::None:
        break;
    }
    return false;
}

double decibels(double meanSquare)
{
    return 10 * std::log10(meanSquare + 1e-12);
}

} // namespace

void Endpointer::push(const qint16 *samples, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i) {
        m_frame.append(samples[i]);
        if (m_frame.size() < kFrameSamples)
            continue;
        double energy = 0;
        for (qint16 v : std::as_const(m_frame))
            energy += double(v) * v;
        m_frame.clear();
        const double db = decibels(energy / kFrameSamples / (32768.0 * 32768.0));
        m_noiseDb = m_frames++ == 0 ? db : std::min(db, m_noiseDb + kNoiseRiseDbPerFrame);
        if (db > m_noiseDb + kSpeechOverNoiseDb && db > kSpeechFloorDb) {
            ++m_speechFrames;
            m_silentFrames = 0;
        } else if (heardSpeech()) {
            ++m_silentFrames;
        }
    }
}

const QList<ListenKeyInfo> &listenKeys()
{
    return kKeys;
}

QString listenKeyName(ListenKey key)
{
    for (const ListenKeyInfo &info : kKeys) {
        if (info.key == key)
            return QLatin1String(info.name);
    }
    return QLatin1String(kKeys.first().name);
}

ListenKey listenKeyFromName(const QString &name)
{
    for (const ListenKeyInfo &info : kKeys) {
        if (name.compare(QLatin1String(info.name), Qt::CaseInsensitive) == 0)
            return info.key;
    }
    return ListenKey::ScrollLock;
}

// ---------------------------------------------------------------------------
// The listening key

// The key is watched on the whole desktop through the GlobalKey service, so
// it works whichever window has the focus. Where that cannot be (no such
// service, another display system, the key held by another program), it
// works while a Quillory window has the focus.
class ListenKeyFilter final : public QObject
{
public:
    ListenKeyFilter(Listener &listener, Clock &clock)
        : m_listener(listener)
        , m_release(clock.timer([this] {
            m_down = false;
            m_listener.keyReleased();
        }))
    { }
    ~ListenKeyFilter() override { setActive(false); }

    void setService(GlobalKey *service)
    {
        const bool active = m_active;
        setActive(false);
        m_service = service;
        setActive(active);
    }

    void setKey(ListenKey key)
    {
        if (key == m_key)
            return;
        const bool active = m_active;
        setActive(false);
        m_key = key;
        setActive(active);
    }

    Listener::KeyWatch watch() const
    {
        if (!m_active)
            return Listener::KeyWatch::Off;
        return m_desktop ? Listener::KeyWatch::Desktop : Listener::KeyWatch::OwnWindows;
    }

    void setActive(bool active)
    {
        if (active == m_active)
            return;
        m_active = active;
        if (active) {
            m_desktop
                = m_service && m_service->watch(keysym(m_key), [this](GlobalKey::Event event) {
                      switch (event) {
                      case GlobalKey::Event::Pressed:
                          pressed();
                          break;
                      case GlobalKey::Event::Released:
                          released();
                          break;
                      case GlobalKey::Event::Chord:
                          m_listener.keyChord();
                          break;
                      }
                  });
            if (!m_desktop && qApp) {
                qCInfo(lcVoice) << "the" << listenKeyName(m_key)
                                << "key works only while a Quillory window has the focus";
                qApp->installEventFilter(this);
            }
            return;
        }
        if (m_desktop && m_service)
            m_service->stop();
        m_desktop = false;
        if (qApp)
            qApp->removeEventFilter(this);
        m_release->stop();
        m_down = false;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const auto *key = static_cast<const QKeyEvent *>(event);
            if (matches(m_key, key)) {
                if (!key->isAutoRepeat()) {
                    if (event->type() == QEvent::KeyPress)
                        pressed();
                    else
                        released();
                }
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // A held key repeats as release and press at once: a release counts
    // only when no press follows it.
    void pressed()
    {
        if (m_release->isActive()) {
            m_release->stop();
            return;
        }
        if (m_down)
            return;
        m_down = true;
        m_listener.keyPressed();
    }
    void released()
    {
        if (m_down)
            m_release->start(kReleaseDebounceMs);
    }

    Listener &m_listener;
    GlobalKey *m_service = nullptr;
    ListenKey m_key = ListenKey::ScrollLock;
    bool m_active = false;
    bool m_desktop = false;
    bool m_down = false;
    std::unique_ptr<Clock::Timer> m_release;
};

// ---------------------------------------------------------------------------
// The listener

Listener::Listener(Clock &clock, QObject *parent)
    : QObject(parent)
    , m_keyFilter(std::make_unique<ListenKeyFilter>(*this, clock))
{
    qRegisterMetaType<agent::Listener::Mode>();
    // The model loads on the recogniser's thread; it is ready by the time
    // anyone speaks, without slowing the start of the program.
    m_preload = clock.timer([this] {
        if (!m_entries.isEmpty() && canListen())
            recognizer();
    });
    m_limit = clock.timer([this] { finishSession(true); });
}

Listener::~Listener()
{
    // Not through the virtual: a class made from this one is gone already.
    if (m_source)
        Listener::closeMicrophone();
    m_keyFilter.reset();
}

void Listener::setAudio(AudioDevices *audio)
{
    m_audio = audio;
    m_watchingMicrophones = false;
    microphonesChanged();
}

void Listener::setModel(RecognizerModel model)
{
    m_model = std::move(model);
    updateKeyWatch();
}

void Listener::microphonesChanged()
{
    // A session on a microphone that went away hears nothing more.
    if (isListening() && !canListen()) {
        qCInfo(lcVoice) << "the microphone went away";
        finishSession(false);
    }
    updateKeyWatch();
}

void Listener::setGlobalKey(GlobalKey *service)
{
    m_keyFilter->setService(service);
    updateKeyWatch();
}

Listener::KeyWatch Listener::keyWatch() const
{
    return m_keyFilter->watch();
}

void Listener::updateKeyWatch()
{
    // The key is taken from other programs only while holding it can start
    // listening: commands to listen for, a key chosen and a microphone.
    const bool wanted = !m_entries.isEmpty() && m_key != ListenKey::None;
    if (wanted)
        watchMicrophones();
    m_keyFilter->setActive(wanted && canListen());
}

void Listener::watchMicrophones()
{
    // The system's sound service is first asked when listening could start,
    // not while the program starts, which its connection would slow.
    if (!m_audio || std::exchange(m_watchingMicrophones, true))
        return;
    m_audio->watchInputs(this, [this] { microphonesChanged(); });
    if (microphones().isEmpty())
        qCInfo(lcVoice) << "no microphone: Listen stays disabled until one is plugged in";
}

void Listener::setSpeaking(Speaking speaking)
{
    m_speaking = std::move(speaking);
}

bool Listener::hearingPaused() const
{
    return (m_speaking && m_speaking()) || m_echoTail > 0;
}

QList<SoundDevice> Listener::microphones() const
{
    return m_audio ? m_audio->inputs() : QList<SoundDevice> {};
}

QString Listener::unavailableReason() const
{
    if (microphones().isEmpty())
        return tr("No microphone found");
    if (!m_model.missing().isEmpty())
        return tr("No speech recognition model found");
    return {};
}

QList<VoiceGrammar::Entry> Listener::grammarEntries(const QList<CommandEntry> &commands)
{
    QList<VoiceGrammar::Entry> entries;
    for (const CommandEntry &c : commands) {
        if (!c.visible || !c.enabled || c.voice.trimmed().isEmpty())
            continue;
        // A command that ends the program is hard to take back: only its
        // whole phrase, heard clearly, counts.
        const bool ends = c.name.compare(QLatin1String("exit"), Qt::CaseInsensitive) == 0
            || c.name.compare(QLatin1String("quit"), Qt::CaseInsensitive) == 0;
        entries << VoiceGrammar::Entry { c.name, c.voice, ends };
    }
    return entries;
}

void Listener::setCommands(const QList<CommandEntry> &commands)
{
    const QList<VoiceGrammar::Entry> entries = grammarEntries(commands);
    const bool same = entries.size() == m_entries.size()
        && std::equal(entries.cbegin(), entries.cend(), m_entries.cbegin(),
            [](const VoiceGrammar::Entry &a, const VoiceGrammar::Entry &b) {
                return a.command == b.command && a.voice == b.voice && a.strict == b.strict;
            });
    if (same)
        return;
    m_entries = entries;
    qCDebug(lcVoice) << "listening for" << m_entries.size() << "commands";
    if (m_recognizer)
        m_recognizer->setCommands(m_entries);
    else if (!m_entries.isEmpty())
        m_preload->start(kPreloadMs);
    updateKeyWatch();
}

void Listener::setListenKey(ListenKey key)
{
    m_key = key;
    m_keyFilter->setKey(key);
    updateKeyWatch();
}

void Listener::setMicrophoneId(const QByteArray &id)
{
    m_microphoneId = id;
}

Recognizer *Listener::recognizer()
{
    if (!m_recognizer) {
        RecognizerOptions options;
        options.model = m_model;
        m_recognizer = std::make_unique<Recognizer>(options);
        connect(m_recognizer.get(), &Recognizer::recognized, this, &Listener::handleResult);
        m_recognizer->setCommands(m_entries);
    }
    return m_recognizer.get();
}

SoundDevice Listener::chosenDevice() const
{
    const QList<SoundDevice> devices = microphones();
    if (devices.isEmpty())
        return {};
    if (!m_microphoneId.isEmpty()) {
        for (const SoundDevice &d : devices) {
            if (d.id == m_microphoneId)
                return d;
        }
    }
    for (const SoundDevice &d : devices) {
        if (d.isDefault)
            return d;
    }
    return devices.first();
}

void Listener::keyPressed()
{
    if (!isListening())
        startListening(Mode::Held);
}

void Listener::keyReleased()
{
    if (m_mode == Mode::Held)
        stopListening();
}

void Listener::keyChord()
{
    // The key was part of a shortcut: nothing was meant for the character.
    if (m_mode == Mode::Held)
        finishSession(false);
}

void Listener::startListening(Mode mode)
{
    if (isListening()) {
        // The key held during a timed session keeps it going until released.
        if (mode == Mode::Held && m_mode != Mode::Test) {
            m_mode = Mode::Held;
            m_limit->start(kHeldMaxMs);
        }
        return;
    }
    const QString reason = unavailableReason();
    if (!reason.isEmpty()) {
        qCDebug(lcVoice).noquote() << "cannot listen:" << reason;
        return;
    }
    m_mode = mode;
    m_echoTail = 0;
    m_endpointer = Endpointer(kEndSilenceMs);
    m_levelSamples = 0;
    m_levelPeak = 0;
    m_utterance = recognizer()->begin();
    if (!openMicrophone()) {
        qCWarning(lcVoice) << "the microphone did not open";
        m_recognizer->cancel();
        m_mode.reset();
        emit heard(RecognitionResult {}, mode, false);
        return;
    }
    m_limit->start(mode == Mode::Held ? kHeldMaxMs : kTimedMs);
    qCDebug(lcVoice) << "listening";
    emit listeningChanged(true);
}

void Listener::stopListening()
{
    if (isListening())
        finishSession(true);
}

bool Listener::openMicrophone()
{
    const SoundDevice device = chosenDevice();
    if (device.isNull() || !m_audio)
        return false;
    m_source = m_audio->openInput(device, kRate);
    m_io = m_source ? m_source->start() : nullptr;
    if (!m_io) {
        closeMicrophone();
        return false;
    }
    m_format = m_source->format();
    m_partial.clear();
    m_resampler = std::make_unique<Resampler>(m_format.sampleRate, kRate);
    connect(m_io, &QIODevice::readyRead, this, &Listener::readAudio);
    qCDebug(lcVoice).noquote() << "microphone" << device.description << m_format.sampleRate << "Hz"
                               << m_format.channels << "channels";
    return true;
}

void Listener::closeMicrophone()
{
    if (!m_source)
        return;
    if (m_io)
        m_io->disconnect(this);
    m_source.reset();
    m_io = nullptr;
}

void Listener::readAudio()
{
    if (!m_io || !m_resampler)
        return;
    m_partial += m_io->readAll();
    const int channels = m_format.channels;
    const int bytesPerSample = m_format.bytesPerSample();
    const int frameBytes = channels * bytesPerSample;
    const qsizetype frames = m_partial.size() / frameBytes;
    if (frames == 0)
        return;
    m_mono.resize(frames);
    const auto *bytes = reinterpret_cast<const uchar *>(m_partial.constData());
    for (qsizetype f = 0; f < frames; ++f) {
        double sum = 0;
        for (int ch = 0; ch < channels; ++ch) {
            const uchar *p = bytes + (f * channels + ch) * bytesPerSample;
            switch (m_format.sample) {
            case SoundFormat::Sample::UInt8:
                sum += (int(*p) - 128) / 128.0;
                break;
            case SoundFormat::Sample::Int16: {
                qint16 v;
                std::memcpy(&v, p, sizeof v);
                sum += v / 32768.0;
                break;
            }
            case SoundFormat::Sample::Int32: {
                qint32 v;
                std::memcpy(&v, p, sizeof v);
                sum += v / 2147483648.0;
                break;
            }
            case SoundFormat::Sample::Float: {
                float v;
                std::memcpy(&v, p, sizeof v);
                sum += std::isfinite(v) ? v : 0.0;
                break;
            }
            }
        }
        m_mono[f] = float(sum / channels);
    }
    m_partial.remove(0, frames * frameBytes);
    QVector<qint16> pcm;
    m_resampler->push(m_mono.constData(), frames, pcm);
    takeAudio(pcm);
}

void Listener::takeAudio(const QVector<qint16> &input)
{
    if (!isListening() || input.isEmpty())
        return;
    // While the character speaks the microphone hears it, and maybe a
    // command in its words: that audio never reaches the recogniser, the
    // level or the end-of-speech detection.
    if (m_speaking && m_speaking()) {
        m_echoTail = kEchoTailSamples;
        return;
    }
    QVector<qint16> pcm16k = input;
    if (m_echoTail > 0) {
        const qsizetype dropped = std::min<qsizetype>(m_echoTail, pcm16k.size());
        m_echoTail -= int(dropped);
        pcm16k.remove(0, dropped);
        if (pcm16k.isEmpty())
            return;
    }
    if (m_recognizer)
        m_recognizer->feed(pcm16k);
    for (qint16 sample : std::as_const(pcm16k)) {
        const double s = sample / 32768.0;
        m_levelPeak = std::max(m_levelPeak, s * s);
        if (++m_levelSamples >= kLevelEverySamples) {
            // -60 dB and below shows as nothing.
            emit level(std::clamp((decibels(m_levelPeak) + 60) / 60, 0.0, 1.0));
            m_levelSamples = 0;
            m_levelPeak = 0;
        }
    }
    m_endpointer.push(pcm16k.constData(), pcm16k.size());
    if (m_mode != Mode::Held && m_endpointer.finished())
        finishSession(true);
}

void Listener::finishSession(bool decode)
{
    if (!m_mode)
        return;
    const Mode mode = *m_mode;
    m_mode.reset();
    m_limit->stop();
    closeMicrophone();
    m_resampler.reset();
    emit listeningChanged(false);
    const bool speech = m_endpointer.heardSpeech();
    if (decode && m_recognizer && m_recognizer->inUtterance()) {
        m_awaited = m_utterance;
        m_awaitedMode = mode;
        m_awaitedSpeech = speech;
        m_recognizer->end();
        return;
    }
    if (m_recognizer)
        m_recognizer->cancel();
    emit heard(RecognitionResult {}, mode, false);
}

void Listener::handleResult(const RecognitionResult &result)
{
    // A result for no utterance in particular is taken as it comes.
    if (result.utterance == 0) {
        emit heard(result, Mode::Held, !result.phrase.isEmpty());
        return;
    }
    if (result.utterance != m_awaited || !m_awaitedMode)
        return;
    const Mode mode = *m_awaitedMode;
    const bool speech = m_awaitedSpeech || !result.phrase.isEmpty();
    m_awaited = 0;
    m_awaitedMode.reset();
    qCInfo(lcVoice).noquote() << "heard"
                              << (result.phrase.isEmpty()
                                         ? QStringLiteral("nothing")
                                         : QLatin1Char('"') + result.phrase + QLatin1Char('"'))
                              << (result.understood() ? QStringLiteral("->") + result.command
                                                      : QStringLiteral("(not understood)"));
    emit heard(result, mode, speech);
}

} // namespace agent
