#pragma once

#include "agent/speech/SpeechEngine.h"

// espeak-ng behind the engine interface: the voice for other languages and
// scripts, and the fallback when Flite is missing. It speaks through the
// process's espeak-ng worker (the synthesiser's state is global), so a piece
// is cancelled between pieces rather than inside one. It tells words but not
// phones: the mouth follows its loudness.
namespace agent {

class SpeechSynthesizer;

class EspeakEngine final : public SpeechEngine
{
public:
    // Speaks through `synthesizer`, which must outlive the engine; null: unavailable.
    explicit EspeakEngine(SpeechSynthesizer *synthesizer)
        : m_synth(synthesizer)
    { }

    QString id() const override { return QStringLiteral("espeak"); }
    bool isAvailable() const override;
    // Any espeak-ng voice name is accepted; these are the ones offered.
    QStringList voices() const override;
    bool hasVoice(const QString &name) const override;
    QString defaultVoice() const override { return QStringLiteral("en-us"); }
    bool canSpeak(const QString &) const override { return true; }
    Synthesis synthesise(const QString &tagged, const EngineVoice &voice,
        const CancelCheck &cancelled, const SynthesisProgress &progress = {}) override;

    // The espeak-ng voice for text in a script other than Latin (its first
    // such letter decides), or empty for Latin text.
    static QString voiceForScript(const QString &display);

private:
    SpeechSynthesizer *m_synth;
};

} // namespace agent
