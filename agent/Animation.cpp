#include "agent/Animation.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace agent {

namespace {
// A burst of keyframes passed in one step (a stalled event loop, zero-length
// keyframes) should not stack up a pile of sounds.
constexpr int kMostSoundsPerStep = 4;

double lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

PartPose tweenPart(const PartPose &a, const PartPose &b, double t)
{
    PartPose p;
    p.dx = lerp(a.dx, b.dx, t);
    p.dy = lerp(a.dy, b.dy, t);
    p.rotate = lerp(a.rotate, b.rotate, t);
    p.scale = lerp(a.scale, b.scale, t);
    p.opacity = lerp(a.opacity, b.opacity, t);
    p.visible = t >= 1 ? b.visible : (a.visible || b.visible);
    return p;
}
} // namespace

std::optional<MouthShape> mouthShapeFromName(const QString &name)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("closed"))
        return MouthShape::Closed;
    if (n == QLatin1String("small"))
        return MouthShape::Small;
    if (n == QLatin1String("open"))
        return MouthShape::Open;
    if (n == QLatin1String("wide"))
        return MouthShape::Wide;
    return std::nullopt;
}

QString mouthShapeName(MouthShape shape)
{
    switch (shape) {
    case MouthShape::Closed:
        return QStringLiteral("closed");
    case MouthShape::Small:
        return QStringLiteral("small");
    case MouthShape::Open:
        return QStringLiteral("open");
    case MouthShape::Wide:
        return QStringLiteral("wide");
    }
    return {};
}

MouthShape mouthForLevel(double level)
{
    if (!(level >= 0.08)) // NaN closes the mouth too
        return MouthShape::Closed;
    if (level < 0.3)
        return MouthShape::Small;
    if (level < 0.6)
        return MouthShape::Open;
    return MouthShape::Wide;
}

qint64 Animation::totalMs() const
{
    qint64 total = 0;
    for (const Keyframe &k : frames)
        total += k.ms;
    return total;
}

double easeInOut(double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

Pose tween(const Pose &from, const Pose &to, double t)
{
    Pose out;
    QSet<QString> ids;
    for (auto it = from.parts.cbegin(); it != from.parts.cend(); ++it)
        ids.insert(it.key());
    for (auto it = to.parts.cbegin(); it != to.parts.cend(); ++it)
        ids.insert(it.key());
    for (const QString &id : std::as_const(ids)) {
        const PartPose p = tweenPart(from.part(id), to.part(id), t);
        if (p != PartPose {})
            out.parts.insert(id, p);
    }
    out.whole = tweenPart(from.whole, to.whole, t);
    out.mouth = to.mouth;
    return out;
}

void Animator::start(const Animation &animation, const Pose &from, bool loop)
{
    m_animation = animation;
    m_from = from;
    m_from.mouth.reset();
    m_index = -1;
    m_frameStart = 0;
    m_loop = loop && animation.totalMs() > 0;
    m_running = true;
}

void Animator::enter(int index, QStringList &sounds)
{
    m_index = index;
    if (index < m_animation.frames.size()) {
        const QString &sound = m_animation.frames[index].sound;
        if (!sound.isEmpty() && !sounds.contains(sound) && sounds.size() < kMostSoundsPerStep)
            sounds << sound;
    }
}

Animator::Step Animator::advanceTo(double ms)
{
    Step step;
    const auto &frames = m_animation.frames;
    if (!m_running) {
        step.pose = m_from;
        step.finished = true;
        return step;
    }
    if (m_index < 0)
        enter(0, step.sounds);
    if (m_loop && m_index == 0) {
        // Skip whole cycles lost to a stalled event loop in one go.
        const double total = double(m_animation.totalMs());
        const double cycles = std::floor((ms - m_frameStart) / total);
        if (cycles > 1)
            m_frameStart += (cycles - 1) * total;
    }
    while (m_index < frames.size() && ms >= m_frameStart + frames[m_index].ms) {
        m_from = frames[m_index].target;
        m_from.mouth.reset();
        m_frameStart += frames[m_index].ms;
        int next = m_index + 1;
        if (next == frames.size() && m_loop)
            next = 0;
        enter(next, step.sounds);
    }
    if (m_index >= frames.size()) {
        m_running = false;
        step.pose = m_from;
        step.finished = true;
        return step;
    }
    const Keyframe &k = frames[m_index];
    const double t = k.ms > 0 ? (ms - m_frameStart) / k.ms : 1.0;
    step.pose = tween(m_from, k.target, easeInOut(t));
    step.pose.mouth = k.target.mouth;
    return step;
}

} // namespace agent
