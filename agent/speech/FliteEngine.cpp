#include "agent/speech/FliteEngine.h"

#include "agent/Logging.h"
#include "agent/SpeechText.h"
#include "platform/LoadedLibrary.h"

#include <flite/flite.h>

#include <QLibrary>

#include <algorithm>
#include <cmath>
#include <optional>

namespace agent {

namespace {

// Each voice is a library of a few megabytes, loaded when the voice first
// speaks: a character uses one of them.
const char *const kVoices[] = { "rms", "slt", "awb", "kal16" };

using RegisterVoice = cst_voice *(*)(const char *voxdir);

QString voiceLibrary(const QString &voice)
{
    return QLatin1String("flite_cmu_us_") + voice;
}
using UnregisterVoice = void (*)(cst_voice *);

// Flite itself is opened with the first voice: a run that does not speak
// with it, or not yet, does not carry it (nor the sound library it links).
struct Flite
{
    decltype(&::flite_init) flite_init = nullptr;
    decltype(&::relation_head) relation_head = nullptr;
    decltype(&::utt_relation) utt_relation = nullptr;
    decltype(&::item_feat_string) item_feat_string = nullptr;
    decltype(&::item_feat_float) item_feat_float = nullptr;
    decltype(&::item_next) item_next = nullptr;
    decltype(&::path_to_item) path_to_item = nullptr;
    decltype(&::item_feat_present) item_feat_present = nullptr;
    decltype(&::item_feat_int) item_feat_int = nullptr;
    decltype(&::new_audio_streaming_info) new_audio_streaming_info = nullptr;
    decltype(&::feat_set) feat_set = nullptr;
    decltype(&::audio_streaming_info_val) audio_streaming_info_val = nullptr;
    decltype(&::feat_set_float) feat_set_float = nullptr;
    decltype(&::new_utterance) new_utterance = nullptr;
    decltype(&::utt_relation_create) utt_relation_create = nullptr;
    decltype(&::relation_append) relation_append = nullptr;
    decltype(&::item_set_string) item_set_string = nullptr;
    decltype(&::item_set_int) item_set_int = nullptr;
    decltype(&::item_set_float) item_set_float = nullptr;
    decltype(&::feat_val) feat_val = nullptr;
    decltype(&::val_audio_streaming_info) val_audio_streaming_info = nullptr;
    decltype(&::flite_do_synth) flite_do_synth = nullptr;
    decltype(&::utt_synth_tokens) utt_synth_tokens = nullptr;
    decltype(&::delete_utterance) delete_utterance = nullptr;
    decltype(&::utt_wave) utt_wave = nullptr;
};

// Null, with the reason logged once, when Flite cannot be opened.
const Flite *flite()
{
    return openOnce<Flite>([]() -> std::optional<Flite> {
        LoadedLibrary library(QStringLiteral("flite"), 1);
        Flite f;
        if (library.load() && library.resolve("flite_init", f.flite_init)
            && library.resolve("relation_head", f.relation_head)
            && library.resolve("utt_relation", f.utt_relation)
            && library.resolve("item_feat_string", f.item_feat_string)
            && library.resolve("item_feat_float", f.item_feat_float)
            && library.resolve("item_next", f.item_next)
            && library.resolve("path_to_item", f.path_to_item)
            && library.resolve("item_feat_present", f.item_feat_present)
            && library.resolve("item_feat_int", f.item_feat_int)
            && library.resolve("new_audio_streaming_info", f.new_audio_streaming_info)
            && library.resolve("feat_set", f.feat_set)
            && library.resolve("audio_streaming_info_val", f.audio_streaming_info_val)
            && library.resolve("feat_set_float", f.feat_set_float)
            && library.resolve("new_utterance", f.new_utterance)
            && library.resolve("utt_relation_create", f.utt_relation_create)
            && library.resolve("relation_append", f.relation_append)
            && library.resolve("item_set_string", f.item_set_string)
            && library.resolve("item_set_int", f.item_set_int)
            && library.resolve("item_set_float", f.item_set_float)
            && library.resolve("feat_val", f.feat_val)
            && library.resolve("val_audio_streaming_info", f.val_audio_streaming_info)
            && library.resolve("flite_do_synth", f.flite_do_synth)
            && library.resolve("utt_synth_tokens", f.utt_synth_tokens)
            && library.resolve("delete_utterance", f.delete_utterance)
            && library.resolve("utt_wave", f.utt_wave)) {
            f.flite_init();
            return f;
        }
        qCWarning(lcSpeech).noquote() << library.why();
        return std::nullopt;
    });
}

// Only called once a voice has opened Flite.
const Flite &fl()
{
    return *flite();
}

// The rate Flite's voices speak at by themselves, in words per minute.
constexpr double kNaturalWpm = 165;
// Of the silence before an utterance, this much is kept.
constexpr int kKeptLeadMs = 40;
// Flite stops reading a token past this; longer "words" are spelled in parts.
constexpr int kMaxTokenChars = 64;

const QString kPrePunctuation = QStringLiteral("\"'`({[");
const QString kPostPunctuation = QStringLiteral("\"'`.,:;!?(){}[]");

// A token for Flite: a run of the display text between blanks.
struct Token
{
    QByteArray name;
    QByteArray pre;
    QByteArray post;
    int position = 0; // of the word inside it, in the display text
    int length = 0;
    bool stressed = false;
};

// Latin letters with accents lose them (Flite reads ASCII only); anything
// else that is not ASCII is dropped.
QByteArray asciiFor(QStringView s)
{
    QByteArray out;
    const QString decomposed = s.toString().normalized(QString::NormalizationForm_KD);
    for (QChar c : decomposed) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            out += char(c.unicode());
    }
    return out;
}

QVector<Token> tokensOf(const SpeechText &text, int from, int to)
{
    const QString &d = text.display;
    QVector<Token> tokens;
    int i = from;
    while (i < to) {
        while (i < to && d[i].isSpace())
            ++i;
        if (i >= to)
            break;
        int end = i;
        while (end < to && !d[end].isSpace())
            ++end;
        int a = i;
        int b = end;
        while (a < b && kPrePunctuation.contains(d[a]))
            ++a;
        while (b > a && kPostPunctuation.contains(d[b - 1]))
            --b;
        Token t;
        if (a == b) { // punctuation alone: Flite decides whether to read it
            a = i;
            b = end;
        } else {
            t.pre = asciiFor(QStringView(d).mid(i, a - i));
            t.post = asciiFor(QStringView(d).mid(b, end - b));
        }
        t.position = a;
        t.length = b - a;
        t.name = asciiFor(QStringView(d).mid(a, b - a)).left(kMaxTokenChars);
        for (const auto &[at, length] : text.emphasised)
            t.stressed = t.stressed || (at < b && at + length > a);
        if (!t.name.isEmpty())
            tokens << t;
        i = end;
    }
    return tokens;
}

struct Run
{
    Synthesis *result = nullptr;
    const CancelCheck *cancelled = nullptr;
    const SynthesisProgress *progress = nullptr;
    double volume = 1.0;
    qint64 offset = 0; // samples of the result before this utterance
    qint64 streamed = 0; // samples of this utterance taken so far, cut ones included
    qint64 cut = 0; // leading silence left out
    bool timed = false; // its words and phones read
    bool cancelledNow = false;
};

// Appends the utterance's samples from `from` on, leaving out the cut ones.
void appendSamples(Run &run, const short *wave, qint64 from, qint64 to)
{
    from = std::max(from, run.streamed);
    if (to <= from)
        return;
    run.streamed = to;
    from = std::max(from, run.cut);
    const qint64 count = to - from;
    if (count <= 0)
        return;
    const short *samples = wave + from;
    QVector<qint16> &pcm = run.result->pcm;
    const qsizetype at = pcm.size();
    pcm.resize(at + count);
    std::copy(samples, samples + count, pcm.begin() + at);
    if (run.volume != 1.0)
        applyGain(pcm, at, at + count, run.volume);
}

// The phones and the words they belong to, once Flite has timed them.
void readTimings(Run &run, const cst_utterance *utt, int sampleRate)
{
    if (run.timed)
        return;
    run.timed = true;
    const cst_item *lastToken = nullptr;
    // Flite starts each utterance with about 0.17 s of silence; most of it
    // is left out, so that the first sound comes soon after it is asked for.
    const cst_item *head = fl().relation_head(fl().utt_relation(utt, "Segment"));
    if (head && QLatin1String(fl().item_feat_string(head, "name")) == QLatin1String("pau")) {
        const qint64 lead = qint64(std::llround(fl().item_feat_float(head, "end") * sampleRate));
        run.cut = std::max<qint64>(0, lead - qint64(kKeptLeadMs) * sampleRate / 1000);
    }
    auto at = [&](double seconds) {
        return run.offset
            + std::max<qint64>(0, qint64(std::llround(seconds * sampleRate)) - run.cut);
    };
    double start = 0;
    for (cst_item *s = fl().relation_head(fl().utt_relation(utt, "Segment")); s;
         s = fl().item_next(s)) {
        const double end = fl().item_feat_float(s, "end");
        const qint64 a = at(start);
        const qint64 b = at(std::max(end, start));
        start = std::max(end, start);
        run.result->phones.push_back(
            { a, b, QString::fromLatin1(fl().item_feat_string(s, "name")) });
        const cst_item *token = fl().path_to_item(s, "R:SylStructure.parent.parent.R:Token.parent");
        if (!token || !fl().item_feat_present(token, "qpos"))
            continue;
        if (token == lastToken && !run.result->words.isEmpty()) {
            run.result->words.last().end = b;
            continue;
        }
        lastToken = token;
        run.result->words.push_back(
            { a, b, fl().item_feat_int(token, "qpos"), fl().item_feat_int(token, "qlen") });
    }
}

int streamChunk(const cst_wave *w, int start, int size, int, cst_audio_streaming_info *asi)
{
    Run &run = *static_cast<Run *>(asi->userdata);
    if (*run.cancelled && (*run.cancelled)()) {
        run.cancelledNow = true;
        return CST_AUDIO_STREAM_STOP;
    }
    if (asi->utt)
        readTimings(run, asi->utt, w->sample_rate);
    // Flite hands over what it made since the last call; take only the new part.
    appendSamples(run, w->samples, start, start + size);
    if (*run.progress)
        (*run.progress)(*run.result);
    return CST_AUDIO_STREAM_CONT;
}

} // namespace

FliteEngine::FliteEngine() = default;

FliteEngine::~FliteEngine()
{
    for (auto it = m_voices.cbegin(); it != m_voices.cend(); ++it) {
        const QByteArray symbol = "unregister_cmu_us_" + it.key().toLatin1();
        const auto unregisterVoice = reinterpret_cast<UnregisterVoice>(
            QLibrary::resolve(voiceLibrary(it.key()), 1, symbol.constData()));
        if (unregisterVoice)
            unregisterVoice(it.value());
    }
}

const QStringList &FliteEngine::shippedVoices()
{
    static const QStringList names = [] {
        QStringList out;
        for (const char *name : kVoices)
            out << QLatin1String(name);
        return out;
    }();
    return names;
}

bool FliteEngine::isAvailable() const
{
    if (!m_voices.isEmpty())
        return true;
    // Loaded to see that it loads, then let go: a voice takes its memory
    // when it first speaks, not at start.
    QLibrary library(voiceLibrary(defaultVoice()), 1);
    if (!library.load()) {
        qCWarning(lcSpeech).noquote()
            << "The Flite voice" << defaultVoice() << "does not load:" << library.errorString();
        return false;
    }
    library.unload();
    return true;
}

bool FliteEngine::canSpeak(const QString &display) const
{
    return !hasNonLatinLetters(display);
}

cst_voice *FliteEngine::voice(const QString &name)
{
    if (cst_voice *v = m_voices.value(name))
        return v;
    if (!shippedVoices().contains(name) || !flite())
        return nullptr;
    // Never unloaded: the voice's tables live in its library.
    QLibrary library(voiceLibrary(name), 1);
    const QByteArray symbol = "register_cmu_us_" + name.toLatin1();
    const auto registerVoice = reinterpret_cast<RegisterVoice>(library.resolve(symbol.constData()));
    cst_voice *v = registerVoice ? registerVoice(nullptr) : nullptr;
    if (!v) {
        qCWarning(lcSpeech).noquote()
            << "The Flite voice" << name << "did not load:" << library.errorString();
        return nullptr;
    }
    // Streaming hands audio over while the rest is still being made;
    // the callback's data is set for each utterance.
    cst_audio_streaming_info *asi = fl().new_audio_streaming_info();
    asi->asc = streamChunk;
    fl().feat_set(v->features, "streaming_info", fl().audio_streaming_info_val(asi));
    m_voices.insert(name, v);
    return v;
}

Synthesis FliteEngine::synthesise(const QString &tagged, const EngineVoice &request,
    const CancelCheck &cancelled, const SynthesisProgress &progress)
{
    Synthesis result;
    QString name = request.name.isEmpty() ? defaultVoice() : request.name;
    if (!shippedVoices().contains(name)) {
        if (m_missingLogged != name) {
            qCWarning(lcSpeech) << "No Flite voice" << name << "- speaking with" << defaultVoice();
            m_missingLogged = name;
        }
        name = defaultVoice();
    }
    cst_voice *v = voice(name);
    if (!v)
        v = voice(defaultVoice());
    if (!v)
        return result;

    const double stretch = std::clamp(kNaturalWpm / std::clamp(request.rate, 80, 450), 0.4, 2.0);
    fl().feat_set_float(v->features, "duration_stretch", float(stretch));
    const double shift = std::pow(1.25, (std::clamp(request.pitch, 0, 99) - 50) / 50.0);
    fl().feat_set_float(v->features, "f0_shift", float(shift));

    const SpeechText text = SpeechText::parse(tagged);
    Run run;
    run.result = &result;
    run.cancelled = &cancelled;
    run.progress = &progress;
    run.volume = std::clamp(request.volume, 0, 200) / 100.0;
    result.sampleRate = 16000;

    // Pauses split the text into utterances with silence between them.
    QVector<QPair<int, int>> stops = text.pauses;
    stops.push_back({ int(text.display.size()), 0 });
    int from = 0;
    for (const auto &[at, ms] : stops) {
        const QVector<Token> tokens = tokensOf(text, from, at);
        from = at;
        if (!tokens.isEmpty()) {
            cst_utterance *u = fl().new_utterance();
            cst_relation *rel = fl().utt_relation_create(u, "Token");
            bool first = true;
            for (const Token &t : tokens) {
                cst_item *item = fl().relation_append(rel, nullptr);
                fl().item_set_string(item, "name", t.name.constData());
                fl().item_set_string(item, "whitespace", first ? "" : " ");
                fl().item_set_string(item, "prepunctuation", t.pre.constData());
                fl().item_set_string(item, "punc", t.post.constData());
                fl().item_set_int(item, "qpos", t.position);
                fl().item_set_int(item, "qlen", t.length);
                if (t.stressed) {
                    fl().item_set_float(item, "local_duration_stretch", kEmphasisStretch);
                    fl().item_set_float(item, "local_gain", kEmphasisGain);
                }
                first = false;
            }
            const cst_val *info = fl().feat_val(v->features, "streaming_info");
            cst_audio_streaming_info *asi = info ? fl().val_audio_streaming_info(info) : nullptr;
            if (asi)
                asi->userdata = &run;
            run.offset = result.pcm.size();
            run.streamed = 0;
            run.cut = 0;
            run.timed = false;
            u = fl().flite_do_synth(u, v, fl().utt_synth_tokens);
            if (asi)
                asi->userdata = nullptr;
            if (run.cancelledNow || (cancelled && cancelled())) {
                fl().delete_utterance(u);
                return {};
            }
            if (!u) {
                qCWarning(lcSpeech) << "Flite could not synthesise the text";
                return {};
            }
            const cst_wave *w = fl().utt_wave(u);
            if (w) {
                result.sampleRate = w->sample_rate;
                readTimings(run, u, w->sample_rate);
                appendSamples(run, w->samples, run.streamed, w->num_samples);
            }
            fl().delete_utterance(u);
        }
        if (ms > 0)
            result.pcm.resize(result.pcm.size() + qint64(ms) * result.sampleRate / 1000);
        if (progress)
            progress(result);
    }
    result.ok = true;
    return result;
}

} // namespace agent
