#include "schema.h"

#include "caleserver.h"
#include "storage.h"

#include <QSqlQuery>

namespace caleserver {

namespace {

QStringList ddl(const Storage &storage)
{
    const QString date = storage.dateType();
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS FILIAL ("
                       "CDFILIAL CHAR(4) NOT NULL, "
                       "NMFILIAL VARCHAR(30) NOT NULL, "
                       "IDCNTRRESC CHAR(1) NOT NULL DEFAULT 'N', "
                       "DTPROCESSA %1 NULL, "
                       "CONSTRAINT PK_FILIAL PRIMARY KEY (CDFILIAL))")
            .arg(date),
        QStringLiteral("CREATE TABLE IF NOT EXISTS PERIPRODUCAO ("
                       "CDPERIPRODU CHAR(2) NOT NULL, "
                       "NMPERIPRODU VARCHAR(40) NOT NULL, "
                       "IDDIANUTILP CHAR(1) NOT NULL DEFAULT 'N', "
                       "IDTIPODIAP CHAR(1) NOT NULL DEFAULT 'S', "
                       "CONSTRAINT PK_PERIPRODUCAO PRIMARY KEY (CDPERIPRODU))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS DIASPRODUCAO ("
                       "CDPERIPRODU CHAR(2) NOT NULL, "
                       "NRDIAPRODU SMALLINT NOT NULL, "
                       "CONSTRAINT PK_DIASPRODUCAO PRIMARY KEY (CDPERIPRODU, NRDIAPRODU), "
                       "CONSTRAINT FK_DIASPRODUCAO_PERI FOREIGN KEY (CDPERIPRODU) "
                       "REFERENCES PERIPRODUCAO (CDPERIPRODU))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS FERIADO ("
                       "CDFILIAL CHAR(4) NULL, "
                       "DTFERICOMP %1 NOT NULL, "
                       "NMFERIADO VARCHAR(40), "
                       "CONSTRAINT UQ_FERIADO UNIQUE (CDFILIAL, DTFERICOMP))")
            .arg(date),
        // Nulls are distinct in the plain key, so a holiday of every branch needs its own index.
        QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS UQ_FERIADO_GERAL ON FERIADO (DTFERICOMP) "
                       "WHERE CDFILIAL IS NULL"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS CALEPRODUCAO ("
            "CDFILIAL CHAR(4) NOT NULL, "
            "CDPERIPRODU CHAR(2) NOT NULL, "
            "DTPRODUCAO %1 NOT NULL, "
            "CONSTRAINT PK_CALEPRODUCAO PRIMARY KEY (CDFILIAL, CDPERIPRODU, DTPRODUCAO), "
            "CONSTRAINT FK_CALEPRODUCAO_FILIAL FOREIGN KEY (CDFILIAL) "
            "REFERENCES FILIAL (CDFILIAL), "
            "CONSTRAINT FK_CALEPRODUCAO_PERI FOREIGN KEY (CDPERIPRODU) "
            "REFERENCES PERIPRODUCAO (CDPERIPRODU))%2")
            .arg(date, storage.calendarTableSuffix()),
    };
}

} // namespace

bool createSchema(Storage &storage, QString *error)
{
    const Outcome outcome = storage.transaction(Storage::Mode::Write, [&storage]() {
        for (const QString &sql : storage.schemaGuard() + ddl(storage)) {
            if (!storage.execDirect(sql))
                return storage.storageFailure();
        }
        return Outcome::success({});
    });
    if (!outcome.ok())
        *error = outcome.message;
    return outcome.ok();
}

bool schemaPresent(Storage &storage, QString *error)
{
    QString openError;
    if (!storage.open(&openError)) {
        *error = QStringLiteral("Banco de dados indisponível: %1").arg(openError);
        return false;
    }
    const QStringList tables = storage.database().tables();
    for (const char *table :
         {"FILIAL", "PERIPRODUCAO", "DIASPRODUCAO", "FERIADO", "CALEPRODUCAO"}) {
        const QString name = QLatin1String(table);
        if (!tables.contains(name, Qt::CaseInsensitive)) {
            *error = QStringLiteral("O banco de dados não tem a tabela %1: crie o esquema com "
                                    "caleprodu-server --init-db.")
                         .arg(name);
            return false;
        }
    }
    return true;
}

bool initDatabase(const QString &url, QString *error)
{
    std::unique_ptr<Storage> storage = Storage::create(url, error);
    return storage && createSchema(*storage, error);
}

} // namespace caleserver
