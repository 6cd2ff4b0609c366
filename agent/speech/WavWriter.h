#pragma once

#include <QFile>
#include <QString>

// A 16-bit PCM mono WAV file that is valid after every append: the RIFF and
// data sizes are rewritten each time, so a reader (or a crash) never sees a
// half-written header.
namespace agent {

class WavWriter
{
public:
    explicit WavWriter(int sampleRate);
    ~WavWriter();
    WavWriter(const WavWriter &) = delete;
    WavWriter &operator=(const WavWriter &) = delete;

    // Creates or truncates the file and writes an empty header.
    bool open(const QString &path);
    bool append(const qint16 *samples, qsizetype count);
    void close();

    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    int sampleRate() const { return m_sampleRate; }
    qint64 sampleCount() const { return m_samples; }

    static constexpr int HeaderSize = 44;

private:
    bool writeHeader();

    QFile m_file;
    int m_sampleRate;
    qint64 m_samples = 0;
};

} // namespace agent
