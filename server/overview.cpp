#include "overview.h"

#include "arguments.h"
#include "date.h"
#include "packets.h"

namespace caleserver {

namespace {

const Fields &overviewFields()
{
    static const Fields fields{
        {"CDFILIAL", "string", 4}, {"NMFILIAL", "string", 30}, {"IDCNTRRESC", "string", 1},
        {"QTMES01", "float"},      {"QTMES02", "float"},       {"QTMES03", "float"},
        {"QTMES04", "float"},      {"QTMES05", "float"},       {"QTMES06", "float"},
        {"QTMES07", "float"},      {"QTMES08", "float"},       {"QTMES09", "float"},
        {"QTMES10", "float"},      {"QTMES11", "float"},       {"QTMES12", "float"},
        {"QTANO", "float"},        {"DTPRIMEIRO", "date"},     {"DTULTIMO", "date"},
        {"QTFERIADOPROX", "float"}};
    return fields;
}

// SQLite: each month is a range count on the calendar's key (branch, periodicity, day), which
// steps over the rows without evaluating an expression on each; on the bench data a third of the
// time of one pass grouping the year's rows by branch. First and last day are key probes per
// branch.
std::string rangeCountSql()
{
    std::string months;
    std::string total;
    for (int month = 1; month <= 12; ++month) {
        const std::string name = "M" + std::to_string(month);
        months += "(SELECT COUNT(*) FROM CALEPRODUCAO C WHERE C.CDFILIAL = F.CDFILIAL AND "
                  "C.CDPERIPRODU = ? AND C.DTPRODUCAO BETWEEN ? AND ?) AS " +
                  name + ", ";
        total += (month == 1 ? "" : " + ") + name;
    }
    return "SELECT CDFILIAL, NMFILIAL, IDCNTRRESC, M1, M2, M3, M4, M5, M6, M7, M8, M9, M10, M11, "
           "M12, " +
           total +
           ", PRIMEIRO, ULTIMO, FERIADOS FROM (SELECT F.CDFILIAL, F.NMFILIAL, F.IDCNTRRESC, " +
           months +
           "(SELECT MIN(C.DTPRODUCAO) FROM CALEPRODUCAO C WHERE C.CDFILIAL = F.CDFILIAL AND "
           "C.CDPERIPRODU = ?) AS PRIMEIRO, "
           "(SELECT MAX(C.DTPRODUCAO) FROM CALEPRODUCAO C WHERE C.CDFILIAL = F.CDFILIAL AND "
           "C.CDPERIPRODU = ?) AS ULTIMO, "
           "(SELECT COUNT(DISTINCT H.DTFERICOMP) FROM FERIADO H WHERE H.DTFERICOMP BETWEEN ? AND "
           "? AND (H.CDFILIAL = F.CDFILIAL OR H.CDFILIAL IS NULL)) AS FERIADOS "
           "FROM FILIAL F) V ORDER BY CDFILIAL";
}

std::vector<Param> rangeCountBinds(const std::string &periodicity, int year,
                                   std::vector<std::string> *texts)
{
    for (int month = 1; month <= 12; ++month) {
        const Date first(year, month, 1);
        texts->push_back(first.iso());
        texts->push_back(first.monthEnd().iso());
    }
    // The following year of 9999 is past what dates may hold: no holiday can fall in it.
    const bool lastYear = year >= 9999;
    texts->push_back(lastYear ? "9999-12-31" : Date(year + 1, 1, 1).iso());
    texts->push_back(lastYear ? "9999-12-30" : Date(year + 1, 12, 31).iso());
    const std::vector<std::string> &t = *texts;
    std::vector<Param> binds;
    for (size_t month = 0; month < 12; ++month) {
        binds.emplace_back(periodicity);
        binds.emplace_back(t[2 * month]);
        binds.emplace_back(t[2 * month + 1]);
    }
    binds.emplace_back(periodicity);
    binds.emplace_back(periodicity);
    binds.emplace_back(t[24]);
    binds.emplace_back(t[25]);
    return binds;
}

// PostgreSQL: the year's days counted in one pass over the periodicity's rows of that year, grouped
// by branch, which there took a third of the time of the range counts per month (a subplan each).
// First and last day are index probes per branch, so no branch's whole history is read.
std::string groupedSql()
{
    std::string months;
    std::string totals;
    for (int month = 1; month <= 12; ++month) {
        const std::string name = (month < 10 ? "M0" : "M") + std::to_string(month);
        months += ", SUM(CASE WHEN DTPRODUCAO BETWEEN ? AND ? THEN 1 ELSE 0 END) AS " + name;
        totals += "COALESCE(Y." + name + ", 0), ";
    }
    return "SELECT F.CDFILIAL, F.NMFILIAL, F.IDCNTRRESC, " + totals +
           "COALESCE(Y.TOTAL, 0), "
           "(SELECT MIN(C.DTPRODUCAO) FROM CALEPRODUCAO C WHERE C.CDFILIAL = F.CDFILIAL AND "
           "C.CDPERIPRODU = ?), "
           "(SELECT MAX(C.DTPRODUCAO) FROM CALEPRODUCAO C WHERE C.CDFILIAL = F.CDFILIAL AND "
           "C.CDPERIPRODU = ?), "
           "(SELECT COUNT(DISTINCT H.DTFERICOMP) FROM FERIADO H WHERE H.DTFERICOMP BETWEEN ? AND "
           "? AND (H.CDFILIAL = F.CDFILIAL OR H.CDFILIAL IS NULL)) "
           "FROM FILIAL F LEFT JOIN (SELECT CDFILIAL" +
           months +
           ", COUNT(*) AS TOTAL FROM CALEPRODUCAO WHERE CDPERIPRODU = ? AND DTPRODUCAO BETWEEN ? "
           "AND ? GROUP BY CDFILIAL) Y ON Y.CDFILIAL = F.CDFILIAL ORDER BY F.CDFILIAL";
}

std::vector<Param> groupedBinds(const std::string &periodicity, int year,
                                std::vector<std::string> *texts)
{
    // The following year of 9999 is past what dates may hold: no holiday can fall in it.
    const bool lastYear = year >= 9999;
    texts->push_back(lastYear ? "9999-12-31" : Date(year + 1, 1, 1).iso());
    texts->push_back(lastYear ? "9999-12-30" : Date(year + 1, 12, 31).iso());
    for (int month = 1; month <= 12; ++month) {
        const Date first(year, month, 1);
        texts->push_back(first.iso());
        texts->push_back(first.monthEnd().iso());
    }
    texts->push_back(Date(year, 1, 1).iso());
    texts->push_back(Date(year, 12, 31).iso());
    const std::vector<std::string> &t = *texts;
    std::vector<Param> binds{periodicity, periodicity, t[0], t[1]};
    for (size_t i = 2; i < 26; ++i)
        binds.emplace_back(t[i]);
    binds.emplace_back(periodicity);
    binds.emplace_back(t[26]);
    binds.emplace_back(t[27]);
    return binds;
}

} // namespace

Outcome getVisaoGeral(const StorageSource &source, const boost::json::array &params)
{
    Args args("GetVisaoGeral", params, {"periodicidade", "ano"});
    const std::string p = args.code(0, 2);
    const int year = args.year(1);
    if (args.failed())
        return args.error();
    if (p.empty() || year == 0)
        return empty(overviewFields());
    std::string why;
    Storage *storage = source(Storage::Mode::Read, &why);
    if (!storage)
        return Outcome::failure(ErrorCode::StorageFailure, "Banco de dados indisponível: " + why);
    // One read per engine: what is fastest differs between them.
    const bool grouped = storage->engineName() != "SQLite";
    std::vector<std::string> texts;
    texts.reserve(28);
    const std::vector<Param> binds =
        grouped ? groupedBinds(p, year, &texts) : rangeCountBinds(p, year, &texts);
    static const std::string groupedQuery = groupedSql();
    static const std::string rangeCountQuery = rangeCountSql();
    return storage->transaction(Storage::Mode::Read, [&]() {
        return answerRows(*storage, overviewFields(), grouped ? groupedQuery : rangeCountQuery,
                          binds);
    });
}

} // namespace caleserver
