#include "calendar/MonthView.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <vector>

// Readable dates in failure messages; static so other suites may have their own.
[[maybe_unused]] static void PrintTo(const QDate &date, std::ostream *out)
{
    *out << date.toString(Qt::ISODate).toStdString();
}

namespace {

struct MouseUpRecord
{
    Qt::MouseButton button;
    int x;
    int y;
};

// The colours the calendar window starts with.
constexpr quint32 kYellow = 0x00FFFF;
constexpr quint32 kBlack = 0x000000;
constexpr quint32 kPurple = 0x800040;
constexpr quint32 kWhite = 0xFFFFFF;
constexpr quint32 kTrailingBlue = 0xFF8080;

class MonthViewTest : public ::testing::Test
{
protected:
    MonthViewTest()
    {
        view.resize(232, 204);
        view.setMonthBackColor(kYellow);
        view.setForeColor(kBlack);
        view.setTitleBackColor(kPurple);
        view.setTitleForeColor(kWhite);
        view.setTrailingForeColor(kTrailingBlue);
        view.setToday(QDate(2026, 12, 10));
        view.setValue(QDate(2026, 12, 24));
        QObject::connect(
            &view, &MonthView::Click, [this] { clickedValues.push_back(view.Value()); });
        QObject::connect(&view, &MonthView::DblClick, [this] { ++doubleClicks; });
        QObject::connect(&view, &MonthView::MouseUp,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
                ups.push_back({ button, x, y });
            });
    }

    void mouse(QEvent::Type type, const QPoint &pos, Qt::MouseButton button = Qt::LeftButton)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(
            type, QPointF(pos), view.mapToGlobal(QPointF(pos)), button, held, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }

    void click(const QPoint &pos)
    {
        mouse(QEvent::MouseButtonPress, pos);
        mouse(QEvent::MouseButtonRelease, pos);
    }

    void key(int keyCode)
    {
        QKeyEvent event(QEvent::KeyPress, keyCode, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }

    // The centre of the cell showing the date, found through the widget's own hit test.
    QPoint pointOf(const QDate &date) const
    {
        for (int y = 0; y < view.height(); y += 3) {
            for (int x = 0; x < view.width(); x += 3) {
                if (view.dateAt(QPoint(x, y)) != date)
                    continue;
                int left = x, right = x, top = y, bottom = y;
                while (view.dateAt(QPoint(left - 1, y)) == date)
                    --left;
                while (view.dateAt(QPoint(right + 1, y)) == date)
                    ++right;
                while (view.dateAt(QPoint(x, top - 1)) == date)
                    --top;
                while (view.dateAt(QPoint(x, bottom + 1)) == date)
                    ++bottom;
                return QPoint((left + right) / 2, (top + bottom) / 2);
            }
        }
        ADD_FAILURE() << "no cell shows " << date.toString(Qt::ISODate).toStdString();
        return {};
    }

    QImage render() { return view.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    MonthView view;
    // The value each Click saw, so a handler reading Value gets the clicked day.
    std::vector<QDate> clickedValues;
    int doubleClicks = 0;
    std::vector<MouseUpRecord> ups;
};

TEST_F(MonthViewTest, PartsSetInTurnSelectThatDate)
{
    view.setValue(QDate(2024, 3, 15));
    view.setYear(2026);
    view.setMonth(12);
    view.setDay(24);
    EXPECT_EQ(view.Value(), QDate(2026, 12, 24));
    EXPECT_EQ(view.Day(), 24);
    EXPECT_EQ(view.Month(), 12);
    EXPECT_EQ(view.Year(), 2026);
}

TEST_F(MonthViewTest, DayBeyondMonthEndIsCutToLastDay)
{
    view.setValue(QDate(2026, 1, 31));
    view.setMonth(2);
    EXPECT_EQ(view.Value(), QDate(2026, 2, 28));

    view.setValue(QDate(2024, 1, 31));
    view.setMonth(2);
    EXPECT_EQ(view.Value(), QDate(2024, 2, 29));

    view.setYear(2025);
    EXPECT_EQ(view.Value(), QDate(2025, 2, 28));

    view.setValue(QDate(2026, 4, 10));
    view.setDay(31);
    EXPECT_EQ(view.Value(), QDate(2026, 4, 30));
}

TEST_F(MonthViewTest, OutOfRangePartsAndInvalidDatesAreIgnored)
{
    view.setMonth(13);
    view.setMonth(0);
    view.setValue(QDate());
    EXPECT_EQ(view.Value(), QDate(2026, 12, 24));
}

TEST_F(MonthViewTest, ValueOfAnotherMonthShowsThatMonth)
{
    std::vector<QDate> changed;
    QObject::connect(
        &view, &MonthView::valueChanged, [&](const QDate &date) { changed.push_back(date); });
    view.setValue(QDate(2027, 3, 5));
    EXPECT_EQ(view.Month(), 3);
    EXPECT_EQ(view.Year(), 2027);
    EXPECT_EQ(view.VisibleDays(1 + 1), QDate(2027, 3, 1)); // March 2027 starts on a Monday
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], QDate(2027, 3, 5));

    view.setValue(QDate(2027, 3, 5));
    EXPECT_EQ(changed.size(), 1u) << "no signal when nothing changes";
}

TEST_F(MonthViewTest, VisibleDaysAlwaysLeadWithTheLastMonth)
{
    // February 2026 starts on a Sunday: a whole week of January comes first.
    view.setValue(QDate(2026, 2, 14));
    EXPECT_EQ(view.VisibleDays(1), QDate(2026, 1, 25));
    EXPECT_EQ(view.VisibleDays(8), QDate(2026, 2, 1));
    EXPECT_EQ(view.VisibleDays(42), QDate(2026, 3, 7));

    // August 2026 starts on a Saturday: the last cell of the first row.
    view.setValue(QDate(2026, 8, 20));
    EXPECT_EQ(view.VisibleDays(7), QDate(2026, 8, 1));
    EXPECT_EQ(view.VisibleDays(1), QDate(2026, 7, 26));
    EXPECT_EQ(view.VisibleDays(42), QDate(2026, 9, 5));

    // December 2026 starts on a Tuesday.
    view.setValue(QDate(2026, 12, 24));
    EXPECT_EQ(view.VisibleDays(3), QDate(2026, 12, 1));

    EXPECT_FALSE(view.VisibleDays(0).isValid());
    EXPECT_FALSE(view.VisibleDays(43).isValid());
}

TEST_F(MonthViewTest, DayCellsFollowTheFirstDayForEveryMonth)
{
    for (int year : { 2024, 2026 }) {
        for (int month = 1; month <= 12; ++month) {
            view.setValue(QDate(year, month, 1));
            int first = 0;
            for (int i = 1; i <= 8; ++i) {
                if (view.VisibleDays(i) == QDate(year, month, 1))
                    first = i;
            }
            ASSERT_GE(first, 2) << year << "-" << month << " must show leading days";
            const int days = QDate(year, month, 1).daysInMonth();
            for (int d = 1; d <= days; ++d)
                EXPECT_EQ(view.VisibleDays(first + d - 1), QDate(year, month, d));
            for (int i = 2; i <= 42; ++i)
                EXPECT_EQ(view.VisibleDays(i - 1).addDays(1), view.VisibleDays(i));
            EXPECT_EQ(view.VisibleDays(1).dayOfWeek(), Qt::Sunday);
        }
    }
}

TEST_F(MonthViewTest, ColoursRoundTripAndConvertFromBgr)
{
    EXPECT_EQ(view.MonthBackColor(), kYellow);
    EXPECT_EQ(view.ForeColor(), kBlack);
    EXPECT_EQ(view.TitleBackColor(), kPurple);
    EXPECT_EQ(view.TitleForeColor(), kWhite);
    EXPECT_EQ(view.TrailingForeColor(), kTrailingBlue);

    EXPECT_EQ(colourFromBgr(kPurple), QColor(64, 0, 128));
    EXPECT_EQ(colourFromBgr(kTrailingBlue), QColor(128, 128, 255));
    EXPECT_EQ(colourFromBgr(0x00123456), QColor(0x56, 0x34, 0x12));
}

TEST_F(MonthViewTest, BoldMarksAreKeptPerDateAcrossPaging)
{
    const QDate christmas(2026, 12, 25);
    view.setDayBold(christmas, true);
    view.setDayBold(QDate(2027, 1, 1), true);
    key(Qt::Key_PageDown);
    key(Qt::Key_PageDown);
    key(Qt::Key_PageUp);
    key(Qt::Key_PageUp);
    EXPECT_TRUE(view.DayBold(christmas));
    EXPECT_TRUE(view.DayBold(QDate(2027, 1, 1)));
    EXPECT_FALSE(view.DayBold(QDate(2026, 12, 24)));
    EXPECT_FALSE(view.DayBold(QDate(2025, 12, 25))) << "a mark belongs to one date, not a day";

    view.setDayBold(christmas, false);
    EXPECT_FALSE(view.DayBold(christmas));
}

TEST_F(MonthViewTest, KeysMoveTheSelection)
{
    int changed = 0;
    QObject::connect(&view, &MonthView::valueChanged, [&] { ++changed; });
    key(Qt::Key_Right);
    EXPECT_EQ(view.Value(), QDate(2026, 12, 25));
    key(Qt::Key_Down);
    EXPECT_EQ(view.Value(), QDate(2027, 1, 1)) << "a week on crosses into January";
    key(Qt::Key_Up);
    key(Qt::Key_Left);
    EXPECT_EQ(view.Value(), QDate(2026, 12, 24));
    view.setValue(QDate(2027, 1, 31));
    changed = 0;
    key(Qt::Key_PageDown);
    EXPECT_EQ(view.Value(), QDate(2027, 2, 28));
    key(Qt::Key_PageUp);
    EXPECT_EQ(view.Value(), QDate(2027, 1, 28));
    EXPECT_EQ(changed, 2);
}

TEST_F(MonthViewTest, HitTestCoversTheGridOnly)
{
    EXPECT_FALSE(view.dateAt(QPoint(116, 5)).isValid()) << "the title band is not a day";
    EXPECT_FALSE(view.dateAt(QPoint(-1, 150)).isValid());
    EXPECT_FALSE(view.dateAt(QPoint(116, 204)).isValid());

    // Every cell is reachable and maps back to its own date.
    for (int i = 1; i <= 42; ++i) {
        const QDate date = view.VisibleDays(i);
        EXPECT_EQ(view.dateAt(pointOf(date)), date);
    }
    // The corners of the grid belong to the first and last cells.
    EXPECT_EQ(view.dateAt(QPoint(view.width() - 4, view.height() - 3)), view.VisibleDays(42));
}

TEST_F(MonthViewTest, ClickSelectsTheDayUnderThePointer)
{
    click(pointOf(QDate(2026, 12, 9)));
    EXPECT_EQ(view.Value(), QDate(2026, 12, 9));
    EXPECT_EQ(clickedValues, std::vector<QDate> { QDate(2026, 12, 9) });
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(ups[0].button, Qt::LeftButton);
}

TEST_F(MonthViewTest, ClickOnTrailingDayTurnsThePage)
{
    const QPoint p = pointOf(QDate(2027, 1, 2));
    click(p);
    EXPECT_EQ(view.Value(), QDate(2027, 1, 2));
    EXPECT_EQ(view.Month(), 1);
    EXPECT_EQ(clickedValues, std::vector<QDate> { QDate(2027, 1, 2) });
    EXPECT_NE(view.dateAt(p), QDate(2027, 1, 2)) << "the page turned under the pointer";
}

TEST_F(MonthViewTest, ReleaseElsewhereIsNoClickButStillMouseUp)
{
    mouse(QEvent::MouseButtonPress, pointOf(QDate(2026, 12, 9)));
    mouse(QEvent::MouseButtonRelease, pointOf(QDate(2026, 12, 16)));
    EXPECT_EQ(view.Value(), QDate(2026, 12, 24));
    EXPECT_TRUE(clickedValues.empty());
    EXPECT_EQ(ups.size(), 1u);

    // Right button: MouseUp with its button and position, never a selection.
    const QPoint p = pointOf(QDate(2026, 12, 3));
    mouse(QEvent::MouseButtonPress, p, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, p, Qt::RightButton);
    EXPECT_EQ(view.Value(), QDate(2026, 12, 24));
    EXPECT_TRUE(clickedValues.empty());
    ASSERT_EQ(ups.size(), 2u);
    EXPECT_EQ(ups[1].button, Qt::RightButton);
    EXPECT_EQ(ups[1].x, p.x());
    EXPECT_EQ(ups[1].y, p.y());
}

TEST_F(MonthViewTest, DoubleClickKeepsTheDayTheFirstClickChose)
{
    // Qt delivers press, release, double-click, release.
    const QPoint p = pointOf(QDate(2026, 11, 30));
    click(p);
    mouse(QEvent::MouseButtonDblClick, p);
    mouse(QEvent::MouseButtonRelease, p);
    EXPECT_EQ(view.Value(), QDate(2026, 11, 30));
    EXPECT_EQ(clickedValues.size(), 1u);
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(ups.size(), 2u);

    mouse(QEvent::MouseButtonDblClick, QPoint(116, 5));
    EXPECT_EQ(doubleClicks, 1) << "the title band is not a day";
}

TEST_F(MonthViewTest, RendersTitleGridAndMarks)
{
    const QImage plain = render();
    ASSERT_EQ(plain.size(), QSize(232, 204));

    // Title band corners, clear of the caption.
    const QColor purple = colourFromBgr(kPurple);
    EXPECT_EQ(plain.pixelColor(2, 2), purple);
    EXPECT_EQ(plain.pixelColor(229, 10), purple);

    // The grid's background and ink in several colours.
    EXPECT_EQ(plain.pixelColor(1, 200), colourFromBgr(kYellow));
    QSet<QRgb> colours;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x)
            colours.insert(plain.pixel(x, y));
    }
    EXPECT_GT(colours.size(), 20) << "expected text, marks and antialiasing, not a flat fill";

    // Left of the digits, the selected day shows its highlight and the next day the grid.
    const auto nearer = [](const QColor &c, const QColor &a, const QColor &b) {
        const auto distance = [&c](const QColor &o) {
            return std::abs(c.red() - o.red()) + std::abs(c.green() - o.green())
                + std::abs(c.blue() - o.blue());
        };
        return distance(a) < distance(b);
    };
    const QColor yellow = colourFromBgr(kYellow);
    const QPoint beside(-12, 0);
    EXPECT_TRUE(nearer(plain.pixelColor(pointOf(QDate(2026, 12, 24)) + beside), purple, yellow));
    EXPECT_EQ(plain.pixelColor(pointOf(QDate(2026, 12, 26)) + beside), yellow);

    // Bold changes the pixels of that day alone, and comes back with its month.
    const QDate day(2026, 12, 17);
    const QPoint at = pointOf(day);
    const QRect cell(at - QPoint(10, 8), QSize(20, 16));
    const QRect neighbour = cell.translated(pointOf(day.addDays(-1)) - at);
    view.setDayBold(day, true);
    const QImage bold = render();
    EXPECT_NE(bold.copy(cell), plain.copy(cell));
    EXPECT_EQ(bold.copy(neighbour), plain.copy(neighbour));
    key(Qt::Key_PageDown);
    EXPECT_NE(render(), bold);
    key(Qt::Key_PageUp);
    EXPECT_EQ(render(), bold);

    if (const QByteArray path = qgetenv("MONTHVIEW_SNAPSHOT"); !path.isEmpty()) {
        view.setDayBold(QDate(2026, 12, 25), true);
        view.setDayBold(QDate(2027, 1, 1), true);
        render().save(QString::fromLocal8Bit(path));
    }
}

TEST_F(MonthViewTest, LargeFontStillFitsSixWeeks)
{
    QFont big = view.font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    view.setFont(big);
    EXPECT_EQ(view.dateAt(QPoint(view.width() - 4, view.height() - 3)), view.VisibleDays(42));

    // The last row still has its digits inside the widget.
    const QImage image = render();
    const QPoint last = pointOf(view.VisibleDays(42));
    int ink = 0;
    for (int y = last.y() - 6; y <= last.y() + 6; ++y) {
        for (int x = last.x() - 6; x <= last.x() + 6; ++x)
            ink += image.pixelColor(x, y) != colourFromBgr(kYellow);
    }
    EXPECT_GT(ink, 5);
    if (const QByteArray path = qgetenv("MONTHVIEW_SNAPSHOT_LARGE"); !path.isEmpty())
        image.save(QString::fromLocal8Bit(path));
}

} // namespace

namespace {

// Pixels of `cell` far from the grid's background: the day's ink.
int inkIn(const QImage &image, const QRect &cell, const QColor &background)
{
    int ink = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green())
                    + std::abs(c.blue() - background.blue())
                > 120)
                ++ink;
        }
    }
    return ink;
}

} // namespace

TEST_F(MonthViewTest, BoldDaysStandOutInEveryColourScheme)
{
    struct Scheme
    {
        quint32 back, fore;
    };
    // The starting colours, the restored defaults, white on black, and a pale pair.
    int dayOfMonth = 14;
    for (const Scheme scheme : { Scheme { kYellow, kBlack }, Scheme { 0xFFFFFF, 0x400000 },
             Scheme { 0x000000, 0xFFFFFF }, Scheme { 0xE0F0FF, 0x804000 } }) {
        view.setMonthBackColor(scheme.back);
        view.setForeColor(scheme.fore);
        const QDate day(2026, 12, dayOfMonth++);
        const QRect cell = view.cellGeometry(view.VisibleDays(1).daysTo(day) + 1);
        const int plain = inkIn(render(), cell, colourFromBgr(scheme.back));
        view.setDayBold(day, true);
        const int bold = inkIn(render(), cell, colourFromBgr(scheme.back));
        EXPECT_GT(bold, plain * 3 / 2) << "scheme " << scheme.back << " on " << scheme.fore;
    }
}

TEST_F(MonthViewTest, ScreenReadersFindEachDayAsATableCell)
{
    view.setDayBold(QDate(2026, 12, 17), true);
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(&view);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->role(), QAccessible::Table);
    ASSERT_EQ(table->childCount(), 42);
    QAccessibleTableInterface *grid = table->tableInterface();
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->rowCount(), 6);
    EXPECT_EQ(grid->columnCount(), 7);

    const int index = static_cast<int>(view.VisibleDays(1).daysTo(QDate(2026, 12, 17)));
    QAccessibleInterface *cell = table->child(index);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->role(), QAccessible::Cell);
    EXPECT_EQ(cell->text(QAccessible::Name),
        QLocale::system().toString(QDate(2026, 12, 17), QLocale::LongFormat));
    EXPECT_TRUE(cell->text(QAccessible::Description).contains("has appointments"));
    EXPECT_FALSE(table->child(index + 1)->text(QAccessible::Description).contains("appointments"));
    EXPECT_EQ(table->indexOfChild(cell), index);
    EXPECT_EQ(cell->parent(), table);
    ASSERT_TRUE(cell->tableCellInterface());
    EXPECT_EQ(cell->tableCellInterface()->rowIndex(), index / 7);
    EXPECT_EQ(grid->cellAt(index / 7, index % 7), cell);

    // The selected day is the selected cell; the first row holds last month's days.
    ASSERT_EQ(grid->selectedCells().size(), 1);
    EXPECT_EQ(grid->selectedCells()[0]->text(QAccessible::Name),
        QLocale::system().toString(QDate(2026, 12, 24), QLocale::LongFormat));
    EXPECT_TRUE(table->child(0)->text(QAccessible::Description).contains("another month"));
    EXPECT_EQ(table->child(42), nullptr);
}
