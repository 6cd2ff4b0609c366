#pragma once

#include "agent/speech/CharacterSound.h"

#include <QVector>

// Bell-like notes for the sound effects, as 16-bit mono PCM.
namespace agent {

// The notes one after another. The loudest note peaks at half of full scale
// (-6 dBFS) times `volume` (0..1); the others keep their gain relative to it.
// Every note fades in and out so that no note starts or ends with a click.
// Notes with a frequency or length that cannot be played are skipped; the
// whole is at most ten seconds long, later notes cut short or left out.
QVector<qint16> synthesizeTones(const ToneSequence &notes, double volume, int sampleRate);

} // namespace agent
