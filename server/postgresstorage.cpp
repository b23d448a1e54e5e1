#include "postgresstorage.h"

#include <QSqlQuery>

namespace caleserver {

PostgresStorage::PostgresStorage(QString connectionName, Params params)
    : Storage(std::move(connectionName))
    , m_params(std::move(params))
{}

QString PostgresStorage::daySeries() const
{
    return QStringLiteral("WITH RECURSIVE DIAS(DIA) AS (SELECT CAST(? AS DATE) UNION ALL "
                          "SELECT DIA + 1 FROM DIAS WHERE DIA < CAST(? AS DATE)) ");
}

QString PostgresStorage::weekdayOf(const QString &column) const
{
    return QStringLiteral("(CAST(EXTRACT(DOW FROM %1) AS INTEGER) + 1)").arg(column);
}

QString PostgresStorage::dayOfMonthOf(const QString &column) const
{
    return QStringLiteral("CAST(EXTRACT(DAY FROM %1) AS INTEGER)").arg(column);
}

QStringList PostgresStorage::schemaGuard() const
{
    // Two servers starting together must not race on CREATE TABLE IF NOT EXISTS.
    return {QStringLiteral("SELECT pg_advisory_xact_lock(770700)")};
}

bool PostgresStorage::configure(QSqlDatabase &db, QString *error)
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    db.setHostName(m_params.host);
    db.setPort(m_params.port);
    db.setUserName(m_params.user);
    db.setPassword(m_params.password);
    db.setDatabaseName(m_params.database);
    db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    if (!db.open()) {
        *error = QStringLiteral("não foi possível conectar a %1:%2/%3: %4")
                     .arg(m_params.host)
                     .arg(m_params.port)
                     .arg(m_params.database, db.lastError().text());
        return false;
    }
    // "already exists, skipping" notices of an idempotent schema set-up are no news.
    QSqlQuery(db).exec(QStringLiteral("SET client_min_messages = warning"));
    return true;
}

QString PostgresStorage::beginStatement(Mode) const
{
    return QStringLiteral("BEGIN");
}

bool PostgresStorage::isTransient(const QSqlError &error) const
{
    const QString state = error.nativeErrorCode();
    return state == QLatin1String("40001") || state == QLatin1String("40P01");
}

void PostgresStorage::endBulk(bool committed)
{
    // Stale statistics after a bulk copy make the next reads of the calendar several times slower.
    if (committed)
        QSqlQuery(m_db).exec(QStringLiteral("ANALYZE CALEPRODUCAO"));
}

} // namespace caleserver
