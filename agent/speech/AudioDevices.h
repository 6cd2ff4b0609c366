#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

class QIODevice;
class QObject;

// The sound devices the character plays on and listens with, as the
// program sees them whatever plays the sound. The engine asks each time it
// opens one, so a device plugged in later is used.
namespace agent {

struct SoundDevice
{
    QByteArray id; // empty: no device
    QString description;
    bool isDefault = false;
    bool isNull() const { return id.isEmpty(); }
    bool operator==(const SoundDevice &other) const { return id == other.id; }
};

// What a microphone gives: interleaved samples of one of these kinds.
struct SoundFormat
{
    enum class Sample { UInt8, Int16, Int32, Float };
    int sampleRate = 0;
    int channels = 0;
    Sample sample = Sample::Int16;
    int bytesPerSample() const
    {
        return sample == Sample::UInt8 ? 1 : sample == Sample::Int16 ? 2 : 4;
    }
};

// 16-bit mono samples on their way to a loudspeaker.
class SoundOutput
{
public:
    virtual ~SoundOutput() = default;
    // Where samples are written; null when the device did not start.
    virtual QIODevice *start() = 0;
    virtual qsizetype bytesFree() const = 0;
    // Microseconds played since the output was opened.
    virtual qint64 processedUSecs() const = 0;
    // Ran dry: everything written has been played.
    virtual bool isIdle() const = 0;
    // The device reported an error it will not recover from.
    virtual bool hasFailed() const = 0;
    // Ends playing; `dropBuffered` cuts off what the device still holds.
    virtual void stop(bool dropBuffered) = 0;
};

// A microphone while it is heard.
class SoundInput
{
public:
    virtual ~SoundInput() = default;
    // Where its samples arrive (readyRead); null when it did not start.
    virtual QIODevice *start() = 0;
    virtual SoundFormat format() const = 0;
};

// A machine's sound. The defaults are a machine without any: sound then
// plays silently, with the same timing, and Listen is offered but disabled.
class AudioDevices
{
public:
    virtual ~AudioDevices() = default;
    // Where sound plays; a null device when there is none.
    virtual SoundDevice output() const = 0;
    // The microphones.
    virtual QList<SoundDevice> inputs() const = 0;
    // `device` opened for 16-bit mono at `sampleRate`, holding `bufferMs`;
    // null, with `why`, when it cannot play that.
    virtual std::unique_ptr<SoundOutput> openOutput(
        const SoundDevice &device, int sampleRate, int bufferMs, QString *why)
    {
        Q_UNUSED(device)
        Q_UNUSED(sampleRate)
        Q_UNUSED(bufferMs)
        *why = QStringLiteral("no sound output");
        return nullptr;
    }
    // `device` giving mono 16-bit at `sampleRate`, or in its own format
    // when it cannot; null when it does not open.
    virtual std::unique_ptr<SoundInput> openInput(const SoundDevice &device, int sampleRate)
    {
        Q_UNUSED(device)
        Q_UNUSED(sampleRate)
        return nullptr;
    }
    // Calls `changed` while `owner` lives, whenever microphones come or go.
    virtual void watchInputs(QObject *owner, std::function<void()> changed)
    {
        Q_UNUSED(owner)
        Q_UNUSED(changed)
    }
};

// The system's sound, through a module of the program's own that is loaded
// when sound is first played or a microphone first looked for: the sound
// libraries it brings (the sound server's client, its codecs, the network
// library under them) are then not loaded while the program starts. A
// missing module is a machine without sound, said once in the log.
class SystemAudioDevices final : public AudioDevices
{
public:
    explicit SystemAudioDevices(QStringList moduleFolders);
    ~SystemAudioDevices() override;

    SoundDevice output() const override;
    QList<SoundDevice> inputs() const override;
    std::unique_ptr<SoundOutput> openOutput(
        const SoundDevice &device, int sampleRate, int bufferMs, QString *why) override;
    std::unique_ptr<SoundInput> openInput(const SoundDevice &device, int sampleRate) override;
    void watchInputs(QObject *owner, std::function<void()> changed) override;

private:
    // The module's devices, loaded at the first call from any thread; null
    // when it did not load.
    AudioDevices *loaded() const;

    const QStringList m_moduleFolders;
    mutable std::once_flag m_once;
    mutable std::unique_ptr<AudioDevices> m_devices;
};

// The audio module's one entry: the system's devices, owned by the caller.
using MakeAudioDevices = AudioDevices *(*)();
inline constexpr const char *kAudioModuleName = "quillory-audio";
inline constexpr const char *kMakeAudioDevicesSymbol = "quillory_make_audio_devices";

} // namespace agent
