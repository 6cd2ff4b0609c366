#include "agent/character/Balloon.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace agent {

Balloon::Slice Balloon::sliceFor(const QString &text, int wordStart, int wordLength, Slice current)
{
    const int n = int(text.size());
    if (n <= kMaxChars)
        return { 0, n };
    wordStart = std::clamp(wordStart, 0, n);
    wordLength = std::clamp(wordLength, 0, n - wordStart);
    if (current.length > 0 && wordStart >= current.start
        && wordStart + wordLength <= current.start + current.length)
        return current;
    // From the word on, cut at the last blank that fits.
    int end = std::min(n, wordStart + kMaxChars);
    if (end < n) {
        int blank = end;
        while (blank > wordStart + wordLength && !text[blank].isSpace())
            --blank;
        if (blank > wordStart + wordLength)
            end = blank;
    }
    return { wordStart, end - wordStart };
}

namespace {
const QColor kFill(255, 255, 238);
const QColor kBorder(70, 70, 70);
const QColor kHighlight(255, 214, 102);
const QColor kText(20, 20, 20);
constexpr qreal kRadius = 10;
constexpr qreal kTailHalfWidth = 8;
} // namespace

Balloon::Balloon()
    : m_layout(std::make_unique<QTextLayout>())
{ }

Balloon::~Balloon() = default;

void Balloon::setText(const QString &text)
{
    m_text = text;
    m_start = 0;
    m_length = 0;
    m_firstLine = 0;
    layout();
}

void Balloon::setFont(const QFont &font)
{
    m_font = font;
    layout();
    setHighlight(m_start, m_length);
}

void Balloon::layout()
{
    m_layout = std::make_unique<QTextLayout>(m_text, m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_layout->setTextOption(option);
    m_layout->setCacheEnabled(true);
    m_layout->beginLayout();
    qreal y = 0;
    qreal widest = 0;
    for (;;) {
        QTextLine line = m_layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(kTextWidth);
        line.setPosition(QPointF(0, y));
        y += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    m_layout->endLayout();
    m_textWidth = std::min(kTextWidth, int(std::ceil(widest)));
}

int Balloon::lineCount() const
{
    return m_layout->lineCount();
}

int Balloon::visibleLines() const
{
    return std::clamp(lineCount() - m_firstLine, 1, kMaxLines);
}

void Balloon::setHighlight(int start, int length)
{
    m_start = std::clamp(start, 0, int(m_text.size()));
    m_length = std::clamp(length, 0, int(m_text.size()) - m_start);
    if (m_length == 0 || lineCount() <= kMaxLines)
        return;
    const int line = m_layout->lineForTextPosition(m_start).lineNumber();
    if (line < 0)
        return;
    // Keep the word heard in view, turning over a page at a time.
    if (line < m_firstLine || line >= m_firstLine + kMaxLines)
        m_firstLine = std::min(line, lineCount() - kMaxLines);
}

QSize Balloon::size() const
{
    qreal height = 0;
    const int first = m_firstLine;
    const int count = lineCount() == 0 ? 0 : visibleLines();
    for (int i = first; i < first + count; ++i)
        height += m_layout->lineAt(i).height();
    if (count == 0)
        height = QFontMetricsF(m_font).height();
    return QSize(m_textWidth + 2 * kPadding, int(std::ceil(height)) + 2 * kPadding + kTail);
}

QSize Balloon::largestSize() const
{
    const qreal height = kMaxLines * QFontMetricsF(m_font).lineSpacing();
    return QSize(m_textWidth + 2 * kPadding, int(std::ceil(height)) + 2 * kPadding + kTail);
}

void Balloon::paint(QPainter &painter, Tail tail, int tailX) const
{
    const QSize s = size();
    const qreal bodyTop = tail == Tail::Up ? kTail : 0;
    const QRectF body(0.75, bodyTop + 0.75, s.width() - 1.5, s.height() - kTail - 1.5);
    const qreal x
        = std::clamp<qreal>(tailX, kRadius + kTailHalfWidth, s.width() - kRadius - kTailHalfWidth);

    QPainterPath bubble;
    bubble.addRoundedRect(body, kRadius, kRadius);
    QPolygonF point;
    if (tail == Tail::Down) {
        point << QPointF(x - kTailHalfWidth, body.bottom() - 1)
              << QPointF(x + kTailHalfWidth, body.bottom() - 1) << QPointF(x, s.height() - 0.75);
    } else {
        point << QPointF(x - kTailHalfWidth, body.top() + 1)
              << QPointF(x + kTailHalfWidth, body.top() + 1) << QPointF(x, 0.75);
    }
    QPainterPath tailPath;
    tailPath.addPolygon(point);
    tailPath.closeSubpath();
    bubble = bubble.united(tailPath);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kBorder, 1.5));
    painter.setBrush(kFill);
    painter.drawPath(bubble);

    if (lineCount() > 0) {
        const qreal scroll = m_layout->lineAt(m_firstLine).y();
        const QRectF textArea(
            kPadding, bodyTop + kPadding, m_textWidth + 1, s.height() - kTail - 2 * kPadding);
        painter.setClipRect(textArea);
        painter.setPen(kText);
        QVector<QTextLayout::FormatRange> selections;
        if (m_length > 0) {
            QTextLayout::FormatRange word;
            word.start = m_start;
            word.length = m_length;
            word.format.setBackground(kHighlight);
            word.format.setForeground(QColor(0, 0, 0));
            selections << word;
        }
        m_layout->draw(&painter, textArea.topLeft() - QPointF(0, scroll), selections);
    }
    painter.restore();
}

QSize Tip::size() const
{
    const QFontMetrics metrics(m_font);
    const int glyph = m_microphone ? kGlyph + kPadding : 0;
    return QSize(metrics.horizontalAdvance(m_text) + glyph + 2 * kPadding + 4,
        std::max(metrics.height(), kGlyph) + 2 * kPadding);
}

void Tip::paint(QPainter &painter) const
{
    const QSize s = size();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kBorder, 1));
    painter.setBrush(kFill);
    const QRectF body(0.5, 0.5, s.width() - 1, s.height() - 1);
    painter.drawRoundedRect(body, body.height() / 2, body.height() / 2);
    int x = kPadding + 2;
    if (m_microphone) {
        // A capsule on a stand.
        const qreal top = (s.height() - kGlyph) / 2.0;
        const QRectF capsule(x + kGlyph * 0.3, top, kGlyph * 0.4, kGlyph * 0.62);
        painter.setBrush(QColor(200, 60, 50));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(capsule, capsule.width() / 2, capsule.width() / 2);
        painter.setPen(QPen(kText, 1.2));
        painter.setBrush(Qt::NoBrush);
        const QRectF cup(x + kGlyph * 0.15, top + kGlyph * 0.2, kGlyph * 0.7, kGlyph * 0.6);
        painter.drawArc(cup, 180 * 16, 180 * 16);
        painter.drawLine(
            QPointF(x + kGlyph * 0.5, top + kGlyph * 0.8), QPointF(x + kGlyph * 0.5, top + kGlyph));
        painter.drawLine(
            QPointF(x + kGlyph * 0.25, top + kGlyph), QPointF(x + kGlyph * 0.75, top + kGlyph));
        x += kGlyph + kPadding;
    }
    painter.setFont(m_font);
    painter.setPen(kText);
    painter.drawText(
        QRect(x, 0, s.width() - x, s.height()), Qt::AlignVCenter | Qt::AlignLeft, m_text);
    painter.restore();
}

} // namespace agent
