#include "agent/listen/VoiceGrammar.h"

#include "agent/Logging.h"

#include <QRegularExpression>
#include <QSet>

#include <vector>

namespace agent {

namespace {

// The parsed voice text: words, and optional groups that hold more of it.
struct Node
{
    QString word; // empty for a group
    QList<Node> group;
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('\'');
}

// Reads words and groups up to the matching ']' (or the end).
QList<Node> parseSequence(const QString &text, qsizetype &at, bool inGroup)
{
    QList<Node> nodes;
    while (at < text.size()) {
        const QChar c = text.at(at);
        if (c == QLatin1Char('[')) {
            ++at;
            Node group;
            group.group = parseSequence(text, at, true);
            if (!group.group.isEmpty())
                nodes.append(group);
        } else if (c == QLatin1Char(']')) {
            ++at;
            if (inGroup)
                return nodes;
            // A stray ']' closes nothing.
        } else if (isWordChar(c)) {
            const qsizetype start = at;
            while (at < text.size() && isWordChar(text.at(at)))
                ++at;
            QString word = text.mid(start, at - start);
            while (word.startsWith(QLatin1Char('\'')))
                word.remove(0, 1);
            while (word.endsWith(QLatin1Char('\'')))
                word.chop(1);
            if (!word.isEmpty())
                nodes.append(Node { word, {} });
        } else {
            ++at; // blanks and punctuation only separate words
        }
    }
    return nodes;
}

// Each optional group doubles the alternatives: with it first, then without.
QList<QStringList> expand(const QList<Node> &nodes, int limit)
{
    QList<QStringList> out { QStringList() };
    for (const Node &node : nodes) {
        QList<QStringList> next;
        if (node.group.isEmpty()) {
            for (QStringList &alt : out) {
                alt << node.word;
                next << alt;
            }
        } else {
            const QList<QStringList> inner = expand(node.group, limit);
            for (const QStringList &alt : std::as_const(out)) {
                for (const QStringList &with : inner) {
                    if (next.size() < limit)
                        next << alt + with;
                }
                if (next.size() < limit)
                    next << alt;
            }
        }
        out = std::move(next);
    }
    return out;
}

// Cuts a lower-case word into the fewest dictionary words of two letters
// or more ("a" and "i" aside), so that stray letters do not make up a
// pronunciation.
QStringList splitIntoWords(const QString &word, const VoiceGrammar::Lookup &lookup)
{
    const qsizetype n = word.size();
    constexpr int kNone = 1 << 20;
    std::vector<int> best(size_t(n) + 1, kNone);
    std::vector<qsizetype> from(size_t(n) + 1, -1);
    best[0] = 0;
    for (qsizetype end = 1; end <= n; ++end) {
        for (qsizetype start = 0; start < end; ++start) {
            if (best[size_t(start)] == kNone || best[size_t(start)] + 1 >= best[size_t(end)])
                continue;
            const QString piece = word.mid(start, end - start);
            if (piece.size() == 1 && piece != QLatin1String("a") && piece != QLatin1String("i"))
                continue;
            if (!lookup(piece))
                continue;
            best[size_t(end)] = best[size_t(start)] + 1;
            from[size_t(end)] = start;
        }
    }
    if (best[size_t(n)] == kNone || best[size_t(n)] < 2)
        return {};
    QStringList pieces;
    for (qsizetype end = n; end > 0; end = from[size_t(end)])
        pieces.prepend(word.mid(from[size_t(end)], end - from[size_t(end)]));
    return pieces;
}

} // namespace

QList<QStringList> VoiceGrammar::alternatives(const QString &voice)
{
    qsizetype at = 0;
    const QList<Node> nodes = parseSequence(voice, at, false);
    QList<QStringList> out;
    for (const QStringList &alt : expand(nodes, kMaxPhrasesPerText)) {
        if (!alt.isEmpty())
            out << alt;
    }
    return out;
}

QString VoiceGrammar::normalise(const QString &phrase)
{
    static const QRegularExpression variant(QStringLiteral("\\(\\d+\\)"));
    QString text = phrase;
    text.remove(variant).replace(QLatin1Char('['), QLatin1Char(' '));
    text.replace(QLatin1Char(']'), QLatin1Char(' '));
    qsizetype at = 0;
    QStringList words;
    for (const Node &node : parseSequence(text, at, false))
        words << node.word.toLower();
    return words.join(QLatin1Char(' '));
}

QStringList VoiceGrammar::dictionaryWords(const QString &word, const Lookup &lookup)
{
    const QString lower = word.toLower();
    if (lower.isEmpty() || lower.size() > kMaxWordLength || !lookup)
        return {};
    if (lookup(lower))
        return { lower };
    // "MoveMe": the capitals say where the words begin.
    static const QRegularExpression capital(QStringLiteral("(?<=[a-z])(?=[A-Z])"));
    const QStringList parts = word.split(capital, Qt::SkipEmptyParts);
    if (parts.size() > 1) {
        QStringList words;
        for (const QString &part : parts) {
            if (!lookup(part.toLower())) {
                words.clear();
                break;
            }
            words << part.toLower();
        }
        if (!words.isEmpty())
            return words;
    }
    return splitIntoWords(lower, lookup);
}

VoiceGrammar VoiceGrammar::build(const QList<Entry> &entries, const Lookup &lookup)
{
    VoiceGrammar g;
    QSet<QString> unknown;
    for (const Entry &entry : entries) {
        if (entry.command.isEmpty())
            continue;
        QList<QStringList> alts = alternatives(entry.voice);
        if (entry.strict && alts.size() > 1)
            alts = alts.mid(0, 1);
        for (const QStringList &alt : std::as_const(alts)) {
            VoicePhrase phrase;
            phrase.command = entry.command;
            phrase.strict = entry.strict;
            phrase.partial = &alt != &alts.front();
            bool usable = true;
            for (const QString &word : alt) {
                const QStringList words = dictionaryWords(word, lookup);
                if (words.isEmpty()) {
                    usable = false;
                    if (!unknown.contains(word.toLower())) {
                        unknown.insert(word.toLower());
                        g.m_unknown << word.toLower();
                        qCWarning(lcVoice).noquote()
                            << "no pronunciation for" << word << "- the character cannot hear"
                            << entry.voice.trimmed();
                    }
                    continue;
                }
                phrase.words << words;
            }
            if (!usable)
                continue;
            phrase.text = alt.join(QLatin1Char(' ')).toLower();
            const QString spoken = phrase.spoken();
            const auto known = g.m_byText.constFind(spoken);
            if (known != g.m_byText.cend()) {
                const QString &owner = g.m_phrases.at(*known).command;
                if (owner != entry.command)
                    qCInfo(lcVoice).noquote() << "the phrase" << spoken << "already belongs to"
                                              << owner << "- not to" << entry.command;
                continue;
            }
            const int index = int(g.m_phrases.size());
            g.m_phrases << phrase;
            g.m_byText.insert(spoken, index);
            g.m_byText.insert(phrase.text, index); // the written form, where it differs
        }
    }
    return g;
}

const VoicePhrase *VoiceGrammar::phraseFor(const QString &hypothesis) const
{
    const auto it = m_byText.constFind(normalise(hypothesis));
    return it == m_byText.cend() ? nullptr : &m_phrases.at(*it);
}

QString VoiceGrammar::commandFor(const QString &hypothesis) const
{
    const VoicePhrase *phrase = phraseFor(hypothesis);
    return phrase ? phrase->command : QString();
}

QStringList VoiceGrammar::vocabulary() const
{
    QStringList words;
    QSet<QString> seen;
    for (const VoicePhrase &phrase : m_phrases) {
        for (const QString &word : phrase.words) {
            if (!seen.contains(word)) {
                seen.insert(word);
                words << word;
            }
        }
    }
    return words;
}

QString VoiceGrammar::jsgf(const QString &garbage) const
{
    if (m_phrases.isEmpty())
        return {};
    QStringList alternatives;
    for (const VoicePhrase &phrase : m_phrases)
        alternatives << phrase.spoken();
    QString text = QStringLiteral("#JSGF V1.0;\ngrammar quillory;\n");
    if (garbage.isEmpty()) {
        text += QStringLiteral("public <command> = ");
    } else {
        // The loop starts after one garbage unit: a loop starting where the
        // commands start would let garbage run into a command.
        text += QStringLiteral("public <utterance> = <command> | <garbage> <garbage>*;\n");
        text += QStringLiteral("<garbage> = ") + garbage + QStringLiteral(";\n");
        text += QStringLiteral("<command> = ");
    }
    text += alternatives.join(QStringLiteral(" | ")) + QStringLiteral(";\n");
    return text;
}

} // namespace agent
