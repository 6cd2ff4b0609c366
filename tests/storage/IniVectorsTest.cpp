#include "storage/IniEngine.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// Runs the shared profile-API vectors (and our own extra ones) against the
// file forms of the engine, each vector as a test of its own.

namespace {

struct IniVector
{
    std::string name; // test name: the vector id
    std::string origin; // file:line of its header
    bool write = false;
    std::optional<QByteArray> file; // nullopt: no file
    ini::OptBytes section;
    ini::OptBytes key;
    ini::OptBytes defaultValue;
    ini::OptBytes value;
    quint32 size = 255;
    quint32 expectRet = 0;
    QByteArray expectStr;
    std::optional<QByteArray> expectFile;
};

void PrintTo(const IniVector &v, std::ostream *os)
{
    *os << v.name << " (" << v.origin << ")";
}

struct VectorFile
{
    QString path;
    int count = 0;
    std::vector<std::string> errors;
};

struct Catalogue
{
    std::vector<VectorFile> files;
    std::vector<IniVector> vectors;
};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Field value -> bytes. `<NULL>` and `<absent>` come back as nullopt.
std::optional<QByteArray> decode(const QByteArray &raw, std::string &error)
{
    if (raw == "<NULL>" || raw == "<absent>")
        return std::nullopt;
    QByteArray out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i >= raw.size()) {
            error = "backslash at end of value";
            return QByteArray();
        }
        switch (raw[i]) {
        case 'r':
            out.push_back('\r');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 't':
            out.push_back('\t');
            break;
        case '\\':
            out.push_back('\\');
            break;
        case 'x': {
            const int hi = i + 2 < raw.size() ? hexDigit(raw[i + 1]) : -1;
            const int lo = hi >= 0 ? hexDigit(raw[i + 2]) : -1;
            if (lo < 0) {
                error = "bad \\xHH escape";
                return QByteArray();
            }
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            break;
        }
        case '{': {
            const qsizetype close = raw.indexOf('}', i);
            bool ok = false;
            const int n = close > i ? raw.mid(i + 1, close - i - 1).toInt(&ok) : 0;
            if (!ok || n < 0 || close + 1 >= raw.size()) {
                error = "bad \\{N}c escape";
                return QByteArray();
            }
            out.append(n, raw[close + 1]);
            i = close + 1;
            break;
        }
        default:
            error = std::string("unknown escape \\") + raw[i];
            return QByteArray();
        }
    }
    return out;
}

// Bytes -> the vector notation, so a mismatch reads like the vector file.
std::string escaped(const QByteArray &bytes)
{
    std::string out;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        qsizetype run = 1;
        while (i + run < bytes.size() && bytes[i + run] == bytes[i])
            ++run;
        if (run >= 8 && c > 0x20 && c < 0x7F && c != '\\') {
            out += "\\{" + std::to_string(run) + "}" + static_cast<char>(c);
            i += run;
            continue;
        }
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else if (c < 0x20 || c >= 0x7F) {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else
            out += static_cast<char>(c);
        ++i;
    }
    return out;
}

std::string escaped(const std::optional<QByteArray> &bytes)
{
    return bytes ? escaped(*bytes) : std::string("<absent>");
}

using Fields = std::map<QByteArray, QByteArray>;

// Turns one block into a vector; returns an error text or "".
std::string toVector(const Fields &fields, IniVector &v)
{
    std::string error;
    auto has = [&](const char *name) { return fields.count(name) > 0; };
    auto bytes = [&](const char *name) -> std::optional<QByteArray> {
        const auto it = fields.find(name);
        if (it == fields.end())
            return std::nullopt;
        std::string e;
        std::optional<QByteArray> b = decode(it->second, e);
        if (!e.empty() && error.empty())
            error = std::string(name) + ": " + e;
        return b;
    };
    auto number = [&](const char *name, quint32 &out) {
        bool ok = false;
        out = fields.at(name).trimmed().toUInt(&ok);
        if (!ok && error.empty())
            error = std::string(name) + ": not a number";
    };

    const QByteArray op = fields.count("op") ? fields.at("op") : QByteArray();
    if (op != "read" && op != "write")
        return "op must be read or write";
    v.write = op == "write";
    if (!has("section") || !has("key") || !has("expect_ret"))
        return "section, key and expect_ret are required";
    v.file = bytes("file");
    v.section = bytes("section");
    v.key = bytes("key");
    number("expect_ret", v.expectRet);
    if (has("size"))
        number("size", v.size);
    if (v.write) {
        if (!has("expect_file"))
            return "a write vector needs expect_file";
        v.value = bytes("value");
        v.expectFile = bytes("expect_file");
    } else {
        if (!has("expect_str"))
            return "a read vector needs expect_str";
        v.defaultValue = bytes("default");
        const std::optional<QByteArray> str = bytes("expect_str");
        if (!str)
            return "expect_str cannot be <NULL>";
        v.expectStr = *str;
    }
    return error;
}

std::string testName(const QByteArray &id, std::set<std::string> &taken)
{
    std::string name;
    for (const char c : id)
        name += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    if (name.empty())
        name = "unnamed";
    std::string unique = name;
    for (int n = 2; !taken.insert(unique).second; ++n)
        unique = name + "_" + std::to_string(n);
    return unique;
}

void parseFile(const QString &path, Catalogue &into, std::set<std::string> &taken)
{
    VectorFile vf;
    vf.path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        vf.errors.push_back("cannot open: " + file.errorString().toStdString());
        into.files.push_back(vf);
        return;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    const std::string where = QFileInfo(path).fileName().toStdString() + ":";

    Fields fields;
    QByteArray id;
    int headerLine = 0;
    auto finish = [&]() {
        if (id.isEmpty())
            return;
        IniVector v;
        v.origin = where + std::to_string(headerLine);
        const std::string error = toVector(fields, v);
        if (!error.empty()) {
            vf.errors.push_back(v.origin + " " + id.toStdString() + ": " + error);
            return;
        }
        v.name = testName(id, taken);
        into.vectors.push_back(std::move(v));
        ++vf.count;
    };

    for (int n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith("=== ")) {
            finish();
            fields.clear();
            const QList<QByteArray> words = line.mid(4).simplified().split(' ');
            id = words.value(0);
            headerLine = n + 1;
            if (words.size() < 2 || id.isEmpty()) {
                vf.errors.push_back(where + std::to_string(n + 1) + ": bad block header");
                id.clear();
            }
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (id.isEmpty() || colon <= 0) {
            vf.errors.push_back(where + std::to_string(n + 1) + ": not a field of a vector");
            continue;
        }
        QByteArray value = line.mid(colon + 1);
        if (value.startsWith(' '))
            value.remove(0, 1);
        if (!fields.emplace(line.left(colon), value).second)
            vf.errors.push_back(where + std::to_string(n + 1) + ": field given twice");
    }
    finish();
    into.files.push_back(vf);
}

QString sharedVectorFile()
{
    const QString fromEnv = qEnvironmentVariable("QUILLORY_INI_VECTORS");
    if (!fromEnv.isEmpty())
        return fromEnv;
    const QString shared = QStringLiteral(QUILLORY_SHARED_DIR "/ini/vectors.txt");
    if (QFileInfo::exists(shared))
        return shared;
    return QStringLiteral(QUILLORY_SOURCE_DIR "/tests/data/ini/vectors.txt");
}

const Catalogue &catalogue()
{
    static const Catalogue all = [] {
        Catalogue c;
        std::set<std::string> taken;
        parseFile(sharedVectorFile(), c, taken);
        parseFile(
            QStringLiteral(QUILLORY_SOURCE_DIR "/tests/data/ini/extra-vectors.txt"), c, taken);
        return c;
    }();
    return all;
}

std::optional<QByteArray> fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

TEST(IniVectorFiles, ParseAndAreNotEmpty)
{
    for (const VectorFile &f : catalogue().files) {
        SCOPED_TRACE(f.path.toStdString());
        for (const std::string &e : f.errors)
            ADD_FAILURE() << e;
        EXPECT_GT(f.count, 0) << "no vectors";
    }
}

class IniVectorTest : public ::testing::TestWithParam<IniVector>
{ };

TEST_P(IniVectorTest, BehavesAsWindows)
{
    const IniVector &v = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("data.ini"));
    if (v.file) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(*v.file), v.file->size());
    }

    if (v.write) {
        const bool ok = ini::writePrivateProfileString(v.section, v.key, v.value, path);
        EXPECT_EQ(ok ? 1u : 0u, v.expectRet);
        EXPECT_EQ(escaped(fileBytes(path)), escaped(v.expectFile));
    } else {
        const ini::ReadResult r
            = ini::getPrivateProfileString(v.section, v.key, v.defaultValue, v.size, path);
        EXPECT_EQ(r.count, v.expectRet);
        EXPECT_EQ(r.text.size(), qsizetype(r.count));
        EXPECT_EQ(escaped(r.text), escaped(v.expectStr));
        EXPECT_EQ(escaped(fileBytes(path)), escaped(v.file)) << "a read changed the file";
    }
}

INSTANTIATE_TEST_SUITE_P(Vectors, IniVectorTest, ::testing::ValuesIn(catalogue().vectors),
    [](const ::testing::TestParamInfo<IniVector> &info) { return info.param.name; });
// An empty catalogue is reported by IniVectorFiles, not as a missing suite.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(IniVectorTest);

} // namespace
