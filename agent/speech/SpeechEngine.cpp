#include "agent/speech/SpeechEngine.h"

#include "agent/speech/EspeakEngine.h"
#ifdef QUILLORY_HAVE_FLITE
#include "agent/speech/FliteEngine.h"
#endif
#include "agent/Logging.h"

#include <algorithm>
#include <cmath>

namespace agent {

std::vector<std::unique_ptr<SpeechEngine>> makeSpeechEnginesUnchecked(SpeechSynthesizer *espeak)
{
    std::vector<std::unique_ptr<SpeechEngine>> engines;
#ifdef QUILLORY_HAVE_FLITE
    if (qEnvironmentVariableIsEmpty("QUILLORY_NO_FLITE"))
        engines.push_back(std::make_unique<FliteEngine>());
#endif
    engines.push_back(std::make_unique<EspeakEngine>(espeak));
    return engines;
}

void leaveOutUnavailable(std::vector<std::unique_ptr<SpeechEngine>> &engines)
{
    std::erase_if(engines, [](const std::unique_ptr<SpeechEngine> &engine) {
        if (engine->isAvailable())
            return false;
        if (engine->id() == QLatin1String("flite"))
            qCWarning(lcSpeech) << "Flite's voices did not load; speaking with espeak-ng";
        else
            qCInfo(lcSpeech) << "speech engine" << engine->id() << "is not available";
        return true;
    });
}

std::vector<std::unique_ptr<SpeechEngine>> makeSpeechEngines(SpeechSynthesizer *espeak)
{
    auto engines = makeSpeechEnginesUnchecked(espeak);
    leaveOutUnavailable(engines);
    return engines;
}

bool hasNonLatinLetters(const QString &display)
{
    for (QChar c : display) {
        if (c.isLetter() && c.script() != QChar::Script_Latin && c.script() != QChar::Script_Common
            && c.script() != QChar::Script_Inherited)
            return true;
    }
    return false;
}

SpeechEngine *chooseEngine(const std::vector<std::unique_ptr<SpeechEngine>> &engines,
    const QString &engineId, const QString &display)
{
    SpeechEngine *wanted = nullptr;
    for (const auto &e : engines) {
        if (engineId.isEmpty() || e->id() == engineId) {
            wanted = e.get();
            break;
        }
    }
    if (!wanted && !engines.empty())
        wanted = engines.front().get();
    if (!wanted || wanted->canSpeak(display))
        return wanted;
    for (const auto &e : engines) {
        if (e->canSpeak(display))
            return e.get();
    }
    return wanted;
}

void applyGain(QVector<qint16> &pcm, qint64 from, qint64 to, double gain)
{
    from = std::clamp<qint64>(from, 0, pcm.size());
    to = std::clamp<qint64>(to, from, pcm.size());
    if (gain == 1.0)
        return;
    // Above the knee the curve bends toward full scale instead of clipping.
    constexpr double knee = 0.8 * 32767;
    for (qint64 i = from; i < to; ++i) {
        const double v = pcm[i] * gain;
        const double a = std::abs(v);
        double out = a;
        if (a > knee)
            out = knee + (32767 - knee) * std::tanh((a - knee) / (32767 - knee));
        pcm[i] = qint16(std::lround(std::copysign(std::min(out, 32767.0), v)));
    }
}

} // namespace agent
