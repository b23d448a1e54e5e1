#include "overviewrows.h"

#include "core/tmessages.h"

#include <QJsonArray>

namespace Cli_qmr07703 {

namespace {

// Columns of the packet, as the server sends them.
enum Column {
    cCode,
    cName,
    cRescinded,
    cFirstMonth,
    cTotal = cFirstMonth + 12,
    cFirst,
    cLast,
    cHolidays
};

int countOf(const QJsonValue &value)
{
    return value.isString() ? value.toString().toInt() : value.toInt();
}

QDate dateOf(const QJsonValue &value)
{
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

} // namespace

QList<BranchCalendar> ReadBranchCalendars(const QJsonObject &packet)
{
    QList<BranchCalendar> branches;
    for (const QJsonValue &rowValue : packet.value(QStringLiteral("rows")).toArray()) {
        const QJsonArray row = rowValue.toArray();
        BranchCalendar branch;
        branch.code = row.at(cCode).toString().trimmed();
        branch.name = row.at(cName).toString().trimmed();
        branch.rescinded = row.at(cRescinded).toString().trimmed() == QLatin1String("S");
        for (int month = 0; month < 12; ++month)
            branch.months[month] = countOf(row.at(cFirstMonth + month));
        branch.total = countOf(row.at(cTotal));
        branch.first = dateOf(row.at(cFirst));
        branch.last = dateOf(row.at(cLast));
        branch.nextYearHolidays = countOf(row.at(cHolidays));
        branches.append(branch);
    }
    return branches;
}

Situation SituationOf(const BranchCalendar &branch, const SituationRule &rule)
{
    if (!branch.last.isValid())
        return Situation::NoCalendar;
    if (rule.today.daysTo(branch.last) <= rule.horizonDays)
        return Situation::Ending;
    // Next year's holidays are due once the year's last quarter has begun.
    const bool holidaysDue =
        rule.year == rule.today.year() && rule.today > QDate(rule.today.year(), 10, 1);
    if (holidaysDue && branch.nextYearHolidays == 0)
        return Situation::HolidaysMissing;
    return Situation::Ok;
}

QString SituationText(const TMessages &messages, const BranchCalendar &branch,
                      const SituationRule &rule)
{
    switch (SituationOf(branch, rule)) {
    case Situation::NoCalendar:
        return messages.Msg(QStringLiteral("SIT_SEM_CALENDARIO"));
    case Situation::Ending:
        // A calendar already past its last day is as urgent as one ending today.
        return messages.Msg(QStringLiteral("SIT_TERMINA"))
            .arg(qMax<qint64>(0, rule.today.daysTo(branch.last)));
    case Situation::HolidaysMissing:
        return messages.Msg(QStringLiteral("SIT_FERIADOS")).arg(rule.year + 1);
    case Situation::Ok:
        break;
    }
    return messages.Msg(QStringLiteral("SIT_OK"));
}

QList<bool> DiffersFromReference(const BranchCalendar &branch, const BranchCalendar *reference)
{
    QList<bool> differs(12, false);
    if (!reference)
        return differs;
    for (int month = 0; month < 12; ++month)
        differs[month] = branch.months[month] != reference->months[month];
    return differs;
}

} // namespace Cli_qmr07703
