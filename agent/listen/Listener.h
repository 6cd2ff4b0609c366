#pragma once

#include "agent/Agent.h"
#include "agent/listen/Recognizer.h"
#include "agent/speech/AudioDevices.h"
#include "platform/Clock.h"
#include "platform/GlobalKey.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Clock;
class QIODevice;

namespace agent {

// The keys that can be held to talk to the character.
// None: listening starts from the menu only, and no key is watched.
enum class ListenKey { ScrollLock, Pause, F12, RightCtrl, None };

struct ListenKeyInfo
{
    ListenKey key;
    const char *name; // as stored in the settings
    const char *label; // as shown to the user
};
const QList<ListenKeyInfo> &listenKeys();
QString listenKeyName(ListenKey key);
// ScrollLock for a name it does not know.
ListenKey listenKeyFromName(const QString &name);

class ListenKeyFilter;

// Tells speech from silence in 16 kHz audio, 10 ms at a time, against the
// quietest level heard of late: a fan or hum stays silence, a voice does
// not. Knows when the speaker has paused long enough to be done.
class Endpointer
{
public:
    static constexpr int kFrameSamples = 160;
    static constexpr double kSpeechOverNoiseDb = 12;
    static constexpr double kSpeechFloorDb = -55;
    static constexpr int kMinSpeechFrames = 8;

    explicit Endpointer(int endSilenceMs = 800)
        : m_endFrames(endSilenceMs / 10)
    { }
    void push(const qint16 *samples, qsizetype count);
    // Enough speech was heard to count as someone talking.
    bool heardSpeech() const { return m_speechFrames >= kMinSpeechFrames; }
    // Speech, then the pause that ends it.
    bool finished() const { return heardSpeech() && m_silentFrames >= m_endFrames; }
    int frames() const { return m_frames; }

private:
    int m_endFrames;
    QVector<qint16> m_frame;
    double m_noiseDb = 0;
    int m_frames = 0;
    int m_speechFrames = 0;
    int m_silentFrames = 0;
};

// Listening: the microphone, when to stop, and the recogniser. A session
// starts while the listening key is held, or from the menu (then for up to
// five seconds, ending once the speaker pauses), and ends with heard().
class Listener : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Held, Timed, Test };
    // How the listening key is watched: not at all, on the whole desktop,
    // or only while a Quillory window has the focus.
    enum class KeyWatch { Off, Desktop, OwnWindows };
    using Speaking = std::function<bool()>;

    static constexpr int kTimedMs = 5000;
    static constexpr int kHeldMaxMs = 15000;
    static constexpr int kEndSilenceMs = 800;

    // The session's limits and the key's debounce run on `clock`.
    explicit Listener(Clock &clock, QObject *parent = nullptr);
    ~Listener() override;

    // Where the microphones are; none until given. It must outlive the
    // listener.
    void setAudio(AudioDevices *audio);
    // The recogniser's files; without them listening is impossible.
    void setModel(RecognizerModel model);
    QList<SoundDevice> microphones() const;
    // The list of microphones changed (the system says so when one is
    // plugged in or out).
    void microphonesChanged();
    // Where the key is watched on the whole desktop; null: only while a
    // Quillory window has the focus. The service must outlive the listener.
    void setGlobalKey(GlobalKey *service);
    KeyWatch keyWatch() const;
    // Tells whether the character is speaking; meanwhile, and for a moment
    // after, what the microphone hears is thrown away.
    void setSpeaking(Speaking speaking);
    bool hearingPaused() const;
    // Why listening is impossible, or empty when it is possible.
    QString unavailableReason() const;
    bool canListen() const { return unavailableReason().isEmpty(); }

    // The commands to listen for: the visible, enabled ones with a voice text.
    void setCommands(const QList<CommandEntry> &commands);
    const QList<VoiceGrammar::Entry> &grammarEntries() const { return m_entries; }
    static QList<VoiceGrammar::Entry> grammarEntries(const QList<CommandEntry> &commands);

    void setListenKey(ListenKey key);
    ListenKey listenKey() const { return m_key; }
    // Empty: the system's default microphone.
    void setMicrophoneId(const QByteArray &id);
    QByteArray microphoneId() const { return m_microphoneId; }

    bool isListening() const { return m_mode.has_value(); }
    std::optional<Mode> mode() const { return m_mode; }
    // Does nothing without a microphone.
    void startListening(Mode mode);
    // Ends a session now; what was heard so far is decoded.
    void stopListening();
    // The key went down or up.
    void keyPressed();
    void keyReleased();
    // Another key went down while the key was held: a shortcut, so the
    // session ends without anything heard.
    void keyChord();

    // Where the recogniser's results arrive; public so that a test can hand
    // one in.
    void handleResult(const agent::RecognitionResult &result);

    // The 16 kHz audio of the session, as it would go to the recogniser;
    // public for tests.
    void takeAudio(const QVector<qint16> &input);

protected:
    // The system's microphone; a test puts its own audio in place of it.
    virtual bool openMicrophone();
    virtual void closeMicrophone();

signals:
    void listeningChanged(bool listening);
    // The input level while listening, 0..1.
    void level(double level);
    // Every session ends with one. `speech`: something was said, whether
    // understood or not.
    void heard(const agent::RecognitionResult &result, agent::Listener::Mode mode, bool speech);

private:
    Recognizer *recognizer();
    SoundDevice chosenDevice() const;
    void readAudio();
    void finishSession(bool decode);
    void updateKeyWatch();
    void watchMicrophones();

    AudioDevices *m_audio = nullptr;
    bool m_watchingMicrophones = false;
    RecognizerModel m_model;
    QList<VoiceGrammar::Entry> m_entries;
    ListenKey m_key = ListenKey::ScrollLock;
    QByteArray m_microphoneId;
    std::unique_ptr<Recognizer> m_recognizer;
    std::unique_ptr<ListenKeyFilter> m_keyFilter;
    Speaking m_speaking;
    int m_echoTail = 0; // samples still to throw away
    std::unique_ptr<Clock::Timer> m_preload;
    std::unique_ptr<Clock::Timer> m_limit;

    // The session.
    std::optional<Mode> m_mode;
    quint64 m_utterance = 0;
    quint64 m_awaited = 0;
    std::optional<Mode> m_awaitedMode;
    bool m_awaitedSpeech = false;
    std::unique_ptr<SoundInput> m_source;
    QPointer<QIODevice> m_io;
    std::unique_ptr<Resampler> m_resampler;
    SoundFormat m_format;
    QByteArray m_partial; // bytes of an incomplete frame
    QVector<float> m_mono;
    Endpointer m_endpointer;
    qint64 m_levelSamples = 0;
    double m_levelPeak = 0;
};

} // namespace agent

Q_DECLARE_METATYPE(agent::Listener::Mode)
