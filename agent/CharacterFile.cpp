#include "agent/CharacterFile.h"

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

using Limits = CharacterFile;

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
    QString href; // of <use> and <image>
    int parent = -1;
    qsizetype begin = 0;
    qsizetype nameEnd = 0; // just after the tag's name
    qsizetype end = 0;
    bool inert = false; // draws nothing of its own accord, or lies inside a shape
    QVector<int> children;
    bool holdsMovable = false; // a movable part lies inside
};

// A change to the art's text: `cut` characters from `pos` replaced by `text`.
struct Edit
{
    qsizetype pos;
    qsizetype cut;
    QString text;
    int order = 0; // among edits at one position
};

QString applyEdits(const QString &text, std::vector<Edit> edits)
{
    std::stable_sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) {
        return a.pos != b.pos ? a.pos < b.pos : a.order < b.order;
    });
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    for (const Edit &e : edits) {
        if (e.pos < pos)
            continue; // inside a range already cut
        out += QStringView(text).mid(pos, e.pos - pos);
        out += e.text;
        pos = e.pos + e.cut;
    }
    out += QStringView(text).mid(pos);
    return out;
}

bool hiddenByAttribute(const QXmlStreamAttributes &attributes)
{
    if (attributes.value(QLatin1String("display")).trimmed() == QLatin1String("none"))
        return true;
    static const QRegularExpression none(QStringLiteral(R"((^|;)\s*display\s*:\s*none)"));
    return none.match(attributes.value(QLatin1String("style"))).hasMatch();
}

QString referenceOf(const QXmlStreamAttributes &attributes)
{
    QString href = attributes.value(QLatin1String("href")).toString();
    if (href.isEmpty())
        href
            = attributes.value(QLatin1String("http://www.w3.org/1999/xlink"), QLatin1String("href"))
                  .toString();
    return href.trimmed();
}

// The size of an embedded picture ("data:image/png;base64,..."), read from
// its header only; invalid when it cannot be told.
QSize pictureSize(const QString &href)
{
    const qsizetype comma = href.indexOf(QLatin1Char(','));
    if (comma < 0)
        return {};
    if (!href.left(comma).contains(QLatin1String(";base64")))
        return {};
    QByteArray bytes = QByteArray::fromBase64(href.mid(comma + 1).toLatin1());
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    return reader.size();
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

// The scale the layer pictures are drawn at for a painter of `deviceScale`:
// twice the device resolution keeps parts that grow or turn crisp.
double cacheScaleFor(double deviceScale)
{
    return std::clamp(std::ceil(deviceScale * 2.0), 1.0, 8.0);
}

// How many elements drawing `index` draws, counting what <use> repeats;
// more than the limit once past it. -1 when references go round in a
// circle or too many steps deep.
qint64 drawnElements(const QVector<Element> &els, const QHash<QString, int> &byId, int index,
    QVector<qint64> &memo, QVector<char> &state, int steps)
{
    if (state[index] == 2)
        return memo[index];
    if (state[index] == 1 || steps > Limits::kMaxUseSteps)
        return -1;
    state[index] = 1;
    qint64 n = 1;
    for (int child : els[index].children) {
        const qint64 c = drawnElements(els, byId, child, memo, state, steps);
        if (c < 0)
            return -1;
        n = std::min<qint64>(n + c, Limits::kMaxArtElements + 1);
    }
    const Element &e = els[index];
    if (e.name == QLatin1String("use") && e.href.startsWith(QLatin1Char('#'))) {
        const int target = byId.value(e.href.mid(1), -1);
        if (target >= 0) {
            const qint64 c = drawnElements(els, byId, target, memo, state, steps + 1);
            if (c < 0)
                return -1;
            n = std::min<qint64>(n + c, Limits::kMaxArtElements + 1);
        }
    }
    state[index] = 2;
    memo[index] = n;
    return n;
}

} // namespace

CharacterArt::~CharacterArt() = default;

std::unique_ptr<CharacterArt> CharacterArt::build(const QString &svg, QSize frame,
    const QStringList &movable, const QHash<QString, QPointF> &pivots, QString *error,
    QStringList *missing)
{
    if (svg.size() > Limits::kMaxArtChars) {
        *error = QStringLiteral("the art is %1 characters long; at most %2")
                     .arg(svg.size())
                     .arg(Limits::kMaxArtChars);
        return nullptr;
    }
    QVector<Element> els;
    QVector<int> stack;
    QHash<QString, int> idCount;
    QVector<bool> hidden; // by display="none" on it or around it
    qint64 picturePixels = 0;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::DTD) {
            // Entities could make the text the renderer reads larger than any bound here.
            *error = QStringLiteral("the art declares a DOCTYPE; it may not");
            return nullptr;
        }
        if (token == QXmlStreamReader::StartElement) {
            if (els.size() >= Limits::kMaxArtElements) {
                *error = QStringLiteral("the art has more than %1 elements")
                             .arg(Limits::kMaxArtElements);
                return nullptr;
            }
            if (stack.size() >= Limits::kMaxArtDepth) {
                *error = QStringLiteral("the art is nested more than %1 deep")
                             .arg(Limits::kMaxArtDepth);
                return nullptr;
            }
            Element e;
            e.name = xml.name().toString();
            const QXmlStreamAttributes attributes = xml.attributes();
            e.id = attributes.value(QLatin1String("id")).toString();
            // The reader stops right after the tag's '>'; a '<' cannot occur
            // inside a tag, so the last one before is where the tag begins.
            e.end = xml.characterOffset();
            e.begin = svg.lastIndexOf(QLatin1Char('<'), e.end - 1);
            e.nameEnd = e.begin + 1 + xml.qualifiedName().size();
            e.parent = stack.isEmpty() ? -1 : stack.back();
            bool isHidden = hiddenByAttribute(attributes);
            if (e.parent < 0) {
                if (e.name != QLatin1String("svg")) {
                    *error = QStringLiteral("the art is <%1>, not <svg>").arg(e.name);
                    return nullptr;
                }
            } else {
                const Element &p = els[e.parent];
                isHidden = isHidden || hidden[e.parent];
                e.inert = p.inert || !isContainer(p.name) || nonRendering().contains(e.name)
                    || isHidden;
            }
            if (e.name == QLatin1String("use") || e.name == QLatin1String("image"))
                e.href = referenceOf(attributes);
            if (e.name == QLatin1String("image")) {
                // Pictures from elsewhere could be any file, of any size.
                if (!e.href.startsWith(QLatin1String("data:"))) {
                    *error = QStringLiteral("the art may only hold pictures embedded in it");
                    return nullptr;
                }
                const QSize size = pictureSize(e.href);
                picturePixels += size.isValid() ? qint64(size.width()) * size.height() : 0;
                if (!size.isValid() || picturePixels > Limits::kMaxPicturePixels) {
                    *error = size.isValid()
                        ? QStringLiteral("the art's pictures hold more than %1 pixels")
                              .arg(Limits::kMaxPicturePixels)
                        : QStringLiteral("the art holds a picture that cannot be read");
                    return nullptr;
                }
            }
            if (!e.id.isEmpty())
                ++idCount[e.id];
            const int index = int(els.size());
            if (e.parent >= 0)
                els[e.parent].children << index;
            els << e;
            hidden << isHidden;
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

    // Every element, and the first of each id as references see it.
    QHash<QString, int> firstById;
    for (int i = 0; i < els.size(); ++i) {
        if (!els[i].id.isEmpty() && !firstById.contains(els[i].id))
            firstById.insert(els[i].id, i);
    }
    {
        QVector<qint64> memo(els.size(), 0);
        QVector<char> state(els.size(), 0);
        const qint64 drawn = drawnElements(els, firstById, 0, memo, state, 0);
        if (drawn < 0) {
            *error = QStringLiteral("the art's <use> elements refer round in a circle or more "
                                    "than %1 steps deep")
                         .arg(Limits::kMaxUseSteps);
            return nullptr;
        }
        if (drawn > Limits::kMaxArtElements) {
            *error = QStringLiteral("the art draws more than %1 elements")
                         .arg(Limits::kMaxArtElements);
            return nullptr;
        }
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
    for (int i = int(els.size()) - 1; i > 0; --i) {
        Element &e = els[i];
        Element &p = els[e.parent];
        const bool isPart
            = !e.inert && !e.id.isEmpty() && wanted.contains(e.id) && elementById.value(e.id) == i;
        p.holdsMovable = p.holdsMovable || e.holdsMovable || isPart;
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
    std::vector<Edit> edits;
    std::function<void(int, int)> visit = [&](int parent, int owner) {
        for (int child : std::as_const(els[parent].children)) {
            const Element &e = els[child];
            if (svgAnimation().contains(e.name)) {
                // After anything inserted where it begins, which belongs before it.
                edits.push_back({ e.begin, e.end - e.begin, QString(), 2 });
                continue;
            }
            if (e.inert)
                continue; // drawn only where referenced
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
    // Each movable part starts a run and ends one: the bound on parts bounds the layers.
    Q_ASSERT(runs.size() <= std::size_t(2 * Limits::kMaxMovableParts + 1));

    // Every subtree a layer draws gets an id of its own to be rendered by:
    // its own when no other element shares it, else one made up here.
    QString prefix = QStringLiteral("quillory-piece-");
    auto prefixTaken = [&] {
        for (auto it = idCount.cbegin(); it != idCount.cend(); ++it) {
            if (it.key().startsWith(prefix))
                return true;
        }
        return false;
    };
    while (prefixTaken())
        prefix += QLatin1Char('x');
    // Neighbours of one parent in one run are drawn as one: wrapped in a
    // group, so that art of many small shapes is still a few pieces.
    // (Not inside <switch>, which draws only one of its children.)
    std::vector<QVector<int>> runPieces(runs.size());
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const QVector<int> &roots = runs[r].roots;
        for (qsizetype i = 0; i < roots.size();) {
            qsizetype j = i + 1;
            const int parent = els[roots[i]].parent;
            if (els[parent].name != QLatin1String("switch")) {
                while (j < roots.size() && els[roots[j]].parent == parent)
                    ++j;
            }
            const Element &first = els[roots[i]];
            const Element &last = els[roots[j - 1]];
            QString id = first.id;
            if (j - i > 1 || id.isEmpty() || idCount.value(id) > 1) {
                id = prefix + QString::number(art->m_pieces.size());
                const QString attribute = QStringLiteral(" id=\"%1\"").arg(id);
                if (j - i == 1 && first.id.isEmpty()) {
                    edits.push_back({ first.nameEnd, 0, attribute });
                } else {
                    // A second id attribute would be malformed: wrap instead.
                    edits.push_back({ first.begin, 0, QStringLiteral("<g%1>").arg(attribute), 1 });
                    edits.push_back({ last.end, 0, QStringLiteral("</g>"), 0 });
                }
            }
            runPieces[r] << int(art->m_pieces.size());
            art->m_pieces.append(Piece { id, {}, {} });
            i = j;
        }
    }

    art->m_renderer = std::make_unique<QSvgRenderer>(applyEdits(svg, edits).toUtf8());
    QSvgRenderer &renderer = *art->m_renderer;
    if (!renderer.isValid()) {
        *error = QStringLiteral("the art does not render as SVG");
        return nullptr;
    }
    const QRectF viewBox = renderer.viewBoxF();
    if (viewBox.isEmpty() || !std::isfinite(viewBox.width()) || !std::isfinite(viewBox.height())) {
        *error = QStringLiteral("the art has no viewBox");
        return nullptr;
    }
    art->m_toFrame = QTransform::fromTranslate(-viewBox.x(), -viewBox.y())
        * QTransform::fromScale(frame.width() / viewBox.width(), frame.height() / viewBox.height());
    for (Part &part : art->m_parts) {
        if (pivots.contains(part.id)) {
            part.pivot = pivots.value(part.id);
        } else {
            const QRectF b
                = renderer.transformForElement(part.id).mapRect(renderer.boundsOnElement(part.id));
            part.pivot = art->m_toFrame.mapRect(b).center();
        }
    }
    for (Piece &piece : art->m_pieces) {
        if (!renderer.elementExists(piece.id))
            continue; // an element the renderer does not draw
        piece.bounds = renderer.boundsOnElement(piece.id);
        piece.parents = renderer.transformForElement(piece.id);
    }
    const QRectF frameRect(QPointF(0, 0), QSizeF(frame));
    const double frameArea = double(frame.width()) * frame.height();
    for (std::size_t r = 0; r < runs.size(); ++r) {
        Layer layer;
        layer.owner = runs[r].owner;
        QRectF covered;
        for (int index : runPieces[r]) {
            const Piece &piece = art->m_pieces[index];
            const QRectF &b = piece.bounds;
            if (renderer.elementExists(piece.id) && std::isfinite(b.x()) && std::isfinite(b.y())
                && std::isfinite(b.width()) && std::isfinite(b.height())) {
                layer.pieces << index;
                covered |= (piece.parents * art->m_toFrame).mapRect(b);
            }
        }
        covered &= frameRect;
        const double area = covered.width() * covered.height();
        layer.area = std::isfinite(area) ? std::clamp(area, 0.0, frameArea) : frameArea;
        art->m_layers.push_back(std::move(layer));
    }
    art->m_scaleLimit = std::min(8.0, std::sqrt(double(Limits::kMaxLayerPixels) / frameArea));

    // The pictures are drawn now, as the first paint at the frame's own size
    // would draw them. Whether any of them holds a pixel tells whether the
    // art draws anything; compositing them all into a frame-sized picture
    // to find out took most of the load time of art with many large layers.
    art->ensureCaches(cacheScaleFor(1.0));
    if (std::none_of(art->m_layers.cbegin(), art->m_layers.cend(),
            [](const Layer &layer) { return !layer.cache.isNull(); })) {
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

qint64 CharacterArt::cachedPixels() const
{
    qint64 n = 0;
    for (const Layer &layer : m_layers)
        n += qint64(layer.cache.width()) * layer.cache.height();
    return n;
}

void CharacterArt::paint(QPainter &painter, const Pose &pose) const
{
    auto degenerate = [](const PartPose &p) {
        return !p.visible || p.opacity <= 0 || std::abs(p.scale) < 1e-6;
    };
    if (degenerate(pose.whole))
        return;
    const QRectF frameRect(QPointF(0, 0), QSizeF(m_frame));
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
    const QTransform device = painter.deviceTransform();
    const double deviceScale
        = std::max(std::hypot(device.m11(), device.m12()), std::hypot(device.m21(), device.m22()));
    ensureCaches(cacheScaleFor(deviceScale));
    for (const Layer &layer : m_layers) {
        if (layer.cache.isNull() || (layer.owner >= 0 && !shown[layer.owner]))
            continue;
        painter.save();
        painter.setWorldTransform(layer.owner < 0 ? whole : transforms[layer.owner], true);
        painter.setOpacity(baseOpacity * (layer.owner < 0 ? 1.0 : opacity[layer.owner]));
        painter.drawImage(layer.cacheTarget, layer.cache);
        painter.restore();
    }
}

namespace {

// The smallest rectangle holding every pixel that is not fully transparent,
// with a pixel to spare for smooth edges when the picture is turned.
QRect opaqueBounds(const QImage &image)
{
    // Every pixel of every layer passes here: the sizes are read once.
    const int width = image.width();
    const int height = image.height();
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
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

void CharacterArt::ensureCaches(double scale) const
{
    if (scale == m_askedScale)
        return;
    m_askedScale = scale;
    double drawn = std::min(scale, m_scaleLimit);
    // Art whose layers each cover much of a large frame is drawn coarser
    // rather than held in ever more memory. The pictures are counted as they
    // are drawn, so no more than the bound is ever held; what the drawn
    // ones held tells the scale that fits all of them.
    const double layers = double(m_layers.size());
    const double surest = std::sqrt(double(Limits::kMaxCachePixels)
        / std::max(1.0, layers * double(m_frame.width()) * m_frame.height()));
    // What the layers cover by the renderer's bounds tells a scale that should
    // fit before any is drawn: starting larger, the first try would hold the
    // bound and one full-frame picture more before the count caught it.
    double covered = 0;
    for (const Layer &layer : m_layers)
        covered += layer.area;
    const double fits = std::sqrt(double(Limits::kMaxCachePixels) / std::max(1.0, covered)) * 0.95;
    if (fits < drawn) {
        drawn = std::max(surest, fits);
        m_scaleLimit = drawn;
    }
    for (int attempt = 0;; ++attempt) {
        qint64 pixels = 0;
        std::size_t done = 0;
        for (; done < m_layers.size() && pixels <= Limits::kMaxCachePixels; ++done) {
            drawLayer(m_layers[done], drawn);
            pixels += qint64(m_layers[done].cache.width()) * m_layers[done].cache.height();
        }
        if (pixels <= Limits::kMaxCachePixels || drawn <= surest)
            break;
        for (const Layer &layer : m_layers) {
            layer.cache = QImage();
            layer.cacheTarget = QRectF();
        }
        const double projected = double(pixels) * layers / double(done);
        m_scaleLimit = attempt < 2 ? std::max(surest,
                           drawn * std::sqrt(double(Limits::kMaxCachePixels) / projected) * 0.95)
                                   : surest;
        drawn = m_scaleLimit;
    }
    m_drawnScale = drawn;
}

void CharacterArt::drawLayer(const Layer &layer, double scale) const
{
    const QSize size = (QSizeF(m_frame) * scale).toSize().expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QTransform base = m_toFrame * QTransform::fromScale(scale, scale);
        for (int index : layer.pieces) {
            const Piece &piece = m_pieces[index];
            painter.setWorldTransform(piece.parents * base);
            // Drawn into its own bounds: the renderer adds no mapping of its own.
            m_renderer->render(&painter, piece.id, piece.bounds);
        }
    }
    // Most parts cover a small piece of the frame; moving only that piece
    // keeps an animating character cheap.
    const QRect used = opaqueBounds(image);
    if (used.isEmpty()) {
        layer.cache = QImage();
        layer.cacheTarget = QRectF();
    } else {
        layer.cache = image.copy(used);
        layer.cacheTarget = QRectF(QPointF(used.topLeft()) / scale, QSizeF(used.size()) / scale);
    }
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
