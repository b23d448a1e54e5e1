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

// The months, first and last day come from the counts every write keeps, a row or two per branch:
// counting a year's days of a thousand branches took 60 ms on SQLite alone, and probing each
// branch's first and last day 40 ms on PostgreSQL.
std::string overviewSql()
{
    std::string months;
    std::string total;
    for (int month = 1; month <= 12; ++month) {
        const std::string count = std::string("COALESCE(A.QTMES") + (month < 10 ? "0" : "") +
                                  std::to_string(month) + ", 0)";
        months += count + ", ";
        total += (month == 1 ? "" : " + ") + count;
    }
    return "SELECT F.CDFILIAL, F.NMFILIAL, F.IDCNTRRESC, " + months + total +
           ", L.DTPRIMEIRO, L.DTULTIMO, "
           "(SELECT COUNT(DISTINCT H.DTFERICOMP) FROM FERIADO H WHERE H.DTFERICOMP BETWEEN ? AND "
           "? AND (H.CDFILIAL = F.CDFILIAL OR H.CDFILIAL IS NULL)) "
           "FROM FILIAL F LEFT JOIN CALEPRODUCAOANO A ON A.CDPERIPRODU = ? AND A.NRANO = ? AND "
           "A.CDFILIAL = F.CDFILIAL LEFT JOIN CALEPRODUCAOLIMITE L ON L.CDPERIPRODU = ? AND "
           "L.CDFILIAL = F.CDFILIAL ORDER BY F.CDFILIAL";
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
    // The following year of 9999 is past what dates may hold: no holiday can fall in it.
    const bool lastYear = year >= 9999;
    const std::string holidaysFrom = lastYear ? "9999-12-31" : Date(year + 1, 1, 1).iso();
    const std::string holidaysTo = lastYear ? "9999-12-30" : Date(year + 1, 12, 31).iso();
    const std::vector<Param> binds{holidaysFrom, holidaysTo, p, year, p};
    static const std::string query = overviewSql();
    return storage->transaction(Storage::Mode::Read, [&]() {
        return answerRows(*storage, overviewFields(), query, binds);
    });
}

} // namespace caleserver
