#include "testdatabase.h"

#include <caleserver.h>
#include <storage.h>

#include <QCoreApplication>
#include <QDir>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <atomic>

namespace testsupport {

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
    m_storage.reset();
    if (!m_dbName.isEmpty()) {
        QString error;
        std::unique_ptr<caleserver::Storage> admin =
            caleserver::Storage::create(m_adminUrl, &error);
        if (admin && admin->open(&error))
            admin->execDirect(
                QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_dbName));
    }
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
        std::unique_ptr<caleserver::Storage> admin =
            caleserver::Storage::create(m_adminUrl, message);
        if (!admin || !admin->open(message))
            return false;
        admin->execDirect(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_dbName));
        if (!admin->execDirect(QStringLiteral("CREATE DATABASE %1").arg(m_dbName))) {
            *message = admin->storageFailure().message;
            m_dbName.clear();
            return false;
        }
        QUrl url(m_adminUrl);
        url.setPath(QLatin1Char('/') + m_dbName);
        m_url = url.toString();
    }
    if (!caleserver::initDatabase(m_url, message))
        return false;
    m_storage = caleserver::Storage::create(m_url, message);
    return m_storage && m_storage->open(message);
}

bool TestDatabase::exec(const QString &sql, const QVariantList &binds, QString *error)
{
    QSqlQuery query(m_storage->database());
    bool ok = query.prepare(sql);
    for (int i = 0; ok && i < binds.size(); ++i)
        query.bindValue(i, binds.at(i));
    ok = ok && query.exec();
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
    QSqlQuery query(m_storage->database());
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
            row.append(value.typeId() == QMetaType::QDate
                           ? QVariant(caleserver::Storage::isoDate(value))
                           : value);
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
    for (const char *table : {"CALEPRODUCAO", "FERIADO", "DIASPRODUCAO", "PERIPRODUCAO", "FILIAL"})
        if (!exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)), {}, error))
            return false;
    return true;
}

QStringList TestDatabase::calendar()
{
    QStringList result;
    for (const QVariantList &row :
         rows(QStringLiteral("SELECT CDFILIAL, CDPERIPRODU, DTPRODUCAO FROM CALEPRODUCAO")))
        result.append(row.at(0).toString() + QLatin1Char('/') + row.at(1).toString() +
                      QLatin1Char('/') + caleserver::Storage::isoDate(row.at(2)));
    result.sort();
    return result;
}

} // namespace testsupport
