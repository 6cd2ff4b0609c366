#include "storage/IniEngine.h"

#include "storage/AtomicFile.h"
#include "storage/TextCodec.h"

#include "storage/Logging.h"
#include "storage/SafeFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The file is edited in place: only the line that changes is touched, every
// other byte (comments, blank lines, odd spacing, line endings, NULs) is
// copied through. Lookups are one pass over the bytes without allocation,
// because the clock tick looks a key up in the data file every minute and the
// file keeps one line for every minute that ever held an appointment.
//
// A file that starts with a UTF-16LE byte order mark is handled as UTF-16,
// as Windows does; every other file is single-byte text (cp1252). Both run
// through the same templates, on char or on char16_t.

namespace ini {
namespace {

template<typename Ch> using Span = std::basic_string_view<Ch>;

// Where results are assembled. Bytes stay in a QByteArray so that an ANSI
// file never takes a detour through another container.
template<typename Ch> struct BufferOf;
template<> struct BufferOf<char>
{
    using type = QByteArray;
};
template<> struct BufferOf<char16_t>
{
    using type = std::u16string;
};
template<typename Ch> using Buffer = typename BufferOf<Ch>::type;

void append(QByteArray &out, const char *p, qsizetype n)
{
    out.append(p, n);
}
void append(std::u16string &out, const char16_t *p, qsizetype n)
{
    out.append(p, static_cast<size_t>(n));
}
template<typename Ch> void append(Buffer<Ch> &out, Span<Ch> s)
{
    append(out, s.data(), static_cast<qsizetype>(s.size()));
}
template<typename Ch> void appendAscii(Buffer<Ch> &out, const char *ascii)
{
    for (; *ascii; ++ascii)
        out.push_back(static_cast<Ch>(*ascii));
}

template<typename Ch> Span<Ch> view(const Buffer<Ch> &b)
{
    return Span<Ch>(b.data(), static_cast<size_t>(b.size()));
}

// ------------------------------------------------------------ code units

// The profile API's blank set: tab, LF, VT, FF, CR, the DOS end-of-file
// mark and space.
template<typename Ch> constexpr bool isBlank(Ch c)
{
    return c == Ch(' ') || (c >= Ch(0x09) && c <= Ch(0x0D)) || c == Ch(0x1A);
}

template<typename Ch> Span<Ch> trimmed(const Ch *b, const Ch *e)
{
    while (b < e && isBlank(*b))
        ++b;
    while (e > b && isBlank(e[-1]))
        --e;
    return Span<Ch>(b, static_cast<size_t>(e - b));
}

const char *findUnit(const char *b, const char *e, char c)
{
    const void *p = std::memchr(b, c, static_cast<size_t>(e - b));
    return p ? static_cast<const char *>(p) : e;
}
const char16_t *findUnit(const char16_t *b, const char16_t *e, char16_t c)
{
    return std::find(b, e, c);
}

// Upper-case table of cp1252: ASCII, the Latin-1 letters and the four
// letter pairs cp1252 keeps in 0x80-0x9F. Multiplication and division signs
// and sharp s have no partner.
constexpr std::array<unsigned char, 256> makeAnsiUpper()
{
    std::array<unsigned char, 256> t {};
    for (size_t c = 0; c < t.size(); ++c)
        t[c] = static_cast<unsigned char>(c);
    for (size_t c = 'a'; c <= 'z'; ++c)
        t[c] = static_cast<unsigned char>(c - 0x20);
    for (size_t c = 0xE0; c <= 0xFE; ++c)
        if (c != 0xF7)
            t[c] = static_cast<unsigned char>(c - 0x20);
    t[0x9A] = 0x8A; // š
    t[0x9C] = 0x8C; // œ
    t[0x9E] = 0x8E; // ž
    t[0xFF] = 0x9F; // ÿ
    return t;
}
constexpr auto kAnsiUpper = makeAnsiUpper();

unsigned foldUnit(char c)
{
    return kAnsiUpper[static_cast<unsigned char>(c)];
}
unsigned foldUnit(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? c - 0x20u : c;
    return static_cast<unsigned>(QChar::toUpper(static_cast<char32_t>(c)));
}

// Names compare case-insensitively over their whole length.
template<typename Ch> bool sameName(Span<Ch> a, Span<Ch> b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && foldUnit(a[i]) != foldUnit(b[i]))
            return false;
    return true;
}

template<typename Ch> Buffer<Ch> fromAnsi(const QByteArray &bytes);
template<> QByteArray fromAnsi<char>(const QByteArray &bytes)
{
    return bytes;
}
template<> std::u16string fromAnsi<char16_t>(const QByteArray &bytes)
{
    std::u16string out;
    out.reserve(static_cast<size_t>(bytes.size()));
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        out.push_back(textcodec::cp1252Char(u));
    }
    return out;
}

QByteArray toAnsi(QByteArray bytes)
{
    return bytes;
}
// What the ANSI API hands back from a UTF-16 file: '?' where cp1252 has no
// character (one for a surrogate pair).
QByteArray toAnsi(const std::u16string &units)
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(units.size()));
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        if (const int b = textcodec::cp1252Byte(c); b >= 0) {
            out.push_back(static_cast<char>(b));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < units.size()
            && QChar::isLowSurrogate(units[i + 1]))
            ++i;
        out.push_back('?');
    }
    return out;
}

// ------------------------------------------------------------------ lines

template<typename Ch> struct Line
{
    const Ch *start = nullptr; // first unit of the line
    const Ch *end = nullptr; // where its line break starts (or the end of the text)
    const Ch *next = nullptr; // first unit after the line break
    const Ch *seen = nullptr; // end of what a lookup sees: the first NUL, or `end`
};

// Splits at CR, LF or CRLF. A run such as CR CR LF gives empty lines, which
// every reader skips, so any run of breaks reads as one, while each line
// still knows its own break for in-place edits. The next CR, LF and NUL are
// remembered so that a file using only one kind of break is not searched to
// its end for the other kind on every line.
template<typename Ch> class Lines
{
public:
    explicit Lines(Span<Ch> text)
        : m_pos(text.data())
        , m_end(text.data() + text.size())
        , m_cr(findUnit(m_pos, m_end, Ch('\r')))
        , m_lf(findUnit(m_pos, m_end, Ch('\n')))
        , m_nul(findUnit(m_pos, m_end, Ch(0)))
    { }

    bool next(Line<Ch> &line)
    {
        if (m_pos >= m_end)
            return false;
        if (m_cr < m_pos)
            m_cr = findUnit(m_pos, m_end, Ch('\r'));
        if (m_lf < m_pos)
            m_lf = findUnit(m_pos, m_end, Ch('\n'));
        if (m_nul < m_pos)
            m_nul = findUnit(m_pos, m_end, Ch(0));
        const Ch *end = std::min(m_cr, m_lf);
        const Ch *next = end;
        if (next < m_end) {
            ++next;
            if (*end == Ch('\r') && next < m_end && *next == Ch('\n'))
                ++next;
        }
        line = Line<Ch> { m_pos, end, next, std::min(m_nul, end) };
        m_pos = next;
        return true;
    }

private:
    const Ch *m_pos;
    const Ch *m_end;
    const Ch *m_cr;
    const Ch *m_lf;
    const Ch *m_nul;
};

template<typename Ch> bool hasBreak(const Line<Ch> &line)
{
    return line.next != line.end;
}

// A non-blank line inside a section: a comment or an entry. Parsed only as
// far as a caller asks, so that a lookup does not search every line of a
// long section for its '='.
template<typename Ch> struct Entry
{
    const Ch *begin = nullptr; // first non-blank unit
    const Ch *seen = nullptr; // end of what a lookup sees

    bool comment() const { return *begin == Ch(';'); }
    // The key ends at the first '='; a line without one is all key.
    Span<Ch> key() const { return trimmed(begin, findUnit(begin, seen, Ch('='))); }
    std::optional<Span<Ch>> value() const
    {
        const Ch *eq = findUnit(begin, seen, Ch('='));
        if (eq == seen)
            return std::nullopt;
        return trimmed(eq + 1, seen);
    }
    // sameName(key(), name) for a name that could be a key at all (see
    // keyCanExist): the name must be followed by blanks, then '=' or the end.
    bool hasKey(Span<Ch> name) const
    {
        if (static_cast<size_t>(seen - begin) < name.size()
            || !sameName(Span<Ch>(begin, name.size()), name))
            return false;
        const Ch *p = begin + name.size();
        while (p < seen && isBlank(*p))
            ++p;
        return p == seen || *p == Ch('=');
    }
};

// A key read from a file is trimmed and holds no '='; any other name can
// never match one.
template<typename Ch> bool keyCanExist(Span<Ch> name)
{
    return !name.empty() && !isBlank(name.front()) && !isBlank(name.back())
        && name.find(Ch('=')) == Span<Ch>::npos;
}

// `b` points at the '[' of a trimmed line. The name ends at the first ']';
// a header without one runs to the end of the line.
template<typename Ch> Span<Ch> headerName(const Ch *b, const Ch *e)
{
    return trimmed(b + 1, findUnit(b + 1, e, Ch(']')));
}

// Calls visit(line, entry) for every comment and entry line of the first
// section named `name` until visit returns false. Returns that section's
// header line, or nullopt when there is no such section. The empty name is
// the run of lines before the first header; its "header" is an empty line
// at the start of the text.
template<typename Ch, typename Visit>
std::optional<Line<Ch>> visitSection(Span<Ch> text, Span<Ch> name, Visit &&visit)
{
    std::optional<Line<Ch>> head;
    if (name.empty())
        head = Line<Ch> { text.data(), text.data(), text.data(), text.data() };
    Lines<Ch> lines(text);
    Line<Ch> line;
    while (lines.next(line)) {
        const Ch *b = line.start;
        while (b < line.seen && isBlank(*b))
            ++b;
        if (b == line.seen)
            continue;
        if (*b == Ch('[')) {
            if (head)
                break; // only the first section of that name counts
            if (sameName(headerName(b, line.seen), name))
                head = line;
            continue;
        }
        if (!head)
            continue;
        const Entry<Ch> entry { b, line.seen };
        if (!visit(line, entry))
            break;
    }
    return head;
}

// ----------------------------------------------------------------- reading

// The copy of the ANSI API, quirks included: one pair of matching quotes is
// dropped, at most size-1 units are copied, and a quoted value that only
// just fits loses one more unit.
template<typename Ch> Buffer<Ch> copyValue(Span<Ch> v, quint32 size)
{
    bool quoted = false;
    if (v.size() >= 2 && (v.front() == Ch('\'') || v.front() == Ch('"')) && v.back() == v.front()) {
        quoted = true;
        v.remove_prefix(1);
    }
    size_t n = std::min<size_t>(v.size(), size - 1);
    if (quoted && size >= v.size() && n > 0)
        --n;
    return Buffer<Ch>(v.data(), static_cast<decltype(Buffer<Ch>().size())>(n));
}

// nullopt: the key is missing or has no '=', the caller's default applies.
template<typename Ch>
std::optional<Buffer<Ch>> lookUp(Span<Ch> text, Span<Ch> section, Span<Ch> key, quint32 size)
{
    if (!keyCanExist(key))
        return std::nullopt;
    std::optional<Span<Ch>> value;
    visitSection(text, section, [&](const Line<Ch> &, const Entry<Ch> &e) {
        if (e.comment() || !e.hasKey(key))
            return true;
        value = e.value();
        return false; // the first match wins, even one without a value
    });
    if (!value)
        return std::nullopt;
    return copyValue(*value, size);
}

template<typename Ch> Buffer<Ch> sectionNames(Span<Ch> text)
{
    Buffer<Ch> out;
    Lines<Ch> lines(text);
    Line<Ch> line;
    while (lines.next(line)) {
        const Ch *b = line.start;
        while (b < line.seen && isBlank(*b))
            ++b;
        if (b == line.seen || *b != Ch('['))
            continue;
        const Span<Ch> name = headerName(b, line.seen);
        if (name.empty())
            continue;
        append<Ch>(out, name);
        out.push_back(Ch(0));
    }
    return out;
}

// Names of the keys that have a value. An empty name is left out: it would
// end the double-NUL list early for every reader of it.
template<typename Ch> Buffer<Ch> keyNames(Span<Ch> text, Span<Ch> section)
{
    Buffer<Ch> out;
    visitSection(text, section, [&](const Line<Ch> &, const Entry<Ch> &e) {
        const Span<Ch> key = e.key();
        if (!e.comment() && e.value() && !key.empty()) {
            append<Ch>(out, key);
            out.push_back(Ch(0));
        }
        return true;
    });
    return out;
}

// `list` holds NUL-terminated names; the caller's buffer adds the final NUL.
// Unless that leaves a unit to spare, the list counts as cut: the buffer ends
// in two NULs after size-2 units (an exact fit included, as on Windows).
template<typename Ch> Buffer<Ch> fitList(Buffer<Ch> list, quint32 size)
{
    if (static_cast<quint64>(list.size()) + 1 < size)
        return list;
    if (size < 2)
        return {};
    list.resize(size - 2);
    return list;
}

// ----------------------------------------------------------------- writing

template<typename Ch> struct Edit
{
    const Ch *from;
    const Ch *to;
    Buffer<Ch> insert;
};

// `edits` are in file order and do not overlap.
template<typename Ch> Buffer<Ch> applyEdits(Span<Ch> text, const std::vector<Edit<Ch>> &edits)
{
    qsizetype grow = 0;
    for (const Edit<Ch> &e : edits)
        grow += static_cast<qsizetype>(e.insert.size());
    Buffer<Ch> out;
    out.reserve(static_cast<decltype(out.size())>(static_cast<qsizetype>(text.size()) + grow));
    const Ch *pos = text.data();
    for (const Edit<Ch> &e : edits) {
        append(out, pos, e.from - pos);
        append<Ch>(out, view<Ch>(e.insert));
        pos = e.to;
    }
    append(out, pos, text.data() + text.size() - pos);
    return out;
}

template<typename Ch> Buffer<Ch> entryLine(Span<Ch> key, Span<Ch> value)
{
    Buffer<Ch> out;
    append<Ch>(out, key);
    out.push_back(Ch('='));
    append<Ch>(out, value);
    return out;
}

// New entry lines (each ending in CR LF) go after the section's last entry,
// so before trailing comments and blank lines, directly under the header
// when it has no entries; a missing section is added at the end.
template<typename Ch>
Edit<Ch> addedLines(Span<Ch> text, Span<Ch> section, const std::optional<Line<Ch>> &head,
    const std::optional<Line<Ch>> &lastEntry, Buffer<Ch> lines)
{
    Buffer<Ch> insert;
    const Ch *at = text.data() + text.size();
    if (head) {
        const Line<Ch> &after = lastEntry ? *lastEntry : *head;
        at = after.next;
        if (!hasBreak(after) && after.next != text.data())
            appendAscii<Ch>(insert, "\r\n");
    } else {
        if (!text.empty() && text.back() != Ch('\r') && text.back() != Ch('\n'))
            appendAscii<Ch>(insert, "\r\n");
        insert.push_back(Ch('['));
        append<Ch>(insert, section);
        appendAscii<Ch>(insert, "]\r\n");
    }
    append<Ch>(insert, view<Ch>(lines));
    return { at, at, std::move(insert) };
}

template<typename Ch>
std::optional<Buffer<Ch>> setKey(Span<Ch> text, Span<Ch> section, Span<Ch> key, Span<Ch> value)
{
    const bool possible = keyCanExist(key);
    std::optional<Line<Ch>> match;
    Entry<Ch> matched;
    std::optional<Line<Ch>> lastEntry;
    const std::optional<Line<Ch>> head
        = visitSection(text, section, [&](const Line<Ch> &line, const Entry<Ch> &e) {
              if (e.comment())
                  return true;
              if (possible && e.hasKey(key)) {
                  match = line;
                  matched = e;
                  return false;
              }
              lastEntry = line;
              return true;
          });

    if (match) {
        if (matched.value() == value)
            return std::nullopt;
        // The line keeps its own break and the file's spelling of the key.
        return applyEdits<Ch>(
            text, { { match->start, match->end, entryLine(matched.key(), value) } });
    }

    Buffer<Ch> line = entryLine(key, value);
    appendAscii<Ch>(line, "\r\n");
    return applyEdits<Ch>(text, { addedLines(text, section, head, lastEntry, std::move(line)) });
}

// Keys as a lookup compares them: unit by unit, case folded.
template<typename Ch> std::u32string foldedName(Span<Ch> name)
{
    std::u32string out;
    out.reserve(name.size());
    for (const Ch c : name)
        out.push_back(static_cast<char32_t>(foldUnit(c)));
    return out;
}

// Sets many keys of one section in a single pass over the text, with the
// result of setting them one after another: a long catch-up would otherwise
// read the whole file once for every key it moves.
template<typename Ch>
std::optional<Buffer<Ch>> setKeys(
    Span<Ch> text, Span<Ch> section, const std::vector<std::pair<Buffer<Ch>, Buffer<Ch>>> &pairs)
{
    struct Wanted
    {
        Span<Ch> key;
        Span<Ch> value;
        std::optional<Line<Ch>> match;
        Entry<Ch> matched;
    };
    // A later value for the same key wins; keys keep the order they were
    // first given in, which is the order new lines are added in.
    std::vector<Wanted> wanted;
    std::unordered_map<std::u32string, size_t> index;
    for (const auto &[k, v] : pairs) {
        const Span<Ch> key = view<Ch>(k);
        if (!keyCanExist(key)) {
            wanted.push_back({ key, view<Ch>(v), std::nullopt, {} });
            continue;
        }
        const auto [it, added] = index.try_emplace(foldedName(key), wanted.size());
        if (added)
            wanted.push_back({ key, view<Ch>(v), std::nullopt, {} });
        else
            wanted[it->second].value = view<Ch>(v);
    }

    std::optional<Line<Ch>> lastEntry;
    const std::optional<Line<Ch>> head
        = visitSection(text, section, [&](const Line<Ch> &line, const Entry<Ch> &e) {
              if (e.comment())
                  return true;
              lastEntry = line;
              const auto it = index.find(foldedName(e.key()));
              // Only the first line of a key counts, as for a lookup.
              if (it != index.end() && !wanted[it->second].match) {
                  wanted[it->second].match = line;
                  wanted[it->second].matched = e;
              }
              return true;
          });

    std::vector<Edit<Ch>> edits;
    Buffer<Ch> insert;
    for (const Wanted &w : wanted) {
        if (w.match) {
            if (w.matched.value() != w.value)
                edits.push_back(
                    { w.match->start, w.match->end, entryLine(w.matched.key(), w.value) });
            continue;
        }
        append<Ch>(insert, view<Ch>(entryLine(w.key, w.value)));
        appendAscii<Ch>(insert, "\r\n");
    }
    if (insert.size() > 0)
        edits.push_back(addedLines(text, section, head, lastEntry, std::move(insert)));
    if (edits.empty())
        return std::nullopt;
    std::stable_sort(edits.begin(), edits.end(),
        [](const Edit<Ch> &a, const Edit<Ch> &b) { return a.from < b.from; });
    return applyEdits<Ch>(text, edits);
}

template<typename Ch>
std::optional<Buffer<Ch>> removeKey(Span<Ch> text, Span<Ch> section, Span<Ch> key)
{
    if (!keyCanExist(key))
        return std::nullopt;
    std::optional<Line<Ch>> match;
    visitSection(text, section, [&](const Line<Ch> &line, const Entry<Ch> &e) {
        if (e.comment() || !e.hasKey(key))
            return true;
        match = line;
        return false;
    });
    if (!match)
        return std::nullopt;
    return applyEdits<Ch>(text, { { match->start, match->next, {} } });
}

// The header and the entries go; comments and blank lines inside the section
// stay where they are.
template<typename Ch> std::optional<Buffer<Ch>> removeSection(Span<Ch> text, Span<Ch> section)
{
    std::vector<Edit<Ch>> edits;
    const std::optional<Line<Ch>> head
        = visitSection(text, section, [&](const Line<Ch> &line, const Entry<Ch> &e) {
              if (!e.comment())
                  edits.push_back({ line.start, line.next, {} });
              return true;
          });
    if (!head)
        return std::nullopt;
    if (head->next != head->start)
        edits.insert(edits.begin(), Edit<Ch> { head->start, head->next, {} });
    if (edits.empty())
        return std::nullopt;
    return applyEdits<Ch>(text, edits);
}

// ---------------------------------------------------------------- requests

// Arguments as the ANSI API sees them: C strings, names trimmed of spaces
// (only spaces: a tab stays part of the name).
QByteArray cString(const QByteArray &bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.left(nul);
}

QByteArray nameArgument(const QByteArray &bytes)
{
    QByteArray name = cString(bytes);
    qsizetype b = 0;
    qsizetype e = name.size();
    while (b < e && name[b] == ' ')
        ++b;
    while (e > b && name[e - 1] == ' ')
        --e;
    return name.mid(b, e - b);
}

struct Request
{
    QByteArray section;
    std::optional<QByteArray> key; // nullopt: the whole section
    std::optional<QByteArray> value;
    quint32 size = 0;
};

// A file's text as the API sees it: cp1252 bytes, or UTF-16 after a
// UTF-16LE byte order mark.
class Document
{
public:
    explicit Document(const QByteArray &content)
        : m_content(content)
    {
        m_wide = content.size() >= 2 && static_cast<unsigned char>(content[0]) == 0xFF
            && static_cast<unsigned char>(content[1]) == 0xFE;
        if (!m_wide)
            return;
        const qsizetype units = (content.size() - 2) / 2;
        m_units.resize(static_cast<size_t>(units));
        for (qsizetype i = 0; i < units; ++i) {
            const auto lo = static_cast<unsigned char>(content[2 + 2 * i]);
            const auto hi = static_cast<unsigned char>(content[3 + 2 * i]);
            m_units[static_cast<size_t>(i)] = static_cast<char16_t>(lo | (hi << 8));
        }
        m_oddByte = content.mid(2 + 2 * units); // kept, never interpreted
    }

    bool wide() const { return m_wide; }
    Span<char> bytes() const
    {
        return Span<char>(m_content.constData(), static_cast<size_t>(m_content.size()));
    }
    Span<char16_t> units() const { return Span<char16_t>(m_units); }

    QByteArray encode(const QByteArray &bytes) const { return bytes; }
    QByteArray encode(const std::u16string &units) const
    {
        QByteArray out;
        out.reserve(2 + 2 * static_cast<qsizetype>(units.size()) + m_oddByte.size());
        out.append("\xFF\xFE", 2);
        for (const char16_t u : units) {
            out.push_back(static_cast<char>(u & 0xFF));
            out.push_back(static_cast<char>(u >> 8));
        }
        out.append(m_oddByte);
        return out;
    }

    // Runs `f` on the text as char or char16_t units.
    template<typename F> auto apply(F &&f) const { return m_wide ? f(units()) : f(bytes()); }

private:
    const QByteArray &m_content;
    bool m_wide = false;
    std::u16string m_units;
    QByteArray m_oddByte;
};

ReadResult fromDefault(const OptBytes &defaultValue, quint32 size)
{
    const QByteArray text = defaultValue ? cString(*defaultValue) : QByteArray();
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == ' ')
        --n;
    n = std::min<qsizetype>(n, size - 1);
    return ReadResult { static_cast<quint32>(n), text.left(n) };
}

ReadResult fromText(const QByteArray &text)
{
    return ReadResult { static_cast<quint32>(text.size()), text };
}

enum class Load { Missing, Loaded, Failed };

Load loadFile(const QString &path, QByteArray &content)
{
    // A FIFO or a device would hang the reader: anything but a regular file
    // reads as an unreadable one.
    storage::FileRead read = storage::readRegularFile(path);
    if (read.status == storage::ReadStatus::Missing)
        return Load::Missing;
    if (!read.ok()) {
        qCWarning(lcStorage).noquote() << "cannot read:" << read.error;
        return Load::Failed;
    }
    content = std::move(read.bytes);
    return Load::Loaded;
}

} // namespace

ReadResult readString(const std::optional<QByteArray> &content, const OptBytes &section,
    const OptBytes &key, const OptBytes &defaultValue, quint32 size)
{
    if (size == 0)
        return {};
    if (!section) {
        if (!content)
            return {};
        const Document doc(*content);
        return fromText(doc.apply([&](auto text) {
            using Ch = typename decltype(text)::value_type;
            return toAnsi(fitList<Ch>(sectionNames(text), size));
        }));
    }

    Request req;
    req.section = nameArgument(*section);
    req.size = size;
    if (key) {
        req.key = nameArgument(*key);
        if (req.key->isEmpty())
            return fromDefault(defaultValue, size);
    }
    if (!content)
        return fromDefault(defaultValue, size);

    const Document doc(*content);
    const std::optional<QByteArray> found = doc.apply([&](auto text) -> std::optional<QByteArray> {
        using Ch = typename decltype(text)::value_type;
        const Buffer<Ch> sectionName = fromAnsi<Ch>(req.section);
        if (!req.key) {
            Buffer<Ch> list = keyNames(text, view<Ch>(sectionName));
            if (list.size() == 0)
                return std::nullopt;
            return toAnsi(fitList<Ch>(std::move(list), size));
        }
        const Buffer<Ch> keyName = fromAnsi<Ch>(*req.key);
        std::optional<Buffer<Ch>> value
            = lookUp(text, view<Ch>(sectionName), view<Ch>(keyName), size);
        if (!value)
            return std::nullopt;
        return toAnsi(std::move(*value));
    });
    return found ? fromText(*found) : fromDefault(defaultValue, size);
}

WriteResult writeString(const std::optional<QByteArray> &content, const OptBytes &section,
    const OptBytes &key, const OptBytes &value)
{
    WriteResult result;
    result.content = content.value_or(QByteArray());
    if (!section)
        return result;

    Request req;
    req.section = nameArgument(*section);
    if (key) {
        req.key = nameArgument(*key);
        // A line "=value" could never be read back.
        if (req.key->isEmpty())
            return result;
    }
    if (value)
        req.value = cString(*value);
    result.ok = true;
    // Nothing to delete in a file that does not exist, and no file to create.
    if (!content && !(req.key && req.value))
        return result;

    const Document doc(result.content);
    std::optional<QByteArray> changed = doc.apply([&](auto text) -> std::optional<QByteArray> {
        using Ch = typename decltype(text)::value_type;
        const Buffer<Ch> sectionName = fromAnsi<Ch>(req.section);
        std::optional<Buffer<Ch>> out;
        if (!req.key) {
            out = removeSection(text, view<Ch>(sectionName));
        } else {
            const Buffer<Ch> keyName = fromAnsi<Ch>(*req.key);
            if (!req.value) {
                out = removeKey(text, view<Ch>(sectionName), view<Ch>(keyName));
            } else {
                const Buffer<Ch> newValue = fromAnsi<Ch>(*req.value);
                out = setKey(text, view<Ch>(sectionName), view<Ch>(keyName), view<Ch>(newValue));
            }
        }
        if (!out)
            return std::nullopt;
        return doc.encode(*out);
    });
    if (changed) {
        result.changed = true;
        result.content = std::move(*changed);
    }
    return result;
}

WriteResult writeStrings(const std::optional<QByteArray> &content, const QByteArray &section,
    const QList<QPair<QByteArray, QByteArray>> &pairs)
{
    WriteResult result;
    result.content = content.value_or(QByteArray());
    const QByteArray sectionName = nameArgument(section);
    std::vector<std::pair<QByteArray, QByteArray>> args;
    for (const auto &[key, value] : pairs) {
        QByteArray name = nameArgument(key);
        if (!name.isEmpty()) // a line "=value" could never be read back
            args.emplace_back(std::move(name), cString(value));
    }
    result.ok = true;
    if (args.empty())
        return result;

    const Document doc(result.content);
    std::optional<QByteArray> changed = doc.apply([&](auto text) -> std::optional<QByteArray> {
        using Ch = typename decltype(text)::value_type;
        const Buffer<Ch> name = fromAnsi<Ch>(sectionName);
        std::vector<std::pair<Buffer<Ch>, Buffer<Ch>>> wide;
        wide.reserve(args.size());
        for (const auto &[key, value] : args)
            wide.emplace_back(fromAnsi<Ch>(key), fromAnsi<Ch>(value));
        std::optional<Buffer<Ch>> out = setKeys(text, view<Ch>(name), wide);
        if (!out)
            return std::nullopt;
        return doc.encode(*out);
    });
    if (changed) {
        result.changed = true;
        result.content = std::move(*changed);
    }
    return result;
}

ReadResult getPrivateProfileString(const OptBytes &section, const OptBytes &key,
    const OptBytes &defaultValue, quint32 size, const QString &path)
{
    QByteArray content;
    // An unreadable file reads like a missing one: the caller gets its default.
    if (loadFile(path, content) != Load::Loaded)
        return readString(std::nullopt, section, key, defaultValue, size);
    return readString(content, section, key, defaultValue, size);
}

bool writePrivateProfileString(const OptBytes &section, const OptBytes &key, const OptBytes &value,
    const QString &path, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!section)
        return fail(QStringLiteral("no section was named"));
    QByteArray content;
    const Load load = loadFile(path, content);
    // Never replace a file whose content we could not see.
    if (load == Load::Failed)
        return fail(QStringLiteral("%1 cannot be read").arg(path));
    const WriteResult result
        = writeString(load == Load::Loaded ? std::optional<QByteArray>(content) : std::nullopt,
            section, key, value);
    if (!result.ok || !result.changed)
        return result.ok;

    const QByteArray what = key ? *key : QByteArray("[" + *section + "]");
    QString why;
    if (!writeFileAtomically(path, result.content, &why)) {
        // The temporary file is dropped; the old one stays whole.
        qCWarning(lcStorage) << "cannot write" << path << what << why;
        return fail(why);
    }
    qCDebug(lcStorage) << "wrote" << path << what << (value ? "set" : "deleted");
    return true;
}

bool writePrivateProfileStrings(const QByteArray &section,
    const QList<QPair<QByteArray, QByteArray>> &pairs, const QString &path, QString *error)
{
    QByteArray content;
    const Load load = loadFile(path, content);
    if (load == Load::Failed) {
        if (error)
            *error = QStringLiteral("%1 cannot be read").arg(path);
        return false;
    }
    const WriteResult result = writeStrings(
        load == Load::Loaded ? std::optional<QByteArray>(content) : std::nullopt, section, pairs);
    if (!result.changed)
        return result.ok;
    QString why;
    if (!writeFileAtomically(path, result.content, &why)) {
        qCWarning(lcStorage) << "cannot write" << path << pairs.size() << "keys" << why;
        if (error)
            *error = why;
        return false;
    }
    qCDebug(lcStorage) << "wrote" << path << pairs.size() << "keys in one go";
    return true;
}

QByteArray ansiText(const QByteArray &content)
{
    const Document document(content);
    if (!document.wide())
        return content;
    const Span<char16_t> units = document.units();
    return toAnsi(std::u16string(units.begin(), units.end()));
}

} // namespace ini
