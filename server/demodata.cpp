#include "demodata.h"

#include "methods.h"
#include "storage/schema.h"
#include "storage/storage.h"

#include <boost/json/value.hpp>

#include <algorithm>

namespace caleserver {

Date easterSunday(int year)
{
    // Anonymous Gregorian computus.
    const int a = year % 19;
    const int b = year / 100;
    const int c = year % 100;
    const int d = b / 4;
    const int e = b % 4;
    const int f = (b + 8) / 25;
    const int g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4;
    const int k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31;
    const int day = (h + l - 7 * m + 114) % 31 + 1;
    return Date(year, month, day);
}

std::vector<Holiday> nationalHolidays(int year)
{
    std::vector<Holiday> holidays{
        {Date(year, 1, 1), "Confraternização Universal"},
        {easterSunday(year).addDays(-2), "Paixão de Cristo"},
        {Date(year, 4, 21), "Tiradentes"},
        {Date(year, 5, 1), "Dia do Trabalho"},
        {Date(year, 9, 7), "Independência do Brasil"},
        {Date(year, 10, 12), "Nossa Senhora Aparecida"},
        {Date(year, 11, 2), "Finados"},
        {Date(year, 11, 15), "Proclamação da República"},
        {Date(year, 12, 25), "Natal"},
    };
    if (year >= 2024)
        holidays.push_back({Date(year, 11, 20), "Consciência Negra"});
    std::sort(holidays.begin(), holidays.end(),
              [](const Holiday &x, const Holiday &y) { return x.date < y.date; });
    return holidays;
}

namespace {

struct Row
{
    const char *sql;
    std::vector<std::string> values; // "\0" stands for null
};

const std::string null(1, '\0');

std::vector<Row> referenceRows(int firstYear, int lastYear, const std::string &processing)
{
    const char *branch = "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC, DTPROCESSA) "
                         "VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING";
    const char *periodicity = "INSERT INTO PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU, IDDIANUTILP, "
                              "IDTIPODIAP) VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING";
    const char *day = "INSERT INTO DIASPRODUCAO (CDPERIPRODU, NRDIAPRODU) VALUES (?, ?) "
                      "ON CONFLICT DO NOTHING";
    const char *holiday = "INSERT INTO FERIADO (CDFILIAL, DTFERICOMP, NMFERIADO) VALUES "
                          "(?, ?, ?) ON CONFLICT DO NOTHING";
    std::vector<Row> rows{
        {branch, {"0001", "Matriz São Paulo", "N", null}},
        {branch, {"0002", "Filial Rio de Janeiro", "N", null}},
        {branch, {"0003", "Filial Belo Horizonte", "S", null}},
        {branch, {"0004", "Filial Curitiba", "N", processing}},
        {branch, {"0005", "Filial Porto Alegre", "N", null}},
        {periodicity, {"01", "Produção Semanal (seg–sex)", "S", "S"}},
        {periodicity, {"02", "Produção Quinzenal (dias 1 e 15)", "N", "M"}},
        {periodicity, {"03", "Produção de Fim de Semana", "N", "S"}},
        {periodicity, {"04", "Produção Sob Encomenda", "N", "S"}},
    };
    for (int weekday = 2; weekday <= 6; ++weekday)
        rows.push_back({day, {"01", std::to_string(weekday)}});
    rows.push_back({day, {"02", "1"}});
    rows.push_back({day, {"02", "15"}});
    rows.push_back({day, {"03", "1"}});
    rows.push_back({day, {"03", "7"}});
    for (int year = firstYear; year <= lastYear; ++year) {
        for (const Holiday &h : nationalHolidays(year))
            rows.push_back({holiday, {null, h.date.iso(), h.name}});
        rows.push_back({holiday, {"0001", Date(year, 1, 25).iso(), "Aniversário de São Paulo"}});
    }
    return rows;
}

} // namespace

bool seedDemo(const std::string &url, std::string *error)
{
    std::unique_ptr<Storage> storage = Storage::create(url, error);
    if (!storage || !createSchema(*storage, error))
        return false;

    const Date today = Date::today();
    const int firstYear = std::min(2020, today.year - 1);
    const int lastYear = std::max(2035, today.year + 5);
    const std::string processing = today.monthStart().iso();

    Outcome outcome = storage->transaction(Storage::Mode::Write, [&]() {
        for (const Row &row : referenceRows(firstYear, lastYear, processing)) {
            std::vector<Param> binds;
            for (const std::string &value : row.values)
                binds.push_back(value == null ? Param(nullptr) : Param(value));
            if (!storage->exec(row.sql, Params(binds)))
                return storage->storageFailure();
        }
        return Outcome::success();
    });

    // Calendars only where there is none yet, so a second run keeps the operator's edits.
    const std::string yearStart = Date(today.year, 1, 1).iso();
    const std::string year = std::to_string(today.year);
    const std::pair<const char *, const char *> calendars[] = {
        {"0001", "01"}, {"0002", "02"}, {"0004", "01"}};
    for (const auto &[branch, peri] : calendars) {
        if (!outcome.ok())
            break;
        const Outcome existing =
            callMethod(*storage, "GetCaleProdu", boost::json::array{branch, peri, year});
        if (!existing.ok()) {
            outcome = existing;
            break;
        }
        if (existing.rowCount == 0)
            outcome = callMethod(*storage, "CalculaProducao",
                                 boost::json::array{branch, peri, yearStart, 12, yearStart});
    }
    if (!outcome.ok())
        *error = outcome.message;
    return outcome.ok();
}

} // namespace caleserver
