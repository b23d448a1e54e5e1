#include "testdatabase.h"

#include <storage/schema.h>
#include <storage/storage.h>
#include <yearcounts.h>

#include <QCoreApplication>
#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <atomic>

namespace testsupport {

namespace {

// A connection of the test itself, through Qt's drivers: what the test checks is read apart from
// the server's own storage code.
QSqlDatabase openConnection(const QString &url, const QString &name, QString *error)
{
    QSqlDatabase db;
    if (url.startsWith(QLatin1String("sqlite:"))) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(url.mid(7));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    } else {
        const QUrl parsed(url);
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(parsed.host());
        db.setPort(parsed.port(5432));
        db.setUserName(parsed.userName());
        db.setPassword(parsed.password());
        db.setDatabaseName(parsed.path().mid(1));
    }
    if (!db.open() && error)
        *error = db.lastError().text();
    if (db.isOpen() && db.driverName() == QLatin1String("QPSQL"))
        QSqlQuery(db).exec(QStringLiteral("SET client_min_messages = warning"));
    return db;
}

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("testdatabase-%1").arg(++counter);
}

// Runs one statement on a connection of its own, opened and closed around it.
bool adminExec(const QString &url, const QString &sql, QString *error)
{
    const QString name = nextConnectionName();
    bool ok = false;
    {
        QSqlDatabase db = openConnection(url, name, error);
        if (db.isOpen()) {
            QSqlQuery query(db);
            ok = query.exec(sql);
            if (!ok && error)
                *error = query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QString isoDate(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    return value.toString().left(10);
}

} // namespace

QString engineName(Engine engine)
{
    return engine == Engine::Sqlite ? QStringLiteral("sqlite") : QStringLiteral("postgresql");
}

void addEngineRows()
{
    QTest::addColumn<Engine>("engine");
    QTest::newRow("sqlite") << Engine::Sqlite;
    QTest::newRow("postgresql") << Engine::Postgres;
}

TestDatabase::TestDatabase(Engine engine)
    : m_engine(engine)
{}

TestDatabase::~TestDatabase()
{
    if (!m_connection.isEmpty()) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    if (!m_dbName.isEmpty())
        adminExec(m_adminUrl,
                  QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_dbName), nullptr);
    if (!m_tempDir.isEmpty())
        QDir(m_tempDir).removeRecursively();
}

bool TestDatabase::create(QString *message, bool *skipped)
{
    *skipped = false;
    if (m_engine == Engine::Sqlite) {
        QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/caleprodu-test-XXXXXX"));
        if (!dir.isValid()) {
            *message = QStringLiteral("cannot create a temporary folder");
            return false;
        }
        dir.setAutoRemove(false);
        m_tempDir = dir.path();
        m_url = QStringLiteral("sqlite:") + m_tempDir + QStringLiteral("/test.db");
    } else {
        m_adminUrl = qEnvironmentVariable("CALEPRODU_TEST_PG_URL");
        if (m_adminUrl.isEmpty()) {
            *skipped = true;
            *message = QStringLiteral("CALEPRODU_TEST_PG_URL is not set: no PostgreSQL cluster to "
                                      "test against");
            return false;
        }
        static std::atomic<int> counter{0};
        m_dbName = QStringLiteral("caleprodu_t_%1_%2")
                       .arg(QCoreApplication::applicationPid())
                       .arg(++counter);
        adminExec(m_adminUrl,
                  QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_dbName), nullptr);
        if (!adminExec(m_adminUrl, QStringLiteral("CREATE DATABASE %1").arg(m_dbName), message)) {
            m_dbName.clear();
            return false;
        }
        QUrl url(m_adminUrl);
        url.setPath(QLatin1Char('/') + m_dbName);
        m_url = url.toString();
    }
    std::string error;
    if (!caleserver::initDatabase(m_url.toStdString(), &error)) {
        *message = QString::fromStdString(error);
        return false;
    }
    m_connection = nextConnectionName();
    return openConnection(m_url, m_connection, message).isOpen();
}

bool TestDatabase::exec(const QString &sql, const QVariantList &binds, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    // Without binds the statement runs as it stands: the PostgreSQL driver cannot prepare
    // transaction control or DDL.
    bool ok = binds.isEmpty() || query.prepare(sql);
    for (int i = 0; ok && i < binds.size(); ++i)
        query.bindValue(i, binds.at(i));
    ok = ok && (binds.isEmpty() ? query.exec(sql) : query.exec());
    if (!ok) {
        const QString text = query.lastError().text() + QStringLiteral(" in ") + sql;
        if (error)
            *error = text;
        else
            qWarning("%s", qPrintable(text));
    }
    return ok;
}

QList<QVariantList> TestDatabase::rows(const QString &sql, const QVariantList &binds)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(sql);
    for (int i = 0; i < binds.size(); ++i)
        query.bindValue(i, binds.at(i));
    QList<QVariantList> result;
    if (!query.exec()) {
        qWarning("%s in %s", qPrintable(query.lastError().text()), qPrintable(sql));
        return result;
    }
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i) {
            const QVariant value = query.value(i);
            row.append(value.typeId() == QMetaType::QDate ? QVariant(isoDate(value)) : value);
        }
        result.append(row);
    }
    return result;
}

QVariant TestDatabase::value(const QString &sql, const QVariantList &binds)
{
    const QList<QVariantList> result = rows(sql, binds);
    return result.isEmpty() || result.first().isEmpty() ? QVariant() : result.first().first();
}

bool TestDatabase::clear(QString *error)
{
    for (const char *table : {"ALTERACAOMES", "ALTERACAO", "CALEPRODUCAOANO", "CALEPRODUCAOLIMITE",
                              "CALEPRODUCAO", "FERIADO", "DIASPRODUCAO", "PERIPRODUCAO", "FILIAL"})
        if (!exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)), {}, error))
            return false;
    return true;
}

bool TestDatabase::recount(QString *error)
{
    std::string why;
    const std::unique_ptr<caleserver::Storage> storage =
        caleserver::Storage::create(m_url.toStdString(), &why);
    const caleserver::Outcome outcome =
        storage ? storage->transaction(caleserver::Storage::Mode::Write,
                                       [&storage]() {
                                           return caleserver::recountYears(*storage)
                                                      ? caleserver::Outcome::success()
                                                      : storage->storageFailure();
                                       })
                : caleserver::Outcome::failure(caleserver::ErrorCode::StorageFailure, why);
    if (!outcome.ok() && error)
        *error = QString::fromStdString(outcome.message);
    return outcome.ok();
}

QStringList TestDatabase::calendar()
{
    QStringList result;
    for (const QVariantList &row :
         rows(QStringLiteral("SELECT CDFILIAL, CDPERIPRODU, DTPRODUCAO FROM CALEPRODUCAO")))
        result.append(row.at(0).toString() + QLatin1Char('/') + row.at(1).toString() +
                      QLatin1Char('/') + isoDate(row.at(2)));
    result.sort();
    return result;
}

QStringList TestDatabase::dump()
{
    const QString objects =
        m_engine == Engine::Sqlite
            ? QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master")
            : QStringLiteral(
                  "SELECT c.relkind::text, c.relname::text, pg_get_userbyid(c.relowner), "
                  "'' FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                  "WHERE n.nspname NOT IN ('pg_catalog', 'information_schema', "
                  "'pg_toast') UNION ALL SELECT 'column', table_name || '.' || "
                  "column_name, data_type, coalesce(column_default, '') FROM "
                  "information_schema.columns WHERE table_schema = 'public' UNION ALL "
                  "SELECT 'function', p.proname::text, '', p.prosrc FROM pg_proc p "
                  "JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = "
                  "'public'");
    QStringList result;
    QStringList tables;
    for (const QVariantList &object : rows(objects)) {
        QStringList texts;
        for (const QVariant &value : object)
            texts.append(value.toString());
        result.append(texts.join(QLatin1Char('|')));
        if (texts.at(0) == QLatin1String("table") || texts.at(0) == QLatin1String("r"))
            tables.append(texts.at(1));
    }
    for (const QString &table : tables) {
        const QString sql = m_engine == Engine::Sqlite
                                ? QStringLiteral("SELECT * FROM \"%1\"").arg(table)
                                : QStringLiteral("SELECT t::text FROM \"%1\" t").arg(table);
        for (const QVariantList &row : rows(sql)) {
            QString line = table;
            for (const QVariant &value : row)
                line += QLatin1Char('|') + QLatin1String(value.typeName()) + QLatin1Char(':') +
                        (value.isNull() ? QStringLiteral("NULL") : value.toString());
            result.append(line);
        }
    }
    result.sort();
    return result;
}

} // namespace testsupport
