#pragma once

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QString>

class TMessages;

namespace Cli_qmr07703 {

// One branch's calendar of one periodicity and year, as GetVisaoGeral answers it.
struct BranchCalendar
{
    QString code;
    QString name;
    bool rescinded = false;
    int months[12] = {};
    int total = 0;
    QDate first; // first stored day of the periodicity, any year; null when none is
    QDate last;
    int nextYearHolidays = 0;
};

// How soon a calendar needs the planner, worst first.
enum class Situation { NoCalendar, Ending, HolidaysMissing, Ok };

struct SituationRule
{
    QDate today;
    int year = 0;         // the year the overview shows
    int horizonDays = 90; // a last day this close to today is a warning
};

// The rows of a GetVisaoGeral packet.
QList<BranchCalendar> ReadBranchCalendars(const QJsonObject &packet);
Situation SituationOf(const BranchCalendar &branch, const SituationRule &rule);
// The operator's text of a situation ("Termina em 12 dias"), from the screen's message table.
QString SituationText(const TMessages &messages, const BranchCalendar &branch,
                      const SituationRule &rule);
// Whether each month of a branch differs from the reference branch's; none when there is no
// reference.
QList<bool> DiffersFromReference(const BranchCalendar &branch, const BranchCalendar *reference);

} // namespace Cli_qmr07703
