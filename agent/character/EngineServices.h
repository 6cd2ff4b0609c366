#pragma once

#include "agent/listen/Recognizer.h"

class Clock;
class GlobalKey;
class WindowShape;

namespace agent {

class AudioDevices;
class SpeechSynthesizer;
class WavCapture;

// What the character engine uses of the system, handed in by its owner:
// app/ wires the real services, tests hand dummies. Each must outlive the
// engine.
struct EngineServices
{
    // Every timer and wait of the engine: animation, walking, speech, the
    // balloon, listening.
    Clock &clock;
    // Whether the desktop composites, and the window's shape where not.
    WindowShape &windowShape;
    // The loudspeaker and the microphones.
    AudioDevices &audio;
    // Null: the balloon shows the words, and nothing is heard.
    SpeechSynthesizer *synthesizer = nullptr;
    // The listening key on the whole desktop; null: the key works only
    // while a Quillory window has the focus.
    GlobalKey *globalKey = nullptr;
    // Null: sounds are not copied to a file.
    WavCapture *capture = nullptr;
    // The recogniser's files; missing ones leave Listen disabled.
    RecognizerModel recognizerModel;
};

} // namespace agent
