#pragma once

#include "calendar/ColourRole.h"

#include <QDate>
#include <QSet>
#include <QWidget>

#include <optional>

class QPainter;

// A month-view calendar: title with month and year, a weekday row and a grid
// of six weeks, the neighbouring months' days in their own colour, bold days,
// today marked and the selected day visible. Colours are 0x00BBGGRR values,
// as the settings store keeps them.
class MonthView : public QWidget
{
    Q_OBJECT
public:
    explicit MonthView(QWidget *parent = nullptr);

    // The selected date; setting a date of another month shows that month.
    QDate Value() const;
    void setValue(const QDate &date);
    // Parts of the selected date. Setting Year, then Month, then Day selects
    // that date; a day beyond the month's end is cut back to its last day.
    int Day() const;
    int Month() const;
    int Year() const;
    void setDay(int day);
    void setMonth(int month);
    void setYear(int year);

    // The date in a cell of the grid, cells counted from 1, row by row
    // (42 cells); an invalid date for an index outside 1..42.
    QDate VisibleDays(int index) const;

    // Bold marks; the program only sets them. Marks stay when the month changes.
    bool DayBold(const QDate &date) const;
    void setDayBold(const QDate &date, bool bold);

    quint32 MonthBackColor() const;
    quint32 ForeColor() const;
    quint32 TitleBackColor() const;
    quint32 TitleForeColor() const;
    quint32 TrailingForeColor() const;
    void setMonthBackColor(quint32 colour);
    void setForeColor(quint32 colour);
    void setTitleBackColor(quint32 colour);
    void setTitleForeColor(quint32 colour);
    void setTrailingForeColor(quint32 colour);

    // The day that "today" marks; the window sets it from its clock.
    void setToday(const QDate &today);

    // Pixels at the bottom the grid keeps clear (the window's time band
    // covers them).
    void setFooterHeight(int pixels);

    // Where a cell (1..42) sits in the widget.
    QRect cellGeometry(int index) const { return cellRect(index); }

    // The date under a point of the widget, invalid outside the grid.
    QDate dateAt(const QPoint &pos) const;

signals:
    void Click();
    void DblClick();
    // The menu key or Shift+F10: the menu wanted at `pos`, the selected day.
    void menuKey(const QPoint &pos);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    // The selected date changed (by code or by the user).
    void valueChanged(const QDate &date);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Fonts and bands for the current size and font, shared by painting and hit testing.
    struct Layout
    {
        QFont dayFont;
        QFont boldFont;
        QFont titleFont;
        QFont weekdayFont;
        int titleHeight = 0;
        int weekdayHeight = 0;
        QRect grid;
    };

    Layout layout() const;
    QDate firstVisibleDay() const;
    QRect cellRect(int index) const;
    static QRect cellRect(const QRect &grid, int index);
    int cellIndexAt(const QPoint &pos) const;
    void paintCell(QPainter &painter, const Layout &lay, int index) const;

    int m_footerHeight = 0;
    QDate m_value;
    QDate m_today;
    QSet<QDate> m_bold;
    quint32 m_monthBack = 0xFFFFFF;
    quint32 m_fore = 0x000000;
    quint32 m_titleBack = 0x800000;
    quint32 m_titleFore = 0xFFFFFF;
    quint32 m_trailingFore = 0x808080;
    // The day under the left-button press; a click needs the release on the same day.
    QDate m_pressDate;
    // Where the last click selected a day: a double-click there keeps that selection even
    // when the click turned the page to a neighbouring month.
    std::optional<QPoint> m_lastClickPos;
};

// 0x00BBGGRR as a QColor.
QColor colourFromBgr(quint32 bgr);

// Sets the month view colour of `role`; false, and nothing changed, for a
// role that is not one of the month view's.
bool setMonthViewColour(MonthView &view, ColourRole role, quint32 colour);
// The month view colour of `role`, or nothing for another role.
std::optional<quint32> monthViewColour(const MonthView &view, ColourRole role);
