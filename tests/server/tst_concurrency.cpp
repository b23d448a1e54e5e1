// Two servers over one database, several clients inserting and deleting the same days at once.

#include <serverfixture.h>

#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <latch>
#include <random>
#include <thread>

using testsupport::RpcClient;

class tst_Concurrency : public QObject
{
    Q_OBJECT

    testsupport::ServerFixture m_fixture{{.seedDemo = true, .token = {}, .threads = 4}};

private slots:
    void initTestCase_data() { testsupport::addEngineRows(); }
    void init() { CALEPRODU_USE_ENGINE(m_fixture); }
    void cleanupTestCase() { m_fixture.cleanup(); }

    void sameDaysFromManyClients()
    {
        QString error;
        const std::unique_ptr<caleserver::Server> second = m_fixture.startAnother(&error);
        QVERIFY2(second, qPrintable(error));
        const int ports[] = {m_fixture.port(), second->port()};

        // Weekdays of May 2031 for branch 0005, periodicity 03 (holidays allowed).
        QStringList days;
        for (QDate day(2031, 5, 1); day.month() == 5; day = day.addDays(1))
            if (day.dayOfWeek() <= 5)
                days.append(day.toString(Qt::ISODate));

        constexpr int clients = 6;
        constexpr int rounds = 25;
        std::atomic<int> failures{0};
        QStringList firstFailure;
        std::mutex mutex;
        const auto fail = [&](const RpcClient::Reply &reply) {
            ++failures;
            std::lock_guard lock(mutex);
            if (firstFailure.isEmpty())
                firstFailure.append(reply.describe());
        };
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&, c] {
                std::mt19937 random(c);
                const RpcClient client(ports[c % 2]);
                for (int r = 0; r < rounds; ++r) {
                    // A few days in and out, always overlapping with the other clients'.
                    QList<QStringList> changes;
                    for (int k = 0; k < 4; ++k)
                        changes.append({random() % 2 ? "insert" : "delete", "0005", "03",
                                        days.at(static_cast<int>(random() % days.size()))});
                    const RpcClient::Reply reply =
                        client.call("SetCaleProdu", {RpcClient::changeSet(changes)});
                    if (reply.httpStatus != 200 || reply.isError())
                        fail(reply);
                }
                // Every client ends by inserting every day: the result must hold each once.
                QList<QStringList> all;
                for (const QString &day : days)
                    all.append({"insert", "0005", "03", day});
                const RpcClient::Reply reply =
                    client.call("SetCaleProdu", {RpcClient::changeSet(all)});
                if (reply.httpStatus != 200 || reply.isError())
                    fail(reply);
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QVERIFY2(failures == 0, qPrintable(firstFailure.value(0)));

        const QList<QVariantList> rows = m_fixture.database().rows(
            "SELECT DTPRODUCAO, COUNT(*) FROM CALEPRODUCAO WHERE CDFILIAL = '0005' AND "
            "CDPERIPRODU = '03' GROUP BY DTPRODUCAO ORDER BY DTPRODUCAO");
        QStringList stored;
        for (const QVariantList &row : rows) {
            QCOMPARE(row.at(1).toInt(), 1);
            stored.append(row.at(0).toString());
        }
        QCOMPARE(stored, days);
        for (int port : ports) {
            QStringList seen;
            for (const QStringList &row :
                 RpcClient(port).call("GetCaleProdu", {"5", "3", "2031"}).rows())
                seen.append(row.at(2));
            QCOMPARE(seen, days);
        }
    }

    void copiesAndCalculationsAtOnce()
    {
        // Copies into every branch while others recalculate the source: each call either
        // completes or is retried inside the server; none surfaces an error.
        QString error;
        const std::unique_ptr<caleserver::Server> second = m_fixture.startAnother(&error);
        QVERIFY2(second, qPrintable(error));
        const int ports[] = {m_fixture.port(), second->port()};
        std::atomic<int> failures{0};
        QString firstFailure;
        std::mutex mutex;
        std::vector<std::thread> threads;
        for (int c = 0; c < 4; ++c) {
            threads.emplace_back([&, c] {
                const RpcClient client(ports[c % 2]);
                for (int r = 0; r < 5; ++r) {
                    const RpcClient::Reply reply =
                        c % 2 ? client.call("GetInsDel",
                                            {"0001", "03", "", "T", "2032-01-01", "2032-03-01"})
                              : client.call("CalculaProducao",
                                            {"0001", "03", "2032-01-01", 12, "2000-01-01"});
                    if (reply.httpStatus != 200 || reply.isError()) {
                        ++failures;
                        std::lock_guard lock(mutex);
                        firstFailure = reply.describe();
                    }
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QVERIFY2(failures == 0, qPrintable(firstFailure));
        QCOMPARE(
            m_fixture.database()
                .value("SELECT COUNT(*) FROM CALEPRODUCAO WHERE CDFILIAL = '0001' AND "
                       "CDPERIPRODU = '03' AND DTPRODUCAO BETWEEN '2032-01-01' AND '2032-12-31'")
                .toInt(),
            104); // Saturdays and Sundays of 2032
    }

    void writesIntoOneCalendarTakeTurns_data()
    {
        // Into 0005/03 in 2033: a copy from 0001 (four weekdays), against a copy from 0002 (every
        // Saturday and Sunday) or against the calculation, which gives those weekend days too.
        QTest::addColumn<QString>("other");
        QTest::newRow("two copies") << "GetInsDel";
        QTest::newRow("a copy and a calculation") << "CalculaProducao";
    }

    void writesIntoOneCalendarTakeTurns()
    {
        QFETCH(QString, other);
        testsupport::TestDatabase &db = m_fixture.database();
        const QString year = "CDPERIPRODU = '03' AND DTPRODUCAO BETWEEN '2033-01-01' AND "
                             "'2033-12-31'";
        QVERIFY(db.exec("DELETE FROM CALEPRODUCAO WHERE " + year));
        for (const char *day : {"2033-03-01", "2033-03-02", "2033-06-07", "2033-09-13"})
            QVERIFY(db.exec("INSERT INTO CALEPRODUCAO VALUES ('0001', '03', ?)", {day}));
        const RpcClient client(m_fixture.port());
        QVERIFY(!client.call("CalculaProducao", {"0002", "03", "2033-01-01", 12, "2000-01-01"})
                     .isError());
        const auto daysOf = [&](const QString &branch) {
            return db.calendar().filter(QRegularExpression('^' + branch + "/03/2033-"));
        };
        const QStringList fewDays = daysOf("0001").replaceInStrings("0001/", "0005/");
        const QStringList weekends = daysOf("0002").replaceInStrings("0002/", "0005/");
        const QJsonArray copyFew{"0001", "03", "0005", " ", "2033-01-01", "2033-12-01"};
        const QJsonArray otherCall =
            other == "GetInsDel" ? QJsonArray{"0002", "03", "0005", " ", "2033-01-01", "2033-12-01"}
                                 : QJsonArray{"0005", "03", "2033-01-01", 12, "2000-01-01"};

        // Each pair starts together; whichever commits last, 0005 ends as one of them left it.
        for (int trial = 0; trial < 12; ++trial) {
            std::latch start(2);
            QStringList failures;
            std::mutex mutex;
            const auto send = [&](const QString &method, const QJsonArray &params) {
                const RpcClient own(m_fixture.port());
                start.arrive_and_wait();
                const RpcClient::Reply reply = own.call(method, params);
                std::lock_guard lock(mutex);
                if (reply.isError())
                    failures.append(reply.describe());
            };
            std::thread first(send, QStringLiteral("GetInsDel"), copyFew);
            std::thread second(send, other, otherCall);
            first.join();
            second.join();
            QVERIFY2(failures.isEmpty(), qPrintable(failures.join('\n')));
            const QStringList stored = daysOf("0005");
            QVERIFY2(
                stored == fewDays || stored == weekends,
                qPrintable(
                    QStringLiteral("trial %1: 0005 holds %2 days").arg(trial).arg(stored.size())));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Concurrency)
#include "tst_concurrency.moc"
