#include "agent/speech/SpeechPieces.h"

#include "agent/SpeechText.h"

namespace agent {

namespace {

bool endsPhrase(QChar c)
{
    return c == u',' || c == u';' || c == u':' || c == u'.' || c == u'!' || c == u'?';
}

bool endsSentence(QChar c)
{
    return c == u'.' || c == u'!' || c == u'?';
}

} // namespace

SpeechPieces::SpeechPieces(QString tagged)
    : m_text(std::move(tagged))
{ }

SpeechPiece SpeechPieces::next()
{
    const int n = int(m_text.size());
    if (m_at >= n)
        return {};
    // Walk the text, skipping tags, and remember the blanks where it may be
    // cut: the last one after a phrase's end and the last one of any kind.
    int words = 0;
    int chars = 0;
    int lastPhraseCut = -1;
    int lastBlankCut = -1;
    int cut = n;
    bool inWord = false;
    QChar lastShown;
    int i = m_at;
    while (i < n) {
        const int tagEnd = m_text[i] == u'\\' ? tagEndAt(m_text, i) : -1;
        if (tagEnd > 0) {
            i = tagEnd;
            continue;
        }
        const QChar c = m_text[i];
        if (c.isSpace()) {
            if (inWord) {
                inWord = false;
                ++words;
                if (endsPhrase(lastShown))
                    lastPhraseCut = i;
                lastBlankCut = i;
                if (m_first && (endsPhrase(lastShown) || words >= kFirstWords)) {
                    cut = i;
                    break;
                }
                if (!m_first && endsSentence(lastShown)) {
                    cut = i;
                    break;
                }
            }
        } else {
            inWord = true;
            lastShown = c;
        }
        ++chars;
        if (chars >= kMaxPieceChars) {
            cut = lastPhraseCut > m_at ? lastPhraseCut : lastBlankCut > m_at ? lastBlankCut : i + 1;
            // A surrogate pair stays whole.
            if (cut < n && m_text[cut].isLowSurrogate())
                ++cut;
            break;
        }
        ++i;
    }
    SpeechPiece piece;
    piece.tagged = m_text.mid(m_at, cut - m_at);
    piece.displayOffset = m_displayAt;
    m_displayAt += int(SpeechText::parse(piece.tagged).display.size());
    m_at = cut;
    m_first = false;
    return piece;
}

} // namespace agent
