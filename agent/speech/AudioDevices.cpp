#include "agent/speech/AudioDevices.h"

#include <QMediaDevices>

namespace agent {

QAudioDevice SystemAudioDevices::output() const
{
    if (QMediaDevices::audioOutputs().isEmpty())
        return {};
    return QMediaDevices::defaultAudioOutput();
}

QList<QAudioDevice> SystemAudioDevices::inputs() const
{
    return QMediaDevices::audioInputs();
}

} // namespace agent
