#include "controls/tdbcalendar.h"

#include <QHelpEvent>
#include <QToolTip>

#include "data/tdataset.h"

TDBCalendar::TDBCalendar(QWidget *parent)
    : TNCalendar(parent)
{}

TDataSource *TDBCalendar::DataSource() const
{
    return m_dataSource;
}

void TDBCalendar::SetDataSource(TDataSource *source)
{
    if (m_dataSource == source)
        return;
    if (m_dataSource)
        disconnect(m_dataSource, nullptr, this, nullptr);
    m_dataSource = source;
    if (source) {
        connect(source, &TDataSource::stateChanged, this, &TDBCalendar::dataLinkChanged);
        connect(source, &TDataSource::dataChanged, this, &TDBCalendar::dataLinkChanged);
    }
    dataLinkChanged();
}

void TDBCalendar::SetDataField(const QString &field)
{
    if (m_dataField == field)
        return;
    m_dataField = field;
    dataLinkChanged();
}

void TDBCalendar::SetHollidayColor(TColor color)
{
    if (m_hollidayColor == color)
        return;
    m_hollidayColor = color;
    updateAccessibleDescription();
    update();
}

bool TDBCalendar::IsMarked(int day) const
{
    return day >= 1 && day <= 31 && (marks() & (1u << day));
}

QList<int> TDBCalendar::MarkedDays() const
{
    QList<int> days;
    const quint32 bits = marks();
    for (int day = 1; day <= 31; ++day) {
        if (bits & (1u << day))
            days.append(day);
    }
    return days;
}

bool TDBCalendar::IsPending(int day) const
{
    return IsMarked(day) && (m_pending & (1u << day));
}

bool TDBCalendar::dayMarkPending(int day) const
{
    return IsPending(day);
}

QColor TDBCalendar::dayMarkColor(int day) const
{
    if (IsMarked(day))
        return ColorToQColor(m_hollidayColor);
    if (!HolidayName(day).isEmpty() && m_holidayNoteColor != clNone)
        return ColorToQColor(m_holidayNoteColor);
    return QColor();
}

void TDBCalendar::SetDayNotes(const QHash<QDate, QString> &holidays, TColor holidayColor,
                              const QDate &openFrom)
{
    m_holidays = holidays;
    m_holidayNoteColor = holidayColor;
    m_openFrom = openFrom;
    updateAccessibleDescription();
    update();
}

QString TDBCalendar::HolidayName(int day) const
{
    const QDate date(Date().year(), Date().month(), day);
    return m_holidays.value(date);
}

bool TDBCalendar::IsClosed(int day) const
{
    return m_openFrom.isValid() && QDate(Date().year(), Date().month(), day) < m_openFrom;
}

bool TDBCalendar::dayShaded(int day) const
{
    return IsClosed(day);
}

bool TDBCalendar::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return TNCalendar::event(event);
    const int day = dayAt(static_cast<QHelpEvent *>(event)->pos());
    const QString status = day ? dayStatus(day) : QString();
    if (status.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), status, this);
    return true;
}

QString TDBCalendar::dayStatus(int day) const
{
    // At rest (no column, no colour, the source off or closed) the calendar says nothing of it.
    if (!m_dataSource || !m_dataSource->Enabled())
        return QString();
    const TDataSet *dataSet = m_dataSource->DataSet();
    if (m_dataField.isEmpty() || m_hollidayColor == clNone || !dataSet || !dataSet->Active())
        return QString();
    QStringList notes{IsPending(day)  ? QStringLiteral("dia de produção não gravado")
                      : IsMarked(day) ? QStringLiteral("dia de produção")
                                      : QStringLiteral("não é dia de produção")};
    if (const QString holiday = HolidayName(day); !holiday.isEmpty())
        notes << QStringLiteral("feriado: ") + holiday;
    if (IsClosed(day))
        notes << QStringLiteral("período fechado (antes da data de processamento)");
    return notes.join(QStringLiteral(", "));
}

void TDBCalendar::dataLinkChanged()
{
    followDataSet();
    m_marksValid = false;
    updateAccessibleDescription();
    update();
}

void TDBCalendar::followDataSet()
{
    // The data source announces no change of its data set, so every notification checks it.
    TDataSet *current = m_dataSource ? m_dataSource->DataSet() : nullptr;
    if (m_dataSet == current)
        return;
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = current;
    if (current) {
        connect(current, &TDataSet::stateChanged, this, &TDBCalendar::dataLinkChanged);
        connect(current, &TDataSet::dataChanged, this, &TDBCalendar::dataLinkChanged);
    }
}

quint32 TDBCalendar::marks() const
{
    // Colour and the source's switch are checked on every read; only the data scan is cached.
    if (m_hollidayColor == clNone || !m_dataSource || !m_dataSource->Enabled())
        return 0;
    const QDate shown = Date();
    TDataSet *dataSet = m_dataSource->DataSet();
    if (dataSet != m_dataSet) {
        const_cast<TDBCalendar *>(this)->followDataSet();
        m_marksValid = false;
    }
    if (m_marksValid && m_marksYear == shown.year() && m_marksMonth == shown.month())
        return m_marks;

    m_marks = 0;
    m_pending = 0;
    m_marksValid = true;
    m_marksYear = shown.year();
    m_marksMonth = shown.month();
    if (m_dataField.isEmpty() || !dataSet)
        return m_marks;

    const auto inShownMonth = [this](const QDate &date) {
        return date.year() == m_marksYear && date.month() == m_marksMonth;
    };
    for (const QDate &date : dataSet->DateSet(m_dataField)) {
        if (inShownMonth(date))
            m_marks |= 1u << date.day();
    }
    for (const QDate &date : dataSet->PendingDateSet(m_dataField)) {
        if (inShownMonth(date))
            m_pending |= 1u << date.day();
    }
    return m_marks;
}
