#include "agent/character/CharacterFile.h"
#include "agent/character/CharacterWindow.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace agent;

namespace {

QString dataFile(const QString &name)
{
    return QStringLiteral(QUILLORY_SOURCE_DIR "/tests/data/characters/") + name;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

QJsonObject dot()
{
    return QJsonDocument::fromJson(readAll(dataFile("Dot.acs"))).object();
}

std::shared_ptr<const CharacterFile> parse(const QJsonObject &o, QString *error)
{
    return CharacterFile::parse(QJsonDocument(o).toJson(), QStringLiteral("Dot"), error);
}

// Collects the lines logged while it lives.
class LogCapture
{
public:
    LogCapture()
    {
        s_lines.clear();
        m_previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { s_lines << text; });
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    static int count(const QString &fragment)
    {
        int n = 0;
        for (const QString &line : std::as_const(s_lines))
            n += line.contains(fragment) ? 1 : 0;
        return n;
    }

private:
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

// Sets a keyframe of an animation in the JSON of a character.
void setKeyframe(QJsonObject &o, const QString &animation, int index, const QJsonValue &value)
{
    QJsonObject animations = o["animations"].toObject();
    QJsonObject a = animations[animation].toObject();
    QJsonArray frames = a["frames"].toArray();
    frames[index] = value;
    a["frames"] = frames;
    animations[animation] = a;
    o["animations"] = animations;
}

QJsonObject keyframe(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

bool isBlank(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Reading a file

TEST(CharacterFile, ValidFileLoadsWithEverythingItDescribes)
{
    QString error;
    auto file = CharacterFile::load(dataFile("Dot.acs"), &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_EQ(file->name, "Dot");
    EXPECT_EQ(file->frame, QSize(96, 96));
    EXPECT_EQ(file->voice.espeakVoice, "en-us");
    EXPECT_EQ(file->voice.rate, 170);
    for (const QString &name : CharacterFile::requiredAnimations())
        EXPECT_TRUE(file->animation(name)) << name.toStdString();
    EXPECT_TRUE(file->animation("Blink")); // one of its own
    EXPECT_EQ(file->sound("chime").size(), 2);
    // Parts nested inside another part are parts too.
    EXPECT_TRUE(file->art->hasPart("head"));
    EXPECT_TRUE(file->art->hasPart("eyes"));
    EXPECT_TRUE(file->art->hasPart("mouthWide"));
    EXPECT_FALSE(file->art->hasPart("skin")); // a gradient draws nothing by itself
    EXPECT_FALSE(file->rest.part("mouthWide").visible);
    EXPECT_TRUE(file->rest.part("mouthClosed").visible);
    EXPECT_EQ(file->art->pivot("head"), QPointF(48, 46));
}

TEST(CharacterFile, AnimationNamesMatchWithoutRegardToCase)
{
    QString error;
    auto file = CharacterFile::load(dataFile("Dot.acs"), &error);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->animation("gREET"), file->animation("Greet"));
    EXPECT_EQ(file->animation("restpose")->name, "RestPose");
    EXPECT_EQ(file->animation("Juggle"), nullptr);
}

TEST(CharacterFile, UnknownKeysAreIgnored)
{
    QJsonObject o = dot();
    o["wings"] = 2;
    setKeyframe(o, "Greet", 1, keyframe(R"({"ms": 100, "wiggle": true})"));
    QString error;
    EXPECT_TRUE(parse(o, &error)) << error.toStdString();
}

TEST(CharacterFile, PartsAndSoundsTheFileLacksAreLoggedOnceAndIgnored)
{
    QJsonObject o = dot();
    setKeyframe(
        o, "Greet", 0, keyframe(R"({"ms": 100, "parts": {"nose": {"dx": 3}}, "sound": "gong"})"));
    setKeyframe(
        o, "Greet", 1, keyframe(R"({"ms": 100, "parts": {"nose": {"dx": 5}}, "sound": "gong"})"));
    LogCapture log;
    QString error;
    auto file = parse(o, &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_EQ(LogCapture::count("nose"), 1);
    EXPECT_EQ(LogCapture::count("gong"), 1);
    EXPECT_TRUE(file->animation("Greet")->frames[0].sound.isEmpty());
}

TEST(CharacterFile, VoiceIsKeptToWhatTheSynthesiserTakes)
{
    QJsonObject o = dot();
    o["voice"] = keyframe(R"({"espeak": "en; rm -rf ~", "rate": 2000, "pitch": -4})");
    QString error;
    auto file = parse(o, &error);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->voice.espeakVoice, VoiceSpec().espeakVoice);
    EXPECT_EQ(file->voice.rate, 450);
    EXPECT_EQ(file->voice.pitch, 0);
    // Numbers far past any int are kept to the range as well.
    o["voice"] = keyframe(R"({"rate": 1e300, "pitch": -1e300})");
    file = parse(o, &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_EQ(file->voice.rate, 450);
    EXPECT_EQ(file->voice.pitch, 0);
    o["voice"] = keyframe(R"({"rate": -1e300, "pitch": 1e300})");
    EXPECT_EQ(parse(o, &error)->voice.rate, 80);
    EXPECT_EQ(parse(o, &error)->voice.pitch, 99);
    o["voice"] = keyframe(R"({"espeak": "de+f2"})");
    EXPECT_EQ(parse(o, &error)->voice.espeakVoice, "de+f2");
}

struct Refusal
{
    const char *what;
    std::function<QByteArray()> file;
    const char *reason; // a fragment of the error
};

QByteArray withDot(const std::function<void(QJsonObject &)> &change)
{
    QJsonObject o = dot();
    change(o);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray withArt(const char *svg)
{
    return withDot([svg](QJsonObject &o) { o["art"] = QString::fromUtf8(svg); });
}

QByteArray withFrame(const char *json)
{
    return withDot([json](QJsonObject &o) { o["frame"] = keyframe(json); });
}

QByteArray withGreetKeyframe(const QJsonValue &value)
{
    return withDot([value](QJsonObject &o) { setKeyframe(o, "Greet", 0, value); });
}

TEST(CharacterFile, BrokenFilesAreRefusedWithAReason)
{
    QString deep = QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 9 9'>");
    for (int i = 0; i < 300; ++i)
        deep += QStringLiteral("<g>");
    deep += QStringLiteral("<circle r='4' cx='4' cy='4'/>");
    for (int i = 0; i < 300; ++i)
        deep += QStringLiteral("</g>");
    deep += QStringLiteral("</svg>");
    const QByteArray deepArt = deep.toUtf8();

    const Refusal cases[] = {
        { "not JSON", [] { return QByteArray("{ \"format\": "); }, "not valid JSON" },
        { "a JSON list", [] { return QByteArray("[1, 2]"); }, "not a JSON object" },
        { "wrong format",
            [] { return withDot([](QJsonObject &o) { o["format"] = "quillory-character/2"; }); },
            "format" },
        { "no format", [] { return withDot([](QJsonObject &o) { o.remove("format"); }); },
            "format" },
        { "no art", [] { return withDot([](QJsonObject &o) { o.remove("art"); }); }, "no art" },
        { "art not text", [] { return withDot([](QJsonObject &o) { o["art"] = 3; }); }, "no art" },
        { "malformed art", [] { return withArt("<svg><circle r='3'"); }, "not well-formed" },
        { "art not SVG", [] { return withArt("<html><body/></html>"); }, "not <svg>" },
        { "art that draws nothing",
            [] { return withArt("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 96 96'/>"); },
            "draws nothing" },
        { "art drawn outside its frame",
            [] {
                return withArt("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 96 96'>"
                               "<circle cx='500' cy='500' r='10'/></svg>");
            },
            "draws nothing" },
        { "art nested without end", [deepArt] { return withArt(deepArt.constData()); }, "nested" },
        { "frame 0", [] { return withFrame(R"({"width": 0, "height": 96})"); }, "frame" },
        { "frame 5000", [] { return withFrame(R"({"width": 96, "height": 5000})"); }, "frame" },
        { "frame not whole", [] { return withFrame(R"({"width": 95.5, "height": 96})"); },
            "frame" },
        { "no frame", [] { return withDot([](QJsonObject &o) { o.remove("frame"); }); }, "frame" },
        { "no animations", [] { return withDot([](QJsonObject &o) { o.remove("animations"); }); },
            "no animations" },
        { "missing Greet",
            [] {
                return withDot([](QJsonObject &o) {
                    QJsonObject a = o["animations"].toObject();
                    a.remove("Greet");
                    o["animations"] = a;
                });
            },
            "lacks the animation Greet" },
        { "frames not a list",
            [] {
                return withDot([](QJsonObject &o) {
                    QJsonObject a = o["animations"].toObject();
                    a["Greet"] = keyframe(R"({"frames": {"ms": 3}})");
                    o["animations"] = a;
                });
            },
            "animation Greet has no list of frames" },
        { "keyframe a number", [] { return withGreetKeyframe(7); }, "keyframe 1 is not an object" },
        { "keyframe a list", [] { return withGreetKeyframe(QJsonArray { 1 }); },
            "is not an object" },
        { "ms too long", [] { return withGreetKeyframe(keyframe(R"({"ms": 10001})")); },
            "ms must be" },
        { "ms negative", [] { return withGreetKeyframe(keyframe(R"({"ms": -1})")); },
            "ms must be" },
        { "ms as text", [] { return withGreetKeyframe(keyframe(R"({"ms": "200"})")); },
            "ms must be" },
        { "parts a list", [] { return withGreetKeyframe(keyframe(R"({"parts": []})")); },
            "parts must be an object" },
        { "part move as text",
            [] { return withGreetKeyframe(keyframe(R"({"parts": {"hand": {"dx": "3"}}})")); },
            "must be a number" },
        { "visible as number",
            [] { return withGreetKeyframe(keyframe(R"({"parts": {"hand": {"visible": 1}}})")); },
            "true or false" },
        { "unknown mouth", [] { return withGreetKeyframe(keyframe(R"({"mouth": "pout"})")); },
            "mouth must be" },
        { "larger than 4 MB",
            [] {
                QByteArray big
                    = withDot([](QJsonObject &o) { o["padding"] = QString(4 << 20, 'x'); });
                return big;
            },
            "larger than" },
    };
    for (const Refusal &c : cases) {
        QString error;
        LogCapture quiet; // the SVG reader has its own complaints
        auto file = CharacterFile::parse(c.file(), QStringLiteral("Dot"), &error);
        EXPECT_FALSE(file) << c.what;
        EXPECT_TRUE(error.contains(QLatin1String(c.reason)))
            << c.what << ": " << error.toStdString();
    }
}

// A JSON object with `n` members made by `member(i)`.
QJsonObject many(int n, const std::function<QJsonValue(int)> &member)
{
    QJsonObject o;
    for (int i = 0; i < n; ++i)
        o[QStringLiteral("m%1").arg(i)] = member(i);
    return o;
}

QJsonArray notes(int n, int ms)
{
    QJsonArray list;
    for (int i = 0; i < n; ++i)
        list.append(QJsonObject { { "frequency", 440 }, { "ms", ms } });
    return list;
}

QJsonObject framesOf(int n, int ms)
{
    QJsonArray frames;
    for (int i = 0; i < n; ++i)
        frames.append(QJsonObject { { "ms", ms } });
    return QJsonObject { { "frames", frames } };
}

QByteArray withAnimation(const QString &name, const QJsonValue &value)
{
    return withDot([name, value](QJsonObject &o) {
        QJsonObject a = o["animations"].toObject();
        a[name] = value;
        o["animations"] = a;
    });
}

QString svgWith(const QString &body)
{
    return QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' "
                          "xmlns:xlink='http://www.w3.org/1999/xlink' viewBox='0 0 96 96'>"
                          "<circle cx='48' cy='48' r='20'/>%1</svg>")
        .arg(body);
}

QByteArray withSvg(const QString &svg)
{
    return withDot([svg](QJsonObject &o) { o["art"] = svg; });
}

// A PNG of that size, embedded as SVG wants it.
QString embeddedPicture(QSize size)
{
    QImage image(size, QImage::Format_Mono);
    image.fill(0);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QStringLiteral("<image width='10' height='10' href='data:image/png;base64,%1'/>")
        .arg(QString::fromLatin1(png.toBase64()));
}

// An animation whose keyframes move `n` parts together, as many to a
// keyframe as one may move.
QJsonObject movingParts(int n)
{
    QJsonArray frames;
    for (int left = n; left > 0; left -= CharacterFile::kMaxPartsPerKeyframe) {
        const int here = std::min(left, CharacterFile::kMaxPartsPerKeyframe);
        frames.append(QJsonObject { { "ms", 10 }, { "parts", many(here, [](int) {
                                                       return QJsonObject { { "dx", 1 } };
                                                   }) } });
    }
    return QJsonObject { { "frames", frames } };
}

// The parts Dot's keyframes move, those of one animation left out.
int partMovesOfDotBesides(const QString &left)
{
    int n = 0;
    const QJsonObject animations = dot()["animations"].toObject();
    for (auto it = animations.begin(); it != animations.end(); ++it) {
        if (it.key() == left)
            continue;
        for (const QJsonValue &k : it.value().toObject()["frames"].toArray())
            n += int(k.toObject()["parts"].toObject().size());
    }
    return n;
}

// svgWith() draws its <svg> and one circle before the body.
constexpr int kSvgWithElements = 2;

// A body for svgWith() drawing `total` elements in all, nearly all of them
// repeats of one group through <use>; empty groups make up the rest.
QString drawnThroughUse(int total)
{
    const int circles = 48;
    QString body = QStringLiteral("<defs><g id='tile'>")
        + QStringLiteral("<circle r='1'/>").repeated(circles) + QStringLiteral("</g></defs>");
    int drawn = kSvgWithElements + 2 + circles; // with <defs> and the group
    const int perUse = 2 + circles; // the <use> and the group it draws again
    for (; drawn + perUse <= total; drawn += perUse)
        body += QStringLiteral("<use xlink:href='#tile'/>");
    return body + QStringLiteral("<g/>").repeated(total - drawn);
}

TEST(CharacterFile, FilesPastTheBoundsAreRefusedWithTheBound)
{
    using F = CharacterFile;
    auto partsMoved = [](int n) {
        return keyframe("{}").isEmpty() ? QJsonObject { { "ms", 10 },
            { "parts",
                many(n,
                    [](int) {
                        return QJsonObject { { "dx", 1 } };
                    }) } }
                                        : QJsonObject {};
    };
    const QString oneGroupTooMany
        = QStringLiteral("<g/>").repeated(F::kMaxArtElements - kSvgWithElements + 1);
    // Each level draws the one below ten times: 10^6 circles from a short text.
    QString fanOut = QStringLiteral("<defs><circle id='u0' r='1'/>");
    for (int level = 1; level <= 6; ++level) {
        fanOut += QStringLiteral("<g id='u%1'>").arg(level);
        for (int i = 0; i < 10; ++i)
            fanOut += QStringLiteral("<use xlink:href='#u%1'/>").arg(level - 1);
        fanOut += QStringLiteral("</g>");
    }
    fanOut += QStringLiteral("</defs><use xlink:href='#u6'/>");
    QString deepJson = QStringLiteral("{\"format\": \"quillory-character/1\", \"x\": ");
    for (int i = 0; i < 40; ++i)
        deepJson += QLatin1Char('[');
    for (int i = 0; i < 40; ++i)
        deepJson += QLatin1Char(']');
    deepJson += QLatin1Char('}');

    const Refusal cases[] = {
        { "JSON nested deeper than the format needs", [deepJson] { return deepJson.toUtf8(); },
            "nested more than 32 deep" },
        { "long description",
            [] { return withDot([](QJsonObject &o) { o["description"] = QString(1001, 'x'); }); },
            "description is longer than 1000" },
        { "too many animations",
            [] {
                return withDot([](QJsonObject &o) {
                    QJsonObject a = o["animations"].toObject();
                    for (int i = 0; i < F::kMaxAnimations; ++i)
                        a[QStringLiteral("Extra%1").arg(i)] = framesOf(1, 0);
                    o["animations"] = a;
                });
            },
            "animations: 14" },
        { "long animation name", [] { return withAnimation(QString(129, 'a'), framesOf(1, 0)); },
            "longer than 128 characters" },
        { "too many keyframes in one",
            [] { return withAnimation("Blink", framesOf(F::kMaxKeyframesPerAnimation + 1, 0)); },
            "has 257 keyframes; at most 256" },
        { "too many keyframes together",
            [] {
                return withDot([](QJsonObject &o) {
                    QJsonObject a = o["animations"].toObject();
                    for (int i = 0; i < 5; ++i)
                        a[QStringLiteral("Long%1").arg(i)] = framesOf(250, 0);
                    o["animations"] = a;
                });
            },
            "more than 1024 keyframes together" },
        { "animation too long", [] { return withAnimation("Blink", framesOf(7, 10000)); },
            "lasts 70000 ms; at most 60000" },
        { "too many parts in a keyframe",
            [partsMoved] { return withGreetKeyframe(partsMoved(F::kMaxPartsPerKeyframe + 1)); },
            "moves 65 parts; at most 64" },
        { "one part moved too many together",
            [] {
                return withAnimation(
                    "Blink", movingParts(F::kMaxPartMoves - partMovesOfDotBesides("Blink") + 1));
            },
            "the keyframes move more than 8192 parts together" },
        { "too many movable parts",
            [partsMoved] {
                QJsonArray frames;
                for (int i = 0; i < 3; ++i) {
                    QJsonObject k = partsMoved(0);
                    k["parts"] = many(60, [](int) { return QJsonObject { { "dx", 1 } }; });
                    QJsonObject renamed;
                    const QJsonObject parts = k["parts"].toObject();
                    for (auto it = parts.begin(); it != parts.end(); ++it)
                        renamed[QStringLiteral("p%1").arg(i) + it.key()] = it.value();
                    k["parts"] = renamed;
                    frames.append(k);
                }
                return withAnimation("Blink", QJsonObject { { "frames", frames } });
            },
            "parts are moved, shown or hidden" },
        { "long part name",
            [] {
                return withGreetKeyframe(QJsonObject {
                    { "parts", QJsonObject { { QString(200, 'p'), QJsonObject {} } } } });
            },
            "longer than 128" },
        { "too many hidden parts",
            [] {
                return withDot([](QJsonObject &o) {
                    QJsonArray hidden;
                    for (int i = 0; i <= F::kMaxHidden; ++i)
                        hidden.append(QStringLiteral("h%1").arg(i));
                    o["hidden"] = hidden;
                });
            },
            "hidden parts: 65" },
        { "too many pivots",
            [] {
                return withDot([](QJsonObject &o) {
                    o["pivots"] = many(F::kMaxPivots + 1, [](int) { return QJsonArray { 1, 2 }; });
                });
            },
            "pivots: 257" },
        { "too many sounds",
            [] {
                return withDot([](QJsonObject &o) {
                    o["sounds"] = many(F::kMaxSounds + 1, [](int) { return notes(1, 10); });
                });
            },
            "sounds: 65" },
        { "too many notes",
            [] {
                return withDot([](QJsonObject &o) {
                    o["sounds"] = QJsonObject { { "chime", notes(F::kMaxNotesPerSound + 1, 10) } };
                });
            },
            "sound chime has 65 notes; at most 64" },
        { "sound too long",
            [] {
                return withDot([](QJsonObject &o) {
                    o["sounds"] = QJsonObject { { "chime", notes(3, 4000) } };
                });
            },
            "sound chime lasts 12000 ms; at most 10000" },
        { "art too long", [] { return withSvg(svgWith(QString(F::kMaxArtChars, ' '))); },
            "characters long; at most 524288" },
        { "art with one element too many",
            [oneGroupTooMany] { return withSvg(svgWith(oneGroupTooMany)); },
            "the art has more than 5000 elements" },
        { "art nested too deep",
            [] {
                return withSvg(svgWith(QString("<g>").repeated(65) + QString("</g>").repeated(65)));
            },
            "nested more than 64 deep" },
        { "art repeating itself through <use>", [fanOut] { return withSvg(svgWith(fanOut)); },
            "the art draws more than 5000 elements" },
        { "art drawing one element too many through <use>",
            [] { return withSvg(svgWith(drawnThroughUse(F::kMaxArtElements + 1))); },
            "the art draws more than 5000 elements" },
        { "art whose <use> goes round",
            [] {
                return withSvg(svgWith(
                    "<g id='a'><use xlink:href='#b'/></g><g id='b'><use xlink:href='#a'/></g>"));
            },
            "round in a circle" },
        { "art with entities",
            [] {
                return withSvg(
                    "<!DOCTYPE svg [<!ENTITY a 'aaaaaaaa'>]>" + svgWith("<text>&a;</text>"));
            },
            "DOCTYPE" },
        { "art with a picture from a file",
            [] { return withSvg(svgWith("<image width='9' height='9' href='/dev/zero'/>")); },
            "embedded" },
        { "art with a picture too large",
            [] { return withSvg(svgWith(embeddedPicture(QSize(1100, 1000)))); },
            "pictures hold more than 1048576 pixels" },
        { "art with a picture that cannot be read",
            [] {
                return withSvg(
                    svgWith("<image width='9' height='9' href='data:image/png;base64,AAAA'/>"));
            },
            "cannot be read" },
    };
    for (const Refusal &c : cases) {
        QString error;
        LogCapture quiet;
        auto file = CharacterFile::parse(c.file(), QStringLiteral("Dot"), &error);
        EXPECT_FALSE(file) << c.what;
        EXPECT_TRUE(error.contains(QLatin1String(c.reason)))
            << c.what << ": " << error.toStdString();
    }
}

TEST(CharacterFile, FilesJustWithinTheBoundsLoad)
{
    using F = CharacterFile;
    const std::function<QByteArray()> cases[] = {
        [] { return withAnimation("Blink", framesOf(F::kMaxKeyframesPerAnimation, 0)); },
        [] { return withAnimation("Blink", framesOf(6, 10000)); },
        [] {
            return withDot([](QJsonObject &o) {
                o["sounds"] = QJsonObject { { "chime", notes(F::kMaxNotesPerSound, 150) } };
            });
        },
        [] { return withSvg(svgWith(embeddedPicture(QSize(1000, 1000)))); },
        [] { return withSvg(svgWith(QString("<g>").repeated(60) + QString("</g>").repeated(60))); },
        [] {
            return withAnimation(
                "Blink", movingParts(F::kMaxPartMoves - partMovesOfDotBesides("Blink")));
        },
        [] {
            return withSvg(
                svgWith(QStringLiteral("<g/>").repeated(F::kMaxArtElements - kSvgWithElements)));
        },
        [] { return withSvg(svgWith(drawnThroughUse(F::kMaxArtElements))); },
    };
    int n = 0;
    for (const auto &file : cases) {
        QString error;
        LogCapture quiet;
        EXPECT_TRUE(CharacterFile::parse(file(), QStringLiteral("Dot"), &error))
            << "case " << n << ": " << error.toStdString();
        ++n;
    }
}

TEST(CharacterFile, ArtDrawnInLayersMatchesTheWholeDocument)
{
    // Transforms and fills inherited from groups, references into <defs>, a
    // duplicated id, shapes the renderer leaves out and SVG animation: the
    // layers, each drawn by itself, add up to what the whole art draws.
    const QString svg = svgWith(
        "<defs><linearGradient id='g'><stop offset='0' stop-color='red'/>"
        "<stop offset='1' stop-color='blue'/></linearGradient><rect id='tile' width='6' "
        "height='6'/></defs>"
        "<g transform='translate(4,6) rotate(10 48 48)' fill='url(#g)' opacity='0.8'>"
        "<rect id='body' x='10' y='50' width='50' height='30' stroke='black' stroke-width='3'/>"
        "<g id='head' transform='scale(1.1)'><circle cx='40' cy='25' r='12'/>"
        "<use xlink:href='#tile' x='36' y='20' fill='green'/><path id='mouth' d='M34 30 L46 30' "
        "stroke='black' stroke-width='2'/></g><rect id='body' x='70' y='70' width='8' height='8'/>"
        "<foo/><animate attributeName='x' to='3'/></g>"
        "<g display='none'><circle id='gone' cx='10' cy='10' r='8' fill='red'/></g>");
    QString error;
    QStringList missing;
    auto art = CharacterArt::build(
        svg, QSize(96, 96), { "head", "mouth", "gone" }, {}, &error, &missing);
    ASSERT_TRUE(art) << error.toStdString();
    EXPECT_EQ(missing, QStringList { "gone" });
    EXPECT_GE(art->layerCount(), 4);

    QImage layered(192, 192, QImage::Format_ARGB32_Premultiplied);
    layered.fill(Qt::transparent);
    {
        QPainter p(&layered);
        p.scale(2, 2);
        art->paint(p, Pose {});
    }
    QString plain = svg;
    plain.remove(QStringLiteral("<animate attributeName='x' to='3'/>"));
    QSvgRenderer whole(plain.toUtf8());
    QImage direct(192, 192, QImage::Format_ARGB32_Premultiplied);
    direct.fill(Qt::transparent);
    {
        QPainter p(&direct);
        p.setRenderHint(QPainter::Antialiasing);
        whole.render(&p, QRectF(0, 0, 192, 192));
    }
    int differing = 0;
    int drawn = 0;
    for (int y = 0; y < 192; ++y) {
        for (int x = 0; x < 192; ++x) {
            const QRgb a = layered.pixel(x, y);
            const QRgb b = direct.pixel(x, y);
            drawn += qAlpha(b) > 0 ? 1 : 0;
            const int d = std::max({ std::abs(qAlpha(a) - qAlpha(b)), std::abs(qRed(a) - qRed(b)),
                std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)) });
            differing += d > 40 ? 1 : 0; // edges soften a little through the cache
        }
    }
    EXPECT_GT(drawn, 3000);
    EXPECT_LT(differing, drawn / 50) << differing << " of " << drawn;
}

TEST(CharacterFile, LayerPicturesStayWithinTheirMemoryBound)
{
    // A large frame in which every one of many layers covers all of it.
    QString body;
    QJsonObject parts;
    for (int i = 0; i < 40; ++i) {
        body += QStringLiteral("<rect id='r%1' width='96' height='96' opacity='0.1'/>").arg(i);
        parts[QStringLiteral("r%1").arg(i)] = QJsonObject { { "dx", 1 } };
    }
    const QByteArray json = withDot([&](QJsonObject &o) {
        o["art"] = svgWith(body);
        o["frame"] = QJsonObject { { "width", 1024 }, { "height", 1024 } };
        setKeyframe(o, "Greet", 0, QJsonObject { { "parts", parts } });
    });
    QString error;
    LogCapture quiet;
    auto file = CharacterFile::parse(json, QStringLiteral("Big"), &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_LE(file->art->cachedPixels(), CharacterFile::kMaxCachePixels);
    EXPECT_LT(file->art->cacheScale(), 1.0); // drawn coarser instead
    // ... but no coarser than the bound needs.
    EXPECT_GT(file->art->cachedPixels(), CharacterFile::kMaxCachePixels / 2);
    // Drawn at any size, it still draws.
    EXPECT_FALSE(isBlank(CharacterWindow::renderFrame(*file, file->rest, QSize(256, 256))));
    EXPECT_LE(file->art->cachedPixels(), CharacterFile::kMaxCachePixels);
}

TEST(CharacterFile, FuzzSeedsLoad)
{
    // The fuzzer starts from these; a seed that no longer loads would leave
    // it knocking at the JSON reader only.
    const QDir seeds(QStringLiteral(QUILLORY_SOURCE_DIR "/fuzz/corpus/character"));
    const QStringList names = seeds.entryList(QDir::Files);
    EXPECT_GE(names.size(), 3);
    for (const QString &name : names) {
        QString error;
        LogCapture quiet;
        EXPECT_TRUE(CharacterFile::load(seeds.filePath(name), &error))
            << name.toStdString() << ": " << error.toStdString();
    }
}

TEST(CharacterFile, LoadRefusesMissingAndOversizedFilesBeforeReadingThem)
{
    QString error;
    EXPECT_FALSE(CharacterFile::load(dataFile("Nobody.acs"), &error));
    EXPECT_EQ(error, "no such file");

    QTemporaryDir dir;
    const QString path = dir.filePath("Huge.acs");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(CharacterFile::kMaxBytes + 1));
    f.close();
    EXPECT_FALSE(CharacterFile::load(path, &error));
    EXPECT_TRUE(error.contains("at most")) << error.toStdString();
}

TEST(CharacterFile, ShippedCharactersLoad)
{
    for (const char *name : { "Tockel.acs", "Bramble.acs" }) {
        const QString path = QStringLiteral(QUILLORY_SOURCE_DIR "/characters/") + name;
        if (!QFile::exists(path))
            continue;
        QString error;
        auto file = CharacterFile::load(path, &error);
        ASSERT_TRUE(file) << name << ": " << error.toStdString();
        // Far within the bound on pictures: drawn at twice the frame's resolution.
        EXPECT_EQ(file->art->cacheScale(), 2.0) << name;
    }
}

// ---------------------------------------------------------------------------
// Poses and tweening

TEST(Animation, TweensEasedBetweenKeyframes)
{
    QString error;
    auto file = CharacterFile::load(dataFile("Dot.acs"), &error);
    ASSERT_TRUE(file);
    // Greet: hand to (2, -34) in 250 ms with a chime, to (6, -38) in 200, home in 300.
    Animator animator;
    animator.start(*file->animation("greet"), file->rest);

    Animator::Step step = animator.advanceTo(0);
    EXPECT_EQ(step.sounds, QStringList { "chime" });
    EXPECT_EQ(step.pose, file->rest);

    step = animator.advanceTo(60); // early on, eased: less than linear
    EXPECT_GT(step.pose.part("hand").dy, -34 * 60.0 / 250);
    step = animator.advanceTo(125); // halfway: easing is symmetric
    EXPECT_TRUE(step.sounds.isEmpty());
    EXPECT_DOUBLE_EQ(step.pose.part("hand").dx, 1);
    EXPECT_DOUBLE_EQ(step.pose.part("hand").dy, -17);

    step = animator.advanceTo(250 + 100);
    EXPECT_DOUBLE_EQ(step.pose.part("hand").dy, -36);
    EXPECT_FALSE(step.finished);

    step = animator.advanceTo(750);
    EXPECT_TRUE(step.finished);
    EXPECT_FALSE(animator.running());
    EXPECT_EQ(step.pose, file->rest); // hidden mouths stay hidden throughout
}

TEST(Animation, PartsAppearAtOnceAndDisappearAtTheEnd)
{
    Pose shown;
    Pose hidden;
    hidden.parts["eyesClosed"].visible = false;
    hidden.parts["eyesClosed"].opacity = 0;
    EXPECT_TRUE(tween(hidden, shown, 0.01).part("eyesClosed").visible);
    EXPECT_DOUBLE_EQ(tween(hidden, shown, 0.5).part("eyesClosed").opacity, 0.5);
    EXPECT_TRUE(tween(shown, hidden, 0.99).part("eyesClosed").visible);
    EXPECT_FALSE(tween(shown, hidden, 1.0).part("eyesClosed").visible);
}

TEST(Animation, KeyframeMouthShowsDuringItsKeyframeOnly)
{
    QString error;
    auto file = CharacterFile::load(dataFile("Dot.acs"), &error);
    ASSERT_TRUE(file);
    Animator animator;
    animator.start(*file->animation("Suggest"), file->rest); // 200 ms with mouth open, 200 back
    EXPECT_EQ(animator.advanceTo(100).pose.mouth, MouthShape::Open);
    EXPECT_EQ(animator.advanceTo(300).pose.mouth, std::nullopt);
    EXPECT_EQ(animator.advanceTo(400).pose.mouth, std::nullopt);
}

TEST(Animation, LoopingAnimationsStartOverAndNeverFinish)
{
    QString error;
    auto file = CharacterFile::load(dataFile("Dot.acs"), &error);
    ASSERT_TRUE(file);
    Animator animator;
    animator.start(*file->animation("MoveLeft"), file->rest, true); // 150 ms out, 150 back
    const Pose firstCycle = animator.advanceTo(75).pose;
    Animator::Step step = animator.advanceTo(300 * 40 + 75); // a long stall
    EXPECT_FALSE(step.finished);
    EXPECT_NEAR(step.pose.whole.dy, firstCycle.whole.dy, 1e-9);
    EXPECT_NEAR(step.pose.whole.rotate, firstCycle.whole.rotate, 1e-9);

    // An animation without duration cannot loop.
    Animation still { QStringLiteral("Still"), { Keyframe {} } };
    animator.start(still, file->rest, true);
    EXPECT_TRUE(animator.advanceTo(0).finished);
}

TEST(Animation, MouthFollowsLoudness)
{
    const std::pair<double, MouthShape> levels[] = {
        { 0.0, MouthShape::Closed },
        { 0.079, MouthShape::Closed },
        { 0.08, MouthShape::Small },
        { 0.29, MouthShape::Small },
        { 0.3, MouthShape::Open },
        { 0.59, MouthShape::Open },
        { 0.6, MouthShape::Wide },
        { 1.0, MouthShape::Wide },
    };
    for (const auto &[level, shape] : levels)
        EXPECT_EQ(mouthForLevel(level), shape) << level;
}

// ---------------------------------------------------------------------------
// Drawing

class Drawing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        file = CharacterFile::load(dataFile("Dot.acs"), &error);
        ASSERT_TRUE(file) << error.toStdString();
    }
    QImage draw(const Pose &pose) const
    {
        return CharacterWindow::renderFrame(*file, pose, file->frame);
    }
    static bool isDark(QRgb c) { return qAlpha(c) > 200 && qRed(c) < 90 && qGreen(c) < 90; }
    static bool isYellow(QRgb c) { return qRed(c) > 200 && qGreen(c) > 160 && qBlue(c) < 150; }

    std::shared_ptr<const CharacterFile> file;
};

TEST_F(Drawing, RestFrameDrawsTheArtInDocumentOrder)
{
    const QImage rest = draw(file->rest);
    EXPECT_FALSE(isBlank(rest));
    EXPECT_EQ(qAlpha(rest.pixel(2, 2)), 0); // the desktop shows around the character
    EXPECT_TRUE(isDark(rest.pixel(41, 25))); // an eye
    EXPECT_TRUE(isYellow(rest.pixel(48, 44))); // the head lies over the body
    EXPECT_TRUE(isYellow(rest.pixel(48, 33))); // the wide mouth is hidden at rest
}

TEST_F(Drawing, PosesOfAnAnimationDiffer)
{
    Animator animator;
    animator.start(*file->animation("Greet"), file->rest);
    const QImage a = draw(animator.advanceTo(0).pose);
    const QImage b = draw(animator.advanceTo(250).pose);
    EXPECT_FALSE(isBlank(b));
    EXPECT_NE(a, b);
    EXPECT_TRUE(isYellow(b.pixel(84, 28))); // the hand, raised
    EXPECT_EQ(qAlpha(b.pixel(82, 62)), 0); // and gone from where it was
}

TEST_F(Drawing, NestedPartsMoveWithTheirParent)
{
    Pose pose = file->rest;
    pose.parts["head"].dx = 20;
    const QImage moved = draw(pose);
    EXPECT_TRUE(isDark(moved.pixel(41 + 20, 25))); // the eye came along
    EXPECT_FALSE(isDark(moved.pixel(41, 25)));

    pose.parts["eyes"].dy = 10; // and moves on its own as well
    EXPECT_TRUE(isDark(draw(pose).pixel(41 + 20, 35)));

    pose = file->rest;
    pose.parts["head"].visible = false;
    EXPECT_FALSE(isDark(draw(pose).pixel(41, 25)));
}

TEST_F(Drawing, MouthShapesReplaceEachOther)
{
    Pose pose = file->rest;
    pose.mouth = MouthShape::Wide;
    const QImage wide = draw(pose);
    EXPECT_FALSE(isYellow(wide.pixel(48, 33)));
    const Pose resolved = file->withMouth(file->rest, MouthShape::Wide);
    EXPECT_FALSE(resolved.part("mouthClosed").visible);
    EXPECT_TRUE(resolved.part("mouthWide").visible);
}

TEST_F(Drawing, WholeCharacterFadesAndScales)
{
    Pose pose = file->rest;
    pose.whole.opacity = 0;
    EXPECT_TRUE(isBlank(draw(pose)));
    pose.whole.opacity = 0.5;
    EXPECT_NEAR(qAlpha(draw(pose).pixel(48, 62)), 128, 3);
    pose = file->rest;
    pose.whole.scale = 0.5; // about the frame's centre
    EXPECT_EQ(qAlpha(draw(pose).pixel(48, 88)), 0);
    EXPECT_GT(qAlpha(draw(pose).pixel(48, 60)), 200);
}

TEST_F(Drawing, ScalesToTheSizeAsked)
{
    const QImage big = CharacterWindow::renderFrame(*file, file->rest, QSize(192, 192));
    EXPECT_TRUE(isDark(big.pixel(82, 50)));
}
