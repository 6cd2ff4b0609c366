#pragma once

#include <QAudioDevice>
#include <QList>

// The sound devices the character plays on and listens with. The engine
// asks this each time it opens one, so a device plugged in later is used.
namespace agent {

class AudioDevices
{
public:
    virtual ~AudioDevices() = default;
    // Where sound plays; a null device when there is none (it then plays
    // silently, with the same timing).
    virtual QAudioDevice output() const = 0;
    // The microphones; none: Listen is offered but disabled.
    virtual QList<QAudioDevice> inputs() const = 0;
};

// The system's devices, as Qt Multimedia lists them.
class SystemAudioDevices final : public AudioDevices
{
public:
    QAudioDevice output() const override;
    QList<QAudioDevice> inputs() const override;
};

} // namespace agent
