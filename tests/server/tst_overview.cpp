// GetVisaoGeral's counts against the stored rows, on SQLite and PostgreSQL.

#include <serverfixture.h>

#include <QTest>

using testsupport::RpcClient;

class tst_Overview : public QObject
{
    Q_OBJECT

    testsupport::ServerFixture m_fixture;

    void exec(const QString &sql, const QVariantList &binds)
    {
        QString error;
        QVERIFY2(m_fixture.database().exec(sql, binds, &error), qPrintable(error));
    }

private slots:
    void initTestCase_data() { testsupport::addEngineRows(); }
    void cleanupTestCase() { m_fixture.cleanup(); }

    void init()
    {
        CALEPRODU_USE_ENGINE(m_fixture);
        QString error;
        QVERIFY2(m_fixture.database().clear(&error), qPrintable(error));
        const QList<QVariantList> branches{{"0001", "Matriz", "N"},
                                           {"0002", "Filial Dois", "N"},
                                           {"0003", "Rescindida", "S"},
                                           {"0004", "Sem Calendário", "N"}};
        for (const QVariantList &branch : branches)
            exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC) VALUES (?, "
                                "?, ?)"),
                 branch);
        for (const char *peri : {"01", "02"})
            exec(QStringLiteral("INSERT INTO PERIPRODUCAO VALUES (?, 'P', 'N', 'S')"), {peri});
        const QVariant everyBranch(QMetaType(QMetaType::QString));
        const QList<QVariantList> holidays{{everyBranch, "2029-01-01", "Ano Novo"},
                                           {everyBranch, "2028-12-25", "Natal"},
                                           {"0001", "2029-03-19", "Local da Matriz"},
                                           {"0001", "2029-01-01", "Também geral"},
                                           {"0002", "2030-03-02", "Ano seguinte demais"}};
        for (const QVariantList &holiday : holidays)
            exec(QStringLiteral("INSERT INTO FERIADO VALUES (?, ?, ?)"), holiday);
        const QList<QStringList> days{{"0001", "01", "2027-12-31"}, {"0001", "01", "2028-01-03"},
                                      {"0001", "01", "2028-02-28"}, {"0001", "01", "2028-02-29"},
                                      {"0001", "01", "2028-12-29"}, {"0001", "01", "2029-06-01"},
                                      {"0001", "02", "2028-03-01"}, {"0002", "01", "2028-07-14"},
                                      {"0003", "01", "2028-05-05"}};
        for (const QStringList &day : days)
            exec(QStringLiteral("INSERT INTO CALEPRODUCAO VALUES (?, ?, ?)"),
                 {day.at(0), day.at(1), day.at(2)});
        QVERIFY2(m_fixture.database().recount(&error), qPrintable(error));
    }

    // One row per branch: code, months (as "month:count" where not zero), total, first, last and
    // the next year's holidays.
    void counts_data()
    {
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("leap year, other years and periodicities kept apart")
            << QJsonArray{"01", "2028"}
            << QStringList{"0001 N 1:1 2:2 12:1 4 2027-12-31 2029-06-01 2",
                           "0002 N 7:1 1 2028-07-14 2028-07-14 1",
                           "0003 S 5:1 1 2028-05-05 2028-05-05 1", "0004 N 0   1"};
        QTest::newRow("year with no day stored keeps first and last")
            << QJsonArray{"01", "2026"}
            << QStringList{"0001 N 0 2027-12-31 2029-06-01 0", "0002 N 0 2028-07-14 2028-07-14 0",
                           "0003 S 0 2028-05-05 2028-05-05 0", "0004 N 0   0"};
        QTest::newRow("holidays of the following year only")
            << QJsonArray{"02", "2029"}
            << QStringList{"0001 N 0 2028-03-01 2028-03-01 0", "0002 N 0   1", "0003 S 0   0",
                           "0004 N 0   0"};
        QTest::newRow("no periodicity") << QJsonArray{"", "2028"} << QStringList();
        QTest::newRow("year 9999")
            << QJsonArray{"01", "9999"}
            << QStringList{"0001 N 0 2027-12-31 2029-06-01 0", "0002 N 0 2028-07-14 2028-07-14 0",
                           "0003 S 0 2028-05-05 2028-05-05 0", "0004 N 0   0"};
    }

    void counts()
    {
        QFETCH(QJsonArray, params);
        QFETCH(QStringList, expected);
        const RpcClient::Reply reply =
            m_fixture.client().call(QStringLiteral("GetVisaoGeral"), params);
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QStringList got;
        for (const QStringList &row : reply.rows()) {
            QCOMPARE(row.size(), 19);
            QStringList line{row.at(0), row.at(2)};
            for (int month = 1; month <= 12; ++month)
                if (row.at(2 + month) != QLatin1String("0"))
                    line << QStringLiteral("%1:%2").arg(month).arg(row.at(2 + month));
            line << row.mid(15, 4);
            got << line.join(QLatin1Char(' '));
        }
        QCOMPARE(got, expected);
    }

    void refusesBadArguments_data()
    {
        QTest::addColumn<QJsonArray>("params");
        QTest::newRow("year text") << QJsonArray{"01", "ano"};
        QTest::newRow("missing year") << QJsonArray{"01"};
    }

    void refusesBadArguments()
    {
        QFETCH(QJsonArray, params);
        const RpcClient::Reply reply =
            m_fixture.client().call(QStringLiteral("GetVisaoGeral"), params);
        QVERIFY(reply.isError());
        QCOMPARE(reply.errorCode(), -32602);
    }
};

QTEST_GUILESS_MAIN(tst_Overview)
#include "tst_overview.moc"
