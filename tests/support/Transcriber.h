#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

// Plain dictation with pocketsphinx's generic US English model (language
// model, no grammar): a rough, repeatable measure of how understandable a
// synthetic voice is.
class Transcriber
{
public:
    Transcriber();
    ~Transcriber();

    bool isReady() const;
    QString error() const { return m_error; }
    // 16 kHz mono speech to lower-case words.
    QString transcribe(const QVector<qint16> &pcm16k);

    // Words of `text` as they are compared: lower case, no punctuation.
    static QStringList words(const QString &text);
    // Substitutions, insertions and deletions that turn `reference` into
    // `heard` (a word-level edit distance).
    static int wordErrors(const QStringList &reference, const QStringList &heard);
    // The sentences of a file, one a line, # lines left out.
    static QStringList sentences(const QString &path);

private:
    struct Decoder;
    std::unique_ptr<Decoder> m_d;
    QString m_error;
};
