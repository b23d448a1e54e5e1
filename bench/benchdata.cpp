// bench-data URL BRANCHES YEAR: creates the schema and fills BRANCHES branches whose periodicity
// "01" (Monday to Friday, no holidays) has every production day of YEAR. Set-based SQL only, so a
// thousand branches take seconds.

#include "demodata.h"
#include "methods.h"
#include "storage/schema.h"
#include "storage/storage.h"
#include "yearcounts.h"

#include <boost/json/array.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace caleserver;

namespace {

int fail(const std::string &message)
{
    std::fprintf(stderr, "bench-data: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4)
        return fail("usage: bench-data URL BRANCHES YEAR");
    const std::string url = argv[1];
    const int branches = std::atoi(argv[2]);
    const int year = std::atoi(argv[3]);
    if (branches < 2 || branches > 9999 || year < 1 || year > 9999)
        return fail("BRANCHES must be 2..9999 and YEAR 1..9999");

    std::string error;
    if (!initDatabase(url, &error))
        return fail(error);
    std::unique_ptr<Storage> storage = Storage::create(url, &error);
    if (!storage)
        return fail(error);

    const std::string first = Date(year, 1, 1).iso();
    const std::string last = Date(year, 12, 31).iso();
    Outcome outcome = storage->transaction(Storage::Mode::Write, [&]() {
        storage->markBulk();
        for (const char *sql :
             {"DELETE FROM CALEPRODUCAO", "DELETE FROM DIASPRODUCAO", "DELETE FROM FERIADO",
              "DELETE FROM PERIPRODUCAO", "DELETE FROM FILIAL"})
            if (!storage->execDirect(sql))
                return storage->storageFailure();
        if (!storage->exec(std::string("INSERT INTO PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU, "
                                       "IDDIANUTILP, IDTIPODIAP) VALUES ('01', 'Semanal', "
                                       "'S', 'S')")))
            return storage->storageFailure();
        for (int weekday = 2; weekday <= 6; ++weekday)
            if (!storage->exec(std::string("INSERT INTO DIASPRODUCAO (CDPERIPRODU, NRDIAPRODU) "
                                           "VALUES ('01', ?)"),
                               {weekday}))
                return storage->storageFailure();
        for (const Holiday &holiday : nationalHolidays(year))
            if (!storage->exec(std::string("INSERT INTO FERIADO (CDFILIAL, DTFERICOMP, "
                                           "NMFERIADO) VALUES (NULL, ?, ?)"),
                               {holiday.date.iso(), holiday.name}))
                return storage->storageFailure();
        // Branch codes 0001 ... N from a counting series.
        if (!storage->exec(
                std::string("WITH RECURSIVE N(I) AS (SELECT 1 UNION ALL SELECT I + 1 FROM N "
                            "WHERE I < ?) INSERT INTO FILIAL (CDFILIAL, NMFILIAL) SELECT "
                            "CAST(SUBSTR(CAST(10000 + I AS VARCHAR(5)), 2, 4) AS CHAR(4)), "
                            "'Filial ' || CAST(I AS VARCHAR(5)) FROM N"),
                {branches}))
            return storage->storageFailure();
        // Open from the year's first day: the copy measured replaces the whole year.
        if (!storage->exec(std::string("UPDATE FILIAL SET DTPROCESSA = ?"), {first}))
            return storage->storageFailure();
        return Outcome::success();
    });
    if (!outcome.ok())
        return fail(outcome.message);

    // The first branch's year through the server's own calculation, then copied to the others.
    outcome =
        callMethod(*storage, "CalculaProducao", boost::json::array{"0001", "01", first, 12, first});
    if (!outcome.ok())
        return fail(outcome.message);
    outcome = storage->transaction(Storage::Mode::Write, [&]() {
        storage->markBulk();
        if (!storage->exec(std::string("INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, "
                                       "DTPRODUCAO) SELECT F.CDFILIAL, C.CDPERIPRODU, "
                                       "C.DTPRODUCAO FROM CALEPRODUCAO C CROSS JOIN FILIAL F "
                                       "WHERE C.CDFILIAL = '0001' AND F.CDFILIAL <> '0001'")))
            return storage->storageFailure();
        // Days written past the server: the overview's counts are taken again.
        if (!recountYears(*storage))
            return storage->storageFailure();
        return Outcome::success();
    });
    if (!outcome.ok())
        return fail(outcome.message);

    int days = 0;
    outcome = storage->transaction(Storage::Mode::Read, [&]() {
        Rows *query = storage->exec(
            std::string("SELECT COUNT(*) FROM CALEPRODUCAO WHERE CDFILIAL = '0001' AND "
                        "DTPRODUCAO BETWEEN ? AND ?"),
            {first, last});
        if (!query)
            return storage->storageFailure();
        if (query->next())
            days = std::atoi(std::string(query->text(0)).c_str());
        return Outcome::success();
    });
    if (!outcome.ok())
        return fail(outcome.message);
    // The one line the driving script reads: production days per branch.
    std::printf("days=%d\n", days);
    return 0;
}
