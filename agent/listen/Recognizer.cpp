#include "agent/listen/Recognizer.h"

#include "agent/Logging.h"
#include "platform/LoadedLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

namespace agent {

// ---------------------------------------------------------------------------
// The decoders

namespace {

// pocketsphinx's calls. Its libraries (with the linear algebra they bring)
// are loaded when a recogniser is first made, that is when there is a
// microphone to listen to, not at start.
struct Sphinx
{
    decltype(&::ckd_free) ckd_free = nullptr;
    decltype(&::cmd_ln_free_r) cmd_ln_free_r = nullptr;
    decltype(&::cmd_ln_init) cmd_ln_init = nullptr;
    decltype(&::ps_add_word) ps_add_word = nullptr;
    decltype(&::ps_args) ps_args = nullptr;
    decltype(&::ps_end_utt) ps_end_utt = nullptr;
    decltype(&::ps_free) ps_free = nullptr;
    decltype(&::ps_get_hyp) ps_get_hyp = nullptr;
    decltype(&::ps_get_n_frames) ps_get_n_frames = nullptr;
    decltype(&::ps_init) ps_init = nullptr;
    decltype(&::ps_lookup_word) ps_lookup_word = nullptr;
    decltype(&::ps_process_raw) ps_process_raw = nullptr;
    decltype(&::ps_seg_frames) ps_seg_frames = nullptr;
    decltype(&::ps_seg_iter) ps_seg_iter = nullptr;
    decltype(&::ps_seg_next) ps_seg_next = nullptr;
    decltype(&::ps_seg_prob) ps_seg_prob = nullptr;
    decltype(&::ps_seg_word) ps_seg_word = nullptr;
    decltype(&::ps_set_jsgf_string) ps_set_jsgf_string = nullptr;
    decltype(&::ps_set_search) ps_set_search = nullptr;
    decltype(&::ps_start_utt) ps_start_utt = nullptr;
    decltype(&::ps_unset_search) ps_unset_search = nullptr;
};

// Null, with `error` set, when the libraries cannot be loaded.
const Sphinx *loadSphinx(QString *error)
{
    static QString problem;
    const Sphinx *loaded = openOnce<Sphinx>([]() -> std::optional<Sphinx> {
        LoadedLibrary sphinxbase(QStringLiteral("sphinxbase"), 3);
        LoadedLibrary pocketsphinx(QStringLiteral("pocketsphinx"), 3);
        if (!sphinxbase.load() || !pocketsphinx.load()) {
            problem = sphinxbase.why() + pocketsphinx.why();
            return std::nullopt;
        }
        Sphinx s;
        const bool all = sphinxbase.resolve("ckd_free", s.ckd_free)
            && sphinxbase.resolve("cmd_ln_free_r", s.cmd_ln_free_r)
            && sphinxbase.resolve("cmd_ln_init", s.cmd_ln_init)
            && pocketsphinx.resolve("ps_add_word", s.ps_add_word)
            && pocketsphinx.resolve("ps_args", s.ps_args)
            && pocketsphinx.resolve("ps_end_utt", s.ps_end_utt)
            && pocketsphinx.resolve("ps_free", s.ps_free)
            && pocketsphinx.resolve("ps_get_hyp", s.ps_get_hyp)
            && pocketsphinx.resolve("ps_get_n_frames", s.ps_get_n_frames)
            && pocketsphinx.resolve("ps_init", s.ps_init)
            && pocketsphinx.resolve("ps_lookup_word", s.ps_lookup_word)
            && pocketsphinx.resolve("ps_process_raw", s.ps_process_raw)
            && pocketsphinx.resolve("ps_seg_frames", s.ps_seg_frames)
            && pocketsphinx.resolve("ps_seg_iter", s.ps_seg_iter)
            && pocketsphinx.resolve("ps_seg_next", s.ps_seg_next)
            && pocketsphinx.resolve("ps_seg_prob", s.ps_seg_prob)
            && pocketsphinx.resolve("ps_seg_word", s.ps_seg_word)
            && pocketsphinx.resolve("ps_set_jsgf_string", s.ps_set_jsgf_string)
            && pocketsphinx.resolve("ps_set_search", s.ps_set_search)
            && pocketsphinx.resolve("ps_start_utt", s.ps_start_utt)
            && pocketsphinx.resolve("ps_unset_search", s.ps_unset_search);
        if (!all) {
            problem = sphinxbase.why() + pocketsphinx.why();
            return std::nullopt;
        }
        return s;
    });
    if (!loaded && error)
        *error = problem;
    return loaded;
}

// Only called once a recogniser has loaded the libraries.
const Sphinx &lib()
{
    return *loadSphinx(nullptr);
}

// Words of this program that the dictionary lacks.
struct ExtraWord
{
    const char *word;
    const char *phones;
};
const ExtraWord kExtraWords[] = {
    { "quillory", "K W IH L ER IY" },
    { "quillory(2)", "K W IH L AO R IY" },
    { "tockel", "T AA K AH L" },
};

// The phones of the acoustic model, each as a word of the phone loop.
const char *const kPhones[] = { "AA", "AE", "AH", "AO", "AW", "AY", "B", "CH", "D", "DH", "EH",
    "ER", "EY", "F", "G", "HH", "IH", "IY", "JH", "K", "L", "M", "N", "NG", "OW", "OY", "P", "R",
    "S", "SH", "T", "TH", "UH", "UW", "V", "W", "Y", "Z", "ZH" };

QString phoneWord(const char *phone)
{
    return QStringLiteral("ph_") + QString::fromLatin1(phone).toLower();
}

bool isFiller(const char *word)
{
    return !word || word[0] == '<' || word[0] == '[' || word[0] == '+';
}

// The noise floor added to all input: digital silence (a muted or virtual
// device) otherwise upsets the decoder's energy and mean estimates.
constexpr int kNoiseFloor = 16;

struct Segment
{
    int first = 0;
    int last = 0; // frames, inclusive
    qint64 acoustic = 0;
    bool word = false; // not silence or noise
};

struct SegmentScore
{
    qint64 acoustic = 0; // every segment, silence included
    int wordFrames = 0;
    QStringList words;
    QVector<Segment> segments;
};

// The acoustic score `free` gives frames first..last, sharing each of its
// segments out over its frames.
double scoreOver(const QVector<Segment> &free, int first, int last)
{
    double sum = 0;
    for (const Segment &s : free) {
        const int a = std::max(first, s.first);
        const int b = std::min(last, s.last);
        if (a <= b)
            sum += double(s.acoustic) * (b - a + 1) / (s.last - s.first + 1);
    }
    return sum;
}

// Per frame, the phrase's least sure word against free phones.
double worstWordScore(const SegmentScore &heard, const SegmentScore &free)
{
    double worst = 0;
    bool any = false;
    for (const Segment &w : heard.segments) {
        if (!w.word || w.last < w.first)
            continue;
        const double perFrame = (double(w.acoustic) - scoreOver(free.segments, w.first, w.last))
            / (w.last - w.first + 1);
        worst = any ? std::min(worst, perFrame) : perFrame;
        any = true;
    }
    return worst;
}

SegmentScore scoreSegments(ps_decoder_t *ps)
{
    SegmentScore s;
    for (ps_seg_t *seg = lib().ps_seg_iter(ps); seg; seg = lib().ps_seg_next(seg)) {
        int sf = 0;
        int ef = 0;
        lib().ps_seg_frames(seg, &sf, &ef);
        int32 ascr = 0;
        int32 lscr = 0;
        int32 lback = 0;
        lib().ps_seg_prob(seg, &ascr, &lscr, &lback);
        s.acoustic += ascr;
        const char *word = lib().ps_seg_word(seg);
        s.segments.push_back({ sf, ef, ascr, !isFiller(word) });
        if (!isFiller(word)) {
            s.wordFrames += ef - sf + 1;
            s.words << QString::fromUtf8(word);
        }
    }
    return s;
}

ps_decoder_t *makeDecoder(const QString &model, const QString &dictionary, QString *error)
{
    if (!QFileInfo(model + QStringLiteral("/mdef")).isFile()) {
        *error = QStringLiteral("no acoustic model in ") + model;
        return nullptr;
    }
    if (!QFileInfo(dictionary).isFile()) {
        *error = QStringLiteral("no dictionary ") + dictionary;
        return nullptr;
    }
    const QByteArray hmm = QFile::encodeName(model);
    const QByteArray dict = QFile::encodeName(dictionary);
    // Every senone is scored so that the two decoders' acoustic scores,
    // normalised frame by frame, can be compared.
    cmd_ln_t *config = lib().cmd_ln_init(nullptr, lib().ps_args(), TRUE, "-hmm", hmm.constData(),
        "-dict", dict.constData(), "-logfn", "/dev/null", "-remove_silence", "yes", "-compallsen",
        "yes", "-bestpath", "no", nullptr);
    if (!config) {
        *error = QStringLiteral("the decoder rejected its configuration");
        return nullptr;
    }
    ps_decoder_t *ps = lib().ps_init(config);
    lib().cmd_ln_free_r(config);
    if (!ps)
        *error = QStringLiteral("the decoder did not start with ") + model;
    return ps;
}

} // namespace

QStringList RecognizerCore::phones()
{
    QStringList all;
    for (const char *phone : kPhones)
        all << QLatin1String(phone);
    return all;
}

QString RecognizerModel::missing() const
{
    if (folder.isEmpty())
        return QStringLiteral("no speech recognition model given");
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("no speech recognition model at ") + folder;
    if (!QFileInfo(dictionary).isFile())
        return QStringLiteral("no pronouncing dictionary at ") + dictionary;
    return {};
}

struct RecognizerCore::Decoders
{
    ps_decoder_t *commands = nullptr;
    ps_decoder_t *phones = nullptr; // PhoneLoop only
    QTemporaryDir dir;
    int slot = 0;

    ~Decoders()
    {
        if (commands)
            lib().ps_free(commands);
        if (phones)
            lib().ps_free(phones);
    }
};

RecognizerCore::RecognizerCore(RecognizerOptions options)
    : m_options(std::move(options))
    , m_d(std::make_unique<Decoders>())
{
    m_error = m_options.model.missing();
    if (m_error.isEmpty() && !loadSphinx(&m_error)) {
        qCWarning(lcVoice).noquote() << "speech recognition is off:" << m_error;
        return;
    }
    if (!m_error.isEmpty()) {
        qCWarning(lcVoice).noquote() << "speech recognition is off:" << m_error;
        return;
    }
    m_d->commands = makeDecoder(m_options.model.folder, m_options.model.dictionary, &m_error);
    if (!m_d->commands) {
        qCWarning(lcVoice).noquote() << "speech recognition is off:" << m_error;
        return;
    }
    for (const ExtraWord &w : kExtraWords)
        lib().ps_add_word(m_d->commands, w.word, w.phones, FALSE);
    for (const auto &[word, phones] : m_options.extraWords)
        lib().ps_add_word(
            m_d->commands, word.toUtf8().constData(), phones.toLatin1().constData(), FALSE);

    if (m_options.phoneLoop) {
        // The phone loop needs no words but its phones: a small dictionary
        // of its own loads in a moment.
        const QString path = m_d->dir.filePath(QStringLiteral("phones.dict"));
        QFile file(path);
        if (m_d->dir.isValid() && file.open(QIODevice::WriteOnly)) {
            for (const char *phone : kPhones)
                file.write(
                    (phoneWord(phone) + QLatin1Char(' ') + QLatin1String(phone) + '\n').toLatin1());
            file.close();
            m_d->phones = makeDecoder(m_options.model.folder, path, &m_error);
        }
        QStringList alternatives;
        for (const char *phone : kPhones)
            alternatives << phoneWord(phone);
        const QByteArray loop
            = "#JSGF V1.0;\ngrammar phones;\npublic <phones> = <phone> <phone>*;\n"
              "<phone> = "
            + alternatives.join(QStringLiteral(" | ")).toLatin1() + ";\n";
        if (!m_d->phones || lib().ps_set_jsgf_string(m_d->phones, "phones", loop.constData()) < 0
            || lib().ps_set_search(m_d->phones, "phones") < 0) {
            if (m_error.isEmpty())
                m_error = QStringLiteral("the phone loop did not load");
            qCWarning(lcVoice).noquote() << "speech recognition is off:" << m_error;
            lib().ps_free(m_d->commands);
            m_d->commands = nullptr;
            return;
        }
    }
    qCInfo(lcVoice).noquote() << "speech recognition ready with" << m_options.model.folder;
}

RecognizerCore::~RecognizerCore() = default;

bool RecognizerCore::isReady() const
{
    return m_d->commands != nullptr;
}

bool RecognizerCore::hasPronunciation(const QString &word) const
{
    if (!isReady() || word.isEmpty())
        return false;
    const QByteArray utf8 = word.toUtf8();
    char *phones = lib().ps_lookup_word(m_d->commands, utf8.constData());
    if (!phones)
        return false;
    lib().ckd_free(phones);
    return true;
}

bool RecognizerCore::setCommands(const QList<VoiceGrammar::Entry> &commands)
{
    if (m_inUtterance) {
        m_pending = commands;
        m_hasPending = true;
        return isReady();
    }
    m_grammar = VoiceGrammar::build(
        commands, [this](const QString &word) { return hasPronunciation(word); });
    return loadGrammar();
}

bool RecognizerCore::loadGrammar()
{
    m_grammarLoaded = false;
    if (!isReady() || m_grammar.isEmpty())
        return false;
    const QString garbage
        = m_options.competitor ? m_options.competitor(m_grammar.vocabulary()) : QString();
    const QByteArray jsgf = m_grammar.jsgf(garbage).toUtf8();
    const QByteArray name = m_d->slot % 2 ? "commands1" : "commands0";
    const QByteArray old = m_d->slot % 2 ? "commands0" : "commands1";
    if (lib().ps_set_jsgf_string(m_d->commands, name.constData(), jsgf.constData()) < 0
        || lib().ps_set_search(m_d->commands, name.constData()) < 0) {
        qCWarning(lcVoice).noquote() << "the decoder rejected the grammar:\n" << jsgf;
        return false;
    }
    lib().ps_unset_search(m_d->commands, old.constData());
    ++m_d->slot;
    m_grammarLoaded = true;
    qCDebug(lcVoice).noquote() << "grammar of" << m_grammar.phrases().size() << "phrases:\n"
                               << jsgf;
    return true;
}

void RecognizerCore::begin(quint64 utterance)
{
    if (m_inUtterance)
        end();
    m_utterance = utterance;
    m_inUtterance = true;
    m_noiseSeed = 1; // the same audio always decodes the same way
    if (!m_grammarLoaded)
        return;
    lib().ps_start_utt(m_d->commands);
    if (m_d->phones)
        lib().ps_start_utt(m_d->phones);
}

void RecognizerCore::addNoiseFloor(const qint16 *in, qsizetype count)
{
    m_buffer.resize(count);
    for (qsizetype i = 0; i < count; ++i) {
        m_noiseSeed = m_noiseSeed * 1664525u + 1013904223u;
        const int noise = int((m_noiseSeed >> 16) % (2 * kNoiseFloor + 1)) - kNoiseFloor;
        m_buffer[i] = qint16(std::clamp(int(in[i]) + noise, -32768, 32767));
    }
}

void RecognizerCore::feed(const qint16 *samples, qsizetype count)
{
    if (!m_inUtterance || !m_grammarLoaded || !samples || count <= 0)
        return;
    addNoiseFloor(samples, count);
    lib().ps_process_raw(m_d->commands, m_buffer.constData(), size_t(count), FALSE, FALSE);
    if (m_d->phones)
        lib().ps_process_raw(m_d->phones, m_buffer.constData(), size_t(count), FALSE, FALSE);
}

RecognitionResult RecognizerCore::end()
{
    RecognitionResult result;
    result.utterance = m_utterance;
    if (!m_inUtterance)
        return result;
    m_inUtterance = false;
    if (m_grammarLoaded) {
        lib().ps_end_utt(m_d->commands);
        result.frames = lib().ps_get_n_frames(m_d->commands);
        int32 pathScore = 0;
        const char *hyp = lib().ps_get_hyp(m_d->commands, &pathScore);
        const SegmentScore heard = scoreSegments(m_d->commands);
        result.speech = !heard.words.isEmpty();
        // Words of a competitor are never part of a phrase: a hypothesis
        // with any of them is not understood.
        QStringList words;
        bool garbage = false;
        for (const QString &w : VoiceGrammar::normalise(QString::fromUtf8(hyp ? hyp : ""))
                                    .split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (std::any_of(m_options.extraWords.cbegin(), m_options.extraWords.cend(),
                    [&w](const auto &extra) { return extra.first == w; }))
                garbage = true;
            else
                words << w;
        }
        result.phrase = words.join(QLatin1Char(' '));
        const VoicePhrase *phrase = garbage ? nullptr : m_grammar.phraseFor(result.phrase);
        if (m_d->phones) {
            lib().ps_end_utt(m_d->phones);
            const SegmentScore free = scoreSegments(m_d->phones);
            result.speech = result.speech || !free.words.isEmpty();
            if (heard.wordFrames > 0) {
                // Per frame of the phrase's own words, so that speech the
                // phrase leaves to silence (words around it) counts heavily.
                result.score = double(heard.acoustic - free.acoustic) / heard.wordFrames;
                result.worstWord = worstWordScore(heard, free);
            }
            if (phrase && heard.wordFrames > 0) {
                const double needed = phrase->strict ? m_options.strictThreshold
                    : phrase->partial                ? m_options.partialThreshold
                                                     : m_options.threshold;
                if (result.score >= needed && result.worstWord >= m_options.wordThreshold)
                    result.command = phrase->command;
            }
        } else {
            result.score = result.frames > 0 ? double(pathScore) / result.frames : 0;
            if (phrase)
                result.command = phrase->command;
        }
    }
    if (m_hasPending) {
        m_hasPending = false;
        setCommands(std::exchange(m_pending, {}));
    }
    qCDebug(lcVoice).noquote() << "heard"
                               << (result.phrase.isEmpty() ? QStringLiteral("nothing")
                                                           : result.phrase)
                               << "score" << result.score << "->"
                               << (result.understood() ? result.command
                                                       : QStringLiteral("not understood"));
    return result;
}

RecognitionResult RecognizerCore::recognize(const QVector<qint16> &pcm, quint64 utterance)
{
    begin(utterance);
    // As a microphone would deliver it: a tenth of a second at a time.
    constexpr qsizetype kChunk = kSampleRate / 10;
    for (qsizetype at = 0; at < pcm.size(); at += kChunk)
        feed(pcm.constData() + at, std::min(kChunk, pcm.size() - at));
    return end();
}

// ---------------------------------------------------------------------------
// The recogniser on its thread

class RecognizerWorker : public QObject
{
    Q_OBJECT
public:
    RecognizerWorker(RecognizerOptions options, std::shared_ptr<std::atomic<quint64>> live)
        : m_options(std::move(options))
        , m_live(std::move(live))
    { }

    void load()
    {
        m_core = std::make_unique<RecognizerCore>(m_options);
        emit ready(m_core->isReady());
    }
    void setCommands(const QList<VoiceGrammar::Entry> &commands)
    {
        if (m_core)
            m_core->setCommands(commands);
    }
    void begin(quint64 utterance)
    {
        if (!m_core)
            return;
        m_utterance = utterance;
        m_core->begin(utterance);
    }
    void feed(quint64 utterance, const QVector<qint16> &pcm)
    {
        // Audio of an utterance given up since is dropped unheard.
        if (!m_core || utterance != m_utterance || m_live->load() != utterance)
            return;
        m_core->feed(pcm.constData(), pcm.size());
    }
    void end(quint64 utterance, bool wanted)
    {
        if (!m_core || utterance != m_utterance)
            return;
        m_utterance = 0;
        RecognitionResult result = m_core->end();
        if (wanted)
            emit recognized(result);
    }

signals:
    // moc writes these signals' bodies, with parameter names of its own.
    void ready(bool ok); // NOLINT(readability-inconsistent-declaration-parameter-name)
    void recognized( // NOLINT(readability-inconsistent-declaration-parameter-name)
        const agent::RecognitionResult &result);

private:
    RecognizerOptions m_options;
    std::shared_ptr<std::atomic<quint64>> m_live;
    std::unique_ptr<RecognizerCore> m_core;
    quint64 m_utterance = 0;
};

Recognizer::Recognizer(RecognizerOptions options, QObject *parent)
    : QObject(parent)
    , m_live(std::make_shared<std::atomic<quint64>>(0))
{
    qRegisterMetaType<agent::RecognitionResult>();
    m_thread.setObjectName(QStringLiteral("quillory-listen"));
    m_worker = new RecognizerWorker(std::move(options), m_live);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &RecognizerWorker::ready, this, &Recognizer::ready, Qt::QueuedConnection);
    connect(m_worker, &RecognizerWorker::recognized, this, &Recognizer::recognized,
        Qt::QueuedConnection);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { w->load(); }, Qt::QueuedConnection);
}

Recognizer::~Recognizer()
{
    m_live->store(0);
    m_thread.quit();
    m_thread.wait();
}

void Recognizer::setCommands(const QList<VoiceGrammar::Entry> &commands)
{
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, commands] { w->setCommands(commands); }, Qt::QueuedConnection);
}

quint64 Recognizer::begin()
{
    cancel();
    m_current = ++m_last;
    m_live->store(m_current);
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, u = m_current] { w->begin(u); }, Qt::QueuedConnection);
    return m_current;
}

void Recognizer::feed(const QVector<qint16> &pcm16k)
{
    if (!m_current || pcm16k.isEmpty())
        return;
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, u = m_current, pcm16k] { w->feed(u, pcm16k); },
        Qt::QueuedConnection);
}

void Recognizer::end()
{
    if (!m_current)
        return;
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, u = m_current] { w->end(u, true); }, Qt::QueuedConnection);
    m_current = 0;
}

void Recognizer::cancel()
{
    if (!m_current)
        return;
    m_live->store(0);
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, u = m_current] { w->end(u, false); }, Qt::QueuedConnection);
    m_current = 0;
}

} // namespace agent

#include "Recognizer.moc"
