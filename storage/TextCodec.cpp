#include "storage/TextCodec.h"

#include <QStringDecoder>

#include <array>

namespace textcodec {
namespace {

constexpr int kReadLimit = 254;

// Windows-1252 0x80..0x9F; the five holes keep their own code point.
constexpr std::array<char16_t, 32> kHigh
    = { 0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
          0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
          0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178 };

bool hasHighBytes(const QByteArray &bytes)
{
    for (char b : bytes) {
        if (static_cast<unsigned char>(b) >= 0x80)
            return true;
    }
    return false;
}

// Length of a trailing, incomplete UTF-8 sequence (a value cut by the 254
// character limit may end inside one), 0 when the text ends cleanly.
int incompleteTail(const QByteArray &bytes)
{
    const int n = bytes.size();
    for (int back = 1; back <= 3 && back <= n; ++back) {
        const auto b = static_cast<unsigned char>(bytes[n - back]);
        if ((b & 0xC0) == 0x80)
            continue; // continuation byte: keep looking for the lead byte
        int need = 0;
        if ((b & 0xE0) == 0xC0)
            need = 2;
        else if ((b & 0xF0) == 0xE0)
            need = 3;
        else if ((b & 0xF8) == 0xF0)
            need = 4;
        return (need > back) ? back : 0;
    }
    return 0;
}

} // namespace

char16_t cp1252Char(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char16_t(byte);
}

int cp1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == c)
            return 0x80 + i;
    }
    return -1;
}

QString oneLine(const QString &text)
{
    QString out = text;
    // A NUL would end the value for every reader and lose the rest of it.
    out.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '))
        .replace(QChar(0), QLatin1Char(' '));
    return out;
}

QString fromCp1252(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        out.append(QChar(u >= 0x80 && u < 0xA0 ? kHigh[u - 0x80] : char16_t(u)));
    }
    return out;
}

QByteArray toCp1252(const QString &text, bool *lossless)
{
    QByteArray out;
    out.reserve(text.size());
    bool ok = true;
    for (QChar c : text) {
        const int b = cp1252Byte(c.unicode());
        if (b < 0) {
            ok = false;
            out.append('?');
        } else {
            out.append(static_cast<char>(b));
        }
    }
    if (lossless)
        *lossless = ok;
    return out;
}

QByteArray toFileBytes(const QString &text)
{
    bool lossless = false;
    QByteArray ansi = toCp1252(text, &lossless);
    // Windows-1252 bytes that happen to form UTF-8 ("Ã©") would be read as
    // other text: UTF-8 gives them back as typed.
    return lossless && fromFileBytes(ansi) == text ? ansi : text.toUtf8();
}

QString fromFileBytes(const QByteArray &bytes)
{
    if (!hasHighBytes(bytes))
        return QString::fromLatin1(bytes);
    // Only a value cut by the read limit can end inside a character.
    const int tail = bytes.size() >= kReadLimit ? incompleteTail(bytes) : 0;
    const QByteArray whole = bytes.left(bytes.size() - tail);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(whole);
    if (!decoder.hasError() && hasHighBytes(whole))
        return text;
    return fromCp1252(bytes);
}

QString escapedField(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescapedField(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar n = text[++i];
        switch (n.unicode()) {
        case u't':
            out += u'\t';
            break;
        case u'n':
            out += u'\n';
            break;
        case u'r':
            out += u'\r';
            break;
        default:
            out += n; // "\\" and anything unknown stand for themselves
        }
    }
    return out;
}

} // namespace textcodec
