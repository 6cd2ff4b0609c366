#pragma once

#include "agent/speech/SpeechEngine.h"

#include <QHash>

struct cst_voice_struct;

// Flite: the default voices, far easier to understand than formant speech.
// Its voices are compiled into their own libraries, loaded and registered when first
// used. Flite reports the timing of every phone; the words are the tokens
// handed to it, each marked with where it stands in the display text, so a
// number read as several words still shows once.
namespace agent {

class FliteEngine final : public SpeechEngine
{
public:
    FliteEngine();
    ~FliteEngine() override;

    // The voices Debian's libflite1 ships: two American men, an American woman
    // and a Scottish man (rms, kal16, slt, awb).
    static const QStringList &shippedVoices();

    QString id() const override { return QStringLiteral("flite"); }
    bool isAvailable() const override;
    QStringList voices() const override { return shippedVoices(); }
    QString defaultVoice() const override { return QStringLiteral("rms"); }
    bool canSpeak(const QString &display) const override;
    Synthesis synthesise(const QString &tagged, const EngineVoice &request,
        const CancelCheck &cancelled, const SynthesisProgress &progress = {}) override;

    // How much longer and louder a stressed word is.
    static constexpr float kEmphasisStretch = 1.3f;
    static constexpr float kEmphasisGain = 1.5f;

private:
    cst_voice_struct *voice(const QString &name);

    QHash<QString, cst_voice_struct *> m_voices;
    QString m_missingLogged;
};

} // namespace agent
