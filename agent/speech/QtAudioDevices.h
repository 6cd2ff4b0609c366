#pragma once

#include "agent/speech/AudioDevices.h"

// The system's sound devices through Qt Multimedia. Built into the audio
// module, never linked into the program itself.
namespace agent {

class QtAudioDevices final : public AudioDevices
{
public:
    SoundDevice output() const override;
    QList<SoundDevice> inputs() const override;
    std::unique_ptr<SoundOutput> openOutput(
        const SoundDevice &device, int sampleRate, int bufferMs, QString *why) override;
    std::unique_ptr<SoundInput> openInput(const SoundDevice &device, int sampleRate) override;
    void watchInputs(QObject *owner, std::function<void()> changed) override;
};

} // namespace agent
