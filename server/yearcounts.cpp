#include "yearcounts.h"

#include <bit>
#include <optional>

namespace caleserver {

namespace {

// Calendars per upsert: few round trips, 15 values each well under either engine's bind limit.
constexpr size_t yearsPerUpsert = 100;

std::string monthColumns()
{
    std::string columns;
    for (int month = 1; month <= 12; ++month)
        columns += (month < 10 ? ", QTMES0" : ", QTMES") + std::to_string(month);
    return columns;
}

// A month left unchanged binds null and keeps what the row holds (none: no day).
std::string upsertSql(size_t rows)
{
    std::string sql =
        "INSERT INTO CALEPRODUCAOANO (CDPERIPRODU, NRANO, CDFILIAL" + monthColumns() + ") VALUES ";
    for (size_t i = 0; i < rows; ++i)
        sql += i == 0 ? "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
                      : ", (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    sql += " ON CONFLICT (CDPERIPRODU, NRANO, CDFILIAL) DO UPDATE SET ";
    for (int month = 1; month <= 12; ++month) {
        const std::string column = (month < 10 ? "QTMES0" : "QTMES") + std::to_string(month);
        sql += (month == 1 ? "" : ", ") + column + " = COALESCE(excluded." + column +
               ", CALEPRODUCAOANO." + column + ")";
    }
    return sql;
}

// Per calendar its first and last day, two key probes each, whatever the calendar's history.
std::string boundsSql(size_t rows)
{
    std::string sql = "INSERT INTO CALEPRODUCAOLIMITE (CDPERIPRODU, CDFILIAL, DTPRIMEIRO, "
                      "DTULTIMO) VALUES ";
    for (size_t i = 0; i < rows; ++i)
        sql += std::string(i == 0 ? "" : ", ") +
               "(?, ?, (SELECT MIN(DTPRODUCAO) FROM CALEPRODUCAO WHERE CDFILIAL = ? AND "
               "CDPERIPRODU = ?), (SELECT MAX(DTPRODUCAO) FROM CALEPRODUCAO WHERE CDFILIAL = ? "
               "AND CDPERIPRODU = ?))";
    return sql + " ON CONFLICT (CDPERIPRODU, CDFILIAL) DO UPDATE SET DTPRIMEIRO = "
                 "excluded.DTPRIMEIRO, DTULTIMO = excluded.DTULTIMO";
}

bool storeBounds(Storage &storage, const MonthMasks &after)
{
    std::vector<Param> binds;
    const auto flush = [&]() {
        if (binds.empty())
            return true;
        const size_t rows = binds.size() / 6;
        const bool ok = (rows == 1 ? storage.exec(boundsSql(1), Params(binds))
                                   : storage.execOnce(boundsSql(rows), Params(binds))) != nullptr;
        binds.clear();
        return ok;
    };
    const MonthKey *last = nullptr;
    for (const auto &[key, mask] : after) {
        if (last && last->branch == key.branch && last->periodicity == key.periodicity)
            continue;
        last = &key;
        binds.insert(binds.end(),
                     {Param(key.periodicity), Param(key.branch), Param(key.branch),
                      Param(key.periodicity), Param(key.branch), Param(key.periodicity)});
        if (binds.size() / 6 >= yearsPerUpsert && !flush())
            return false;
    }
    return flush();
}

} // namespace

bool storeMonthCounts(Storage &storage, const MonthMasks &after)
{
    std::vector<Param> binds;
    const auto flush = [&]() {
        if (binds.empty())
            return true;
        const size_t rows = binds.size() / 15;
        const bool ok = (rows == 1 ? storage.exec(upsertSql(1), Params(binds))
                                   : storage.execOnce(upsertSql(rows), Params(binds))) != nullptr;
        binds.clear();
        return ok;
    };
    // The months come ordered by calendar and month: a year's months are neighbours.
    for (auto month = after.begin(); month != after.end();) {
        const MonthKey &key = month->first;
        const int year = key.month / 100;
        std::optional<int> counts[12];
        for (; month != after.end() && month->first.branch == key.branch &&
               month->first.periodicity == key.periodicity && month->first.month / 100 == year;
             ++month)
            counts[month->first.month % 100 - 1] = std::popcount(month->second);
        binds.insert(binds.end(), {Param(key.periodicity), Param(year), Param(key.branch)});
        for (const std::optional<int> &count : counts)
            binds.push_back(count ? Param(*count) : Param(nullptr));
        if (binds.size() / 15 >= yearsPerUpsert && !flush())
            return false;
    }
    return flush() && storeBounds(storage, after);
}

bool recountYears(Storage &storage)
{
    std::string counts;
    for (int month = 1; month <= 12; ++month)
        counts += ", SUM(CASE WHEN NRANOMES % 100 = " + std::to_string(month) + " THEN 1 END)";
    return storage.execDirect("DELETE FROM CALEPRODUCAOLIMITE") &&
           storage.execDirect("INSERT INTO CALEPRODUCAOLIMITE (CDPERIPRODU, CDFILIAL, "
                              "DTPRIMEIRO, DTULTIMO) SELECT CDPERIPRODU, CDFILIAL, "
                              "MIN(DTPRODUCAO), MAX(DTPRODUCAO) FROM CALEPRODUCAO GROUP BY "
                              "CDPERIPRODU, CDFILIAL") &&
           storage.execDirect("DELETE FROM CALEPRODUCAOANO") &&
           storage.execDirect("INSERT INTO CALEPRODUCAOANO (CDPERIPRODU, NRANO, CDFILIAL" +
                              monthColumns() + ") SELECT CDPERIPRODU, NRANOMES / 100, CDFILIAL" +
                              counts + " FROM (SELECT CDPERIPRODU, CDFILIAL, " +
                              storage.yearMonthOf("DTPRODUCAO") +
                              " AS NRANOMES FROM CALEPRODUCAO) C GROUP BY CDPERIPRODU, "
                              "NRANOMES / 100, CDFILIAL");
}

} // namespace caleserver
