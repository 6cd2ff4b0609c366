#pragma once

#include "agent/Animation.h"
#include "agent/character/Balloon.h"
#include "agent/character/CharacterFile.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <memory>
#include <optional>

class WindowShape;

namespace agent {

// The character on the desktop: a frameless, translucent, always-on-top
// window that never takes the focus, holding the drawn character and, while
// it speaks, its word balloon. The window is only as large as the two; the
// character's frame stays put on screen as the balloon comes and goes.
class CharacterWindow : public QWidget
{
    Q_OBJECT
public:
    // `shape` tells whether the desktop composites and cuts the window to
    // shape where it does not; it must outlive the window.
    CharacterWindow(std::shared_ptr<const CharacterFile> file, WindowShape &shape);
    ~CharacterWindow() override;

    const CharacterFile &file() const { return *m_file; }

    void setPose(const Pose &pose);
    const Pose &pose() const { return m_pose; }
    // The mouth that speech shows, over any the pose asks for.
    void setSpeechMouth(std::optional<MouthShape> shape);
    std::optional<MouthShape> speechMouth() const { return m_speechMouth; }
    // A speech-sound shape of the file's "visemes" instead (its part id).
    void setSpeechMouthPart(const QString &part);
    const QString &speechMouthPart() const { return m_speechMouthPart; }

    // The character's frame, top-left in screen pixels.
    QPoint framePos() const { return m_framePos; }
    void setFramePos(QPoint pos);
    QRect frameRect() const { return QRect(m_framePos, m_file->frame); }

    void showBalloon(const QString &text);
    void setBalloonWord(int start, int length);
    void clearBalloon();
    bool balloonShown() const { return m_balloonShown; }
    const Balloon &balloon() const { return m_balloon; }
    // Where the balloon is in the window; empty when not shown.
    QRect balloonRect() const { return m_balloonShown ? m_balloonRect : QRect(); }
    void setBalloonFontSize(int points);
    // A window (screen pixels) the balloon must not cover; empty for none.
    void setKeepClear(const QRect &window);
    QRect keepClear() const { return m_keepClear; }

    // The small label by the balloon ("Listening…"); empty text hides it.
    void setTip(const QString &text, bool microphone);
    bool tipShown() const { return !m_tip.text().isEmpty(); }
    const Tip &tip() const { return m_tip; }
    // Where the tip is in the window; empty when not shown.
    QRect tipRect() const { return tipShown() ? m_tipRect : QRect(); }

    // Whether the window's shape is cut to the drawing, for a desktop that
    // cannot show translucent windows.
    bool masked() const { return m_masked; }

    // The screen's room for windows at `at`.
    static QRect screenArea(QPoint at);

    // The character drawn in `pose`, scaled to `size`.
    static QImage renderFrame(const CharacterFile &file, const Pose &pose, QSize size);

signals:
    void contextMenuRequested(const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void relayout();
    void changed();
    void paintContent(QPainter &painter);
    void updateMask();
    std::optional<MouthShape> mouth() const;

    std::shared_ptr<const CharacterFile> m_file;
    WindowShape &m_shape;
    Pose m_pose;
    std::optional<MouthShape> m_speechMouth;
    QString m_speechMouthPart;
    QPoint m_framePos;
    QPoint m_frameOffset; // the frame's top-left in the window
    Balloon m_balloon;
    bool m_balloonShown = false;
    QRect m_balloonRect;
    QRect m_keepClear;
    Balloon::Tail m_tail = Balloon::Tail::Down;
    Tip m_tip;
    QRect m_tipRect;
    int m_tailX = 0;
    QImage m_restCache;
    QImage m_shapeImage; // the last frame, when the window is cut to shape
    bool m_masked = false;
    std::optional<QPoint> m_dragFrom; // cursor offset from the frame while dragging
};

} // namespace agent
