#pragma once

#include <QString>
#include <QVector>

// Long text is spoken piece by piece: the first phrase alone, so that its
// sound starts while the rest is still being made, then a sentence (or a
// bounded part of one) at a time. Pieces are cut only at blanks outside
// speech tags, so the display texts of the pieces, one after another, are
// the display text of the whole.
namespace agent {

struct SpeechPiece
{
    QString tagged;
    int displayOffset = 0; // where its display text starts in the whole
};

class SpeechPieces
{
public:
    // The first piece runs to the first phrase's end, but at most this many words.
    static constexpr int kFirstWords = 5;
    // Later pieces hold at most this many characters of text.
    static constexpr int kMaxPieceChars = 240;

    explicit SpeechPieces(QString tagged);

    bool atEnd() const { return m_at >= m_text.size(); }
    // The next piece; empty once at the end. Each call costs only that
    // piece, so text of any length is cut as it is spoken.
    SpeechPiece next();

private:
    QString m_text;
    int m_at = 0;
    int m_displayAt = 0;
    bool m_first = true;
};

} // namespace agent
