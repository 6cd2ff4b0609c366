#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The phrases the character understands, made from the voice texts of its
// commands. A voice text is plain words with optional ones in square
// brackets: "[Repeat] last message" is both "repeat last message" and
// "last message". QtCore only: the recogniser supplies the dictionary.
namespace agent {

struct VoicePhrase
{
    QString text; // as written, normalised: "moveme home"
    QStringList words; // as the dictionary knows them: "move", "me", "home"
    QString command;
    bool strict = false; // needs a surer match: the command is hard to undo
    // Optional words left out ("last message"): such a short phrase is also
    // the middle of much ordinary talk, so it needs a surer match too.
    bool partial = false;

    QString spoken() const { return words.join(QLatin1Char(' ')); }
};

class VoiceGrammar
{
public:
    struct Entry
    {
        QString command;
        QString voice;
        // Only the full phrase, every optional word said, is accepted.
        bool strict = false;
    };
    // Whether the dictionary has a pronunciation for a lower-case word.
    using Lookup = std::function<bool(const QString &word)>;

    // Bounds what one voice text may cost: each optional group doubles the
    // phrases it makes.
    static constexpr int kMaxPhrasesPerText = 64;
    static constexpr int kMaxWordLength = 40;

    VoiceGrammar() = default;
    static VoiceGrammar build(const QList<Entry> &entries, const Lookup &lookup);

    // Every way of saying `voice`, as written words (original case, no
    // punctuation); the first says every optional word. Brackets left open
    // close at the end; a stray closing one is ignored.
    static QList<QStringList> alternatives(const QString &voice);
    // Lower case, single blanks, no punctuation; "(2)" pronunciation marks
    // of the decoder dropped.
    static QString normalise(const QString &phrase);
    // `word` as dictionary words: itself, its capitalised parts ("MoveMe"),
    // or the fewest dictionary words it can be cut into. Empty when none.
    static QStringList dictionaryWords(const QString &word, const Lookup &lookup);

    bool isEmpty() const { return m_phrases.isEmpty(); }
    const QList<VoicePhrase> &phrases() const { return m_phrases; }
    // Words of the voice texts the dictionary could not pronounce.
    const QStringList &unknownWords() const { return m_unknown; }
    // The phrase `hypothesis` says, written or spoken form; nullptr when none.
    const VoicePhrase *phraseFor(const QString &hypothesis) const;
    QString commandFor(const QString &hypothesis) const;

    // The grammar in JSGF: one public rule, a phrase per alternative; empty
    // when no phrase is usable. `garbage` (a rule body) is an alternative
    // to every command, for rejecting other speech.
    QString jsgf(const QString &garbage = QString()) const;
    // Every dictionary word the phrases use, once each.
    QStringList vocabulary() const;

private:
    QList<VoicePhrase> m_phrases;
    QHash<QString, int> m_byText; // written and spoken forms -> phrase
    QStringList m_unknown;
};

} // namespace agent
