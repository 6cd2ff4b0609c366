#pragma once

#include "agent/speech/CharacterSound.h"

#include <QList>
#include <QString>

// The voices the options window offers in place of each character's own.
namespace agent {

struct VoiceChoice
{
    QString id; // "engine:voice"; empty: the character's own voice
    QString label;
};

const QList<VoiceChoice> &voiceChoices();

// The character's voice with the chosen one in its place; an id that is not
// a choice (an old or edited settings file) keeps the character's own.
VoiceSpec withVoiceChoice(const VoiceSpec &character, const QString &id);

} // namespace agent
