#include "agent/character/CharacterArt.h"

#include "agent/Logging.h"
#include "agent/character/CharacterFile.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace agent {

namespace {

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

    art->m_svg = applyEdits(svg, edits).toUtf8();
    art->m_renderer = std::make_unique<QSvgRenderer>(art->m_svg);
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
    m_renderer.reset();
}

void CharacterArt::drawLayer(const Layer &layer, double scale) const
{
    const QSize size = (QSizeF(m_frame) * scale).toSize().expandedTo(QSize(1, 1));
    if (!m_renderer)
        m_renderer = std::make_unique<QSvgRenderer>(m_svg);
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

} // namespace agent
