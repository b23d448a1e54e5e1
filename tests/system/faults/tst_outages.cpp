// Databases that fail under a running server: a SQLite file locked by another program, and a
// PostgreSQL cluster stopped, restarted or frozen. Each fault answers the calls with a clear
// -32001 within a bounded wait and changes nothing, /health answers all along, and once the fault
// is over the same server process serves again.

#include "faultsupport.h"

#include <testdatabase.h>

#include <QProcess>
#include <QTest>
#include <QThread>

#include <map>
#include <thread>

using testsupport::Engine;
using testsupport::RpcClient;

namespace {

enum class Fault { LockedFile, StoppedCluster, RestartedCluster, FrozenCluster };

// A PostgreSQL statement gives up after this; the client waits a grace period more.
constexpr int statementTimeoutS = 2;
// Far beyond any wait the server allows itself: past it the server hangs.
constexpr std::chrono::seconds answerLimit{40};
// One worker: the first call of a fault meets its kept connection, the next one a new connection.
constexpr int serverThreads = 1;
// What a call may wait at most: the statement limit, the client's grace, and room for a loaded
// machine.
constexpr std::chrono::seconds callLimit{statementTimeoutS + 5 + 3};
// /health never waits for the database; far above its usual answer, far below any database wait.
constexpr std::chrono::milliseconds healthLimit{500};

QString firstOfMarch(int year)
{
    return QStringLiteral("%1-03-01").arg(year);
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class tst_Outages : public QObject
{
    Q_OBJECT

    faults::ThrowawayCluster m_cluster;
    std::unique_ptr<testsupport::TestDatabase> m_sqlite;
    std::map<Engine, std::unique_ptr<faults::ServerProcess>> m_servers;

    // The engine's server, started on first use and kept for every fault of that engine.
    faults::ServerProcess *server(Engine engine, QString *error)
    {
        std::unique_ptr<faults::ServerProcess> &server = m_servers[engine];
        if (server)
            return server.get();
        QString url;
        QStringList arguments{QStringLiteral("--seed-demo"), QStringLiteral("--threads"),
                              QString::number(serverThreads)};
        if (engine == Engine::Sqlite) {
            m_sqlite = std::make_unique<testsupport::TestDatabase>(Engine::Sqlite);
            bool skipped = false;
            if (!m_sqlite->create(error, &skipped))
                return nullptr;
            url = m_sqlite->url();
        } else {
            url = m_cluster.start(error);
            if (url.isEmpty())
                return nullptr;
            arguments << QStringLiteral("--init-db") << QStringLiteral("--statement-timeout")
                      << QString::number(statementTimeoutS);
        }
        server = std::make_unique<faults::ServerProcess>(url, arguments);
        if (!server->start(error))
            server.reset();
        return server.get();
    }

    bool apply(Fault fault, bool begin, QString *error)
    {
        switch (fault) {
        case Fault::LockedFile:
            // Another program's write transaction holds the file's write lock.
            return m_sqlite->exec(
                begin ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("ROLLBACK"), {}, error);
        case Fault::StoppedCluster:
            return m_cluster.apply(begin ? QStringLiteral("halt") : QStringLiteral("resume"),
                                   error);
        case Fault::RestartedCluster:
            return !begin || m_cluster.apply(QStringLiteral("restart"), error);
        case Fault::FrozenCluster:
            return m_cluster.apply(begin ? QStringLiteral("freeze") : QStringLiteral("thaw"),
                                   error);
        }
        return false;
    }

    // Several calls at once, so that every worker opens its connection.
    static void useEveryWorker(faults::ServerProcess &server, int year)
    {
        std::vector<std::thread> callers;
        std::atomic<int> failed{0};
        for (int i = 0; i < 2 * serverThreads; ++i)
            callers.emplace_back([&, rpc = server.client()] {
                const RpcClient::Reply reply =
                    rpc.call(QStringLiteral("GetCaleProdu"), {"0001", "01", QString::number(year)});
                failed += reply.httpStatus != 200 || reply.isError();
            });
        for (std::thread &caller : callers)
            caller.join();
        QCOMPARE(failed.load(), 0);
    }

    // A call while the fault lasts; /health is asked all the while it waits.
    static RpcClient::Reply callDuringFault(faults::ServerProcess &server, const QString &method,
                                            const QJsonArray &params, int *unhealthy)
    {
        const std::optional<RpcClient::Reply> reply = server.callWithin(
            answerLimit, [&](const RpcClient &rpc) { return rpc.call(method, params); },
            [&] {
                *unhealthy += server.client().get(QStringLiteral("/health")).httpStatus != 200;
            });
        return reply.value_or(RpcClient::Reply());
    }

    static void checkClearFailure(const RpcClient::Reply &reply)
    {
        QVERIFY2(reply.httpStatus == 200, "no answer within the limit: the server hangs");
        QVERIFY2(reply.errorCode() == -32001, qPrintable(reply.describe()));
        const QString message = reply.errorMessage();
        QVERIFY2(message.contains(QStringLiteral("banco de dados"), Qt::CaseInsensitive),
                 qPrintable(message));
        for (const QChar c : message)
            QVERIFY2(c.unicode() >= 0x20,
                     qPrintable(QStringLiteral("control character in: ") + message));
    }

private slots:
    void cleanupTestCase()
    {
        m_servers.clear();
        m_cluster.remove();
        m_sqlite.reset();
    }

    // The wait limit the faults rely on is read strictly: a server never starts with a limit it
    // did not understand.
    void statementTimeoutIsReadStrictly_data()
    {
        QTest::addColumn<QString>("seconds");
        QTest::newRow("zero") << "0";
        QTest::newRow("past an hour") << "3601";
        QTest::newRow("not a number") << "2s";
        QTest::newRow("empty") << "";
    }

    void statementTimeoutIsReadStrictly()
    {
        QFETCH(QString, seconds);
        QProcess server;
        server.start(QStringLiteral(CALEPRODU_SERVER_BIN),
                     {QStringLiteral("--database"), QStringLiteral("sqlite:/nonexistent/x.db"),
                      QStringLiteral("--statement-timeout=") + seconds});
        QVERIFY(server.waitForFinished());
        QCOMPARE(server.exitCode(), 1);
        QVERIFY(server.readAllStandardError().contains("--statement-timeout inválido"));
    }

    // Many calls at once on the loops' shared, pipelined connections while the cluster freezes
    // or its back-ends are ended under them: every call gets one answer, rows or -32001, within
    // its limit, and /health answers at once all along.
    void concurrentCallsAreAnsweredOnce_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("callers");
        QTest::addColumn<int>("callsEach");
        QTest::newRow("frozen") << "freeze" << 24 << 1;
        QTest::newRow("back-ends terminated") << "terminate" << 8 << 40;
    }

    void concurrentCallsAreAnsweredOnce()
    {
        QFETCH(QString, fault);
        QFETCH(int, callers);
        QFETCH(int, callsEach);
        if (!faults::ThrowawayCluster::installed())
            QSKIP("PostgreSQL is not installed: no cluster of the test's own to freeze");
        QString error;
        faults::ServerProcess *server = this->server(Engine::Postgres, &error);
        QVERIFY2(server, qPrintable(error));
        useEveryWorker(*server, 2049);
        const QString url = m_cluster.start(&error);
        if (fault == QLatin1String("freeze"))
            QVERIFY2(m_cluster.apply(fault, &error), qPrintable(error));

        std::atomic<int> wrong{0};
        std::atomic<int> late{0};
        std::atomic<int> running{callers};
        std::vector<std::thread> threads;
        for (int i = 0; i < callers; ++i)
            threads.emplace_back([&, rpc = server->client()] {
                for (int call = 0; call < callsEach; ++call) {
                    const auto start = std::chrono::steady_clock::now();
                    const RpcClient::Reply reply =
                        rpc.call(QStringLiteral("GetCaleProdu"), {"0001", "01", "2049"});
                    late += std::chrono::steady_clock::now() - start > callLimit;
                    wrong +=
                        reply.httpStatus != 200 || (reply.isError() && reply.errorCode() != -32001);
                }
                --running;
            });
        auto slowestHealth = std::chrono::steady_clock::duration::zero();
        while (running > 0) {
            const auto start = std::chrono::steady_clock::now();
            wrong += server->client().get(QStringLiteral("/health")).httpStatus != 200;
            slowestHealth = std::max(slowestHealth, std::chrono::steady_clock::now() - start);
            if (fault == QLatin1String("terminate"))
                QProcess::execute(QStringLiteral("psql"),
                                  {QStringLiteral("-qAtX"), url, QStringLiteral("-c"),
                                   QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM "
                                                  "pg_stat_activity WHERE datname = "
                                                  "current_database() AND pid <> "
                                                  "pg_backend_pid()")});
            QThread::msleep(50);
        }
        for (std::thread &thread : threads)
            thread.join();
        if (fault == QLatin1String("freeze"))
            QVERIFY2(m_cluster.apply(QStringLiteral("thaw"), &error), qPrintable(error));
        QCOMPARE(wrong.load(), 0);
        QCOMPARE(late.load(), 0);
        QVERIFY2(
            slowestHealth < healthLimit,
            qPrintable(
                QString::number(
                    std::chrono::duration_cast<std::chrono::milliseconds>(slowestHealth).count()) +
                " ms"));
        // And the same process serves again.
        const std::optional<RpcClient::Reply> after =
            server->callWithin(answerLimit, [](const RpcClient &rpc) {
                return rpc.call(QStringLiteral("GetCaleProdu"), {"0001", "01", "2049"});
            });
        QVERIFY2(after && !after->isError(), qPrintable(server->logTail()));
    }

    void faultsFailClearlyAndTheServerRecovers_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("callsFail"); // while the fault lasts
        QTest::addColumn<bool>("readsFail");
        QTest::addColumn<int>("year"); // of the days written: each fault writes its own
        QTest::newRow("sqlite file locked")
            << Engine::Sqlite << Fault::LockedFile << true << false << 2041;
        QTest::newRow("postgresql stopped")
            << Engine::Postgres << Fault::StoppedCluster << true << true << 2043;
        QTest::newRow("postgresql restarted")
            << Engine::Postgres << Fault::RestartedCluster << false << false << 2045;
        QTest::newRow("postgresql frozen")
            << Engine::Postgres << Fault::FrozenCluster << true << true << 2047;
    }

    void faultsFailClearlyAndTheServerRecovers()
    {
        QFETCH(Engine, engine);
        QFETCH(Fault, fault);
        QFETCH(bool, callsFail);
        QFETCH(bool, readsFail);
        QFETCH(int, year);
        if (engine == Engine::Postgres && !faults::ThrowawayCluster::installed())
            QSKIP("PostgreSQL is not installed: no cluster of the test's own to stop or freeze");
        QString error;
        faults::ServerProcess *server = this->server(engine, &error);
        QVERIFY2(server, qPrintable(error));
        const qint64 pid = server->pid();
        useEveryWorker(*server, year);

        QVERIFY2(apply(fault, true, &error), qPrintable(error));
        RpcClient::Reply write;
        RpcClient::Reply read;
        int unhealthy = 0;
        if (callsFail) {
            write = callDuringFault(*server, QStringLiteral("CalculaProducao"),
                                    {"0001", "01", firstOfMarch(year), 1, firstOfMarch(year)},
                                    &unhealthy);
            read = callDuringFault(*server, QStringLiteral("GetCaleProdu"),
                                   {"0001", "01", QString::number(year)}, &unhealthy);
            unhealthy += server->client().get(QStringLiteral("/health")).httpStatus != 200;
        }
        QVERIFY2(apply(fault, false, &error), qPrintable(error));

        if (callsFail) {
            qInfo("write while the fault lasts: %s", qPrintable(write.errorMessage()));
            qInfo("read while the fault lasts: %s",
                  qPrintable(read.isError() ? read.errorMessage() : QStringLiteral("rows")));
            checkClearFailure(write);
            if (readsFail)
                checkClearFailure(read);
            else
                QVERIFY2(read.httpStatus == 200 && !read.isError(), qPrintable(read.describe()));
            QCOMPARE(unhealthy, 0);
            if (QTest::currentTestFailed())
                return;
        }

        // The same process serves again, on every worker, and the failed write left nothing.
        QVERIFY2(server->isRunning() && server->pid() == pid, qPrintable(server->logTail()));
        for (int month = 1; month <= 2 * serverThreads; ++month) {
            const QString first =
                QStringLiteral("%1-%2-01").arg(year + 1).arg(month, 2, 10, QLatin1Char('0'));
            const std::optional<RpcClient::Reply> reply =
                server->callWithin(answerLimit, [&](const RpcClient &rpc) {
                    return rpc.call(QStringLiteral("CalculaProducao"),
                                    {"0001", "01", first, 1, first});
                });
            QVERIFY2(reply && reply->httpStatus == 200 && !reply->isError(),
                     qPrintable(reply ? reply->describe() : QStringLiteral("no answer")));
        }
        const RpcClient::Reply written =
            server->client().call("GetCaleProdu", {"0001", "01", QString::number(year + 1)});
        QVERIFY2(written.rows().size() > 40, qPrintable(written.describe()));
        const RpcClient::Reply untouched =
            server->client().call("GetCaleProdu", {"0001", "01", QString::number(year)});
        QVERIFY2(!untouched.isError() && untouched.rows().isEmpty(),
                 qPrintable(untouched.describe()));
    }
};

QTEST_GUILESS_MAIN(tst_Outages)
#include "tst_outages.moc"
