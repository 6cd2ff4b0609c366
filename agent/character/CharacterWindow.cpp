#include "agent/character/CharacterWindow.h"

#include "agent/Placement.h"

#include "agent/Logging.h"
#include "platform/WindowShape.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace agent {

QRect CharacterWindow::screenArea(QPoint at)
{
    QScreen *screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

CharacterWindow::CharacterWindow(std::shared_ptr<const CharacterFile> file, WindowShape &shape)
    : QWidget(nullptr,
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
            | Qt::WindowDoesNotAcceptFocus)
    , m_file(std::move(file))
    , m_shape(shape)
    , m_pose(m_file->rest)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    setWindowTitle(m_file->name);
    setObjectName(QStringLiteral("character_") + m_file->name);
    QFont font = this->font();
    font.setPointSize(10);
    m_balloon.setFont(font);
    font.setPointSize(9);
    m_tip.setFont(font);
    relayout();
}

CharacterWindow::~CharacterWindow() = default;

void CharacterWindow::setTip(const QString &text, bool microphone)
{
    if (text == m_tip.text() && microphone == m_tip.microphone())
        return;
    m_tip.setText(text);
    m_tip.setMicrophone(microphone);
    relayout();
    changed();
}

void CharacterWindow::setPose(const Pose &pose)
{
    if (pose == m_pose)
        return;
    m_pose = pose;
    changed();
}

void CharacterWindow::setSpeechMouth(std::optional<MouthShape> shape)
{
    if (shape == m_speechMouth && m_speechMouthPart.isEmpty())
        return;
    m_speechMouth = shape;
    m_speechMouthPart.clear();
    changed();
}

void CharacterWindow::setSpeechMouthPart(const QString &part)
{
    if (part == m_speechMouthPart && !m_speechMouth)
        return;
    m_speechMouthPart = part;
    m_speechMouth.reset();
    changed();
}

void CharacterWindow::setFramePos(QPoint pos)
{
    if (pos == m_framePos)
        return;
    m_framePos = pos;
    relayout();
}

void CharacterWindow::showBalloon(const QString &text)
{
    m_balloon.setText(text);
    m_balloonShown = true;
    relayout();
    changed();
}

void CharacterWindow::setBalloonWord(int start, int length)
{
    if (!m_balloonShown)
        return;
    const int firstLine = m_balloon.firstVisibleLine();
    m_balloon.setHighlight(start, length);
    if (m_balloon.firstVisibleLine() != firstLine)
        relayout();
    changed();
}

void CharacterWindow::clearBalloon()
{
    if (!m_balloonShown)
        return;
    m_balloonShown = false;
    relayout();
    changed();
}

void CharacterWindow::setKeepClear(const QRect &window)
{
    if (m_keepClear == window)
        return;
    m_keepClear = window;
    if (m_balloonShown)
        relayout();
}

void CharacterWindow::setBalloonFontSize(int points)
{
    QFont font = this->font();
    font.setPointSize(points);
    m_balloon.setFont(font);
    if (m_balloonShown) {
        relayout();
        changed();
    }
}

void CharacterWindow::relayout()
{
    const QRect frame = frameRect();
    const QRect area = screenArea(frame.center());
    QRect whole = frame;
    QRect balloon;
    if (m_balloonShown) {
        // The balloon opens toward the side of the screen with more room, so
        // it leaves the calendar the character stands beside uncovered, and
        // never over a window he was placed beside.
        const BalloonPlace place = balloonPlace(frame, m_balloon.size(), area, m_keepClear);
        balloon = place.rect;
        m_tail = place.above ? Balloon::Tail::Down : Balloon::Tail::Up;
        m_tailX = frame.center().x() - balloon.x();
        whole = whole.united(balloon);
    }
    QRect tip;
    if (tipShown()) {
        // Above the balloon (or the character) when there is room, else below.
        const QSize size = m_tip.size();
        const QRect over = balloon.isNull() || balloon.top() > frame.top() ? frame : balloon;
        const QRect under = balloon.isNull() || balloon.top() < frame.top() ? frame : balloon;
        const bool above = over.top() - size.height() - 2 >= area.top();
        int x = over.left() + 4;
        x = std::max(area.left(), std::min(x, area.right() + 1 - size.width()));
        const int y = above ? over.top() - size.height() - 2 : under.bottom() + 3;
        tip = QRect(QPoint(x, y), size);
        whole = whole.united(tip);
    }
    m_balloonRect = balloon.translated(-whole.topLeft());
    m_tipRect = tip.translated(-whole.topLeft());
    m_frameOffset = frame.topLeft() - whole.topLeft();
    if (geometry() != whole)
        setGeometry(whole);
}

std::optional<MouthShape> CharacterWindow::mouth() const
{
    return m_speechMouth ? m_speechMouth : m_pose.mouth;
}

void CharacterWindow::changed()
{
    update();
    if (m_masked)
        updateMask();
}

void CharacterWindow::paintContent(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_balloonShown) {
        painter.save();
        painter.translate(m_balloonRect.topLeft());
        m_balloon.paint(painter, m_tail, m_tailX);
        painter.restore();
    }
    if (tipShown()) {
        painter.save();
        painter.translate(m_tipRect.topLeft());
        m_tip.paint(painter);
        painter.restore();
    }
    painter.save();
    painter.translate(m_frameOffset);
    if (!mouth() && m_speechMouthPart.isEmpty() && m_pose == m_file->rest) {
        // At rest the frame never changes: draw it once.
        const qreal dpr = painter.device()->devicePixelRatioF();
        if (m_restCache.isNull() || m_restCache.devicePixelRatio() != dpr) {
            m_restCache
                = renderFrame(*m_file, m_file->rest, (QSizeF(m_file->frame) * dpr).toSize());
            m_restCache.setDevicePixelRatio(dpr);
        }
        painter.drawImage(QPoint(0, 0), m_restCache);
    } else if (!m_speechMouthPart.isEmpty()) {
        m_file->art->paint(painter, m_file->withMouthPart(m_pose, m_speechMouthPart));
    } else {
        m_file->art->paint(painter, m_file->withMouth(m_pose, mouth()));
    }
    painter.restore();
}

void CharacterWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (m_masked && m_shapeImage.deviceIndependentSize() == QSizeF(size())) {
        // The picture the shape was cut from: drawn once per frame, not twice.
        painter.drawImage(QPoint(0, 0), m_shapeImage);
        return;
    }
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    paintContent(painter);
}

void CharacterWindow::updateMask()
{
    const qreal dpr = devicePixelRatioF();
    QImage image((QSizeF(size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        paintContent(painter);
    }
    m_shapeImage = image;
    m_shape.cutTo(*this, image);
}

void CharacterWindow::contextMenuEvent(QContextMenuEvent *event)
{
    event->accept();
    emit contextMenuRequested(event->globalPos());
}

void CharacterWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragFrom = event->globalPosition().toPoint() - m_framePos;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CharacterWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragFrom && (event->buttons() & Qt::LeftButton)) {
        setFramePos(event->globalPosition().toPoint() - *m_dragFrom);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void CharacterWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragFrom.reset();
    QWidget::mouseReleaseEvent(event);
}

void CharacterWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A compositing manager may have started or stopped since last shown.
    const bool mask = !m_shape.desktopComposites();
    if (mask != m_masked) {
        m_masked = mask;
        if (m_masked) {
            qCInfo(lcAgent) << "no compositing manager: cutting the character's window to shape";
            updateMask();
        } else {
            m_shape.uncut(*this);
        }
    }
}

QImage CharacterWindow::renderFrame(const CharacterFile &file, const Pose &pose, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (size.isEmpty())
        return image;
    QPainter painter(&image);
    painter.scale(
        double(size.width()) / file.frame.width(), double(size.height()) / file.frame.height());
    file.art->paint(painter, file.withMouth(pose, pose.mouth));
    return image;
}

} // namespace agent
