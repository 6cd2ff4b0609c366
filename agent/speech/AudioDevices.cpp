#include "agent/speech/AudioDevices.h"

#include "agent/Logging.h"
#include "platform/LoadedLibrary.h"

namespace agent {

SystemAudioDevices::SystemAudioDevices(QStringList moduleFolders)
    : m_moduleFolders(std::move(moduleFolders))
{ }

SystemAudioDevices::~SystemAudioDevices() = default;

AudioDevices *SystemAudioDevices::loaded() const
{
    // The speech thread plays and the window lists microphones: whichever
    // comes first loads the module, the other waits for it.
    std::call_once(m_once, [this] {
        QString why;
        if (const auto make = openModuleEntry<MakeAudioDevices>(
                m_moduleFolders, kAudioModuleName, kMakeAudioDevicesSymbol, &why))
            m_devices.reset(make());
        else
            qCWarning(lcSpeech).noquote()
                << "sound is not available, the character speaks silently:" << why;
    });
    return m_devices.get();
}

SoundDevice SystemAudioDevices::output() const
{
    AudioDevices *devices = loaded();
    return devices ? devices->output() : SoundDevice {};
}

QList<SoundDevice> SystemAudioDevices::inputs() const
{
    AudioDevices *devices = loaded();
    return devices ? devices->inputs() : QList<SoundDevice> {};
}

std::unique_ptr<SoundOutput> SystemAudioDevices::openOutput(
    const SoundDevice &device, int sampleRate, int bufferMs, QString *why)
{
    if (AudioDevices *devices = loaded())
        return devices->openOutput(device, sampleRate, bufferMs, why);
    return AudioDevices::openOutput(device, sampleRate, bufferMs, why);
}

std::unique_ptr<SoundInput> SystemAudioDevices::openInput(const SoundDevice &device, int sampleRate)
{
    AudioDevices *devices = loaded();
    return devices ? devices->openInput(device, sampleRate) : nullptr;
}

void SystemAudioDevices::watchInputs(QObject *owner, std::function<void()> changed)
{
    if (AudioDevices *devices = loaded())
        devices->watchInputs(owner, std::move(changed));
}

} // namespace agent
