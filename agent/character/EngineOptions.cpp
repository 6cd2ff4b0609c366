#include "agent/character/EngineOptions.h"

#include "agent/listen/Listener.h"
#include "agent/speech/VoiceChoice.h"
#include "storage/Settings.h"

#include <algorithm>

namespace agent {

namespace {

int readInt(const SettingsStore &settings, const char *key, int fallback, int lo, int hi)
{
    bool ok = false;
    const int v = settings.ReadSetting(QLatin1String(EngineOptions::kSection), QLatin1String(key))
                      .trimmed()
                      .toInt(&ok);
    return ok ? std::clamp(v, lo, hi) : fallback;
}

// A slider with its value shown beside it.

} // namespace

void EngineOptions::load(const SettingsStore &settings)
{
    const EngineOptions d;
    speechRatePercent = readInt(settings, "speechrate", d.speechRatePercent, 50, 200);
    pitchOffset = readInt(settings, "pitch", d.pitchOffset, -30, 30);
    speechVolume = readInt(settings, "speechvolume", d.speechVolume, 0, 100);
    const QString b = settings.ReadSetting(QLatin1String(kSection), QStringLiteral("balloon"));
    balloon = b.compare(QLatin1String(setting::kFalseText), Qt::CaseInsensitive) != 0;
    balloonFontSize = readInt(settings, "balloonfontsize", d.balloonFontSize, 8, 20);
    effectsVolume = readInt(settings, "effectsvolume", d.effectsVolume, 0, 100);
    const QString key = settings.ReadSetting(QLatin1String(kSection), QStringLiteral("listenkey"));
    listenKey = key.trimmed().isEmpty() ? d.listenKey : listenKeyName(listenKeyFromName(key));
    microphone
        = settings.ReadSetting(QLatin1String(kSection), QStringLiteral("microphone")).trimmed();
    voice = settings.ReadSetting(QLatin1String(kSection), QStringLiteral("voice")).trimmed();
}

void EngineOptions::save(SettingsStore &settings, const EngineOptions *before) const
{
    // Each key is a write of the whole file: only those that changed.
    const QString section = QLatin1String(kSection);
    const auto put = [&](auto EngineOptions::*member, const char *key, const QString &text) {
        if (!before || (*before).*member != this->*member)
            settings.WriteSetting(section, QLatin1String(key), text);
    };
    put(&EngineOptions::speechRatePercent, "speechrate", QString::number(speechRatePercent));
    put(&EngineOptions::pitchOffset, "pitch", QString::number(pitchOffset));
    put(&EngineOptions::speechVolume, "speechvolume", QString::number(speechVolume));
    put(&EngineOptions::balloon, "balloon",
        QLatin1String(balloon ? setting::kTrueText : setting::kFalseText));
    put(&EngineOptions::balloonFontSize, "balloonfontsize", QString::number(balloonFontSize));
    put(&EngineOptions::effectsVolume, "effectsvolume", QString::number(effectsVolume));
    put(&EngineOptions::listenKey, "listenkey", listenKey);
    put(&EngineOptions::microphone, "microphone", microphone);
    put(&EngineOptions::voice, "voice", voice);
}

VoiceSpec EngineOptions::voiceFor(const VoiceSpec &character) const
{
    VoiceSpec v = withVoiceChoice(character, voice);
    v.rate = std::clamp(character.rate * speechRatePercent / 100, 40, 900);
    v.pitch = std::clamp(character.pitch + pitchOffset, 0, 99);
    v.volume = std::clamp(speechVolume, 0, 100);
    return v;
}

} // namespace agent
