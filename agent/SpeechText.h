#pragma once

#include <QPair>
#include <QString>
#include <QVector>

// Speech tags in the text the engine speaks: "\emp\" emphasises the next
// word, "\pau=N\" pauses N milliseconds, and any other "\name\" or
// "\name=value\" is dropped so that it is never read aloud. A backslash that
// does not open such a tag is ordinary text.
namespace agent {

struct SpeechText
{
    QString display; // the text with every tag removed
    QString ssml; // the text as SSML, escaped, inside <speak>...</speak>
    // For each UTF-16 index of `ssml` (and one past its end), the index of
    // `display` that the SSML character stands for; markup maps to the next
    // display character.
    QVector<int> ssmlToDisplay;
    // The same tags for synthesisers without SSML: the stressed words and
    // the pauses, in display indices.
    QVector<QPair<int, int>> emphasised; // start, length
    QVector<QPair<int, int>> pauses; // display index, milliseconds

    static SpeechText parse(const QString &tagged);

    // The synthesiser counts code points from 1; this maps such a position
    // to an index of `display`, clamped to the text.
    int displayIndexForSynthPosition(int oneBasedCodePoint) const;
};

// What the balloon shows of a display text: the words as written, without
// the punctuation that only shapes how they sound ("set for !, 1, 05, p.m,,"
// shows "set for 1:05 p.m.", "A,M" shows "AM"), spaces run together.
struct ShownText
{
    QString text;
    // For each index of the display text (and one past its end), the index
    // of `text` it is shown at; a dropped character maps to the next kept one.
    QVector<int> fromDisplay;

    static ShownText of(const QString &display);
    int at(int displayIndex) const;
};

// The index just past the speech tag that starts at `i` of `tagged`, or -1
// when no tag starts there.
int tagEndAt(const QString &tagged, int i);

struct WordSpan
{
    int start = -1;
    int length = 0;
    bool isValid() const { return start >= 0 && length > 0; }
};

// The word of `text` at or just after `index`, without the punctuation around
// it ("Tuesday," gives "Tuesday"); invalid when there is no word there.
WordSpan wordAt(const QString &text, int index);

} // namespace agent
