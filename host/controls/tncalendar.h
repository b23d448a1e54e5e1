#pragma once

#include <QBrush>
#include <QDate>
#include <QWidget>

#include "calehost_export.h"
#include "controls/hostcolors.h"
#include "core/events.h"
#include "core/twincontrol.h"

// A month grid that shows and selects only the days of its own month: weeks start on Sunday, day
// numbers only, arrow keys stop at the month's first and last day.
class CALEHOST_EXPORT TNCalendar : public QWidget, public TWinControl
{
    Q_OBJECT
    Q_PROPERTY(QDate Date READ Date WRITE SetDate)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(bool ShowCurrentDay READ ShowCurrentDay WRITE SetShowCurrentDay)

public:
    // Element numbers of GetDateElement and SetDateElement.
    enum DateElement { deYear = 1, deMonth = 2, deDay = 3 };

    explicit TNCalendar(QWidget *parent = nullptr);

    // The current date; always a valid date in years 1 to 9999.
    QDate Date() const { return m_date; }
    // Sets the current date; throws Exception for an invalid date or a year outside 1 to 9999.
    void SetDate(const QDate &date);

    // Reads the year (1), month (2) or day (3) of the current date.
    int GetDateElement(int element) const;
    // Sets one element; a new month or year clamps the day to the new month's length, and a value
    // out of range throws Exception and leaves the date unchanged.
    void SetDateElement(int element, int value);

    // Background colour, read back exactly as set.
    TColor Color() const { return m_color; }
    // Sets and paints the background colour.
    void SetColor(TColor color);

    // A free number that the screen uses to tell its calendars apart.
    int Tag() const { return m_tag; }
    // Sets the free number.
    void SetTag(int tag) { m_tag = tag; }

    // Whether the current day is drawn in the selection highlight.
    bool ShowCurrentDay() const { return m_showCurrentDay; }
    // Turns the selection highlight of the current day on or off.
    void SetShowCurrentDay(bool show);

    // The cell of a day of the shown month in widget coordinates; empty for any other day.
    QRect dayRect(int day) const;
    // The day of the shown month whose cell holds a point; 0 when none does.
    int dayAt(const QPoint &pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Raised after every change of the date, by the operator or by the program.
    TNotifyEvent OnChange;

protected:
    // The fill colour of a day's mark; invalid when the day carries none.
    virtual QColor dayMarkColor(int day) const;
    // Whether a day's mark stands for something not yet saved: it is drawn outlined and hatched.
    virtual bool dayMarkPending(int day) const;
    // What the accessible description tells of a day besides its date; empty for nothing.
    virtual QString dayStatus(int day) const;
    // Whether a day is painted shaded (a day that can no longer change); its mark stays on top.
    virtual bool dayShaded(int day) const;
    // Tells assistive technology the current day and its status again.
    void updateAccessibleDescription();

    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void applyDate(const QDate &date);
    void userSetDate(const QDate &date);
    QRect cell(int row, int column) const;
    int leadingBlanks() const;
    void updateAccessibleName();

    QDate m_date;
    TColor m_color = clBtnFace;
    int m_tag = 0;
    bool m_showCurrentDay = false;
};

// How a day that can no longer change is shaded; a legend shows the same.
CALEHOST_EXPORT QBrush ClosedDayBrush();
