#include "agent/CharacterFile.h"

#include "agent/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
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

// Deeper nesting than any drawing needs would only exhaust the stack of the
// SVG renderer, which walks the tree recursively.
constexpr int kMaxArtDepth = 200;

// Elements that draw nothing themselves and may be referenced from anywhere:
// every layer keeps them.
const QSet<QString> &nonRendering()
{
    static const QSet<QString> names {
        QStringLiteral("defs"),
        QStringLiteral("style"),
        QStringLiteral("linearGradient"),
        QStringLiteral("radialGradient"),
        QStringLiteral("clipPath"),
        QStringLiteral("mask"),
        QStringLiteral("pattern"),
        QStringLiteral("marker"),
        QStringLiteral("symbol"),
        QStringLiteral("filter"),
        QStringLiteral("title"),
        QStringLiteral("desc"),
        QStringLiteral("metadata"),
        QStringLiteral("font"),
        QStringLiteral("font-face"),
        QStringLiteral("script"),
        QStringLiteral("solidColor"),
    };
    return names;
}

// SVG animation would make the renderer run a timer of its own; the engine
// does all animating, so these are cut from the art.
const QSet<QString> &svgAnimation()
{
    static const QSet<QString> names { QStringLiteral("animate"), QStringLiteral("animateColor"),
        QStringLiteral("animateMotion"), QStringLiteral("animateTransform"),
        QStringLiteral("set") };
    return names;
}

bool isContainer(const QString &name)
{
    return name == QLatin1String("g") || name == QLatin1String("a")
        || name == QLatin1String("switch") || name == QLatin1String("svg");
}

struct Element
{
    QString name;
    QString id;
    int parent = -1;
    qsizetype begin = 0;
    qsizetype end = 0;
    bool inert = false; // draws nothing of its own accord, or lies inside a shape
    QVector<int> children;
    bool holdsMovable = false; // a movable part lies inside
    bool holdsReferenced = false; // it or something inside is referenced by "#id"
};

struct Edit
{
    qsizetype begin;
    qsizetype end;
    bool hide; // wrap in display="none" rather than cut: something refers to it
};

QString applyEdits(const QString &text, std::vector<Edit> edits)
{
    std::sort(
        edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.begin < b.begin; });
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    for (const Edit &e : edits) {
        if (e.begin < pos)
            continue; // inside a range already cut
        out += QStringView(text).mid(pos, e.begin - pos);
        if (e.hide) {
            out += QLatin1String("<g display=\"none\">");
            out += QStringView(text).mid(e.begin, e.end - e.begin);
            out += QLatin1String("</g>");
        }
        pos = e.end;
    }
    out += QStringView(text).mid(pos);
    return out;
}

QSet<QString> referencedIds(const QString &svg)
{
    static const QRegularExpression re(
        QStringLiteral(R"((?:url\(\s*['"]?#|href\s*=\s*["']#)([^"')\s]+))"));
    QSet<QString> ids;
    for (auto it = re.globalMatch(svg); it.hasNext();)
        ids.insert(it.next().captured(1));
    return ids;
}

QTransform partTransform(const PartPose &p, QPointF pivot)
{
    QTransform t;
    t.translate(p.dx, p.dy);
    t.translate(pivot.x(), pivot.y());
    t.rotate(p.rotate);
    t.scale(p.scale, p.scale);
    t.translate(-pivot.x(), -pivot.y());
    return t;
}

bool drawsAnything(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 0)
                return true;
        }
    }
    return false;
}

} // namespace

CharacterArt::~CharacterArt() = default;

std::unique_ptr<CharacterArt> CharacterArt::build(const QString &svg, QSize frame,
    const QStringList &movable, const QHash<QString, QPointF> &pivots, QString *error,
    QStringList *missing)
{
    QVector<Element> els;
    QVector<int> stack;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            Element e;
            e.name = xml.name().toString();
            e.id = xml.attributes().value(QLatin1String("id")).toString();
            // The reader stops right after the tag's '>'; a '<' cannot occur
            // inside a tag, so the last one before is where the tag begins.
            e.end = xml.characterOffset();
            e.begin = svg.lastIndexOf(QLatin1Char('<'), e.end - 1);
            e.parent = stack.isEmpty() ? -1 : stack.back();
            if (e.parent < 0) {
                if (e.name != QLatin1String("svg")) {
                    *error = QStringLiteral("the art is <%1>, not <svg>").arg(e.name);
                    return nullptr;
                }
            } else {
                const Element &p = els[e.parent];
                e.inert = p.inert || !isContainer(p.name) || nonRendering().contains(e.name);
            }
            if (stack.size() >= kMaxArtDepth) {
                *error = QStringLiteral("the art is nested more than %1 deep").arg(kMaxArtDepth);
                return nullptr;
            }
            const int index = int(els.size());
            if (e.parent >= 0)
                els[e.parent].children << index;
            els << e;
            stack << index;
        } else if (token == QXmlStreamReader::EndElement && !stack.isEmpty()) {
            els[stack.back()].end = xml.characterOffset();
            stack.pop_back();
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("the art is not well-formed SVG (%1, line %2)")
                     .arg(xml.errorString())
                     .arg(xml.lineNumber());
        return nullptr;
    }
    if (els.isEmpty()) {
        *error = QStringLiteral("the art is empty");
        return nullptr;
    }

    // Movable parts, in document order so that a part's parent comes first.
    QHash<QString, int> elementById;
    for (int i = 1; i < els.size(); ++i) {
        if (!els[i].inert && !els[i].id.isEmpty() && !elementById.contains(els[i].id))
            elementById.insert(els[i].id, i);
    }
    const QSet<QString> wanted(movable.cbegin(), movable.cend());
    for (const QString &id : wanted) {
        if (!elementById.contains(id))
            missing->append(id);
    }
    std::sort(missing->begin(), missing->end());
    QVector<int> partOf(els.size(), -1);

    auto art = std::unique_ptr<CharacterArt>(new CharacterArt);
    art->m_frame = frame;
    const QSet<QString> referenced = referencedIds(svg);
    for (int i = int(els.size()) - 1; i > 0; --i) {
        Element &e = els[i];
        Element &p = els[e.parent];
        const bool isPart
            = !e.inert && !e.id.isEmpty() && wanted.contains(e.id) && elementById.value(e.id) == i;
        p.holdsMovable = p.holdsMovable || e.holdsMovable || isPart;
        e.holdsReferenced = e.holdsReferenced || referenced.contains(e.id);
        p.holdsReferenced = p.holdsReferenced || e.holdsReferenced;
    }
    for (int i = 1; i < els.size(); ++i) {
        const Element &e = els[i];
        if (e.inert || e.id.isEmpty() || !wanted.contains(e.id) || elementById.value(e.id) != i)
            continue;
        int parentPart = -1;
        for (int a = e.parent; a > 0 && parentPart < 0; a = els[a].parent)
            parentPart = partOf[a];
        partOf[i] = int(art->m_parts.size());
        art->m_partIndex.insert(e.id, partOf[i]);
        art->m_parts.append(Part { e.id, parentPart, {} });
    }

    // Runs of drawing in document order, each owned by one part (or none).
    struct Run
    {
        int owner;
        QVector<int> roots;
    };
    std::vector<Run> runs;
    bool runOpen = false;
    auto closeRun = [&] { runOpen = false; };
    auto append = [&](int owner, int element) {
        if (!runOpen || runs.back().owner != owner)
            runs.push_back(Run { owner, {} });
        runOpen = true;
        runs.back().roots << element;
    };
    std::vector<Edit> alwaysCut;
    std::function<void(int, int)> visit = [&](int parent, int owner) {
        for (int child : std::as_const(els[parent].children)) {
            const Element &e = els[child];
            if (svgAnimation().contains(e.name)) {
                alwaysCut.push_back({ e.begin, e.end, false });
                continue;
            }
            if (e.inert)
                continue; // kept in every layer
            if (partOf[child] >= 0) {
                closeRun();
                if (isContainer(e.name))
                    visit(child, partOf[child]);
                else
                    append(partOf[child], child);
                closeRun();
            } else if (e.holdsMovable) {
                visit(child, owner);
            } else {
                append(owner, child);
            }
        }
    };
    visit(0, -1);

    const QRectF frameRect(QPointF(0, 0), QSizeF(frame));
    {
        const QString plain = applyEdits(svg, alwaysCut);
        QSvgRenderer whole(plain.toUtf8());
        if (!whole.isValid()) {
            *error = QStringLiteral("the art does not render as SVG");
            return nullptr;
        }
        const QRectF viewBox = whole.viewBoxF();
        if (viewBox.isEmpty()) {
            *error = QStringLiteral("the art has no viewBox");
            return nullptr;
        }
        const QTransform toFrame = QTransform::fromTranslate(-viewBox.x(), -viewBox.y())
            * QTransform::fromScale(
                frame.width() / viewBox.width(), frame.height() / viewBox.height());
        for (Part &part : art->m_parts) {
            if (pivots.contains(part.id)) {
                part.pivot = pivots.value(part.id);
            } else {
                const QRectF b
                    = whole.transformForElement(part.id).mapRect(whole.boundsOnElement(part.id));
                part.pivot = toFrame.mapRect(b).center();
            }
        }
    }

    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::vector<Edit> edits = alwaysCut;
        for (std::size_t other = 0; other < runs.size(); ++other) {
            if (other == r)
                continue;
            for (int root : std::as_const(runs[other].roots))
                edits.push_back({ els[root].begin, els[root].end, els[root].holdsReferenced });
        }
        Layer layer;
        layer.owner = runs[r].owner;
        layer.renderer = std::make_unique<QSvgRenderer>(applyEdits(svg, edits).toUtf8());
        if (!layer.renderer->isValid()) {
            *error = QStringLiteral("the art does not render as SVG once cut into parts");
            return nullptr;
        }
        art->m_layers.push_back(std::move(layer));
    }

    QImage probe(frame, QImage::Format_ARGB32_Premultiplied);
    probe.fill(Qt::transparent);
    {
        QPainter painter(&probe);
        art->paint(painter, Pose {});
    }
    if (!drawsAnything(probe)) {
        *error = QStringLiteral("the art draws nothing");
        return nullptr;
    }
    return art;
}

QPointF CharacterArt::pivot(const QString &id) const
{
    const int i = m_partIndex.value(id, -1);
    return i < 0 ? QPointF() : m_parts[i].pivot;
}

void CharacterArt::paint(QPainter &painter, const Pose &pose) const
{
    const QRectF frameRect(QPointF(0, 0), QSizeF(m_frame));
    auto degenerate = [](const PartPose &p) {
        return !p.visible || p.opacity <= 0 || std::abs(p.scale) < 1e-6;
    };
    if (degenerate(pose.whole))
        return;
    const QTransform whole = partTransform(pose.whole, frameRect.center());

    QVector<QTransform> transforms(m_parts.size());
    QVector<double> opacity(m_parts.size(), 1.0);
    QVector<bool> shown(m_parts.size(), true);
    for (int i = 0; i < m_parts.size(); ++i) {
        const Part &part = m_parts[i];
        const PartPose p = pose.part(part.id);
        const QTransform &outer = part.parent < 0 ? whole : transforms[part.parent];
        transforms[i] = partTransform(p, part.pivot) * outer;
        opacity[i] = p.opacity * (part.parent < 0 ? 1.0 : opacity[part.parent]);
        shown[i] = !degenerate(p) && (part.parent < 0 || shown[part.parent]);
    }

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const double baseOpacity = painter.opacity() * pose.whole.opacity;
    // Twice the device resolution keeps parts that grow or turn crisp.
    const QTransform device = painter.deviceTransform();
    const double deviceScale
        = std::max(std::hypot(device.m11(), device.m12()), std::hypot(device.m21(), device.m22()));
    const double scale = std::clamp(std::ceil(deviceScale * 2.0), 1.0, 8.0);
    for (const Layer &layer : m_layers) {
        if (layer.owner >= 0 && !shown[layer.owner])
            continue;
        painter.save();
        painter.setWorldTransform(layer.owner < 0 ? whole : transforms[layer.owner], true);
        painter.setOpacity(baseOpacity * (layer.owner < 0 ? 1.0 : opacity[layer.owner]));
        const QImage &image = layerImage(layer, scale);
        if (!image.isNull())
            painter.drawImage(layer.cacheTarget, image);
        painter.restore();
    }
}

namespace {

// The smallest rectangle holding every pixel that is not fully transparent,
// with a pixel to spare for smooth edges when the picture is turned.
QRect opaqueBounds(const QImage &image)
{
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom)).adjusted(-1, -1, 1, 1) & image.rect();
}

} // namespace

const QImage &CharacterArt::layerImage(const Layer &layer, double scale) const
{
    if (layer.cache.isNull() || layer.cacheScale != scale) {
        const QSize size = (QSizeF(m_frame) * scale).toSize();
        layer.cache = QImage(size, QImage::Format_ARGB32_Premultiplied);
        layer.cache.fill(Qt::transparent);
        {
            QPainter painter(&layer.cache);
            painter.setRenderHint(QPainter::Antialiasing);
            layer.renderer->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
        }
        layer.cacheScale = scale;
        // Most parts cover a small piece of the frame; moving only that
        // piece keeps an animating character cheap.
        const QRect used = opaqueBounds(layer.cache);
        if (used.isEmpty()) {
            layer.cache = QImage();
            layer.cacheTarget = QRectF();
        } else {
            layer.cache = layer.cache.copy(used);
            layer.cacheTarget
                = QRectF(QPointF(used.topLeft()) / scale, QSizeF(used.size()) / scale);
        }
    }
    return layer.cache;
}

// ---------------------------------------------------------------------------

namespace {

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
    if (voiceName.match(espeak).hasMatch())
        voice.espeakVoice = espeak;
    else if (o.contains(QLatin1String("espeak")))
        reader.note(QStringLiteral("voice \"%1\" is not a voice name; using %2")
                        .arg(espeak, voice.espeakVoice));
    if (o.value(QLatin1String("rate")).isDouble())
        voice.rate = std::clamp(qRound(o.value(QLatin1String("rate")).toDouble()), 80, 450);
    if (o.value(QLatin1String("pitch")).isDouble())
        voice.pitch = std::clamp(qRound(o.value(QLatin1String("pitch")).toDouble()), 0, 99);
    return voice;
}

ToneSequence readSound(const QJsonValue &value)
{
    ToneSequence notes;
    for (const QJsonValue &n : value.toArray()) {
        const QJsonObject o = n.toObject();
        Note note;
        note.frequency
            = std::clamp(o.value(QLatin1String("frequency")).toDouble(880), 20.0, 20000.0);
        note.ms = std::clamp(o.value(QLatin1String("ms")).toInt(200), 1, 10000);
        note.gain = std::clamp(o.value(QLatin1String("gain")).toDouble(0.6), 0.0, 1.0);
        notes << note;
    }
    return notes;
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
    // Read at most one byte past the limit: the file may grow after the check.
    return parse(file.read(kMaxBytes + 1), info.completeBaseName(), error);
}

std::shared_ptr<const CharacterFile> CharacterFile::parse(
    const QByteArray &json, const QString &name, QString *error)
{
    if (json.size() > kMaxBytes) {
        *error = QStringLiteral("the file is larger than %1 bytes").arg(kMaxBytes);
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
    for (auto it = pivots.begin(); it != pivots.end(); ++it) {
        const QJsonArray xy = it.value().toArray();
        if (xy.size() == 2 && xy[0].isDouble() && xy[1].isDouble())
            file->pivots.insert(it.key(), QPointF(xy[0].toDouble(), xy[1].toDouble()));
        else
            reader.note(QStringLiteral("pivot of %1 is not [x, y]; ignored").arg(it.key()));
    }
    const QJsonObject mouths = root.value(QLatin1String("mouths")).toObject();
    for (auto shape : { MouthShape::Closed, MouthShape::Small, MouthShape::Open, MouthShape::Wide })
        file->mouths[int(shape)] = mouths.value(mouthShapeName(shape)).toString();
    for (const QJsonValue &v : root.value(QLatin1String("hidden")).toArray()) {
        if (v.isString())
            file->hidden << v.toString();
    }
    const QJsonObject sounds = root.value(QLatin1String("sounds")).toObject();
    for (auto it = sounds.begin(); it != sounds.end(); ++it) {
        const ToneSequence notes = readSound(it.value());
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

    const QJsonValue animations = root.value(QLatin1String("animations"));
    if (!animations.isObject()) {
        *error = QStringLiteral("no animations");
        return nullptr;
    }
    const QJsonObject animObject = animations.toObject();
    for (auto it = animObject.begin(); it != animObject.end(); ++it) {
        const QString where = QStringLiteral("animation %1").arg(it.key());
        const QJsonValue frames = it.value().toObject().value(QLatin1String("frames"));
        if (!frames.isArray()) {
            *error = where + QStringLiteral(" has no list of frames");
            return nullptr;
        }
        Animation animation;
        animation.name = it.key();
        const QJsonArray list = frames.toArray();
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
                for (auto p = po.begin(); p != po.end(); ++p) {
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
    const QString &shown = mouths[int(*shape)];
    if (shown.isEmpty())
        return pose;
    Pose out = pose;
    for (const QString &id : mouths) {
        if (id.isEmpty())
            continue;
        PartPose p = out.part(id);
        p.visible = id == shown;
        out.parts.insert(id, p);
    }
    return out;
}

} // namespace agent
