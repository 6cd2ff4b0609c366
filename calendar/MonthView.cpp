#include "calendar/MonthView.h"

#include "storage/Conversions.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWindow>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kCells = 42;
constexpr int kColumns = 7;
constexpr int kRows = 6;
// The window lays its own paging buttons over both ends of the title band.
constexpr int kPagingSpace = 30;
constexpr int kSideMargin = 3;
constexpr int kBottomMargin = 2;
// Heights in lines of the day font: title band, weekday row and the six rows of days.
constexpr qreal kTitleLines = 1.75;
constexpr qreal kWeekdayLines = 1.35;
constexpr qreal kRowLines = 1.4;

QColor blend(const QColor &a, const QColor &b, qreal aShare)
{
    const qreal bShare = 1.0 - aShare;
    return QColor::fromRgbF(float(a.redF() * aShare + b.redF() * bShare),
        float(a.greenF() * aShare + b.greenF() * bShare),
        float(a.blueF() * aShare + b.blueF() * bShare));
}

qreal luminance(const QColor &c)
{
    const auto channel
        = [](qreal v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

qreal contrast(const QColor &a, const QColor &b)
{
    const qreal la = luminance(a);
    const qreal lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The first candidate that reads well on the background, else the better of the two.
QColor readableOn(const QColor &background, const QColor &preferred, const QColor &fallback)
{
    if (contrast(preferred, background) >= 3.0)
        return preferred;
    return contrast(fallback, background) > contrast(preferred, background) ? fallback : preferred;
}

QFont scaled(QFont font, qreal factor)
{
    if (font.pointSizeF() > 0)
        font.setPointSizeF(std::max<qreal>(5.0, font.pointSizeF() * factor));
    else
        font.setPixelSize(std::max(7, qRound(font.pixelSize() * factor)));
    return font;
}

// Column headings. Some locales (the C locale among them) have digits for narrow names;
// the first letter of the short name reads better there.
QString weekdayName(const QLocale &locale, int dayOfWeek, QLocale::FormatType format)
{
    QString name = locale.standaloneDayName(dayOfWeek, format);
    if (format == QLocale::NarrowFormat && !name.isEmpty() && name.front().isDigit())
        name = locale.standaloneDayName(dayOfWeek, QLocale::ShortFormat).left(1);
    return name;
}

// Cell edges of one axis: edge i of n parts of a span, so the parts tile it exactly.
int edge(int start, int span, int i, int n)
{
    return start + span * i / n;
}

int partAt(int start, int span, int n, int pos)
{
    for (int i = n - 1; i >= 0; --i) {
        if (pos >= edge(start, span, i, n))
            return i;
    }
    return 0;
}

} // namespace

QColor colourFromBgr(quint32 bgr)
{
    const Rgb rgb = rgbFromBgr(bgr);
    return QColor(rgb.red, rgb.green, rgb.blue);
}

bool setMonthViewColour(MonthView &view, ColourRole role, quint32 colour)
{
    switch (role) {
    case ColourRole::MonthBack:
        view.setMonthBackColor(colour);
        return true;
    case ColourRole::Fore:
        view.setForeColor(colour);
        return true;
    case ColourRole::TitleBack:
        view.setTitleBackColor(colour);
        return true;
    case ColourRole::TitleFore:
        view.setTitleForeColor(colour);
        return true;
    case ColourRole::TrailingFore:
        view.setTrailingForeColor(colour);
        return true;
    case ColourRole::TimeBandBack:
    case ColourRole::TimeBandText:
    case ColourRole::Text1Back:
        break;
    }
    return false;
}

std::optional<quint32> monthViewColour(const MonthView &view, ColourRole role)
{
    switch (role) {
    case ColourRole::MonthBack:
        return view.MonthBackColor();
    case ColourRole::Fore:
        return view.ForeColor();
    case ColourRole::TitleBack:
        return view.TitleBackColor();
    case ColourRole::TitleFore:
        return view.TitleForeColor();
    case ColourRole::TrailingFore:
        return view.TrailingForeColor();
    case ColourRole::TimeBandBack:
    case ColourRole::TimeBandText:
    case ColourRole::Text1Back:
        break;
    }
    return std::nullopt;
}

namespace {

// One day of the grid as a screen reader finds it: a table cell named by its
// date, described as holding appointments when the day is bold.
class DayCellAccessible final : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    DayCellAccessible(MonthView *view, int index)
        : m_view(view)
        , m_index(index)
    { }

    bool isValid() const override { return m_view; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        if (!m_view)
            return {};
        const QDate date = m_view->VisibleDays(m_index);
        if (t == QAccessible::Name)
            return QLocale::system().toString(date, QLocale::LongFormat);
        if (t == QAccessible::Description) {
            QStringList parts;
            if (m_view->DayBold(date))
                parts << QStringLiteral("has appointments");
            if (date.month() != m_view->Month() || date.year() != m_view->Year())
                parts << QStringLiteral("another month");
            return parts.join(QStringLiteral(", "));
        }
        return {};
    }
    void setText(QAccessible::Text, const QString &) override { }
    QRect rect() const override
    {
        if (!m_view)
            return {};
        const QRect local = m_view->cellGeometry(m_index);
        return QRect(m_view->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State st;
        st.selectable = true;
        st.focusable = true;
        if (m_view && m_view->VisibleDays(m_index) == m_view->Value()) {
            st.selected = true;
            st.focused = m_view->hasFocus();
        }
        return st;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface
            ? static_cast<QAccessibleTableCellInterface *>(this)
            : nullptr;
    }

    bool isSelected() const override { return state().selected; }
    QList<QAccessibleInterface *> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return (m_index - 1) % 7; }
    int rowIndex() const override { return (m_index - 1) / 7; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return parent(); }

private:
    QPointer<MonthView> m_view;
    int m_index;
};

// What a screen reader hears of a month view: its name, as its value the
// date chosen (the arrow keys and Page Up/Down move it), and the grid's 42
// days as the cells of a table of six weeks.
class MonthViewAccessible final : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit MonthViewAccessible(MonthView *view)
        : QAccessibleWidget(view, QAccessible::Table)
    { }
    ~MonthViewAccessible() override
    {
        for (const QAccessible::Id id : m_cells) {
            if (id)
                QAccessible::deleteAccessibleInterface(id);
        }
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QLocale::system().toString(view()->Value(), QLocale::LongFormat);
        if (t == QAccessible::Description && widget()->accessibleDescription().isEmpty())
            return QStringLiteral("Selected date: ") + text(QAccessible::Value);
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return kCells; }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= kCells)
            return nullptr;
        QAccessible::Id &id = m_cells[static_cast<size_t>(index)];
        if (!id)
            id = QAccessible::registerAccessibleInterface(new DayCellAccessible(view(), index + 1));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int i = 0; i < kCells; ++i) {
            const QAccessible::Id id = m_cells[static_cast<size_t>(i)];
            if (id && QAccessible::accessibleInterface(id) == child)
                return i;
        }
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint local = view()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < kCells; ++i) {
            if (view()->cellGeometry(i + 1).contains(local))
                return child(i);
        }
        return nullptr;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override
    {
        if (row < 0 || row >= 6 || column < 0 || column >= 7)
            return nullptr;
        return child(row * 7 + column);
    }
    int selectedCellCount() const override { return 1; }
    QList<QAccessibleInterface *> selectedCells() const override
    {
        for (int i = 1; i <= kCells; ++i) {
            if (view()->VisibleDays(i) == view()->Value())
                return { child(i - 1) };
        }
        return {};
    }
    QString columnDescription(int column) const override
    {
        return QLocale::system().dayName(
            view()->VisibleDays(column + 1).dayOfWeek(), QLocale::LongFormat);
    }
    int columnCount() const override { return 7; }
    QString rowDescription(int row) const override
    {
        return QStringLiteral("Week %1").arg(row + 1);
    }
    int rowCount() const override { return 6; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override { }

private:
    static constexpr int kCells = 42;
    MonthView *view() const { return static_cast<MonthView *>(widget()); }
    mutable std::array<QAccessible::Id, kCells> m_cells {};
};

QAccessibleInterface *monthViewAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("MonthView") && object && object->isWidgetType())
        return new MonthViewAccessible(static_cast<MonthView *>(object));
    return nullptr;
}

} // namespace

MonthView::MonthView(QWidget *parent)
    : QWidget(parent)
    , m_value(QDate::currentDate())
    , m_today(QDate::currentDate())
{
    setFocusPolicy(Qt::StrongFocus);
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(monthViewAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    // Every pixel is painted, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QDate MonthView::Value() const
{
    return m_value;
}

void MonthView::setValue(const QDate &date)
{
    if (!date.isValid() || date == m_value)
        return;
    m_value = date;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(
            this, QLocale::system().toString(date, QLocale::LongFormat));
        QAccessible::updateAccessibility(&event);
    }
    emit valueChanged(m_value);
}

int MonthView::Day() const
{
    return m_value.day();
}

int MonthView::Month() const
{
    return m_value.month();
}

int MonthView::Year() const
{
    return m_value.year();
}

void MonthView::setDay(int day)
{
    const int last = m_value.daysInMonth();
    setValue(QDate(m_value.year(), m_value.month(), std::clamp(day, 1, last)));
}

void MonthView::setMonth(int month)
{
    if (month < 1 || month > 12)
        return;
    const int last = QDate(m_value.year(), month, 1).daysInMonth();
    setValue(QDate(m_value.year(), month, std::min(m_value.day(), last)));
}

void MonthView::setYear(int year)
{
    if (year < 1 || year > 9999)
        return;
    const int last = QDate(year, m_value.month(), 1).daysInMonth();
    setValue(QDate(year, m_value.month(), std::min(m_value.day(), last)));
}

QDate MonthView::firstVisibleDay() const
{
    const QDate first(m_value.year(), m_value.month(), 1);
    // Sunday-first weeks; a month starting on Sunday still shows a week of the previous one.
    const int offset = first.dayOfWeek() % 7;
    return first.addDays(-(offset == 0 ? 7 : offset));
}

QDate MonthView::VisibleDays(int index) const
{
    if (index < 1 || index > kCells)
        return {};
    return firstVisibleDay().addDays(index - 1);
}

bool MonthView::DayBold(const QDate &date) const
{
    return m_bold.contains(date);
}

void MonthView::setDayBold(const QDate &date, bool bold)
{
    if (!date.isValid() || m_bold.contains(date) == bold)
        return;
    if (bold)
        m_bold.insert(date);
    else
        m_bold.remove(date);
    if (date >= VisibleDays(1) && date <= VisibleDays(kCells))
        update();
}

quint32 MonthView::MonthBackColor() const
{
    return m_monthBack;
}

quint32 MonthView::ForeColor() const
{
    return m_fore;
}

quint32 MonthView::TitleBackColor() const
{
    return m_titleBack;
}

quint32 MonthView::TitleForeColor() const
{
    return m_titleFore;
}

quint32 MonthView::TrailingForeColor() const
{
    return m_trailingFore;
}

void MonthView::setMonthBackColor(quint32 colour)
{
    m_monthBack = colour;
    update();
}

void MonthView::setForeColor(quint32 colour)
{
    m_fore = colour;
    update();
}

void MonthView::setTitleBackColor(quint32 colour)
{
    m_titleBack = colour;
    update();
}

void MonthView::setTitleForeColor(quint32 colour)
{
    m_titleFore = colour;
    update();
}

void MonthView::setTrailingForeColor(quint32 colour)
{
    m_trailingFore = colour;
    update();
}

void MonthView::setToday(const QDate &today)
{
    if (!today.isValid() || today == m_today)
        return;
    m_today = today;
    update();
}

MonthView::Layout MonthView::layout() const
{
    Layout lay;
    QFont base = font();
    const int usableHeight = std::max(0, height() - m_footerHeight);
    {
        // Shrink a font too large for the space rather than clip the six weeks.
        const QFontMetricsF fm(base);
        const qreal neededHeight
            = fm.height() * (kTitleLines * 1.1 + kWeekdayLines + kRowLines * kRows);
        const qreal neededWidth = fm.horizontalAdvance(QStringLiteral("28")) * 1.6 * kColumns;
        qreal factor = 1.0;
        if (usableHeight > 0 && neededHeight > usableHeight)
            factor = std::min(factor, usableHeight / neededHeight);
        if (width() > 0 && neededWidth > width())
            factor = std::min(factor, width() / neededWidth);
        if (factor < 1.0)
            base = scaled(base, factor);
    }
    lay.dayFont = base;
    lay.weekdayFont = base;
    lay.boldFont = scaled(base, 1.08);
    lay.boldFont.setWeight(QFont::Black);
    lay.titleFont = scaled(base, 1.1);
    lay.titleFont.setWeight(QFont::Bold);

    lay.titleHeight = qCeil(QFontMetricsF(lay.titleFont).height() * kTitleLines);
    lay.weekdayHeight = qCeil(QFontMetricsF(base).height() * kWeekdayLines);
    // One pixel below the weekday row holds the separator line.
    const int top = lay.titleHeight + lay.weekdayHeight + 1;
    lay.grid = QRect(kSideMargin, top, std::max(0, width() - 2 * kSideMargin),
        std::max(0, usableHeight - top - kBottomMargin));
    return lay;
}

void MonthView::setFooterHeight(int pixels)
{
    m_footerHeight = std::max(0, pixels);
    update();
}

QRect MonthView::cellRect(const QRect &grid, int index)
{
    const int col = (index - 1) % kColumns;
    const int row = (index - 1) / kColumns;
    const int left = edge(grid.x(), grid.width(), col, kColumns);
    const int right = edge(grid.x(), grid.width(), col + 1, kColumns);
    const int top = edge(grid.y(), grid.height(), row, kRows);
    const int bottom = edge(grid.y(), grid.height(), row + 1, kRows);
    return QRect(left, top, right - left, bottom - top);
}

QRect MonthView::cellRect(int index) const
{
    return cellRect(layout().grid, index);
}

int MonthView::cellIndexAt(const QPoint &pos) const
{
    const QRect grid = layout().grid;
    if (!grid.contains(pos))
        return 0;
    const int col = partAt(grid.x(), grid.width(), kColumns, pos.x());
    const int row = partAt(grid.y(), grid.height(), kRows, pos.y());
    return row * kColumns + col + 1;
}

QDate MonthView::dateAt(const QPoint &pos) const
{
    return VisibleDays(cellIndexAt(pos));
}

void MonthView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const Layout lay = layout();
    const QColor back = colourFromBgr(m_monthBack);
    const QColor fore = colourFromBgr(m_fore);
    const QColor titleBack = colourFromBgr(m_titleBack);
    const QColor titleFore = colourFromBgr(m_titleFore);

    painter.fillRect(rect(), back);

    const QRect title(0, 0, width(), lay.titleHeight);
    painter.fillRect(title, titleBack);
    const int reserve = std::min(kPagingSpace, width() / 5);
    const QRect titleText = title.adjusted(reserve, 0, -reserve, 0);
    const QString caption = QStringLiteral("%1 %2").arg(
        locale().standaloneMonthName(m_value.month()), QString::number(m_value.year()));
    painter.setFont(lay.titleFont);
    painter.setPen(titleFore);
    painter.drawText(titleText, Qt::AlignCenter,
        QFontMetrics(lay.titleFont).elidedText(caption, Qt::ElideRight, titleText.width()));

    // Weekday names in the title colour, like the band above them; one letter unless the
    // columns leave room for the short names.
    const QFontMetricsF weekdayMetrics(lay.weekdayFont);
    const qreal columnWidth = qreal(lay.grid.width()) / kColumns;
    qreal widestShort = 0;
    for (int day = 1; day <= 7; ++day)
        widestShort = std::max(widestShort,
            weekdayMetrics.horizontalAdvance(weekdayName(locale(), day, QLocale::ShortFormat)));
    const QLocale::FormatType nameFormat
        = columnWidth >= widestShort * 1.8 ? QLocale::ShortFormat : QLocale::NarrowFormat;
    painter.setFont(lay.weekdayFont);
    painter.setPen(readableOn(back, titleBack, fore));
    for (int col = 0; col < kColumns; ++col) {
        const int left = edge(lay.grid.x(), lay.grid.width(), col, kColumns);
        const int right = edge(lay.grid.x(), lay.grid.width(), col + 1, kColumns);
        const QRect cell(left, lay.titleHeight, right - left, lay.weekdayHeight);
        const int dayOfWeek = col == 0 ? 7 : col;
        painter.drawText(cell, Qt::AlignCenter, weekdayName(locale(), dayOfWeek, nameFormat));
    }

    const qreal lineY = lay.titleHeight + lay.weekdayHeight + 0.5;
    painter.setPen(QPen(blend(fore, back, 0.45), 1.0));
    painter.drawLine(QPointF(lay.grid.left() + 2, lineY), QPointF(lay.grid.right() - 1, lineY));

    for (int index = 1; index <= kCells; ++index)
        paintCell(painter, lay, index);
}

void MonthView::paintCell(QPainter &painter, const Layout &lay, int index) const
{
    const QDate date = VisibleDays(index);
    const QRect cell = cellRect(lay.grid, index);
    const bool inMonth = date.month() == m_value.month() && date.year() == m_value.year();
    const bool selected = date == m_value;
    const bool today = date == m_today;

    const QColor titleBack = colourFromBgr(m_titleBack);
    QColor text = inMonth ? colourFromBgr(m_fore) : colourFromBgr(m_trailingFore);

    const QFont &font = m_bold.contains(date) ? lay.boldFont : lay.dayFont;
    const QString number = QString::number(date.day());

    // A mark a little wider than tall and never narrower than the number, centred in the
    // cell, so it keeps its shape on wide cells and clears the digits with a large font.
    const QFontMetricsF metrics(font);
    const qreal markHeight = std::max(4.0, std::min(cell.height() - 2.0, metrics.height() * 1.7));
    const qreal textWidth = metrics.horizontalAdvance(number);
    const qreal markWidth = std::clamp(std::max(markHeight * 1.45, textWidth + markHeight * 0.6),
        markHeight, std::max(markHeight, cell.width() - 2.0));
    QRectF mark(0, 0, markWidth, markHeight);
    mark.moveCenter(QRectF(cell).center());
    const qreal radius = markHeight * 0.32;

    if (selected) {
        // The title colour, lifted a little towards its text colour so it reads as a
        // highlight rather than a hole in the grid.
        const QColor fill = blend(titleBack, colourFromBgr(m_titleFore), 0.85);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(mark, radius, radius);
        text = readableOn(fill, colourFromBgr(m_titleFore), colourFromBgr(m_fore));
    }
    if (today) {
        // On the highlight the ring takes the text colour, inside the fill, to stay visible;
        // on a grid too close to the title colour, the day colour.
        const qreal width = std::max(1.5, markHeight / 14.0);
        const qreal inset = selected ? width / 2 + 1.5 : width / 2;
        const QColor ring = selected
            ? text
            : readableOn(colourFromBgr(m_monthBack), titleBack, colourFromBgr(m_fore));
        painter.setPen(QPen(ring, width));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(
            mark.adjusted(inset, inset, -inset, -inset), radius - inset / 2, radius - inset / 2);
    }

    painter.setFont(font);
    painter.setPen(text);
    painter.drawText(cell, Qt::AlignCenter, number);
    if (m_bold.contains(date)) {
        // A bar under the digits as well as the heavy weight: a mark that
        // reads in any colours and at any font size.
        const qreal thickness = std::max(1.5, metrics.height() / 9.0);
        const qreal bar = std::max(textWidth, metrics.height() * 0.6);
        const qreal baseline = QRectF(cell).center().y() + metrics.height() * 0.5;
        qreal top = std::min(baseline, cell.bottom() - thickness);
        // Inside a highlight or a ring, clear of the ring's edge, which is drawn
        // in the same colour and would swallow the bar.
        if (selected || today)
            top = std::min(top, mark.bottom() - std::max(1.5, markHeight / 14.0) - 3.0 - thickness);
        painter.setPen(Qt::NoPen);
        painter.setBrush(text);
        painter.drawRoundedRect(QRectF(QRectF(cell).center().x() - bar / 2, top, bar, thickness),
            thickness / 2, thickness / 2);
    }
}

void MonthView::mousePressEvent(QMouseEvent *event)
{
    m_lastClickPos.reset();
    if (event->button() == Qt::LeftButton)
        m_pressDate = dateAt(event->position().toPoint());
    event->accept();
}

void MonthView::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    bool clicked = false;
    if (event->button() == Qt::LeftButton) {
        // Compare dates before selecting: selecting a neighbouring month's day turns the page.
        const QDate date = dateAt(pos);
        if (date.isValid() && date == m_pressDate) {
            setValue(date);
            m_lastClickPos = pos;
            clicked = true;
        }
        m_pressDate = QDate();
    }
    event->accept();
    emit MouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
    if (clicked)
        emit Click();
}

void MonthView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const QDate date = dateAt(pos);
    if (!date.isValid())
        return;
    // The first click already chose the day; if it turned the page, the cell under the
    // pointer now holds another date, which must not replace the one clicked.
    const bool firstClickHere = m_lastClickPos
        && (pos - *m_lastClickPos).manhattanLength() <= QApplication::startDragDistance();
    if (!firstClickHere)
        setValue(date);
    m_pressDate = QDate();
    emit DblClick();
}

void MonthView::keyPressEvent(QKeyEvent *event)
{
    QDate target;
    switch (event->key()) {
    case Qt::Key_Left:
        target = m_value.addDays(-1);
        break;
    case Qt::Key_Right:
        target = m_value.addDays(1);
        break;
    case Qt::Key_Up:
        target = m_value.addDays(-7);
        break;
    case Qt::Key_Down:
        target = m_value.addDays(7);
        break;
    case Qt::Key_PageUp:
        target = m_value.addMonths(-1);
        break;
    case Qt::Key_PageDown:
        target = m_value.addMonths(1);
        break;
    case Qt::Key_Home:
        target = QDate(m_value.year(), m_value.month(), 1);
        break;
    case Qt::Key_End:
        target = QDate(m_value.year(), m_value.month(), m_value.daysInMonth());
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // The keyboard's double-click: the day query on the selected day.
        event->accept();
        emit DblClick();
        return;
    case Qt::Key_Menu:
        event->accept();
        emit menuKey(cellRect(int(firstVisibleDay().daysTo(m_value))).center());
        return;
    case Qt::Key_F10:
        if (event->modifiers() & Qt::ShiftModifier) {
            event->accept();
            emit menuKey(cellRect(int(firstVisibleDay().daysTo(m_value))).center());
            return;
        }
        QWidget::keyPressEvent(event);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    setValue(target);
    event->accept();
}
