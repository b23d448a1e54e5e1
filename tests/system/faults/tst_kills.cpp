// kill -9 of the server in the middle of its longest writes, at random moments: whatever the
// moment, every calendar a call writes holds all its old days or all its new ones, the engine
// finds its files and indexes sound, and a server started again on the same database goes on.
//
// CALEPRODU_FAULT_SEED      the seed of the kill moments (logged; default fixed)
// CALEPRODU_FAULT_BRANCHES  branches of the copy (default 1000)
// CALEPRODU_FAULT_KILLS     kills per case (default 20 on SQLite, 5 on PostgreSQL)

#include "faultsupport.h"

#include <testdatabase.h>

#include <QDate>
#include <QHash>
#include <QTest>

#include <atomic>
#include <random>
#include <thread>

using testsupport::Engine;
using testsupport::RpcClient;
using testsupport::TestDatabase;

namespace {

// Undo: the copy runs through, then the kill comes during the undo of its change set.
enum class Write { Copy, Calculation, Undo };

constexpr int year = 2030;
// The copy's source, and the branches whose year the calculation burst rewrites.
const QString source = QStringLiteral("0001");
constexpr int calculatedBranches = 200;
constexpr int calculatingClients = 4;
// The PostgreSQL sessions of a killed server end well within this.
constexpr int settleLimitMs = 60000;

// Per "branch/periodicity", its days of one periodicity as "YYYY-MM-DD" joined by spaces.
using Calendars = QHash<QString, QString>;

QString key(const QString &branch, const QString &periodicity)
{
    return branch + QLatin1Char('/') + periodicity;
}

// One row per branch, the engine's own aggregate joining its days: a thousand rows to read
// instead of a quarter of a million.
Calendars readCalendars(TestDatabase &db, const QString &periodicity)
{
    const QString days = db.engine() == Engine::Postgres
                             ? QStringLiteral("string_agg(to_char(DTPRODUCAO, 'YYYY-MM-DD'), ' ')")
                             : QStringLiteral("group_concat(DTPRODUCAO, ' ')");
    Calendars calendars;
    for (const QVariantList &row : db.rows(QStringLiteral("SELECT CDFILIAL, ") + days +
                                               QStringLiteral(" FROM CALEPRODUCAO WHERE "
                                                              "CDPERIPRODU = ? GROUP BY CDFILIAL"),
                                           {periodicity})) {
        QStringList list = row.at(1).toString().split(QLatin1Char(' '));
        list.sort();
        calendars.insert(key(row.at(0).toString(), periodicity), list.join(QLatin1Char(' ')));
    }
    return calendars;
}

// Days of `year` whose weekday (1 = Monday ... 7) is one of `weekdays`.
QString daysOnWeekdays(const QList<int> &weekdays)
{
    QStringList days;
    for (QDate day(year, 1, 1); day.year() == year; day = day.addDays(1))
        if (weekdays.contains(day.dayOfWeek()))
            days.append(day.toString(Qt::ISODate));
    return days.join(QLatin1Char(' '));
}

// What must hold of the database whatever the moment of the kill; each query counts offences.
const QList<std::pair<const char *, const char *>> invariants = {
    {"duplicate day", "SELECT COUNT(*) FROM (SELECT 1 FROM CALEPRODUCAO GROUP BY CDFILIAL, "
                      "CDPERIPRODU, DTPRODUCAO HAVING COUNT(*) > 1) D"},
    {"day of no branch or periodicity",
     "SELECT COUNT(*) FROM CALEPRODUCAO C WHERE NOT EXISTS (SELECT 1 FROM FILIAL F WHERE "
     "F.CDFILIAL = C.CDFILIAL) OR NOT EXISTS (SELECT 1 FROM PERIPRODUCAO P WHERE P.CDPERIPRODU "
     "= C.CDPERIPRODU)"},
};

// The PostgreSQL b-tree indexes of the calendar's tables, each checked against its table.
const char *const postgresIndexes =
    "FROM pg_index I JOIN pg_class C ON C.oid = I.indexrelid JOIN pg_am A ON A.oid = C.relam "
    "WHERE A.amname = 'btree' AND I.indrelid IN ('filial'::regclass, 'periproducao'::regclass, "
    "'diasproducao'::regclass, 'feriado'::regclass, 'caleproducao'::regclass)";

// An answer, without error: a call cut by the kill has no answer at all.
bool answeredWell(const RpcClient::Reply &reply)
{
    return reply.httpStatus == 200 && !reply.isError();
}

} // namespace

Q_DECLARE_METATYPE(Write)

class tst_Kills : public QObject
{
    Q_OBJECT

    std::mt19937 m_random;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<faults::ServerProcess> m_server;
    bool m_amcheck = false;
    // The copy's two source calendars, of about the same size so that every run takes about as
    // long as the one measured: the destinations hold one, the source the other.
    QString m_firstHalves;
    QString m_secondHalves;
    // Periodicity 01's calendars under the calculated periodicity: what the calculation replaces.
    Calendars m_weekdays;

    bool isPostgres() const { return m_db->engine() == Engine::Postgres; }

    void seed(int branches)
    {
        QProcess seeder;
        seeder.start(QStringLiteral(CALEPRODU_BENCH_DATA_BIN),
                     {m_db->url(), QString::number(branches), QString::number(year)});
        QVERIFY(seeder.waitForFinished(300000));
        QVERIFY2(seeder.exitCode() == 0, seeder.readAllStandardError().constData());
    }

    void startServer()
    {
        if (m_server && m_server->isRunning())
            return;
        m_server = std::make_unique<faults::ServerProcess>(
            m_db->url(), QStringList{QStringLiteral("--threads"), QString::number(4)});
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
    }

    void execAll(const QStringList &statements, const QList<QVariantList> &binds = {})
    {
        for (int i = 0; i < statements.size(); ++i) {
            QString error;
            QVERIFY2(m_db->exec(statements.at(i), binds.value(i), &error), qPrintable(error));
        }
    }

    // The calculation rewrites periodicity 02 (Tuesday, Thursday, Saturday; holidays allowed).
    void preparePeriodicity()
    {
        execAll({QStringLiteral("INSERT INTO PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU, IDDIANUTILP, "
                                "IDTIPODIAP) VALUES ('02', 'Alternada', 'N', 'S')"),
                 QStringLiteral("INSERT INTO DIASPRODUCAO (CDPERIPRODU, NRDIAPRODU) VALUES ('02', "
                                "3), ('02', 5), ('02', 7)")});
    }

    // Sets what the next run starts from, and `calendars` to it; returns the days every target
    // holds once the run is through.
    QString arrange(Write write, Calendars *calendars)
    {
        if (write == Write::Calculation) {
            // Back to the branches' weekday calendars, so that every branch has days to lose.
            execAll({QStringLiteral("DELETE FROM CALEPRODUCAO WHERE CDPERIPRODU = '02'"),
                     QStringLiteral("INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) "
                                    "SELECT CDFILIAL, '02', DTPRODUCAO FROM CALEPRODUCAO WHERE "
                                    "CDPERIPRODU = '01'")});
            *calendars = m_weekdays;
            return daysOnWeekdays({2, 4, 6});
        }
        // The source takes the calendar the destinations do not hold. The dates are the test's
        // own, so they go into the statement as they are.
        const QString next =
            calendars->value(key(QStringLiteral("0002"), QStringLiteral("01"))) == m_firstHalves
                ? m_secondHalves
                : m_firstHalves;
        QStringList values;
        for (const QString &day : next.split(QLatin1Char(' ')))
            values.append(QStringLiteral("('%1', '01', '%2')").arg(source, day));
        execAll({QStringLiteral("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = "
                                "'01'"),
                 QStringLiteral("INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) "
                                "VALUES ") +
                     values.join(QStringLiteral(", "))},
                {{source}});
        calendars->insert(key(source, QStringLiteral("01")), next);
        return next;
    }

    // The copy an undo takes back: runs it through and returns the number of its change set;
    // *calendars gets what it left.
    int copyToUndo(Calendars *calendars)
    {
        if (!answeredWell(m_server->client().call(QStringLiteral("GetInsDel"),
                                                  {source, "01", "", "T",
                                                   QDate(year, 1, 1).toString(Qt::ISODate),
                                                   QDate(year, 12, 31).toString(Qt::ISODate)})))
            return 0;
        *calendars = readCalendars(*m_db, QStringLiteral("01"));
        return m_db
            ->value(QStringLiteral("SELECT MAX(NRALTERACAO) FROM ALTERACAO WHERE NMMETODO "
                                   "= 'GetInsDel'"))
            .toInt();
    }

    // The calls of one run; true when every one was answered without error.
    static bool run(Write write, RpcClient rpc, int branches, int undone = 0)
    {
        if (write == Write::Undo)
            return answeredWell(rpc.call(QStringLiteral("GetDesfazer"), {undone}));
        const QString first = QDate(year, 1, 1).toString(Qt::ISODate);
        if (write == Write::Copy)
            return answeredWell(
                rpc.call(QStringLiteral("GetInsDel"), {source, "01", "", "T", first,
                                                       QDate(year, 12, 31).toString(Qt::ISODate)}));
        std::atomic<bool> answered{true};
        std::vector<std::thread> clients;
        for (int client = 0; client < calculatingClients; ++client)
            clients.emplace_back([&, client] {
                for (int b = 1 + client; b <= branches && answered; b += calculatingClients)
                    if (!answeredWell(
                            rpc.call(QStringLiteral("CalculaProducao"),
                                     {QStringLiteral("%1").arg(b, 4, 10, QLatin1Char('0')), "02",
                                      first, 12, first})))
                        answered = false;
            });
        for (std::thread &client : clients)
            client.join();
        return answered;
    }

    // After a kill: the dead server's PostgreSQL sessions are gone, so that the state is final.
    // A backend notices that its client died only once its statement is through; ending it at
    // once is what an administrator would do, and a transaction cut anywhere rolls back the same.
    void settle()
    {
        if (!isPostgres())
            return;
        const QString others =
            QStringLiteral("FROM pg_stat_activity WHERE datname = current_database() AND "
                           "backend_type = 'client backend' AND pid <> pg_backend_pid()");
        m_db->exec(QStringLiteral("SELECT pg_terminate_backend(pid) ") + others);
        for (int waited = 0; waited < settleLimitMs; waited += 50) {
            if (m_db->value(QStringLiteral("SELECT COUNT(*) ") + others).toInt() == 0)
                return;
            QThread::msleep(50);
        }
        QFAIL("the killed server's PostgreSQL sessions did not end");
    }

    void checkEngine()
    {
        if (isPostgres()) {
            if (m_amcheck) {
                const int indexes =
                    m_db->value(QStringLiteral("SELECT COUNT(*) ") + postgresIndexes).toInt();
                QVERIFY(indexes >= 5);
                // Each index against its table, heap tuples included; a fault raises an error.
                QCOMPARE(m_db->value(QStringLiteral("SELECT COUNT(*) FROM (SELECT "
                                                    "bt_index_check(I.indexrelid, true) ") +
                                     postgresIndexes + QStringLiteral(") K"))
                             .toInt(),
                         indexes);
            }
        } else {
            QCOMPARE(m_db->value(QStringLiteral("PRAGMA integrity_check")).toString(),
                     QStringLiteral("ok"));
            QCOMPARE(m_db->rows(QStringLiteral("PRAGMA foreign_key_check")).size(), 0);
        }
        for (const auto &[what, sql] : invariants)
            QVERIFY2(m_db->value(QLatin1String(sql)).toInt() == 0, what);
    }

    // Every calendar of the periodicity is as before or as after; with one transaction for all
    // targets, all are one or all the other; an answered run left all of them as after.
    // *changed: how many targets hold their new days.
    static void checkCalendars(const Calendars &now, const Calendars &before,
                               const Calendars &after, bool oneTransaction, bool answered,
                               int *changed)
    {
        QSet<QString> keys(before.keyBegin(), before.keyEnd());
        keys.unite(QSet<QString>(after.keyBegin(), after.keyEnd()));
        for (auto it = now.keyBegin(); it != now.keyEnd(); ++it)
            QVERIFY2(keys.contains(*it), qPrintable(*it + QStringLiteral(" gained days")));
        *changed = 0;
        int targets = 0;
        for (const QString &calendar : keys) {
            const QString days = now.value(calendar);
            const bool isBefore = days == before.value(calendar);
            const bool isAfter = days == after.value(calendar);
            QVERIFY2(isBefore || isAfter, qPrintable(calendar + QStringLiteral(" half written")));
            if (before.value(calendar) != after.value(calendar)) {
                ++targets;
                *changed += isAfter ? 1 : 0;
            }
        }
        QVERIFY(targets > 0);
        if (oneTransaction)
            QVERIFY2(
                *changed == 0 || *changed == targets,
                qPrintable(
                    QStringLiteral("%1 of %2 destinations copied").arg(*changed).arg(targets)));
        if (answered)
            QCOMPARE(*changed, targets);
    }

private slots:
    void initTestCase()
    {
        const int seed = faults::environmentInt("CALEPRODU_FAULT_SEED", 140308);
        qInfo("kill moments from seed %d (CALEPRODU_FAULT_SEED)", seed);
        m_random.seed(unsigned(seed));
    }

    void cleanup()
    {
        m_server.reset();
        m_db.reset();
    }

    void killsLeaveEveryCalendarWholeAndTheEngineSound_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<Write>("write");
        QTest::addColumn<int>("kills");
        const int sqliteKills = faults::environmentInt("CALEPRODU_FAULT_KILLS", 20);
        const int postgresKills = faults::environmentInt("CALEPRODU_FAULT_KILLS", 5);
        QTest::newRow("sqlite copy") << Engine::Sqlite << Write::Copy << sqliteKills;
        QTest::newRow("sqlite calculation") << Engine::Sqlite << Write::Calculation << sqliteKills;
        QTest::newRow("postgresql copy") << Engine::Postgres << Write::Copy << postgresKills;
        QTest::newRow("postgresql calculation")
            << Engine::Postgres << Write::Calculation << postgresKills;
        QTest::newRow("sqlite undo of a copy") << Engine::Sqlite << Write::Undo << sqliteKills;
        QTest::newRow("postgresql undo of a copy")
            << Engine::Postgres << Write::Undo << postgresKills;
    }

    void killsLeaveEveryCalendarWholeAndTheEngineSound()
    {
        QFETCH(Engine, engine);
        QFETCH(Write, write);
        QFETCH(int, kills);
        CALEPRODU_CREATE_DATABASE(m_db, engine);
        const int branches = write != Write::Calculation
                                 ? faults::environmentInt("CALEPRODU_FAULT_BRANCHES", 1000)
                                 : calculatedBranches;
        seed(branches);
        if (write == Write::Calculation)
            preparePeriodicity();
        const QStringList fullYear = readCalendars(*m_db, QStringLiteral("01"))
                                         .value(key(source, QStringLiteral("01")))
                                         .split(QLatin1Char(' '));
        const auto days = [&fullYear](const char *dayOfMonth) {
            return fullYear.filter(QRegularExpression(QLatin1String(dayOfMonth)))
                .join(QLatin1Char(' '));
        };
        m_firstHalves = days("-(0\\d|1[0-5])$");
        m_secondHalves = days("-(1[6-9]|2\\d|3[01])$");
        QVERIFY(fullYear.size() > 200);
        if (isPostgres())
            m_amcheck = m_db->exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS amcheck"));
        if (isPostgres() && !m_amcheck)
            qWarning("amcheck is not available: the indexes are checked by the invariants only");
        const QString periodicity =
            write != Write::Calculation ? QStringLiteral("01") : QStringLiteral("02");
        m_weekdays.clear();
        for (auto [calendar, days] : readCalendars(*m_db, QStringLiteral("01")).asKeyValueRange())
            m_weekdays.insert(calendar.left(5) + periodicity, days);
        Calendars calendars = readCalendars(*m_db, periodicity);
        if (QTest::currentTestFailed())
            return;

        // Run 0 goes through without a kill: its length is the span the kill moments are drawn
        // from. The last run, on the server started after the last kill, goes through too.
        std::chrono::milliseconds span{0};
        int unchanged = 0;
        int whole = 0;
        for (int kill = 0; kill <= kills + 1; ++kill) {
            startServer();
            const Calendars original = calendars;
            const QString days = arrange(write == Write::Undo ? Write::Copy : write, &calendars);
            int undone = 0;
            if (write == Write::Undo) {
                undone = copyToUndo(&calendars);
                QVERIFY2(undone > 0, qPrintable(m_server->logTail()));
            }
            const Calendars before = calendars;
            Calendars after = before;
            for (int b = 1; b <= branches; ++b) {
                const QString branch = QStringLiteral("%1").arg(b, 4, 10, QLatin1Char('0'));
                if (write == Write::Undo && branch != source)
                    after.insert(key(branch, periodicity),
                                 original.value(key(branch, periodicity)));
                else if (write == Write::Calculation || branch != source)
                    after.insert(key(branch, periodicity), days);
            }
            if (QTest::currentTestFailed())
                return;

            std::atomic<bool> answered{false};
            const auto started = std::chrono::steady_clock::now();
            std::thread caller(
                [&, rpc = m_server->client()] { answered = run(write, rpc, branches, undone); });
            if (kill == 0 || kill > kills) {
                caller.join();
                QVERIFY2(answered, qPrintable(m_server->logTail()));
                if (kill == 0)
                    span = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started);
                qInfo("%d branches; a whole run took %lld ms", branches,
                      qlonglong(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - started)
                                    .count()));
            } else {
                const int delay =
                    std::uniform_int_distribution<int>(0, int(span.count()))(m_random);
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                m_server->kill();
                caller.join();
                qInfo("kill %d/%d after %d ms%s", kill, kills, delay,
                      answered ? " (the run had finished)" : "");
            }
            m_server->kill();

            settle();
            calendars = readCalendars(*m_db, periodicity);
            int changed = 0;
            checkCalendars(calendars, before, after, write != Write::Calculation, answered,
                           &changed);
            checkEngine();
            if (QTest::currentTestFailed())
                return;
            if (kill > 0 && kill <= kills) {
                unchanged += changed == 0 ? 1 : 0;
                whole += changed == branches - (write != Write::Calculation ? 1 : 0) ? 1 : 0;
            }
        }
        qInfo("of %d kills, %d left every target as it was, %d every one rewritten, %d some of "
              "each",
              kills, unchanged, whole, kills - unchanged - whole);
    }
};

QTEST_GUILESS_MAIN(tst_Kills)
#include "tst_kills.moc"
