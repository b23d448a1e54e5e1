#include "sqlitestorage.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>

namespace caleserver {

namespace {

// Every pool thread keeps its own connection and so its own page cache: a small one each keeps
// the server's memory low, and the file's pages stay in the system's cache for all of them.
const char *const normalCache = "PRAGMA cache_size = -1024";

} // namespace

SqliteStorage::SqliteStorage(QString connectionName, QString path)
    : Storage(std::move(connectionName))
    , m_path(std::move(path))
{}

QString SqliteStorage::daySeries() const
{
    return QStringLiteral("WITH RECURSIVE DIAS(DIA) AS (SELECT CAST(? AS TEXT) UNION ALL "
                          "SELECT date(DIA, '+1 day') FROM DIAS WHERE DIA < ?) ");
}

QString SqliteStorage::weekdayOf(const QString &column) const
{
    return QStringLiteral("(CAST(strftime('%w', %1) AS INTEGER) + 1)").arg(column);
}

QString SqliteStorage::dayOfMonthOf(const QString &column) const
{
    return QStringLiteral("CAST(strftime('%d', %1) AS INTEGER)").arg(column);
}

bool SqliteStorage::configure(QSqlDatabase &db, QString *error)
{
    const QFileInfo file(m_path);
    if (!file.absoluteDir().exists()) {
        *error = QStringLiteral("a pasta do arquivo %1 não existe.").arg(file.absoluteFilePath());
        return false;
    }
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        *error = QStringLiteral("não foi possível abrir %1: %2").arg(m_path, db.lastError().text());
        return false;
    }
    QSqlQuery query(db);
    for (const char *pragma : {"PRAGMA journal_mode = WAL", "PRAGMA foreign_keys = ON",
                               "PRAGMA synchronous = NORMAL", normalCache}) {
        if (!query.exec(QLatin1String(pragma))) {
            *error = QStringLiteral("não foi possível preparar %1: %2")
                         .arg(m_path, query.lastError().text());
            return false;
        }
    }
    return true;
}

QString SqliteStorage::beginStatement(Mode mode) const
{
    return mode == Mode::Write ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
}

bool SqliteStorage::isTransient(const QSqlError &error) const
{
    // SQLITE_BUSY and SQLITE_LOCKED: another connection holds the lock past the busy timeout.
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6");
}

void SqliteStorage::beginBulk()
{
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA cache_size = -65536"));
}

void SqliteStorage::endBulk(bool)
{
    // Give the copy's cache back, or every thread's connection would keep 64 MB.
    QSqlQuery query(m_db);
    query.exec(QLatin1String(normalCache));
    query.exec(QStringLiteral("PRAGMA shrink_memory"));
}

} // namespace caleserver
