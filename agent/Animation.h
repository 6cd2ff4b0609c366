#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// The pose model of a character: where each part is, how it is turned,
// scaled, faded or hidden, and the keyframed animations that move between
// poses. Pure data and arithmetic, so timing and tweening are testable
// without a window.
namespace agent {

enum class MouthShape { Closed, Small, Open, Wide };

std::optional<MouthShape> mouthShapeFromName(const QString &name);
QString mouthShapeName(MouthShape shape);
// The mouth that fits the loudness of speech (0..1).
MouthShape mouthForLevel(double level);

struct PartPose
{
    double dx = 0;
    double dy = 0;
    double rotate = 0; // degrees, clockwise
    double scale = 1;
    double opacity = 1;
    bool visible = true;

    bool operator==(const PartPose &) const = default;
};

// Parts absent from `parts` are as drawn. Every pose of a character derives
// from its rest pose, which lists the parts hidden at rest.
struct Pose
{
    QHash<QString, PartPose> parts;
    PartPose whole;
    std::optional<MouthShape> mouth;

    PartPose part(const QString &id) const { return parts.value(id); }
    bool operator==(const Pose &) const = default;
};

struct Keyframe
{
    int ms = 0;
    Pose target; // the pose reached at the end of the keyframe
    QString sound;
};

struct Animation
{
    QString name;
    QVector<Keyframe> frames;
    qint64 totalMs() const;
};

// 0..1 onto 0..1, slow at both ends.
double easeInOut(double t);

// The pose a fraction `t` (0..1, already eased) of the way from `from` to
// `to`. A part that appears does so at once, one that disappears only at
// the end, so fades in and out are seen.
Pose tween(const Pose &from, const Pose &to, double t);

// Plays one animation from a starting pose against a clock the caller
// advances; looping animations start over from wherever they ended.
class Animator
{
public:
    void start(const Animation &animation, const Pose &from, bool loop = false);
    void clear() { m_running = false; }
    bool running() const { return m_running; }
    const QString &name() const { return m_animation.name; }

    struct Step
    {
        Pose pose;
        QStringList sounds; // sounds of keyframes that began in this step
        bool finished = false;
    };
    // The pose at `ms` milliseconds of animation time since start().
    Step advanceTo(double ms);

private:
    void enter(int index, QStringList &sounds);

    Animation m_animation;
    Pose m_from; // the pose at the start of the current keyframe
    int m_index = 0;
    double m_frameStart = 0;
    bool m_loop = false;
    bool m_running = false;
};

} // namespace agent
