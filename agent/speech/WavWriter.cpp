#include "agent/speech/WavWriter.h"

#include "agent/Logging.h"

#include <QByteArray>
#include <QtEndian>

#include <algorithm>

#include <limits>

namespace agent {

namespace {

// The RIFF size field is 32 bits; stop short of overflowing it.
constexpr qint64 MaxDataBytes = std::numeric_limits<quint32>::max() - WavWriter::HeaderSize;

void put32(char *p, quint32 v)
{
    qToLittleEndian(v, p);
}

void put16(char *p, quint16 v)
{
    qToLittleEndian(v, p);
}

} // namespace

WavWriter::WavWriter(int sampleRate)
    : m_sampleRate(sampleRate > 0 ? sampleRate : 22050)
{ }

WavWriter::~WavWriter()
{
    close();
}

bool WavWriter::open(const QString &path)
{
    close();
    m_samples = 0;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        qCWarning(lcSpeech) << "Cannot write audio file" << path << m_file.errorString();
        return false;
    }
    if (!writeHeader()) {
        m_file.close();
        return false;
    }
    return true;
}

bool WavWriter::append(const qint16 *samples, qsizetype count)
{
    if (!m_file.isOpen() || count <= 0 || !samples)
        return m_file.isOpen();
    if ((m_samples + count) * 2 > MaxDataBytes) {
        qCWarning(lcSpeech) << "Audio file is full:" << m_file.fileName();
        return false;
    }
    QByteArray bytes(count * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < count; ++i)
        qToLittleEndian(samples[i], bytes.data() + i * 2);
    if (!m_file.seek(HeaderSize + m_samples * 2) || m_file.write(bytes) != bytes.size()) {
        qCWarning(lcSpeech) << "Writing the audio file failed:" << m_file.errorString();
        return false;
    }
    m_samples += count;
    return writeHeader();
}

void WavWriter::close()
{
    if (m_file.isOpen())
        m_file.close();
}

bool WavWriter::writeHeader()
{
    const quint32 dataBytes = quint32(m_samples * 2);
    char h[HeaderSize];
    // The chunk tags are four bytes each, without a terminating zero.
    const auto tag = [](char *at, const char(&name)[5]) { std::copy_n(name, 4, at); };
    tag(h, "RIFF");
    put32(h + 4, 36 + dataBytes);
    tag(h + 8, "WAVE");
    tag(h + 12, "fmt ");
    put32(h + 16, 16); // size of the format chunk
    put16(h + 20, 1); // PCM
    put16(h + 22, 1); // mono
    put32(h + 24, quint32(m_sampleRate));
    put32(h + 28, quint32(m_sampleRate * 2)); // bytes per second
    put16(h + 32, 2); // bytes per frame
    put16(h + 34, 16); // bits per sample
    tag(h + 36, "data");
    put32(h + 40, dataBytes);
    if (!m_file.seek(0) || m_file.write(h, HeaderSize) != HeaderSize || !m_file.flush()) {
        qCWarning(lcSpeech) << "Writing the audio file header failed:" << m_file.errorString();
        return false;
    }
    return true;
}

} // namespace agent
