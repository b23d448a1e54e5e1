#include "storage/schema.h"

#include "storage/storage.h"

namespace caleserver {

namespace {

std::vector<std::string> ddl(const Storage &storage)
{
    const std::string date = storage.dateType();
    return {
        "CREATE TABLE IF NOT EXISTS FILIAL ("
        "CDFILIAL CHAR(4) NOT NULL, "
        "NMFILIAL VARCHAR(30) NOT NULL, "
        "IDCNTRRESC CHAR(1) NOT NULL DEFAULT 'N', "
        "DTPROCESSA " +
            date +
            " NULL, "
            "CONSTRAINT PK_FILIAL PRIMARY KEY (CDFILIAL))",
        "CREATE TABLE IF NOT EXISTS PERIPRODUCAO ("
        "CDPERIPRODU CHAR(2) NOT NULL, "
        "NMPERIPRODU VARCHAR(40) NOT NULL, "
        "IDDIANUTILP CHAR(1) NOT NULL DEFAULT 'N', "
        "IDTIPODIAP CHAR(1) NOT NULL DEFAULT 'S', "
        "CONSTRAINT PK_PERIPRODUCAO PRIMARY KEY (CDPERIPRODU))",
        "CREATE TABLE IF NOT EXISTS DIASPRODUCAO ("
        "CDPERIPRODU CHAR(2) NOT NULL, "
        "NRDIAPRODU SMALLINT NOT NULL, "
        "CONSTRAINT PK_DIASPRODUCAO PRIMARY KEY (CDPERIPRODU, NRDIAPRODU), "
        "CONSTRAINT FK_DIASPRODUCAO_PERI FOREIGN KEY (CDPERIPRODU) "
        "REFERENCES PERIPRODUCAO (CDPERIPRODU))",
        "CREATE TABLE IF NOT EXISTS FERIADO ("
        "CDFILIAL CHAR(4) NULL, "
        "DTFERICOMP " +
            date +
            " NOT NULL, "
            "NMFERIADO VARCHAR(40), "
            "CONSTRAINT UQ_FERIADO UNIQUE (CDFILIAL, DTFERICOMP))",
        // Nulls are distinct in the plain key, so a holiday of every branch needs its own index.
        "CREATE UNIQUE INDEX IF NOT EXISTS UQ_FERIADO_GERAL ON FERIADO (DTFERICOMP) "
        "WHERE CDFILIAL IS NULL",
        "CREATE TABLE IF NOT EXISTS CALEPRODUCAO ("
        "CDFILIAL CHAR(4) NOT NULL, "
        "CDPERIPRODU CHAR(2) NOT NULL, "
        "DTPRODUCAO " +
            date +
            " NOT NULL, "
            "CONSTRAINT PK_CALEPRODUCAO PRIMARY KEY (CDFILIAL, CDPERIPRODU, DTPRODUCAO), "
            "CONSTRAINT FK_CALEPRODUCAO_FILIAL FOREIGN KEY (CDFILIAL) "
            "REFERENCES FILIAL (CDFILIAL), "
            "CONSTRAINT FK_CALEPRODUCAO_PERI FOREIGN KEY (CDPERIPRODU) "
            "REFERENCES PERIPRODUCAO (CDPERIPRODU))" +
            storage.calendarTableSuffix(),
    };
}

const char *const kTables[] = {"FILIAL", "PERIPRODUCAO", "DIASPRODUCAO", "FERIADO", "CALEPRODUCAO"};

} // namespace

bool createSchema(Storage &storage, std::string *error, bool *created)
{
    const Outcome outcome = storage.transaction(Storage::Mode::Write, [&storage, created]() {
        for (const std::string &sql : storage.schemaGuard()) {
            if (!storage.execDirect(sql))
                return storage.storageFailure();
        }
        // Asked under the guard, so of set-ups running together only one finds no table.
        if (created) {
            *created = true;
            for (const char *table : kTables) {
                std::string tableError;
                if (storage.hasTable(table, &tableError))
                    *created = false;
                else if (!tableError.empty())
                    return storage.storageFailure();
            }
        }
        for (const std::string &sql : ddl(storage)) {
            if (!storage.execDirect(sql))
                return storage.storageFailure();
        }
        return Outcome::success();
    });
    if (!outcome.ok())
        *error = outcome.message;
    return outcome.ok();
}

bool schemaPresent(Storage &storage, std::string *error)
{
    for (const char *table : kTables) {
        error->clear();
        if (storage.hasTable(table, error))
            continue;
        if (error->empty())
            *error = std::string("O banco de dados não tem a tabela ") + table +
                     ": crie o esquema com caleprodu-server --init-db.";
        return false;
    }
    return true;
}

bool initDatabase(const std::string &url, std::string *error, bool *created)
{
    std::unique_ptr<Storage> storage = Storage::create(url, error);
    return storage && createSchema(*storage, error, created);
}

} // namespace caleserver
