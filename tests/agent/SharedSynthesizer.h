#pragma once

#include "agent/speech/SpeechSynth.h"

#include <QCoreApplication>

// The speech synthesiser is the process's one: the tests of a process share
// it, and it goes before the application does.
inline agent::SpeechSynthesizer &sharedSynthesizer()
{
    static agent::SpeechSynthesizer *synthesizer = nullptr;
    if (!synthesizer) {
        synthesizer = new agent::SpeechSynthesizer;
        qAddPostRoutine([] { delete std::exchange(synthesizer, nullptr); });
    }
    return *synthesizer;
}
