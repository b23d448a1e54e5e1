#pragma once

#include <QList>
#include <QMetaType>
#include <QSqlDatabase>
#include <QString>
#include <QTest>
#include <QVariant>

#include <memory>

namespace testsupport {

// The database engines every server-backed test runs against.
enum class Engine { Sqlite, Postgres };

// "sqlite" or "postgresql".
QString engineName(Engine engine);

// Adds one global data row per engine (column "engine", tags "sqlite" and "postgresql"): call it
// from initTestCase_data() so that every test function runs against both engines.
void addEngineRows();

// A throwaway database of one engine: a SQLite file in a temporary folder, or a database of its
// own (caleprodu_t_<pid>_<n>) on the cluster named by CALEPRODU_TEST_PG_URL, dropped on
// destruction. Tests of one process and parallel test processes never share one.
class TestDatabase
{
public:
    explicit TestDatabase(Engine engine);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    // Creates the database with the server's schema. False when it cannot: *skipped tells a
    // missing engine (PostgreSQL without CALEPRODU_TEST_PG_URL; *message is the reason) from a
    // failure.
    bool create(QString *message, bool *skipped);

    Engine engine() const { return m_engine; }
    // The URL the server takes ("sqlite:/tmp/.../test.db", "postgresql://.../caleprodu_t_...").
    QString url() const { return m_url; }

    // Runs one statement with positional (?) binds on this thread's own connection, which is the
    // test's and never the server's.
    bool exec(const QString &sql, const QVariantList &binds = {}, QString *error = nullptr);
    // Result rows of a query, dates as "YYYY-MM-DD" on both engines; empty on failure.
    QList<QVariantList> rows(const QString &sql, const QVariantList &binds = {});
    // First column of the first row, or an invalid QVariant.
    QVariant value(const QString &sql, const QVariantList &binds = {});
    // Empties every table (calendar first, so no key stops it).
    bool clear(QString *error = nullptr);
    // Takes the overview's counts again from the calendar's days, as an upgrade does: for tests
    // that write days past the server.
    bool recount(QString *error = nullptr);
    // Every calendar row as "branch/periodicity/date", sorted: a snapshot to compare before and
    // after.
    QStringList calendar();
    // Every object of the schema and every row of every table, each value with its type, in one
    // sorted list: equal dumps mean an unchanged database, whatever a request may have created,
    // dropped or rewritten.
    QStringList dump();

private:
    Engine m_engine;
    QString m_url;
    QString m_adminUrl;
    QString m_dbName;
    QString m_tempDir;
    QString m_connection;
};

} // namespace testsupport

Q_DECLARE_METATYPE(testsupport::Engine)

// For a test function: creates a throwaway database of `engine` into the unique_ptr `database`,
// and skips (engine missing) or fails the test function when it cannot.
#define CALEPRODU_CREATE_DATABASE(database, engine)                                                \
    do {                                                                                           \
        (database) = std::make_unique<testsupport::TestDatabase>(engine);                          \
        QString createMessage_;                                                                    \
        bool createSkipped_ = false;                                                               \
        if (!(database)->create(&createMessage_, &createSkipped_)) {                               \
            if (createSkipped_)                                                                    \
                QSKIP(qPrintable(createMessage_));                                                 \
            QFAIL(qPrintable(createMessage_));                                                     \
        }                                                                                          \
    } while (false)
