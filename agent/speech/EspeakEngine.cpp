#include "agent/speech/EspeakEngine.h"

#include "agent/speech/SpeechSynth.h"

#include <QRegularExpression>

namespace agent {

bool EspeakEngine::isAvailable() const
{
    // Not started to find out: espeak-ng starts when it first speaks, and
    // if it cannot, that speech is silent and logged.
    return m_synth != nullptr;
}

QStringList EspeakEngine::voices() const
{
    return { QStringLiteral("en-us"), QStringLiteral("en"), QStringLiteral("en-us+m3"),
        QStringLiteral("en+f3") };
}

bool EspeakEngine::hasVoice(const QString &name) const
{
    // What the character file accepts as a voice name; espeak-ng itself
    // falls back to English for one it lacks, and logs it.
    static const QRegularExpression voiceName(QStringLiteral("^[A-Za-z][A-Za-z0-9_+-]{0,39}$"));
    return voiceName.match(name).hasMatch();
}

Synthesis EspeakEngine::synthesise(const QString &tagged, const EngineVoice &voice,
    const CancelCheck &cancelled, const SynthesisProgress &progress)
{
    if (!m_synth || (cancelled && cancelled()))
        return {};
    VoiceSpec wanted;
    wanted.espeakVoice = voice.name.isEmpty() ? defaultVoice() : voice.name;
    wanted.rate = voice.rate;
    wanted.pitch = voice.pitch;
    wanted.volume = voice.volume;
    const SpeechClip clip = m_synth->synthesizeToMemory(tagged, wanted);
    if (!clip.ok || (cancelled && cancelled()))
        return {};
    Synthesis out;
    out.ok = true;
    out.sampleRate = clip.sampleRate;
    out.pcm = clip.pcm;
    for (qsizetype i = 0; i < clip.words.size(); ++i) {
        const WordMark &w = clip.words[i];
        const qint64 end = i + 1 < clip.words.size() ? clip.words[i + 1].sample : clip.pcm.size();
        out.words.push_back({ w.sample, std::max(w.sample, end), w.start, w.length });
    }
    if (progress)
        progress(out);
    return out;
}

QString EspeakEngine::voiceForScript(const QString &display)
{
    for (QChar c : display) {
        if (!c.isLetter())
            continue;
        switch (c.script()) {
        case QChar::Script_Latin:
        case QChar::Script_Common:
        case QChar::Script_Inherited:
            continue;
        case QChar::Script_Cyrillic:
            return QStringLiteral("ru");
        case QChar::Script_Greek:
            return QStringLiteral("el");
        case QChar::Script_Arabic:
            return QStringLiteral("ar");
        case QChar::Script_Hebrew:
            return QStringLiteral("he");
        case QChar::Script_Devanagari:
            return QStringLiteral("hi");
        case QChar::Script_Han:
            return QStringLiteral("cmn");
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
            return QStringLiteral("ja");
        case QChar::Script_Hangul:
            return QStringLiteral("ko");
        case QChar::Script_Thai:
            return QStringLiteral("th");
        case QChar::Script_Armenian:
            return QStringLiteral("hy");
        case QChar::Script_Georgian:
            return QStringLiteral("ka");
        default:
            // A script without a voice of its own: English at least spells
            // what it can rather than staying silent.
            return QStringLiteral("en");
        }
    }
    return {};
}

} // namespace agent
