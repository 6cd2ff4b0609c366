#include "agent/character/CharacterFile.h"

#include "agent/Logging.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace agent {

namespace {

const QString kFormat = QStringLiteral("quillory-character/1");

class Reader
{
public:
    explicit Reader(QString name)
        : m_name(std::move(name))
    { }

    bool fail(const QString &reason)
    {
        if (m_error.isEmpty())
            m_error = reason;
        return false;
    }
    const QString &error() const { return m_error; }

    // A problem that does not stop the character from loading.
    void note(const QString &what)
    {
        if (m_noted.contains(what))
            return;
        m_noted.insert(what);
        qCWarning(lcAgent).noquote() << "character" << m_name << ":" << what;
    }

    bool number(const QJsonObject &o, const char *key, double lo, double hi, double *out,
        const QString &where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        if (!v.isDouble())
            return fail(QStringLiteral("%1: \"%2\" must be a number").arg(where, key));
        *out = std::clamp(v.toDouble(), lo, hi);
        return true;
    }

    bool partPose(const QJsonValue &value, PartPose *p, const QString &where)
    {
        if (!value.isObject())
            return fail(QStringLiteral("%1 must be an object").arg(where));
        const QJsonObject o = value.toObject();
        if (!number(o, "dx", -4096, 4096, &p->dx, where)
            || !number(o, "dy", -4096, 4096, &p->dy, where)
            || !number(o, "rotate", -36000, 36000, &p->rotate, where)
            || !number(o, "scale", -16, 16, &p->scale, where)
            || !number(o, "opacity", 0, 1, &p->opacity, where))
            return false;
        const QJsonValue visible = o.value(QLatin1String("visible"));
        if (!visible.isUndefined()) {
            if (!visible.isBool())
                return fail(QStringLiteral("%1: \"visible\" must be true or false").arg(where));
            p->visible = visible.toBool();
        }
        return true;
    }

private:
    QString m_name;
    QString m_error;
    QSet<QString> m_noted;
};

VoiceSpec readVoice(const QJsonValue &value, Reader &reader)
{
    VoiceSpec voice;
    if (!value.isObject())
        return voice;
    const QJsonObject o = value.toObject();
    static const QRegularExpression voiceName(
        QStringLiteral(R"(^[A-Za-z0-9_\-]+(\+[A-Za-z0-9_\-]+)?$)"));
    const QString espeak = o.value(QLatin1String("espeak")).toString();
    if (espeak.size() <= 64 && voiceName.match(espeak).hasMatch())
        voice.espeakVoice = espeak;
    else if (o.contains(QLatin1String("espeak")))
        reader.note(QStringLiteral("voice \"%1\" is not a voice name; using %2")
                        .arg(espeak, voice.espeakVoice));
    const QString flite = o.value(QLatin1String("flite")).toString();
    if (flite.size() <= 64 && voiceName.match(flite).hasMatch())
        voice.fliteVoice = flite;
    else if (o.contains(QLatin1String("flite")))
        reader.note(QStringLiteral("voice \"%1\" is not a voice name; using Flite's default")
                        .arg(flite.left(64)));
    const QString engine = o.value(QLatin1String("engine")).toString();
    if (engine == QLatin1String("flite") || engine == QLatin1String("espeak"))
        voice.engine = engine;
    else if (o.contains(QLatin1String("engine")))
        reader.note(QStringLiteral("engine \"%1\" is neither flite nor espeak; using Flite where "
                                   "it is installed")
                        .arg(engine.left(64)));
    if (o.value(QLatin1String("rate")).isDouble())
        // Clamped before rounding: a huge number does not fit an int.
        voice.rate = qRound(std::clamp(o.value(QLatin1String("rate")).toDouble(), 80.0, 450.0));
    if (o.value(QLatin1String("pitch")).isDouble())
        voice.pitch = qRound(std::clamp(o.value(QLatin1String("pitch")).toDouble(), 0.0, 99.0));
    return voice;
}

// The notes of a sound; false with `error` set when there are too many or
// they last too long, since they are made on the spot when played.
bool readSound(const QJsonValue &value, const QString &name, ToneSequence *notes, QString *error)
{
    const QJsonArray list = value.toArray();
    if (list.size() > CharacterFile::kMaxNotesPerSound) {
        *error = QStringLiteral("sound %1 has %2 notes; at most %3")
                     .arg(name)
                     .arg(list.size())
                     .arg(CharacterFile::kMaxNotesPerSound);
        return false;
    }
    qint64 total = 0;
    for (const QJsonValue &n : list) {
        const QJsonObject o = n.toObject();
        Note note;
        note.frequency
            = std::clamp(o.value(QLatin1String("frequency")).toDouble(880), 20.0, 20000.0);
        note.ms = int(std::clamp(
            o.value(QLatin1String("ms")).toDouble(200), 1.0, double(CharacterFile::kMaxNoteMs)));
        note.gain = std::clamp(o.value(QLatin1String("gain")).toDouble(0.6), 0.0, 1.0);
        total += note.ms;
        *notes << note;
    }
    if (total > CharacterFile::kMaxSoundMs) {
        *error = QStringLiteral("sound %1 lasts %2 ms; at most %3")
                     .arg(name)
                     .arg(total)
                     .arg(CharacterFile::kMaxSoundMs);
        return false;
    }
    return true;
}

// How deeply the JSON nests lists and objects, read without building it.
int jsonDepth(const QByteArray &json)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : json) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

// A count within its own bound, and added to `total`, within the bound of
// all of them together; otherwise the reason in `error`. `overEach` takes
// the count and the bound as %1 and %2 after `where` (names from the file
// stay out of the pattern); `overAll` takes the whole bound as %1.
bool countWithin(qsizetype count, int each, int &total, int all, const QString &where,
    const QString &overEach, const QString &overAll, QString *error)
{
    if (count > each) {
        *error = where + overEach.arg(count).arg(each);
        return false;
    }
    total += int(count);
    if (total > all) {
        *error = overAll.arg(all);
        return false;
    }
    return true;
}

bool tooLong(const QString &name)
{
    return name.size() > CharacterFile::kMaxNameLength;
}

QString tooLongReason(const char *what, const QString &name)
{
    return QStringLiteral("%1 \"%2...\" is longer than %3 characters")
        .arg(QLatin1String(what), name.left(16))
        .arg(CharacterFile::kMaxNameLength);
}

QString tooMany(const char *what, qint64 count, int limit)
{
    return QStringLiteral("%1 %2; at most %3").arg(QLatin1String(what)).arg(count).arg(limit);
}

bool frameSide(const QJsonObject &frame, const char *key, int *out)
{
    const QJsonValue v = frame.value(QLatin1String(key));
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (d != std::floor(d) || d < 1 || d > CharacterFile::kMaxFrameSide)
        return false;
    *out = int(d);
    return true;
}

} // namespace

const QStringList &CharacterFile::requiredAnimations()
{
    static const QStringList names {
        QStringLiteral("Showing"),
        QStringLiteral("Hiding"),
        QStringLiteral("RestPose"),
        QStringLiteral("Pleased"),
        QStringLiteral("Search"),
        QStringLiteral("Explain"),
        QStringLiteral("Read"),
        QStringLiteral("Decline"),
        QStringLiteral("Greet"),
        QStringLiteral("Confused"),
        QStringLiteral("Suggest"),
        QStringLiteral("Alert"),
        QStringLiteral("MoveLeft"),
        QStringLiteral("MoveRight"),
    };
    return names;
}

std::shared_ptr<const CharacterFile> CharacterFile::load(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        *error = QStringLiteral("no such file");
        return nullptr;
    }
    if (info.size() > kMaxBytes) {
        *error = QStringLiteral("the file is %1 bytes; a character is at most %2")
                     .arg(info.size())
                     .arg(kMaxBytes);
        return nullptr;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return nullptr;
    }
    // One byte past the size found, so a file that grew after the check is
    // seen; no more, since a buffer of the limit's size would stay in the
    // heap as a hole long after the load.
    return parse(file.read(info.size() + 1), info.completeBaseName(), error);
}

std::shared_ptr<const CharacterFile> CharacterFile::parse(
    const QByteArray &json, const QString &name, QString *error)
{
    if (json.size() > kMaxBytes) {
        *error = QStringLiteral("the file is larger than %1 bytes").arg(kMaxBytes);
        return nullptr;
    }
    if (jsonDepth(json) > kMaxJsonDepth) {
        *error = QStringLiteral("the JSON is nested more than %1 deep").arg(kMaxJsonDepth);
        return nullptr;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not valid JSON: %1 at byte %2")
                     .arg(parseError.errorString())
                     .arg(parseError.offset);
        return nullptr;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return nullptr;
    }
    const QJsonObject root = doc.object();
    const QString format = root.value(QLatin1String("format")).toString();
    if (format != kFormat) {
        *error = QStringLiteral("format is \"%1\", not %2").arg(format, kFormat);
        return nullptr;
    }

    auto file = std::make_shared<CharacterFile>();
    Reader reader(name);
    file->name = name;
    file->description = root.value(QLatin1String("description")).toString();
    if (file->description.size() > kMaxTextLength) {
        *error = QStringLiteral("the description is longer than %1 characters").arg(kMaxTextLength);
        return nullptr;
    }

    const QJsonObject frame = root.value(QLatin1String("frame")).toObject();
    int width = 0;
    int height = 0;
    if (!frameSide(frame, "width", &width) || !frameSide(frame, "height", &height)) {
        *error = QStringLiteral("frame must give a whole width and height of 1..%1 pixels")
                     .arg(kMaxFrameSide);
        return nullptr;
    }
    file->frame = QSize(width, height);
    file->voice = readVoice(root.value(QLatin1String("voice")), reader);

    const QString svg = root.value(QLatin1String("art")).toString();
    if (svg.trimmed().isEmpty()) {
        *error = QStringLiteral("no art");
        return nullptr;
    }

    const QJsonObject pivots = root.value(QLatin1String("pivots")).toObject();
    if (pivots.size() > kMaxPivots) {
        *error = tooMany("pivots:", pivots.size(), kMaxPivots);
        return nullptr;
    }
    for (auto it = pivots.begin(); it != pivots.end(); ++it) {
        if (tooLong(it.key())) {
            *error = tooLongReason("the pivot", it.key());
            return nullptr;
        }
        const QJsonArray xy = it.value().toArray();
        if (xy.size() == 2 && xy[0].isDouble() && xy[1].isDouble())
            file->pivots.insert(it.key(), QPointF(xy[0].toDouble(), xy[1].toDouble()));
        else
            reader.note(QStringLiteral("pivot of %1 is not [x, y]; ignored").arg(it.key()));
    }
    const QJsonObject mouths = root.value(QLatin1String("mouths")).toObject();
    for (auto shape : { MouthShape::Closed, MouthShape::Small, MouthShape::Open, MouthShape::Wide })
        file->mouths[int(shape)] = mouths.value(mouthShapeName(shape)).toString();
    for (const QString &id : file->mouths) {
        if (tooLong(id)) {
            *error = tooLongReason("the mouth", id);
            return nullptr;
        }
    }
    QStringList visemeProblems;
    file->visemes = readVisemeParts(root.value(QLatin1String("visemes")), &visemeProblems);
    for (const QString &problem : std::as_const(visemeProblems))
        reader.note(problem + QStringLiteral("; ignored"));
    for (const QString &id : file->visemes.parts) {
        if (tooLong(id)) {
            *error = tooLongReason("the mouth", id);
            return nullptr;
        }
    }
    const QJsonArray hidden = root.value(QLatin1String("hidden")).toArray();
    if (hidden.size() > kMaxHidden) {
        *error = tooMany("hidden parts:", hidden.size(), kMaxHidden);
        return nullptr;
    }
    for (const QJsonValue &v : hidden) {
        if (tooLong(v.toString())) {
            *error = tooLongReason("the hidden part", v.toString());
            return nullptr;
        }
        if (v.isString())
            file->hidden << v.toString();
    }
    const QJsonObject sounds = root.value(QLatin1String("sounds")).toObject();
    if (sounds.size() > kMaxSounds) {
        *error = tooMany("sounds:", sounds.size(), kMaxSounds);
        return nullptr;
    }
    for (auto it = sounds.begin(); it != sounds.end(); ++it) {
        if (tooLong(it.key())) {
            *error = tooLongReason("the sound", it.key());
            return nullptr;
        }
        ToneSequence notes;
        if (!readSound(it.value(), it.key(), &notes, error))
            return nullptr;
        if (notes.isEmpty())
            reader.note(QStringLiteral("sound %1 has no notes; ignored").arg(it.key()));
        else
            file->sounds.insert(it.key(), notes);
    }

    for (const QString &id : std::as_const(file->hidden)) {
        PartPose p;
        p.visible = false;
        file->rest.parts.insert(id, p);
    }

    QStringList movable = file->hidden;
    for (const QString &id : file->mouths) {
        if (!id.isEmpty())
            movable << id;
    }
    for (const QString &id : file->visemes.parts) {
        if (!id.isEmpty() && !movable.contains(id))
            movable << id;
    }

    const QJsonValue animations = root.value(QLatin1String("animations"));
    if (!animations.isObject()) {
        *error = QStringLiteral("no animations");
        return nullptr;
    }
    const QJsonObject animObject = animations.toObject();
    if (animObject.size() > kMaxAnimations) {
        *error = tooMany("animations:", animObject.size(), kMaxAnimations);
        return nullptr;
    }
    int keyframes = 0;
    int partMoves = 0;
    for (auto it = animObject.begin(); it != animObject.end(); ++it) {
        if (tooLong(it.key())) {
            *error = tooLongReason("the animation", it.key());
            return nullptr;
        }
        const QString where = QStringLiteral("animation %1").arg(it.key());
        const QJsonValue frames = it.value().toObject().value(QLatin1String("frames"));
        if (!frames.isArray()) {
            *error = where + QStringLiteral(" has no list of frames");
            return nullptr;
        }
        Animation animation;
        animation.name = it.key();
        const QJsonArray list = frames.toArray();
        if (!countWithin(list.size(), kMaxKeyframesPerAnimation, keyframes, kMaxKeyframes, where,
                QStringLiteral(" has %1 keyframes; at most %2"),
                QStringLiteral("the animations have more than %1 keyframes together"), error))
            return nullptr;
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString at = QStringLiteral("%1, keyframe %2").arg(where).arg(i + 1);
            if (!list[i].isObject()) {
                *error = at + QStringLiteral(" is not an object");
                return nullptr;
            }
            const QJsonObject k = list[i].toObject();
            Keyframe key;
            key.target = file->rest;
            const QJsonValue ms = k.value(QLatin1String("ms"));
            if (!ms.isUndefined()) {
                const double d = ms.toDouble(-1);
                if (!ms.isDouble() || d < 0 || d > kMaxKeyframeMs) {
                    *error = at + QStringLiteral(": ms must be 0..%1").arg(kMaxKeyframeMs);
                    return nullptr;
                }
                key.ms = qRound(d);
            }
            const QJsonValue parts = k.value(QLatin1String("parts"));
            if (!parts.isUndefined()) {
                if (!parts.isObject()) {
                    *error = at + QStringLiteral(": parts must be an object");
                    return nullptr;
                }
                const QJsonObject po = parts.toObject();
                if (!countWithin(po.size(), kMaxPartsPerKeyframe, partMoves, kMaxPartMoves, at,
                        QStringLiteral(" moves %1 parts; at most %2"),
                        QStringLiteral("the keyframes move more than %1 parts together"), error))
                    return nullptr;
                for (auto p = po.begin(); p != po.end(); ++p) {
                    if (tooLong(p.key())) {
                        *error = tooLongReason("the part", p.key());
                        return nullptr;
                    }
                    PartPose pose = key.target.part(p.key());
                    if (!reader.partPose(
                            p.value(), &pose, at + QStringLiteral(", part ") + p.key())) {
                        *error = reader.error();
                        return nullptr;
                    }
                    key.target.parts.insert(p.key(), pose);
                    movable << p.key();
                }
            }
            const QJsonValue whole = k.value(QLatin1String("whole"));
            if (!whole.isUndefined()
                && !reader.partPose(whole, &key.target.whole, at + QStringLiteral(", whole"))) {
                *error = reader.error();
                return nullptr;
            }
            const QJsonValue mouth = k.value(QLatin1String("mouth"));
            if (!mouth.isUndefined()) {
                key.target.mouth = mouthShapeFromName(mouth.toString());
                if (!key.target.mouth) {
                    *error = at + QStringLiteral(": mouth must be closed, small, open or wide");
                    return nullptr;
                }
            }
            key.sound = k.value(QLatin1String("sound")).toString();
            if (!key.sound.isEmpty() && !file->sounds.contains(key.sound)) {
                reader.note(QStringLiteral("no sound named %1").arg(key.sound));
                key.sound.clear();
            }
            animation.frames << key;
        }
        if (animation.totalMs() > kMaxAnimationMs) {
            *error = where
                + QStringLiteral(" lasts %1 ms; at most %2")
                      .arg(animation.totalMs())
                      .arg(kMaxAnimationMs);
            return nullptr;
        }
        const QString lower = it.key().toLower();
        if (file->animations.contains(lower))
            reader.note(
                QStringLiteral("two animations are named %1; the first is kept").arg(lower));
        else
            file->animations.insert(lower, animation);
    }
    for (const QString &required : requiredAnimations()) {
        if (!file->animations.contains(required.toLower())) {
            *error = QStringLiteral("lacks the animation %1").arg(required);
            return nullptr;
        }
    }

    QString artError;
    QStringList missing;
    movable.removeDuplicates();
    if (movable.size() > kMaxMovableParts) {
        *error = tooMany("parts are moved, shown or hidden:", movable.size(), kMaxMovableParts);
        return nullptr;
    }
    auto art = CharacterArt::build(svg, file->frame, movable, file->pivots, &artError, &missing);
    if (!art) {
        *error = artError;
        return nullptr;
    }
    for (const QString &id : std::as_const(missing))
        reader.note(QStringLiteral("the art has no part %1; its moves are ignored").arg(id));
    file->art = std::move(art);
    return file;
}

const Animation *CharacterFile::animation(const QString &name) const
{
    auto it = animations.constFind(name.toLower());
    return it == animations.cend() ? nullptr : &it.value();
}

Pose CharacterFile::withMouth(const Pose &pose, std::optional<MouthShape> shape) const
{
    if (!shape)
        return pose;
    return withMouthPart(pose, mouths[int(*shape)]);
}

Pose CharacterFile::withMouthPart(const Pose &pose, const QString &shown) const
{
    if (shown.isEmpty())
        return pose;
    Pose out = pose;
    auto show = [&](const QString &id) {
        if (id.isEmpty())
            return;
        PartPose p = out.part(id);
        p.visible = id == shown;
        out.parts.insert(id, p);
    };
    for (const QString &id : mouths)
        show(id);
    for (const QString &id : visemes.parts)
        show(id);
    return out;
}

} // namespace agent
