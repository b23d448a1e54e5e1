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

// The year's days are counted in one pass over the periodicity's rows of that year, grouped by
// branch; first and last day are index probes per branch, so no branch's whole history is read.
std::string overviewSql()
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

std::vector<Param> overviewBinds(const std::string &periodicity, int year,
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
    std::vector<std::string> texts;
    texts.reserve(28);
    const std::vector<Param> binds = overviewBinds(p, year, &texts);
    static const std::string sql = overviewSql();
    return storage->transaction(
        Storage::Mode::Read, [&]() { return answerRows(*storage, overviewFields(), sql, binds); });
}

} // namespace caleserver
