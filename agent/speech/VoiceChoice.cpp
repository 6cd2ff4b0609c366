#include "agent/speech/VoiceChoice.h"

#include <QCoreApplication>

namespace agent {

const QList<VoiceChoice> &voiceChoices()
{
    static const QList<VoiceChoice> choices = [] {
        auto tr = [](const char *text) { return QCoreApplication::translate("VoiceChoice", text); };
        return QList<VoiceChoice> {
            { QString(), tr("The character's own") },
            { QStringLiteral("flite:rms"), tr("Clear man's voice (Flite rms)") },
            { QStringLiteral("flite:slt"), tr("Clear woman's voice (Flite slt)") },
            { QStringLiteral("flite:awb"), tr("Scottish man's voice (Flite awb)") },
            { QStringLiteral("flite:kal16"), tr("Clockwork man's voice (Flite kal16)") },
            { QStringLiteral("espeak:en-us"), tr("Robot voice (espeak-ng)") },
        };
    }();
    return choices;
}

VoiceSpec withVoiceChoice(const VoiceSpec &character, const QString &id)
{
    if (id.isEmpty())
        return character;
    for (const VoiceChoice &c : voiceChoices()) {
        if (c.id != id)
            continue;
        VoiceSpec v = character;
        const QString engine = id.section(u':', 0, 0);
        const QString name = id.section(u':', 1);
        v.engine = engine;
        if (engine == QLatin1String("flite"))
            v.fliteVoice = name;
        else
            v.espeakVoice = name;
        return v;
    }
    return character;
}

} // namespace agent
