#pragma once

#include "agent/Resampler.h"
#include "agent/listen/VoiceGrammar.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// Speech in: the decoder that turns 16 kHz mono audio into one of the
// character's phrases, or into nothing when the speech was something else.
namespace agent {

// The files the recogniser decodes with.
struct RecognizerModel
{
    QString folder; // the acoustic model
    QString dictionary; // the pronunciations of its words
    // Why the model cannot be used, or empty when its files are there.
    QString missing() const;
};

struct RecognizerOptions
{
    RecognizerModel model;
    // Speech that is not a command is told apart by a second decoder that
    // scores the same audio as free phones. Off: whatever is heard becomes
    // its nearest phrase.
    bool phoneLoop = true;
    // The least acoustic score per word frame, relative to free phones, that
    // a phrase needs; strict phrases need more.
    double threshold = -32;
    double strictThreshold = -22;
    // A phrase with its optional words left out ("last message") is also
    // the middle of much ordinary talk: it needs a near-sure match.
    double partialThreshold = -10;
    // The least score of each word of a phrase, relative to free phones over
    // the same frames: "did you get my last message" heard as "repeat last
    // message" leaves "repeat" on "did you get my", far below this.
    double wordThreshold = -42;
    // Other ways of telling, for the benchmark to compare: a grammar rule
    // body that competes with the phrases, made from the grammar's
    // vocabulary, and the words it needs (word, phones). A hypothesis
    // holding one of those words is not understood.
    std::function<QString(const QStringList &vocabulary)> competitor;
    QList<QPair<QString, QString>> extraWords;
};

struct RecognitionResult
{
    quint64 utterance = 0;
    QString phrase; // what the grammar heard, spoken form; empty: nothing
    QString command; // empty when not understood
    double score = 0; // how sure: higher is surer, in the decoder's units
    // The same for the phrase's least sure word alone: a phrase that matches
    // well in part ("... my last message") leaves one word poorly heard.
    double worstWord = 0;
    bool speech = false; // the decoders heard words of any kind
    int frames = 0; // 10 ms frames decoded

    bool understood() const { return !command.isEmpty(); }
};

// The decoders themselves. Not thread-safe: Recognizer keeps one on its
// worker thread; tests and the benchmark call it directly.
class RecognizerCore
{
public:
    static constexpr int kSampleRate = 16000;
    // The phones of the acoustic model.
    static QStringList phones();

    explicit RecognizerCore(RecognizerOptions options = {});
    ~RecognizerCore();
    RecognizerCore(const RecognizerCore &) = delete;
    RecognizerCore &operator=(const RecognizerCore &) = delete;

    // False when the model could not be loaded; every call is then harmless.
    bool isReady() const;
    const QString &error() const { return m_error; }
    const RecognizerOptions &options() const { return m_options; }

    bool hasPronunciation(const QString &word) const;
    // Builds the grammar and has the decoder use it; false when no phrase is
    // usable (everything then stays unrecognised). During an utterance the
    // change waits for its end.
    bool setCommands(const QList<VoiceGrammar::Entry> &commands);
    const VoiceGrammar &grammar() const { return m_grammar; }

    void begin(quint64 utterance = 0);
    void feed(const qint16 *samples, qsizetype count);
    RecognitionResult end();
    bool inUtterance() const { return m_inUtterance; }
    // A whole utterance at once.
    RecognitionResult recognize(const QVector<qint16> &pcm, quint64 utterance = 0);

private:
    struct Decoders;
    bool loadGrammar();
    void addNoiseFloor(const qint16 *in, qsizetype count);

    RecognizerOptions m_options;
    std::unique_ptr<Decoders> m_d;
    QString m_error;
    VoiceGrammar m_grammar;
    QList<VoiceGrammar::Entry> m_pending;
    bool m_hasPending = false;
    bool m_grammarLoaded = false;
    bool m_inUtterance = false;
    quint64 m_utterance = 0;
    quint32 m_noiseSeed = 1;
    QVector<qint16> m_buffer;
};

class RecognizerWorker;

// The decoder on a thread of its own, so that loading the model and
// decoding never hold up the windows. Results come back as a signal on the
// thread that made the recogniser.
class Recognizer : public QObject
{
    Q_OBJECT
public:
    explicit Recognizer(RecognizerOptions options = {}, QObject *parent = nullptr);
    ~Recognizer() override;

    void setCommands(const QList<VoiceGrammar::Entry> &commands);
    // Starts an utterance; the audio fed until end() belongs to it.
    quint64 begin();
    void feed(const QVector<qint16> &pcm16k);
    // recognized() follows with the result.
    void end();
    // Ends the utterance without a result.
    void cancel();
    bool inUtterance() const { return m_current != 0; }

signals:
    // Once, when the model has loaded or failed to.
    void ready(bool ok);
    void recognized(const agent::RecognitionResult &result);

private:
    QThread m_thread;
    RecognizerWorker *m_worker = nullptr;
    std::shared_ptr<std::atomic<quint64>> m_live;
    quint64 m_current = 0;
    quint64 m_last = 0;
};

} // namespace agent

Q_DECLARE_METATYPE(agent::RecognitionResult)
