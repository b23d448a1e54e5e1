// The journal of the calendar's writes: who changed which days by which call, the undo of a
// change set and the previews of the bulk writes, on SQLite and PostgreSQL.

#include <serverfixture.h>

#include <methods.h>
#include <storage/schema.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QTest>

#include <boost/json/parse.hpp>

using testsupport::RpcClient;

class tst_Journal : public QObject
{
    Q_OBJECT

    testsupport::ServerFixture m_fixture;

    RpcClient::Reply call(const QString &method, const QJsonArray &params,
                          const QByteArray &operatorName = "maria")
    {
        RpcClient client = m_fixture.client();
        if (!operatorName.isNull())
            client.setHeader("X-Operador", operatorName);
        return client.call(method, params);
    }
    QVariant value(const QString &sql) { return m_fixture.database().value(sql); }
    int sets() { return value(QStringLiteral("SELECT COUNT(*) FROM ALTERACAO")).toInt(); }
    int lastSet()
    {
        return value(QStringLiteral("SELECT MAX(NRALTERACAO) FROM ALTERACAO")).toInt();
    }
    QStringList calendar() { return m_fixture.database().calendar(); }
    QStringList overview()
    {
        QStringList rows;
        for (const QStringList &row : call("GetVisaoGeral", {"01", "2026"}).rows())
            rows.append(row.join('|'));
        return rows;
    }
    // Every row of the tables the version before the journal had.
    QStringList everyRow()
    {
        QStringList all = calendar();
        for (const char *table : {"FILIAL", "PERIPRODUCAO", "DIASPRODUCAO", "FERIADO"})
            for (const QVariantList &row : m_fixture.database().rows(
                     QStringLiteral("SELECT * FROM %1").arg(QLatin1String(table))))
                all.append(QLatin1String(table) + ':' + QVariant(row).toStringList().join('|'));
        all.sort();
        return all;
    }
    static QJsonObject insertDay(const QString &branch, const QString &date)
    {
        return RpcClient::changeSet({{"insert", branch, "01", date}});
    }
    // "branch/date/I" for each day of `after` not in `before`, "…/E" for the opposite.
    static QStringList difference(const QStringList &before, const QStringList &after)
    {
        QStringList changes;
        const auto mark = [&changes](const QString &row, char action) {
            const QStringList parts = row.split('/');
            changes.append(parts.at(0) + '/' + parts.at(2) + '/' + QLatin1Char(action));
        };
        for (const QString &row : after)
            if (!before.contains(row))
                mark(row, 'I');
        for (const QString &row : before)
            if (!after.contains(row))
                mark(row, 'E');
        changes.sort();
        return changes;
    }

private slots:
    void initTestCase_data() { testsupport::addEngineRows(); }
    void cleanupTestCase() { m_fixture.cleanup(); }

    void init()
    {
        CALEPRODU_USE_ENGINE(m_fixture);
        testsupport::TestDatabase &db = m_fixture.database();
        QString error;
        QVERIFY2(db.clear(&error), qPrintable(error));
        for (const QVariantList &branch : QList<QVariantList>{{"0001", "Matriz", "N"},
                                                              {"0002", "Filial Dois", "N"},
                                                              {"0003", "Rescindida", "S"},
                                                              {"0004", "Filial Quatro", "N"}})
            QVERIFY2(db.exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC, "
                                            "DTPROCESSA) VALUES (?, ?, ?, '2026-01-01')"),
                             branch, &error),
                     qPrintable(error));
        QVERIFY(db.exec(QStringLiteral("INSERT INTO PERIPRODUCAO VALUES ('01', 'Semanal', 'S', "
                                       "'S')")));
        for (int weekday = 2; weekday <= 6; ++weekday)
            QVERIFY(
                db.exec(QStringLiteral("INSERT INTO DIASPRODUCAO VALUES ('01', ?)"), {weekday}));
        QVERIFY(
            db.exec(QStringLiteral("INSERT INTO FERIADO VALUES (NULL, '2026-04-03', 'Paixão')")));
        for (const QVariantList &day : QList<QVariantList>{{"0001", "2026-03-02"},
                                                           {"0001", "2026-03-03"},
                                                           {"0001", "2026-06-10"},
                                                           {"0002", "2026-03-04"},
                                                           {"0002", "2026-09-01"},
                                                           {"0004", "2026-03-09"}})
            QVERIFY(db.exec(QStringLiteral("INSERT INTO CALEPRODUCAO VALUES (?, '01', ?)"), day));
        QVERIFY2(db.recount(&error), qPrintable(error));
    }

    void everyWriteIsJournaledAndUndone_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonArray>("params");
        QTest::newRow("day inserted and deleted")
            << "SetCaleProdu"
            << QJsonArray{RpcClient::changeSet({{"insert", "0001", "01", "2026-03-04"},
                                                {"delete", "0001", "01", "2026-03-02"},
                                                {"insert", "0002", "01", "2026-05-05"}})};
        QTest::newRow("day deleted") << "GetDelCaleProdu" << QJsonArray{"0001", "01", "2026-03-02"};
        QTest::newRow("month deleted")
            << "GetDelCaleProduMes" << QJsonArray{"0001", "01", "2026-01-01", "03/2026"};
        QTest::newRow("year deleted")
            << "GetDelCaleProduAno" << QJsonArray{"0001", "01", "2026-01-01", "2026"};
        QTest::newRow("month calculated")
            << "CalculaProducao" << QJsonArray{"0001", "01", "2026-03-01", 1, "2026-01-01"};
        QTest::newRow("year calculated")
            << "CalculaProducao" << QJsonArray{"0001", "01", "2026-01-01", 12, "2026-01-01"};
        QTest::newRow("copied to every branch")
            << "GetInsDel" << QJsonArray{"0001", "01", "", "T", "2026-03-01", "2026-06-30"};
        QTest::newRow("copied to a list")
            << "GetInsDel" << QJsonArray{"0001", "01", "0002,4", " ", "2026-01-01", "2026-12-31"};
    }

    void everyWriteIsJournaledAndUndone()
    {
        QFETCH(QString, method);
        QFETCH(QJsonArray, params);
        const QStringList before = calendar();
        const RpcClient::Reply reply = call(method, params, "José da Silva");
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QVERIFY(calendar() != before);
        QCOMPARE(sets(), 1);
        const QList<QVariantList> set = m_fixture.database().rows(
            QStringLiteral("SELECT NMMETODO, NMOPERADOR, NRALTERACAO FROM ALTERACAO"));
        QCOMPARE(set.first().at(0).toString(), method);
        QCOMPARE(set.first().at(1).toString(), QStringLiteral("José da Silva"));

        const RpcClient::Reply undo =
            call(QStringLiteral("GetDesfazer"), {set.first().at(2).toInt()});
        QVERIFY2(!undo.isError(), qPrintable(undo.describe()));
        QCOMPARE(calendar(), before);
        QCOMPARE(sets(), 2);
        QCOMPARE(value(QStringLiteral("SELECT COUNT(*) FROM ALTERACAO WHERE NRDESFEITA IS NULL"))
                     .toInt(),
                 0);
    }

    void writeThatChangesNothingIsNotJournaled_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonArray>("params");
        QTest::newRow("day without production deleted")
            << "GetDelCaleProdu" << QJsonArray{"0001", "01", "2026-03-05"};
        QTest::newRow("empty month deleted")
            << "GetDelCaleProduMes" << QJsonArray{"0001", "01", "2026-01-01", "08/2026"};
        QTest::newRow("day already there inserted")
            << "SetCaleProdu" << QJsonArray{insertDay("0001", "2026-03-02")};
        QTest::newRow("copy to a branch with the same days")
            << "GetInsDel" << QJsonArray{"0001", "01", "0002", " ", "2026-07-01", "2026-08-31"};
    }

    void writeThatChangesNothingIsNotJournaled()
    {
        QFETCH(QString, method);
        QFETCH(QJsonArray, params);
        const RpcClient::Reply reply = call(method, params);
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QCOMPARE(sets(), 0);
    }

    void operatorHeader_data()
    {
        QTest::addColumn<QByteArray>("header"); // null: none sent
        QTest::addColumn<QString>("recorded");  // empty: the call is refused
        QTest::newRow("none") << QByteArray() << "desconhecido";
        QTest::newRow("plain") << QByteArray("maria") << "maria";
        QTest::newRow("accented, 64 bytes") << QString(QStringLiteral("é").repeated(32)).toUtf8()
                                            << QStringLiteral("é").repeated(32);
        QTest::newRow("65 bytes") << QByteArray(65, 'a') << QString();
        QTest::newRow("10 kB") << QByteArray(10 * 1024, 'a') << QString();
        QTest::newRow("control character") << QByteArray("ma\x01ria") << QString();
        QTest::newRow("tab") << QByteArray("ma\tria") << QString();
        QTest::newRow("DEL") << QByteArray("ma\x7Fria") << QString();
    }

    void operatorHeader()
    {
        QFETCH(QByteArray, header);
        QFETCH(QString, recorded);
        const QStringList before = calendar();
        const RpcClient::Reply reply =
            call(QStringLiteral("GetDelCaleProdu"), {"0001", "01", "2026-03-02"}, header);
        if (recorded.isEmpty()) {
            QCOMPARE(reply.httpStatus, 400);
            QCOMPARE(calendar(), before);
            QCOMPARE(sets(), 0);
            return;
        }
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QCOMPARE(value(QStringLiteral("SELECT NMOPERADOR FROM ALTERACAO")).toString(), recorded);
    }

    void undoOfAnOlderSet_data()
    {
        QTest::addColumn<QString>("laterBranch"); // the later set's day, in branch 0001 or other
        QTest::addColumn<QString>("laterDate");
        QTest::addColumn<bool>("laterUndoneFirst");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("later set, same month") << "0001"
                                               << "2026-03-06" << false << false;
        QTest::newRow("later set undone first") << "0001"
                                                << "2026-03-06" << true << true;
        QTest::newRow("later set, other month") << "0001"
                                                << "2026-04-06" << false << true;
        QTest::newRow("later set, other calendar") << "0002"
                                                   << "2026-03-06" << false << true;
    }

    void undoOfAnOlderSet()
    {
        QFETCH(QString, laterBranch);
        QFETCH(QString, laterDate);
        QFETCH(bool, laterUndoneFirst);
        QFETCH(bool, accepted);
        const QStringList original = calendar();
        QVERIFY(!call("SetCaleProdu", {insertDay("0001", "2026-03-05")}).isError());
        const int older = lastSet();
        QVERIFY(!call("SetCaleProdu", {insertDay(laterBranch, laterDate)}).isError());
        const int later = lastSet();
        if (laterUndoneFirst)
            QVERIFY(!call("GetDesfazer", {later}).isError());
        const QStringList before = calendar();
        const RpcClient::Reply undo = call("GetDesfazer", {older});
        if (!accepted) {
            QVERIFY(undo.isError());
            QVERIFY2(undo.errorMessage().contains(QString::number(later)),
                     qPrintable(undo.errorMessage()));
            QCOMPARE(calendar(), before);
            return;
        }
        QVERIFY2(!undo.isError(), qPrintable(undo.describe()));
        QVERIFY(!calendar().contains("0001/01/2026-03-05"));
        if (laterUndoneFirst)
            QCOMPARE(calendar(), original);
    }

    void undoRefused_data()
    {
        QTest::addColumn<QString>("which"); // "set twice", "the undo", "unknown"
        QTest::newRow("a set undone twice") << "set twice";
        QTest::newRow("an undo") << "the undo";
        QTest::newRow("a set not in the journal") << "unknown";
    }

    void undoRefused()
    {
        QFETCH(QString, which);
        QVERIFY(!call("SetCaleProdu", {insertDay("0001", "2026-03-05")}).isError());
        const int set = lastSet();
        QVERIFY(!call("GetDesfazer", {set}).isError());
        const int target = which == "set twice" ? set : which == "the undo" ? lastSet() : 999;
        const QStringList before = calendar();
        const int count = sets();
        const RpcClient::Reply undo = call("GetDesfazer", {target});
        QVERIFY(undo.isError());
        QCOMPARE(undo.errorCode(), -32000);
        QCOMPARE(calendar(), before);
        QCOMPARE(sets(), count);
    }

    void previewThenApplyEqualsThePreview_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonArray>("params");
        QTest::newRow("month calculated")
            << "CalculaProducao" << QJsonArray{"0001", "01", "2026-03-01", 1, "2026-01-01"};
        QTest::newRow("year calculated, holiday kept free")
            << "CalculaProducao" << QJsonArray{"0002", "01", "2026-01-01", 12, "2026-01-01"};
        QTest::newRow("calculation of a rescinded branch")
            << "CalculaProducao" << QJsonArray{"0003", "01", "2026-01-01", 12, "2026-01-01"};
        QTest::newRow("calculation before the processing date")
            << "CalculaProducao" << QJsonArray{"0001", "01", "2025-01-01", 1, "2026-01-01"};
        QTest::newRow("copy to every branch")
            << "GetInsDel" << QJsonArray{"0001", "01", "", "T", "2026-01-01", "2026-12-31"};
        QTest::newRow("copy to a list")
            << "GetInsDel" << QJsonArray{"0001", "01", "2,4", " ", "2026-03-01", "2026-03-31"};
        QTest::newRow("copy to a list with a rescinded branch")
            << "GetInsDel" << QJsonArray{"0001", "01", "2,3", " ", "2026-03-01", "2026-03-31"};
        QTest::newRow("copy to an unknown branch")
            << "GetInsDel" << QJsonArray{"0001", "01", "0009", " ", "2026-03-01", "2026-03-31"};
    }

    void previewThenApplyEqualsThePreview()
    {
        QFETCH(QString, method);
        QFETCH(QJsonArray, params);
        const QStringList before = calendar();
        const RpcClient::Reply preview =
            call(method == "GetInsDel" ? "GetPreviaInsDel" : "GetPreviaCalculaProducao", params);
        QCOMPARE(calendar(), before);
        QCOMPARE(sets(), 0);
        const RpcClient::Reply applied = call(method, params);
        QCOMPARE(preview.isError(), applied.isError());
        if (applied.isError()) {
            QCOMPARE(preview.errorCode(), applied.errorCode());
            return;
        }
        QStringList previewed;
        for (const QStringList &row : preview.rows()) {
            QCOMPARE(row.size(), 4);
            previewed.append(row.at(0) + '/' + row.at(2) + '/' + row.at(3));
        }
        previewed.sort();
        QCOMPARE(previewed, difference(before, calendar()));
    }

    // The year on several branches: its preview is what it changes, it is one change set whose
    // counts the overview shows as a recount would, and one undo takes all of it back.
    void yearOnBranchesIsOneChange_data()
    {
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<bool>("changes");
        QTest::newRow("three live branches") << QJsonArray{"0001,0002,4", "01", "2026"} << true;
        QTest::newRow("a year before the processing date")
            << QJsonArray{"1,2", "01", "2025"} << false;
        QTest::newRow("a rescinded branch refuses all")
            << QJsonArray{"0001,0003", "01", "2026"} << false;
    }

    void yearOnBranchesIsOneChange()
    {
        QFETCH(QJsonArray, params);
        QFETCH(bool, changes);
        const QStringList before = calendar();
        const QStringList counts = overview();
        const RpcClient::Reply preview = call("GetPreviaCalculaProducaoFiliais", params);
        const RpcClient::Reply applied = call("CalculaProducaoFiliais", params);
        QCOMPARE(preview.isError(), applied.isError());
        QStringList previewed;
        for (const QStringList &row : preview.rows())
            previewed.append(row.at(0) + '/' + row.at(2) + '/' + row.at(3));
        previewed.sort();
        QCOMPARE(previewed, difference(before, calendar()));
        QCOMPARE(sets(), changes ? 1 : 0);
        if (!changes)
            return;
        QVERIFY(!previewed.isEmpty());
        const QStringList applyCounts = overview();
        QVERIFY(m_fixture.database().recount());
        QCOMPARE(overview(), applyCounts);
        QVERIFY(applyCounts != counts);
        const RpcClient::Reply undo = call("GetDesfazer", {applied.rows().at(0).at(0).toInt()});
        QVERIFY2(!undo.isError(), qPrintable(undo.describe()));
        QCOMPARE(calendar(), before);
        QCOMPARE(overview(), counts);
    }

    void history_data()
    {
        QTest::addColumn<QJsonArray>("params");
        // "method added removed in-effect", newest first
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("the month of both changes")
            << QJsonArray{"0001", "01", "2026-03-01", "2026-03-31"}
            << QStringList{"GetDesfazer 1 0 N", "GetDelCaleProdu 0 1 N", "SetCaleProdu 1 0 S"};
        QTest::newRow("one day of the month")
            << QJsonArray{"0001", "01", "2026-03-02", "2026-03-02"}
            << QStringList{"GetDesfazer 1 0 N", "GetDelCaleProdu 0 1 N"};
        QTest::newRow("another month")
            << QJsonArray{"0001", "01", "2026-04-01", "2026-04-30"} << QStringList();
        QTest::newRow("another calendar")
            << QJsonArray{"0002", "01", "2026-03-01", "2026-03-31"} << QStringList();
    }

    void history()
    {
        QFETCH(QJsonArray, params);
        QFETCH(QStringList, expected);
        QVERIFY(!call("SetCaleProdu", {insertDay("0001", "2026-03-05")}).isError());
        QVERIFY(!call("GetDelCaleProdu", {"0001", "01", "2026-03-02"}).isError());
        QVERIFY(!call("GetDesfazer", {lastSet()}).isError());
        const RpcClient::Reply reply = call("GetHistorico", params);
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QStringList got;
        for (const QStringList &row : reply.rows()) {
            QCOMPARE(row.at(2), QStringLiteral("maria"));
            got.append(row.at(3) + ' ' + row.at(4) + ' ' + row.at(5) + ' ' + row.at(6));
        }
        QCOMPARE(got, expected);
    }

    void retention_data()
    {
        QTest::addColumn<int>("ageDays");
        QTest::addColumn<int>("journalDays");
        QTest::addColumn<bool>("kept");
        QTest::newRow("older than the retention") << 401 << 400 << false;
        QTest::newRow("within the retention") << 399 << 400 << true;
        QTest::newRow("short retention") << 3 << 2 << false;
    }

    void retention()
    {
        QFETCH(int, ageDays);
        QFETCH(int, journalDays);
        QFETCH(bool, kept);
        const QString then = QDateTime::currentDateTimeUtc().addDays(-ageDays).toString(
            QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        QVERIFY(m_fixture.database().exec(
            QStringLiteral("INSERT INTO ALTERACAO (NRALTERACAO, DTHRALTERACAO, NMOPERADOR, "
                           "NMMETODO) VALUES (0, ?, 'ana', 'GetDelCaleProdu')"),
            {then}));
        QVERIFY(m_fixture.database().exec(
            QStringLiteral("INSERT INTO ALTERACAOMES VALUES (0, '0001', '01', 202603, 1, 0)")));
        std::string error;
        auto storage = caleserver::Storage::create(m_fixture.url().toStdString(), &error);
        QVERIFY2(storage, error.c_str());
        caleserver::Caller caller;
        caller.journalDays = journalDays;
        const caleserver::Outcome outcome = caleserver::callMethod(
            *storage, "GetDelCaleProdu",
            boost::json::parse(R"(["0001","01","2026-03-02"])").as_array(), caller);
        QVERIFY2(outcome.ok(), outcome.message.c_str());
        QCOMPARE(value("SELECT COUNT(*) FROM ALTERACAO WHERE NRALTERACAO = 0").toInt(),
                 kept ? 1 : 0);
        QCOMPARE(value("SELECT COUNT(*) FROM ALTERACAOMES WHERE NRALTERACAO = 0").toInt(),
                 kept ? 1 : 0);
        // The write's own set stays whatever was pruned.
        QCOMPARE(value("SELECT COUNT(*) FROM ALTERACAO WHERE NRALTERACAO <> 0").toInt(), 1);
    }

    void upgradeKeepsEveryRow_data()
    {
        QTest::addColumn<bool>("seeded");
        QTest::newRow("database with calendar rows") << true;
        QTest::newRow("database without calendar rows") << false;
    }

    void upgradeKeepsEveryRow()
    {
        QFETCH(bool, seeded);
        testsupport::TestDatabase &db = m_fixture.database();
        if (!seeded)
            QVERIFY(db.exec(QStringLiteral("DELETE FROM CALEPRODUCAO")) && db.recount());
        std::string error;
        // The overview as this version answers it, read on a connection of its own each time.
        const auto overviewRows = [this, &error]() {
            auto storage = caleserver::Storage::create(m_fixture.url().toStdString(), &error);
            return storage ? caleserver::callMethod(*storage, "GetVisaoGeral",
                                                    boost::json::array{"01", "2026"})
                                 .rows
                           : error;
        };
        const std::string counts = overviewRows();
        // A database of the version before the journal: its tables only.
        for (const char *table :
             {"ALTERACAOMES", "ALTERACAO", "CALEPRODUCAOANO", "CALEPRODUCAOLIMITE"})
            QVERIFY(db.exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table))));
        const QStringList before = everyRow();
        bool created = true;
        QVERIFY2(caleserver::initDatabase(m_fixture.url().toStdString(), &error, &created),
                 error.c_str());
        QVERIFY(!created);
        QCOMPARE(everyRow(), before);
        QCOMPARE(overviewRows(), counts);
        // A connection of its own: the server's may hold statements prepared on the old tables.
        auto storage = caleserver::Storage::create(m_fixture.url().toStdString(), &error);
        QVERIFY2(storage, error.c_str());
        const QByteArray changes =
            QJsonDocument(insertDay("0001", "2026-03-05")).toJson(QJsonDocument::Compact);
        const caleserver::Outcome outcome =
            caleserver::callMethod(*storage, "SetCaleProdu",
                                   boost::json::array{boost::json::parse(changes.toStdString())});
        QVERIFY2(outcome.ok(), outcome.message.c_str());
        QCOMPARE(sets(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_Journal)
#include "tst_journal.moc"
