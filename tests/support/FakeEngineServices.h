#pragma once

#include "agent/character/EngineServices.h"
#include "agent/speech/AudioDevices.h"
#include "platform/WindowShape.h"
#include "tests/support/Fakes.h"

#include <QImage>

// A desktop that composites unless told otherwise; records the cuts.
class FakeWindowShape final : public WindowShape
{
public:
    bool desktopComposites() const override { return composites; }
    void cutTo(QWidget &, const QImage &picture) override
    {
        ++cuts;
        lastCut = picture;
    }
    void uncut(QWidget &) override { lastCut = QImage(); }
    bool composites = true;
    int cuts = 0;
    QImage lastCut; // null while the window is whole
};

// No loudspeaker (sound plays silently, with the same timing) and the
// microphones a test puts in.
class FakeAudioDevices final : public agent::AudioDevices
{
public:
    agent::SoundDevice output() const override { return {}; }
    QList<agent::SoundDevice> inputs() const override { return microphones; }
    QList<agent::SoundDevice> microphones;
};

// Every service of the character engine as a dummy: a clock that moves when
// told, no synthesiser, no devices, no recogniser model.
struct FakeEngineServices
{
    FakeClock clock;
    FakeWindowShape windowShape;
    FakeAudioDevices audio;
    FakeGlobalKey globalKey;
    agent::EngineServices services { clock, windowShape, audio, nullptr, &globalKey, nullptr, {} };
};
