#include "agent/speech/QtAudioDevices.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT agent::AudioDevices *quillory_make_audio_devices()
{
    return new agent::QtAudioDevices;
}
