#pragma once

#include "agent/speech/CharacterSound.h"

#include <QString>

class SettingsStore;

namespace agent {

// What the user can change about every character; the engine reads these
// whenever it speaks or draws, so a change applies at once.
struct EngineOptions
{
    int speechRatePercent = 100; // of the character's own rate, 50..200
    int pitchOffset = 0; // added to the character's pitch, -30..30
    int speechVolume = 100; // 0..100
    bool balloon = true;
    int balloonFontSize = 10; // points, 8..20
    int effectsVolume = 100; // 0..100
    QString listenKey = QStringLiteral("ScrollLock"); // see listenKeys()
    QString microphone; // the device id; empty: the system's default
    QString voice; // a voiceChoices() id; empty: each character's own voice

    static constexpr const char *kSection = "agent";
    // Missing or unreadable keys keep their defaults; values are clamped.
    void load(const SettingsStore &settings);
    // With `before` (what the settings hold now), only what differs from it.
    void save(SettingsStore &settings, const EngineOptions *before = nullptr) const;
    // The character's voice as these options change it.
    VoiceSpec voiceFor(const VoiceSpec &character) const;

    bool operator==(const EngineOptions &) const = default;
};

} // namespace agent
