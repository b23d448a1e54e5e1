#include "api/calendarreads.h"

#include "arguments.h"

namespace caleserver::api {

namespace {

// Branch and periodicity are joined in every read: an unknown one leaves no row, and the names
// come with the days at no extra statement.
const std::string daysSql =
    "SELECT F.NMFILIAL, P.NMPERIPRODU, C.DTPRODUCAO FROM FILIAL F CROSS JOIN PERIPRODUCAO P "
    "LEFT JOIN CALEPRODUCAO C ON C.CDFILIAL = F.CDFILIAL AND C.CDPERIPRODU = P.CDPERIPRODU AND "
    "C.DTPRODUCAO BETWEEN ? AND ? WHERE F.CDFILIAL = ? AND P.CDPERIPRODU = ? "
    "ORDER BY C.DTPRODUCAO";

const std::string keySql = " FROM FILIAL F, PERIPRODUCAO P WHERE F.CDFILIAL = ? AND "
                           "P.CDPERIPRODU = ?";

// A seek on the calendar's key to the first day in range; only the days counted are read.
const std::string countSql = "SELECT (SELECT COUNT(*) FROM CALEPRODUCAO WHERE CDFILIAL = ? AND "
                             "CDPERIPRODU = ? AND DTPRODUCAO BETWEEN ? AND ?)" +
                             keySql;

// A seek to the day next to the start, then |n| days along the key in the direction of n.
std::string shiftSql(const char *comparison, const char *order)
{
    return std::string("SELECT (SELECT DTPRODUCAO FROM CALEPRODUCAO WHERE CDFILIAL = ? AND "
                       "CDPERIPRODU = ? AND DTPRODUCAO ") +
           comparison + " ? ORDER BY DTPRODUCAO " + order + " LIMIT 1 OFFSET ?)" + keySql;
}

const std::string laterSql = shiftSql(">", "ASC");
const std::string fromSql = shiftSql(">=", "ASC");
const std::string earlierSql = shiftSql("<", "DESC");

const std::string listSql =
    "SELECT C.CDFILIAL, F.NMFILIAL, C.CDPERIPRODU, P.NMPERIPRODU, MIN(C.DTPRODUCAO), "
    "MAX(C.DTPRODUCAO), COUNT(*) FROM CALEPRODUCAO C "
    "JOIN FILIAL F ON F.CDFILIAL = C.CDFILIAL JOIN PERIPRODUCAO P ON P.CDPERIPRODU = C.CDPERIPRODU "
    "GROUP BY C.CDFILIAL, F.NMFILIAL, C.CDPERIPRODU, P.NMPERIPRODU "
    "ORDER BY C.CDFILIAL, C.CDPERIPRODU";

Outcome notFound(std::string message)
{
    return Outcome::failure(ErrorCode::Refused, std::move(message));
}

// Which of the two codes is unknown, once a read found no row for the pair.
Outcome unknownKey(Storage &storage, const std::string &branch, const std::string &periodicity)
{
    Rows *rows = storage.exec("SELECT (SELECT COUNT(*) FROM FILIAL WHERE CDFILIAL = ?), "
                              "(SELECT COUNT(*) FROM PERIPRODUCAO WHERE CDPERIPRODU = ?)",
                              {branch, periodicity});
    if (!rows)
        return storage.storageFailure();
    const bool branchFound = rows->next() && rows->text(0) != "0";
    rows->finish();
    if (!branchFound)
        return notFound("A filial " + branch + " não está cadastrada.");
    return notFound("A periodicidade " + periodicity + " não está cadastrada.");
}

// Runs a read of one value for the pair; *value is "" when the value is null.
Outcome readValue(Storage &storage, const std::string &sql, std::initializer_list<Param> binds,
                  const std::string &branch, const std::string &periodicity, std::string *value)
{
    Rows *rows = storage.exec(sql, binds);
    if (!rows)
        return storage.storageFailure();
    const bool found = rows->next();
    if (found)
        *value = rows->isNull(0) ? std::string() : std::string(rows->text(0));
    rows->finish();
    if (rows->failed())
        return storage.storageFailure();
    if (!found)
        return unknownKey(storage, branch, periodicity);
    return Outcome::success();
}

std::string runOutMessage(const std::string &branch, const std::string &periodicity, Date date,
                          int n)
{
    const std::string calendar =
        "O calendário da filial " + branch + ", periodicidade " + periodicity + ",";
    if (n == 0)
        return calendar + " não tem dia de produção cadastrado em " + date.iso() +
               " nem depois: os dias cadastrados terminam antes.";
    const std::string count = std::to_string(n > 0 ? n : -n);
    if (n > 0)
        return calendar + " não tem " + count + " dia(s) de produção depois de " + date.iso() +
               ": os dias cadastrados terminam antes.";
    return calendar + " não tem " + count + " dia(s) de produção antes de " + date.iso() +
           ": os dias cadastrados começam depois.";
}

} // namespace

Outcome readDays(Storage &storage, const std::string &branch, const std::string &periodicity,
                 Date from, Date to, CalendarDays *calendar)
{
    Rows *rows = storage.exec(daysSql, {from.iso(), to.iso(), branch, periodicity});
    if (!rows)
        return storage.storageFailure();
    bool found = false;
    calendar->days.clear();
    while (rows->next()) {
        if (!found) {
            calendar->branchName = std::string(trimmed(rows->text(0)));
            calendar->periodicityName = std::string(trimmed(rows->text(1)));
            found = true;
        }
        if (!rows->isNull(2))
            calendar->days.emplace_back(rows->text(2));
    }
    rows->finish();
    if (rows->failed())
        return storage.storageFailure();
    if (!found)
        return unknownKey(storage, branch, periodicity);
    return Outcome::success();
}

Outcome countDays(Storage &storage, const std::string &branch, const std::string &periodicity,
                  Date from, Date to, std::string *count)
{
    return readValue(storage, countSql,
                     {branch, periodicity, from.iso(), to.iso(), branch, periodicity}, branch,
                     periodicity, count);
}

Outcome shiftDays(Storage &storage, const std::string &branch, const std::string &periodicity,
                  Date date, int n, std::string *day)
{
    const std::string &sql = n > 0 ? laterSql : n < 0 ? earlierSql : fromSql;
    const int offset = n > 0 ? n - 1 : n < 0 ? -n - 1 : 0;
    const Outcome read =
        readValue(storage, sql, {branch, periodicity, date.iso(), offset, branch, periodicity},
                  branch, periodicity, day);
    if (read.ok() && day->empty())
        return notFound(runOutMessage(branch, periodicity, date, n));
    return read;
}

Outcome listCalendars(Storage &storage, std::vector<CalendarSummary> *calendars)
{
    Rows *rows = storage.exec(listSql);
    if (!rows)
        return storage.storageFailure();
    calendars->clear();
    while (rows->next()) {
        calendars->push_back({std::string(rows->text(0)), std::string(trimmed(rows->text(1))),
                              std::string(rows->text(2)), std::string(trimmed(rows->text(3))),
                              std::string(rows->text(4)), std::string(rows->text(5)),
                              std::string(rows->text(6))});
    }
    rows->finish();
    if (rows->failed())
        return storage.storageFailure();
    return Outcome::success();
}

} // namespace caleserver::api
