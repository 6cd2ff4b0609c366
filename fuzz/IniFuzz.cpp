// The INI engine on any file content: cp1252 bytes, UTF-8, UTF-16LE after a
// byte order mark, broken lines, NULs. Every read must stay within its
// buffer, and a write of a key the file can hold must read back as written
// and leave every other key's value as it was.

#include "storage/IniEngine.h"
#include "storage/IniFuncs.h"
#include "storage/TextCodec.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr quint32 kListSize = 32767;
constexpr int kMostSections = 8;
constexpr int kMostKeys = 16;

[[noreturn]] void fail(const char *what, const QByteArray &detail = {})
{
    std::fprintf(stderr, "INI fuzz: %s\n%s\n", what, detail.toHex(' ').constData());
    std::abort();
}

void check(bool ok, const char *what, const QByteArray &detail = {})
{
    if (!ok)
        fail(what, detail);
}

QList<QByteArray> splitList(const ini::ReadResult &r)
{
    QList<QByteArray> names;
    for (const QByteArray &name : r.text.left(r.count).split('\0')) {
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

bool blank(char c)
{
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A;
}

bool hasAny(const QByteArray &s, const char *set)
{
    for (const char *p = set; *p; ++p) {
        if (s.contains(*p))
            return true;
    }
    return s.contains('\0');
}

// Names a file line can carry and give back: no line breaks, no blanks at
// the ends, nothing that makes the line a header, a comment or another key.
bool holdableSection(const QByteArray &s)
{
    return !s.isEmpty() && !blank(s.front()) && !blank(s.back()) && !hasAny(s, "\r\n]");
}
bool holdableKey(const QByteArray &k)
{
    return !k.isEmpty() && !blank(k.front()) && !blank(k.back()) && k.front() != '['
        && k.front() != ';' && !hasAny(k, "\r\n=");
}

// What a read of `value` gives back, read with a buffer that cuts nothing.
QByteArray readBack(const QByteArray &value)
{
    qsizetype b = 0, e = value.size();
    while (b < e && blank(value[b]))
        ++b;
    while (e > b && blank(value[e - 1]))
        --e;
    QByteArray v = value.mid(b, e - b);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

ini::ReadResult read(const QByteArray &content, const QByteArray &section, const QByteArray &key,
    quint32 size = 4096)
{
    const ini::ReadResult r = ini::readString(content, section, key, QByteArray("\x01"), size);
    check(r.count < size && r.count == quint32(r.text.size()), "read count out of bounds");
    return r;
}

struct Pair
{
    QByteArray section;
    QByteArray key;
    QByteArray value;
};

// A value the input itself suggests: its last bytes, without what ends a line.
QByteArray valueFrom(const QByteArray &input)
{
    QByteArray v = input.right(24);
    v.replace('\r', ' ').replace('\n', ' ').replace('\0', ' ');
    return "T" + v;
}

// libFuzzer ends without running destructors, so the file lives in a folder
// the caller cleans up (run-fuzz names one), or else in a memory-backed one.
QString scratchFile()
{
    static const QString folder = [] {
        const QString given = qEnvironmentVariable("QUILLORY_FUZZ_SCRATCH");
        const QString base = !given.isEmpty()           ? given
            : QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                        : QDir::tempPath();
        QTemporaryDir dir(base + QStringLiteral("/quillory-fuzz-XXXXXX"));
        dir.setAutoRemove(false);
        return dir.path();
    }();
    return folder + QStringLiteral("/data.ini");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));

    // Every section, every key, every value, with generous and tiny buffers.
    QList<Pair> before;
    const ini::ReadResult sections
        = ini::readString(content, std::nullopt, std::nullopt, std::nullopt, kListSize);
    check(sections.count < kListSize, "section list out of bounds");
    const QList<QByteArray> sectionNames = splitList(sections);
    for (const QByteArray &section : sectionNames.mid(0, kMostSections)) {
        const QList<QByteArray> keys
            = splitList(ini::readString(content, section, std::nullopt, std::nullopt, kListSize));
        for (const QByteArray &key : keys.mid(0, kMostKeys)) {
            const ini::ReadResult r = read(content, section, key);
            before << Pair { section, key, r.text };
            for (quint32 small : { 1u, 2u, 3u, 5u })
                read(content, section, key, small);
        }
        ini::readString(content, section, std::nullopt, std::nullopt, 3);
    }
    ini::readString(content, std::nullopt, std::nullopt, std::nullopt, 2);

    // A write into the first section the file names (or a new one), of its
    // first key (or a new one).
    const QByteArray section = !sectionNames.isEmpty() && holdableSection(sectionNames.front())
        ? sectionNames.front()
        : "alarms";
    const QByteArray key
        = !before.isEmpty() && before.front().section == section && holdableKey(before.front().key)
        ? before.front().key
        : QByteArray("09/05/24/12/2026");
    const QByteArray value = valueFrom(content);
    const ini::WriteResult w = ini::writeString(content, section, key, value);
    check(w.ok, "write of a holdable key refused");
    const ini::ReadResult back = read(w.content, section, key);
    // A UTF-16 file gives back '?' where cp1252 has no character; the
    // value's bytes all have one.
    check(back.text == readBack(value), "written value does not read back", w.content);
    // The stored value is compared as read, so only a value that reads as
    // itself is the same write.
    if (readBack(value) == value)
        check(!ini::writeString(w.content, section, key, value).changed,
            "the same write again changed the file");

    // Nothing else moved. A section or key name that folds to the written
    // one is the same entry and is left out.
    for (const Pair &p : before) {
        const bool sameSection
            = ini::readString(QByteArray("[" + section + "]\r\n" + key + "=1\r\n"), p.section,
                  p.key, QByteArray(), 4)
                  .count
            == 1;
        if (sameSection)
            continue;
        check(read(w.content, p.section, p.key).text == p.value, "another key's value changed",
            p.section + "/" + p.key);
    }

    // A delete takes the first of duplicate lines: once deleting changes
    // nothing more, the key reads as missing. Files with more duplicates
    // than this only cost time. A section's removal must just not crash.
    QByteArray left = w.content;
    for (int deletes = 0; deletes < 32; ++deletes) {
        const ini::WriteResult gone = ini::writeString(left, section, key, std::nullopt);
        if (!gone.changed) {
            check(read(left, section, key).text == "\x01", "deleted key still reads");
            break;
        }
        left = gone.content;
    }
    ini::writeString(content, section, std::nullopt, std::nullopt);
    ini::writeString(content, section, QByteArray("new key"), QByteArray("value"));

    // The file forms and the data file's codec: text of the input, through
    // INIWrite and INIRead, comes back as written when it fits the read.
    const QString file = scratchFile();
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            fail("cannot prepare the scratch file");
    }
    // As INIWrite stores it: NULs become blanks.
    QString text = QLatin1Char('N') + textcodec::fromFileBytes(content.left(200)).simplified();
    text.replace(QChar(0), QLatin1Char(' '));
    const QString qsection = textcodec::fromFileBytes(section);
    const QString qkey = textcodec::fromFileBytes(key);
    if (INIFuncs::INIWrite(file, qsection, qkey, text)) {
        const QString got = INIFuncs::INIRead(file, qsection, qkey, QStringLiteral("nothing"));
        const QByteArray stored = textcodec::toFileBytes(text);
        const bool plain = readBack(stored) == stored && stored.size() <= 254;
        const bool wide = content.startsWith("\xFF\xFE");
        if (plain && !wide && textcodec::toFileBytes(qsection) == section
            && textcodec::toFileBytes(qkey) == key)
            check(got == text, "INIWrite text does not come back from INIRead", text.toUtf8());
    }
    return 0;
}
