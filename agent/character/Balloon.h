#pragma once

#include <QFont>
#include <QSize>
#include <QString>

#include <memory>

class QPainter;
class QTextLayout;

namespace agent {

// The word balloon: the text being spoken wrapped to a fixed width, the
// word being heard highlighted, in a rounded bubble with a tail toward the
// character. Long text shows a window of lines that follows the word heard.
class Balloon
{
public:
    static constexpr int kTextWidth = 220;
    static constexpr int kPadding = 9;
    static constexpr int kTail = 14;
    static constexpr int kMaxLines = 7;
    // Text longer than this is shown a part at a time: the balloon holds a
    // slice that begins at a word and moves on as the words are heard.
    static constexpr int kMaxChars = 1200;

    struct Slice
    {
        int start = 0;
        int length = 0;
    };
    // The slice of `text` to show while the word at `wordStart` is heard,
    // given the one shown now (`current`); the same slice while it still
    // holds the word.
    static Slice sliceFor(const QString &text, int wordStart, int wordLength, Slice current);

    enum class Tail { Down, Up }; // Down: the balloon sits above the character

    Balloon();
    ~Balloon();

    void setText(const QString &text);
    const QString &text() const { return m_text; }
    void setFont(const QFont &font);
    // The word being heard, in the coordinates of text(); length 0 clears it.
    void setHighlight(int start, int length);
    int highlightStart() const { return m_start; }
    int highlightLength() const { return m_length; }
    int firstVisibleLine() const { return m_firstLine; }
    int lineCount() const;

    // The bubble and its tail.
    QSize size() const;
    // The size at its fullest, lines up to the most it shows.
    QSize largestSize() const;
    // Paints at the painter's origin; `tailX` is where the tail points,
    // across the balloon.
    void paint(QPainter &painter, Tail tail, int tailX) const;

private:
    void layout();
    int visibleLines() const;

    QString m_text;
    QFont m_font;
    std::unique_ptr<QTextLayout> m_layout;
    int m_start = 0;
    int m_length = 0;
    int m_firstLine = 0;
    int m_textWidth = 0;
};

// A small rounded label by the balloon, such as "Listening…" with a
// microphone drawn before it.
class Tip
{
public:
    static constexpr int kPadding = 5;
    static constexpr int kGlyph = 12; // the microphone's width and height

    void setText(const QString &text) { m_text = text; }
    const QString &text() const { return m_text; }
    void setMicrophone(bool shown) { m_microphone = shown; }
    bool microphone() const { return m_microphone; }
    void setFont(const QFont &font) { m_font = font; }

    QSize size() const;
    // Paints at the painter's origin.
    void paint(QPainter &painter) const;

private:
    QString m_text;
    QFont m_font;
    bool m_microphone = false;
};

} // namespace agent
