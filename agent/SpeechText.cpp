#include "agent/SpeechText.h"

#include <algorithm>
#include <optional>

namespace agent {

namespace {

// Long enough for any real tag, short enough that a stray backslash in prose
// cannot swallow a paragraph.
constexpr int MaxTagName = 16;
constexpr int MaxTagValue = 64;
constexpr int MaxPauseMs = 20000;

struct Tag
{
    QString name; // lower case
    QString value;
    int end = 0; // index just after the closing backslash
};

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

std::optional<Tag> tagAt(const QString &s, int i)
{
    if (i >= s.size() || s[i] != u'\\')
        return std::nullopt;
    int j = i + 1;
    while (j < s.size() && j - i <= MaxTagName && isAsciiLetter(s[j]))
        ++j;
    if (j == i + 1)
        return std::nullopt;
    Tag tag;
    tag.name = s.mid(i + 1, j - i - 1).toLower();
    if (j < s.size() && s[j] == u'=') {
        const int valueStart = j + 1;
        int k = valueStart;
        while (k < s.size() && s[k] != u'\\' && s[k] != u'\n' && k - valueStart <= MaxTagValue)
            ++k;
        tag.value = s.mid(valueStart, k - valueStart);
        j = k;
    }
    if (j >= s.size() || s[j] != u'\\')
        return std::nullopt;
    tag.end = j + 1;
    return tag;
}

bool isWordEdgePunct(QChar c)
{
    return c.isPunct();
}

class Builder
{
public:
    SpeechText t;

    void markup(QStringView m)
    {
        for (QChar c : m) {
            t.ssml += c;
            t.ssmlToDisplay.push_back(int(t.display.size()));
        }
    }

    void text(QChar c)
    {
        const int at = int(t.display.size());
        t.display += c;
        QStringView escaped;
        QChar plain = c;
        if (c == u'&')
            escaped = u"&amp;";
        else if (c == u'<')
            escaped = u"&lt;";
        else if (c == u'>')
            escaped = u"&gt;";
        else if (c.unicode() < 0x20 && c != u'\n' && c != u'\t' && c != u'\r')
            plain = u' '; // control characters are not valid in the markup
        if (escaped.isEmpty()) {
            t.ssml += plain;
            t.ssmlToDisplay.push_back(at);
        } else {
            for (QChar e : escaped) {
                t.ssml += e;
                t.ssmlToDisplay.push_back(at);
            }
        }
    }

    void text(const QString &s, int from, int to)
    {
        for (int i = from; i < to; ++i)
            text(s[i]);
    }
};

} // namespace

SpeechText SpeechText::parse(const QString &tagged)
{
    Builder b;
    b.t.display.reserve(tagged.size());
    b.markup(u"<speak>");
    bool emphasise = false;
    const int n = int(tagged.size());
    int i = 0;
    while (i < n) {
        if (tagged[i] == u'\\') {
            if (const auto tag = tagAt(tagged, i)) {
                if (tag->name == u"emp") {
                    emphasise = true;
                } else if (tag->name == u"pau") {
                    bool ok = false;
                    const int ms = tag->value.trimmed().toInt(&ok);
                    if (ok) {
                        b.t.pauses.push_back(
                            { int(b.t.display.size()), std::clamp(ms, 0, MaxPauseMs) });
                        b.markup(QStringLiteral("<break time=\"%1ms\"/>")
                                     .arg(std::clamp(ms, 0, MaxPauseMs)));
                    }
                }
                i = tag->end;
                continue;
            }
        }
        if (emphasise && !tagged[i].isSpace()) {
            // The word runs to the next space or tag; punctuation around it
            // stays outside so that "\emp\Hello," stresses only "Hello".
            int end = i;
            while (
                end < n && !tagged[end].isSpace() && !(tagged[end] == u'\\' && tagAt(tagged, end)))
                ++end;
            int wordStart = i;
            int wordEnd = end;
            while (wordStart < wordEnd && isWordEdgePunct(tagged[wordStart]))
                ++wordStart;
            while (wordEnd > wordStart && isWordEdgePunct(tagged[wordEnd - 1]))
                --wordEnd;
            if (wordStart < wordEnd) {
                b.text(tagged, i, wordStart);
                b.markup(u"<emphasis>");
                const int shownAt = int(b.t.display.size());
                b.text(tagged, wordStart, wordEnd);
                b.t.emphasised.push_back({ shownAt, int(b.t.display.size()) - shownAt });
                b.markup(u"</emphasis>");
                b.text(tagged, wordEnd, end);
                emphasise = false;
            } else {
                b.text(tagged, i, end); // punctuation alone: stress the word after it
            }
            i = end;
            continue;
        }
        b.text(tagged[i]);
        ++i;
    }
    b.markup(u"</speak>");
    b.t.ssmlToDisplay.push_back(int(b.t.display.size()));
    return std::move(b.t);
}

int tagEndAt(const QString &tagged, int i)
{
    const auto tag = tagAt(tagged, i);
    return tag ? tag->end : -1;
}

int SpeechText::displayIndexForSynthPosition(int oneBasedCodePoint) const
{
    int codePoint = std::max(0, oneBasedCodePoint - 1);
    int unit = 0;
    while (codePoint > 0 && unit < ssml.size()) {
        const bool pair = ssml[unit].isHighSurrogate() && unit + 1 < ssml.size()
            && ssml[unit + 1].isLowSurrogate();
        unit += pair ? 2 : 1;
        --codePoint;
    }
    unit = std::min<int>(unit, int(ssmlToDisplay.size()) - 1);
    return unit < 0 ? 0 : ssmlToDisplay[unit];
}

namespace {

bool isDigitAt(const QString &s, int i)
{
    return i >= 0 && i < s.size() && s[i].isDigit();
}

bool isLetterAt(const QString &s, int i)
{
    return i >= 0 && i < s.size() && s[i].isLetter();
}

// "a.m" or "p.m" (either case) starting at `i`, as a word of its own.
bool periodAt(const QString &s, int i)
{
    if (i + 3 > s.size() || isLetterAt(s, i - 1))
        return false;
    const QChar a = s[i].toLower();
    return (a == u'a' || a == u'p') && s[i + 1] == u'.' && s[i + 2].toLower() == u'm'
        && !isLetterAt(s, i + 3);
}

// The length of the number that starts at `i` (at most `most` digits), when
// it is a whole number standing alone; else 0.
int numberAt(const QString &s, int i, int most)
{
    if (isDigitAt(s, i - 1) || !isDigitAt(s, i))
        return 0;
    int n = 0;
    while (isDigitAt(s, i + n))
        ++n;
    return n <= most ? n : 0;
}

} // namespace

ShownText ShownText::of(const QString &d)
{
    ShownText out;
    const int n = int(d.size());
    out.text.reserve(n);
    out.fromDisplay.reserve(n + 1);
    QVector<bool> keep(n, true);
    QVector<QChar> as(n);
    for (int i = 0; i < n; ++i)
        as[i] = d[i];
    for (int i = 0; i < n; ++i) {
        // "!, " alone is a pause before what follows.
        if (d[i] == u'!' && i + 1 < n && d[i + 1] == u',' && (i == 0 || d[i - 1].isSpace())) {
            keep[i] = keep[i + 1] = false;
            continue;
        }
        // A comma repeated lengthens the pause.
        if (d[i] == u',' && i > 0 && d[i - 1] == u',')
            keep[i] = false;
        // "A,M" and "P,M", spelled apart to be said letter by letter.
        if (d[i] == u',' && i > 0 && (d[i - 1] == u'A' || d[i - 1] == u'P') && i + 1 < n
            && d[i + 1] == u'M' && !isLetterAt(d, i - 2) && !isLetterAt(d, i + 2))
            keep[i] = false;
        // "p.m," is "p.m."
        if (d[i] == u',' && i >= 3 && periodAt(d, i - 3))
            as[i] = u'.';
        // A time read out in pieces: "1, 05, p.m" is "1:05 p.m", "9, a.m" is "9 a.m".
        if (const int h = numberAt(d, i, 2)) {
            int j = i + h;
            if (j + 5 <= n && d[j] == u',' && d[j + 1] == u' ' && numberAt(d, j + 2, 2) == 2
                && d[j + 4] == u',' && d[j + 5] == u' ' && periodAt(d, j + 6)) {
                as[j] = u':';
                keep[j + 1] = false;
                keep[j + 4] = false;
            } else if (j + 2 <= n && d[j] == u',' && d[j + 1] == u' ' && periodAt(d, j + 2)) {
                keep[j] = false;
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        out.fromDisplay.push_back(int(out.text.size()));
        if (!keep[i])
            continue;
        // Spaces run together, and none opens the text.
        if (as[i].isSpace() && as[i] != u'\n' && (out.text.isEmpty() || out.text.back().isSpace()))
            continue;
        out.text += as[i];
    }
    out.fromDisplay.push_back(int(out.text.size()));
    while (!out.text.isEmpty() && out.text.back().isSpace())
        out.text.chop(1);
    for (int &k : out.fromDisplay)
        k = std::min(k, int(out.text.size()));
    return out;
}

int ShownText::at(int displayIndex) const
{
    if (fromDisplay.isEmpty())
        return 0;
    return fromDisplay[std::clamp(displayIndex, 0, int(fromDisplay.size()) - 1)];
}

WordSpan wordAt(const QString &text, int index)
{
    const int n = int(text.size());
    int i = std::max(0, index);
    while (i < n && text[i].isSpace())
        ++i;
    if (i >= n)
        return {};
    int start = i;
    while (start > 0 && !text[start - 1].isSpace())
        --start;
    int end = i;
    while (end < n && !text[end].isSpace())
        ++end;
    int a = start;
    int b = end;
    while (a < b && isWordEdgePunct(text[a]))
        ++a;
    while (b > a && isWordEdgePunct(text[b - 1]))
        --b;
    if (a == b) { // only punctuation: show it whole
        a = start;
        b = end;
    }
    return { a, b - a };
}

} // namespace agent
