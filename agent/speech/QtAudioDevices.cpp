#include "agent/speech/QtAudioDevices.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QMediaDevices>

namespace agent {

namespace {

SoundDevice toSoundDevice(const QAudioDevice &device)
{
    if (device.isNull())
        return {};
    return { device.id(), device.description(), device.isDefault() };
}

// The device of that id among `devices`, else a null one (unplugged since).
QAudioDevice findDevice(const QList<QAudioDevice> &devices, const QByteArray &id)
{
    for (const QAudioDevice &d : devices) {
        if (d.id() == id)
            return d;
    }
    return {};
}

bool isFatal(QAudio::Error error)
{
    return error == QAudio::OpenError || error == QAudio::IOError || error == QAudio::FatalError;
}

class QtSoundOutput final : public SoundOutput
{
public:
    QtSoundOutput(const QAudioDevice &device, const QAudioFormat &format, qsizetype bufferBytes)
        : m_sink(device, format)
    {
        m_sink.setBufferSize(bufferBytes);
    }
    QIODevice *start() override
    {
        QIODevice *io = m_sink.start();
        return m_sink.error() == QAudio::OpenError || m_sink.error() == QAudio::FatalError ? nullptr
                                                                                           : io;
    }
    qsizetype bytesFree() const override { return m_sink.bytesFree(); }
    qint64 processedUSecs() const override { return m_sink.processedUSecs(); }
    bool isIdle() const override { return m_sink.state() == QAudio::IdleState; }
    bool hasFailed() const override { return isFatal(m_sink.error()); }
    void stop(bool dropBuffered) override
    {
        if (m_sink.state() == QAudio::StoppedState)
            return;
        if (dropBuffered)
            m_sink.reset();
        m_sink.stop();
    }

private:
    QAudioSink m_sink;
};

class QtSoundInput final : public SoundInput
{
public:
    QtSoundInput(const QAudioDevice &device, const QAudioFormat &format)
        : m_source(device, format)
        , m_format(format)
    { }
    ~QtSoundInput() override { m_source.stop(); }
    QIODevice *start() override
    {
        QIODevice *io = m_source.start();
        return m_source.error() == QAudio::NoError ? io : nullptr;
    }
    SoundFormat format() const override
    {
        SoundFormat::Sample sample = SoundFormat::Sample::Int16;
        switch (m_format.sampleFormat()) {
        case QAudioFormat::UInt8:
            sample = SoundFormat::Sample::UInt8;
            break;
        case QAudioFormat::Int32:
            sample = SoundFormat::Sample::Int32;
            break;
        case QAudioFormat::Float:
            sample = SoundFormat::Sample::Float;
            break;
        default:
            break;
        }
        return { m_format.sampleRate(), m_format.channelCount(), sample };
    }

private:
    QAudioSource m_source;
    QAudioFormat m_format;
};

} // namespace

SoundDevice QtAudioDevices::output() const
{
    if (QMediaDevices::audioOutputs().isEmpty())
        return {};
    return toSoundDevice(QMediaDevices::defaultAudioOutput());
}

QList<SoundDevice> QtAudioDevices::inputs() const
{
    QList<SoundDevice> devices;
    for (const QAudioDevice &d : QMediaDevices::audioInputs())
        devices << toSoundDevice(d);
    return devices;
}

std::unique_ptr<SoundOutput> QtAudioDevices::openOutput(
    const SoundDevice &device, int sampleRate, int bufferMs, QString *why)
{
    const QAudioDevice found = findDevice(QMediaDevices::audioOutputs(), device.id);
    if (found.isNull()) {
        *why = QStringLiteral("is gone");
        return nullptr;
    }
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!found.isFormatSupported(format)) {
        *why = QStringLiteral("cannot play 16-bit mono at %1 Hz").arg(sampleRate);
        return nullptr;
    }
    return std::make_unique<QtSoundOutput>(
        found, format, qsizetype(sampleRate) * 2 * bufferMs / 1000);
}

std::unique_ptr<SoundInput> QtAudioDevices::openInput(const SoundDevice &device, int sampleRate)
{
    const QAudioDevice found = findDevice(QMediaDevices::audioInputs(), device.id);
    if (found.isNull())
        return nullptr;
    QAudioFormat wanted;
    wanted.setSampleRate(sampleRate);
    wanted.setChannelCount(1);
    wanted.setSampleFormat(QAudioFormat::Int16);
    // A device that cannot give that gives its own format, which the
    // listener mixes down and resamples.
    const QAudioFormat format = found.isFormatSupported(wanted) ? wanted : found.preferredFormat();
    if (!format.isValid() || format.channelCount() < 1 || format.bytesPerSample() < 1
        || format.sampleFormat() == QAudioFormat::Unknown)
        return nullptr;
    return std::make_unique<QtSoundInput>(found, format);
}

void QtAudioDevices::watchInputs(QObject *owner, std::function<void()> changed)
{
    auto *watch = new QMediaDevices(owner);
    QObject::connect(watch, &QMediaDevices::audioInputsChanged, owner, std::move(changed));
}

} // namespace agent
