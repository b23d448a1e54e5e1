#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace caleserver {

struct Holiday
{
    QDate date;
    QString name;
};

/// Easter Sunday of a Gregorian year.
QDate easterSunday(int year);
/// Brazil's national holidays of a year: the fixed dates and Good Friday.
QList<Holiday> nationalHolidays(int year);

} // namespace caleserver
