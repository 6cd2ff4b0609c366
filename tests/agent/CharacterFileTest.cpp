#include "agent/CharacterFile.h"
#include "agent/CharacterWindow.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
    return QJsonDocument(o).toJson();
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
        EXPECT_TRUE(file) << name << ": " << error.toStdString();
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
