#include "agent/speech/WavCapture.h"

#include "agent/Logging.h"
#include "agent/speech/WavWriter.h"

#include <QMutexLocker>

namespace agent {

WavCapture::WavCapture(QString path)
    : m_path(std::move(path))
{ }

WavCapture::~WavCapture() = default;

quint64 WavCapture::begin(int sampleRate)
{
    QMutexLocker lock(&m_mutex);
    Slot slot;
    slot.id = m_nextId++;
    slot.sampleRate = sampleRate;
    m_slots.push_back(std::move(slot));
    return m_slots.back().id;
}

void WavCapture::finish(quint64 id, const QVector<qint16> &samples)
{
    if (id == 0)
        return;
    QMutexLocker lock(&m_mutex);
    for (Slot &slot : m_slots) {
        if (slot.id == id && !slot.done) {
            slot.samples = samples;
            slot.done = true;
            break;
        }
    }
    writeFinished();
}

void WavCapture::writeFinished()
{
    while (!m_slots.empty() && m_slots.front().done) {
        Slot slot = std::move(m_slots.front());
        m_slots.pop_front();
        if (!m_writer) {
            // The first sound of a run creates the file afresh.
            m_writer = std::make_unique<WavWriter>(slot.sampleRate);
            m_writer->open(m_path);
        }
        if (m_writer->sampleRate() != slot.sampleRate)
            qCWarning(lcSpeech) << "Audio file" << m_path << "is at" << m_writer->sampleRate()
                                << "Hz; a sound at" << slot.sampleRate << "Hz is written as is";
        m_writer->append(slot.samples.constData(), slot.samples.size());
    }
}

} // namespace agent
