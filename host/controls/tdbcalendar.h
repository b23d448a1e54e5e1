#pragma once

#include "calehost_export.h"
#include "controls/tncalendar.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QPointer>

class TDataSet;
class TDataSource;

// A month calendar bound to a date column: every day of its month that occurs in that column of
// the bound data set is painted in the holiday colour.
class CALEHOST_EXPORT TDBCalendar : public TNCalendar
{
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(int HollidayColor READ HollidayColor WRITE SetHollidayColor)

public:
    explicit TDBCalendar(QWidget *parent = nullptr);

    // The data source whose data set supplies the marked dates.
    TDataSource *DataSource() const;
    // Binds the calendar to a data source; null unbinds it.
    void SetDataSource(TDataSource *source);

    // The name of the date column; empty leaves the calendar unbound.
    QString DataField() const { return m_dataField; }
    // Names the date column whose days are marked.
    void SetDataField(const QString &field);

    // The fill colour of marked days; clNone marks nothing.
    TColor HollidayColor() const { return m_hollidayColor; }
    // Sets the fill colour of marked days.
    void SetHollidayColor(TColor color);

    // Whether a day of the shown month is painted as marked.
    bool IsMarked(int day) const;
    // The days of the shown month painted as marked, in ascending order.
    QList<int> MarkedDays() const;
    // Whether a marked day comes from a row not yet saved (painted outlined and hatched).
    bool IsPending(int day) const;

    // Why days cannot change: holidays by date with their names, painted in their own colour
    // where no production day is, and the closed period (days before openFrom), shaded. Both go
    // into the day's tooltip and accessible description.
    void SetDayNotes(const QHash<QDate, QString> &holidays, TColor holidayColor,
                     const QDate &openFrom);
    // The name of the holiday on a day of the shown month; empty when none.
    QString HolidayName(int day) const;
    // Whether a day of the shown month lies before the open period.
    bool IsClosed(int day) const;

protected:
    QColor dayMarkColor(int day) const override;
    bool dayMarkPending(int day) const override;
    // Whether the day is a production day, once the calendar shows its marks.
    QString dayStatus(int day) const override;
    bool dayShaded(int day) const override;
    bool event(QEvent *event) override;

private:
    void dataLinkChanged();
    void followDataSet();
    quint32 marks() const;

    QPointer<TDataSource> m_dataSource;
    QPointer<TDataSet> m_dataSet;
    QString m_dataField;
    TColor m_hollidayColor = clNone;
    QHash<QDate, QString> m_holidays;
    TColor m_holidayNoteColor = clNone;
    QDate m_openFrom;

    // Marked days of the shown month as bits 1 to 31, rebuilt lazily when the data or the
    // shown month changes.
    mutable quint32 m_marks = 0;
    mutable quint32 m_pending = 0; // of the marked days, those not yet saved
    mutable bool m_marksValid = false;
    mutable int m_marksYear = 0;
    mutable int m_marksMonth = 0;
};
