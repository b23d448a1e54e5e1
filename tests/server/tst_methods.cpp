// Every method's answer on a small known data set, on SQLite and PostgreSQL.

#include <serverfixture.h>

#include <QTest>

using testsupport::RpcClient;

class tst_Methods : public QObject
{
    Q_OBJECT

    testsupport::ServerFixture m_fixture;

    RpcClient::Reply call(const QString &method, const QJsonArray &params)
    {
        return m_fixture.client().call(method, params);
    }
    QStringList days(const QString &branch, const QString &peri)
    {
        QStringList result;
        for (const QVariantList &row : m_fixture.database().rows(
                 QStringLiteral("SELECT DTPRODUCAO FROM CALEPRODUCAO WHERE CDFILIAL = ? AND "
                                "CDPERIPRODU = ? ORDER BY DTPRODUCAO"),
                 {branch, peri}))
            result.append(row.at(0).toString());
        return result;
    }
    void addDays(const QString &branch, const QString &peri, const QStringList &dates)
    {
        for (const QString &date : dates)
            QVERIFY(m_fixture.database().exec(
                QStringLiteral("INSERT INTO CALEPRODUCAO VALUES (?, ?, ?)"), {branch, peri, date}));
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
        const QList<QPair<QString, QVariantList>> rows{
            {"FILIAL", {"0001", "Matriz", "N"}},
            {"FILIAL", {"0002", "Filial Dois", "N"}},
            {"FILIAL", {"0003", "Filial Rescindida", "S"}},
            {"FILIAL", {"0004", "Filial Sem Calendário", "N"}},
            // 01: Mon-Fri, never on a holiday; 02: days 1, 15, 31 of the month; 03: as 01 but
            // holidays allowed; 04: no production days.
            {"PERIPRODUCAO", {"01", "Semanal", "S", "S"}},
            {"PERIPRODUCAO", {"02", "Mensal", "N", "M"}},
            {"PERIPRODUCAO", {"03", "Semanal com feriados", "N", "S"}},
            {"PERIPRODUCAO", {"04", "Sem dias", "N", "S"}},
        };
        for (const auto &[table, values] : rows) {
            const QString sql =
                table == QLatin1String("FILIAL")
                    // Every branch open from 2026 on: the copies below write into that year.
                    ? QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC, "
                                     "DTPROCESSA) VALUES (?, ?, ?, '2026-01-01')")
                    : QStringLiteral("INSERT INTO PERIPRODUCAO VALUES (?, ?, ?, ?)");
            QVERIFY2(db.exec(sql, values, &error), qPrintable(error));
        }
        for (const char *peri : {"01", "03"})
            for (int weekday = 2; weekday <= 6; ++weekday)
                QVERIFY(db.exec(QStringLiteral("INSERT INTO DIASPRODUCAO VALUES (?, ?)"),
                                {peri, weekday}));
        for (int day : {1, 15, 31})
            QVERIFY(db.exec(QStringLiteral("INSERT INTO DIASPRODUCAO VALUES ('02', ?)"), {day}));
        const QList<QVariantList> holidays{
            {QVariant(QMetaType(QMetaType::QString)), "2026-04-03", "Paixão de Cristo"},
            {QVariant(QMetaType(QMetaType::QString)), "2026-12-25", "Natal"},
            {"0001", "2026-01-26", "Local da Matriz"},
            {"0002", "2026-03-02", "Local da Filial Dois"}};
        for (const QVariantList &holiday : holidays)
            QVERIFY(db.exec(QStringLiteral("INSERT INTO FERIADO VALUES (?, ?, ?)"), holiday));
        addDays("0001", "01", {"2025-12-31", "2026-03-02", "2026-03-03", "2026-06-10"});
        addDays("0002", "01", {"2026-03-04", "2026-09-01"});
        addDays("0003", "01", {"2026-05-05"});
    }

    void getCaleProdu_data()
    {
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<QStringList>("dates");
        const QStringList year2026{"2026-03-02", "2026-03-03", "2026-06-10"};
        QTest::newRow("year") << QJsonArray{"0001", "01", "2026"} << year2026;
        QTest::newRow("short codes completed") << QJsonArray{"1", "1", "2026"} << year2026;
        QTest::newRow("year with leading zeros")
            << QJsonArray{"0001", "01", "+0000002026"} << year2026;
        QTest::newRow("other year")
            << QJsonArray{"0001", "01", "2025"} << QStringList{"2025-12-31"};
        QTest::newRow("empty branch") << QJsonArray{"", "01", "2026"} << QStringList();
        QTest::newRow("empty periodicity") << QJsonArray{"0001", "", "2026"} << QStringList();
        QTest::newRow("year 0 (empty field)") << QJsonArray{"0001", "01", "0"} << QStringList();
        QTest::newRow("year 10000") << QJsonArray{"0001", "01", "10000"} << QStringList();
        QTest::newRow("year -1") << QJsonArray{"0001", "01", "-1"} << QStringList();
        QTest::newRow("unknown branch") << QJsonArray{"0009", "01", "2026"} << QStringList();
    }

    void getCaleProdu()
    {
        QFETCH(QJsonArray, params);
        QFETCH(QStringList, dates);
        const RpcClient::Reply reply = call(QStringLiteral("GetCaleProdu"), params);
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QStringList got;
        for (const QStringList &row : reply.rows()) {
            QCOMPARE(row.mid(0, 2), (QStringList{"0001", "01"}));
            got.append(row.at(2));
        }
        QCOMPARE(got, dates);
        const QJsonArray fields = reply.result().value("fields").toArray();
        QCOMPARE(fields.size(), 3);
        QCOMPARE(fields.at(0).toObject().value("size").toInt(), 4);
        QCOMPARE(fields.at(2).toObject().value("type").toString(), QStringLiteral("date"));
    }

    void getCaleProduAux_data()
    {
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<QStringList>("total"); // empty: no row
        QTest::newRow("production day")
            << QJsonArray{"0001", "01", "2026-03-02"} << QStringList{"1"};
        QTest::newRow("other day, year with rows")
            << QJsonArray{"0001", "01", "2026-03-05"} << QStringList{"0"};
        QTest::newRow("year without rows")
            << QJsonArray{"0001", "01", "2024-03-02"} << QStringList();
        QTest::newRow("calendar without rows")
            << QJsonArray{"0004", "01", "2026-03-02"} << QStringList();
        QTest::newRow("empty periodicity") << QJsonArray{"0001", "", "2026-03-02"} << QStringList();
    }

    void getCaleProduAux()
    {
        QFETCH(QJsonArray, params);
        QFETCH(QStringList, total);
        const RpcClient::Reply reply = call(QStringLiteral("GetCaleProduAux"), params);
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QCOMPARE(reply.column(), total);
        QCOMPARE(reply.result().value("fields").toArray().at(0).toObject().value("type").toString(),
                 QStringLiteral("float"));
    }

    void lookups_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<QStringList>("firstColumn");
        QTest::newRow("holiday of every branch")
            << "GetVerificaDiaUtil" << QJsonArray{"0001", "2026-04-03"}
            << QStringList{"2026-04-03"};
        QTest::newRow("own holiday") << "GetVerificaDiaUtil" << QJsonArray{"0001", "2026-01-26"}
                                     << QStringList{"2026-01-26"};
        QTest::newRow("another branch's holiday")
            << "GetVerificaDiaUtil" << QJsonArray{"0001", "2026-03-02"} << QStringList();
        QTest::newRow("ordinary day")
            << "GetVerificaDiaUtil" << QJsonArray{"2", "2026-03-03"} << QStringList();
        QTest::newRow("has a calendar")
            << "GetPesqCaleProdu" << QJsonArray{"0001"} << QStringList{"0001"};
        QTest::newRow("has no calendar") << "GetPesqCaleProdu" << QJsonArray{"4"} << QStringList();
        QTest::newRow("empty branch") << "GetPesqCaleProdu" << QJsonArray{""} << QStringList();
        QTest::newRow("export list T")
            << "GetExpCaleProdu" << QJsonArray{"0004", "T"} << QStringList{"0001", "0002", "0003"};
        QTest::newRow("export list blank")
            << "GetExpCaleProdu" << QJsonArray{"0002", " "} << QStringList{"0002"};
        QTest::newRow("export list empty switch")
            << "GetExpCaleProdu" << QJsonArray{"2", ""} << QStringList{"0002"};
        QTest::newRow("export branch without calendar")
            << "GetExpCaleProdu" << QJsonArray{"0004", " "} << QStringList();
        QTest::newRow("range widened to whole months")
            << "GetVerifica" << QJsonArray{"0001", "01", "2026-03-15", "2026-03-20"}
            << QStringList{"0001"};
        QTest::newRow("last month widened")
            << "GetVerifica" << QJsonArray{"0001", "01", "2026-05-31", "2026-06-01"}
            << QStringList{"0001"};
        QTest::newRow("empty range")
            << "GetVerifica" << QJsonArray{"0001", "01", "2026-04-01", "2026-05-31"}
            << QStringList();
    }

    void lookups()
    {
        QFETCH(QString, method);
        QFETCH(QJsonArray, params);
        QFETCH(QStringList, firstColumn);
        const RpcClient::Reply reply = call(method, params);
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QCOMPARE(reply.column(), firstColumn);
    }

    // Names are the one text of an answer that may need escaping in JSON.
    void exportListCarriesNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Matriz";
        QTest::newRow("accents") << "Filial São João";
        QTest::newRow("quotes and backslash") << "Loja \"Centro\" \\ 2";
        QTest::newRow("control characters") << "Linha\n\tdois\x01";
    }

    void exportListCarriesNames()
    {
        QFETCH(QString, name);
        QVERIFY(m_fixture.database().exec("UPDATE FILIAL SET NMFILIAL = ? WHERE CDFILIAL = '0001'",
                                          {name}));
        const RpcClient::Reply reply = call(QStringLiteral("GetExpCaleProdu"), {"0001", " "});
        QCOMPARE(reply.rows(), (QList<QStringList>{{"0001", name}}));
    }

    void setCaleProdu_data()
    {
        QTest::addColumn<QList<QStringList>>("changes");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("days0001"); // of periodicity 01 afterwards
        const QStringList before{"2025-12-31", "2026-03-02", "2026-03-03", "2026-06-10"};
        QTest::newRow("insert and delete")
            << QList<QStringList>{{"insert", "0001", "01", "2026-03-05"},
                                  {"delete", "0001", "01", "2026-03-02"}}
            << 0 << QStringList{"2025-12-31", "2026-03-03", "2026-03-05", "2026-06-10"};
        QTest::newRow("insert existing, delete missing")
            << QList<QStringList>{{"insert", "0001", "01", "2026-03-02"},
                                  {"delete", "0001", "01", "2026-03-09"}}
            << 0 << before;
        QTest::newRow("short codes")
            << QList<QStringList>{{"insert", "1", "1", "2026-03-05"}} << 0
            << QStringList{"2025-12-31", "2026-03-02", "2026-03-03", "2026-03-05", "2026-06-10"};
        QTest::newRow("holiday of every branch")
            << QList<QStringList>{{"insert", "0001", "01", "2026-03-05"},
                                  {"insert", "0001", "01", "2026-04-03"}}
            << -32000 << before;
        QTest::newRow("own holiday")
            << QList<QStringList>{{"insert", "0001", "01", "2026-01-26"}} << -32000 << before;
        QTest::newRow("rescinded branch")
            << QList<QStringList>{{"delete", "0001", "01", "2026-03-02"},
                                  {"insert", "0003", "01", "2026-03-05"}}
            << -32000 << before;
        QTest::newRow("unknown branch")
            << QList<QStringList>{{"insert", "0009", "01", "2026-03-05"}} << -32000 << before;
        QTest::newRow("unknown periodicity")
            << QList<QStringList>{{"insert", "0001", "09", "2026-03-05"}} << -32000 << before;
        QTest::newRow("empty code on insert")
            << QList<QStringList>{{"insert", "", "01", "2026-03-05"}} << -32602 << before;
        QTest::newRow("bad date after a good row")
            << QList<QStringList>{{"delete", "0001", "01", "2026-03-02"},
                                  {"insert", "0001", "01", "2026-02-30"}}
            << -32602 << before;
    }

    void setCaleProdu()
    {
        QFETCH(QList<QStringList>, changes);
        QFETCH(int, code);
        QFETCH(QStringList, days0001);
        const RpcClient::Reply reply =
            call(QStringLiteral("SetCaleProdu"), {RpcClient::changeSet(changes)});
        QCOMPARE(reply.errorCode(), code);
        if (code != 0)
            QVERIFY2(!reply.errorMessage().isEmpty(), qPrintable(reply.describe()));
        QCOMPARE(days("0001", "01"), days0001);
    }

    void setCaleProduOnAHolidayWithoutTheFlag()
    {
        const RpcClient::Reply reply =
            call(QStringLiteral("SetCaleProdu"),
                 {RpcClient::changeSet({{"insert", "0001", "03", "2026-04-03"}})});
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QCOMPARE(days("0001", "03"), QStringList{"2026-04-03"});
    }

    void setCaleProduFindsColumnsByName()
    {
        // Fields in another order and case, an update and an extra column the server ignores.
        const QJsonObject delta{
            {"fields", QJsonArray{QJsonObject{{"name", "dtproducao"}, {"type", "date"}},
                                  QJsonObject{{"name", "EXTRA"}, {"type", "string"}},
                                  QJsonObject{{"name", "CdFilial"}, {"type", "string"}},
                                  QJsonObject{{"name", "CDPERIPRODU"}, {"type", "string"}}}},
            {"rows", QJsonArray()},
            {"changes",
             QJsonArray{QJsonObject{{"op", "update"},
                                    {"old", QJsonArray{"2026-03-02", "x", "0001", "01"}},
                                    {"new", QJsonArray{"2026-03-09", "x", "0001", "01"}}}}}};
        const RpcClient::Reply reply = call(QStringLiteral("SetCaleProdu"), {delta});
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QCOMPARE(days("0001", "01"),
                 (QStringList{"2025-12-31", "2026-03-03", "2026-03-09", "2026-06-10"}));
    }

    void deletions_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("day") << "GetDelCaleProdu" << QJsonArray{"0001", "01", "2026-03-03"}
                             << QStringList{"2025-12-31", "2026-03-02", "2026-03-20", "2026-06-10"};
        QTest::newRow("missing day")
            << "GetDelCaleProdu" << QJsonArray{"0001", "01", "2026-03-04"}
            << QStringList{"2025-12-31", "2026-03-02", "2026-03-03", "2026-03-20", "2026-06-10"};
        QTest::newRow("month from the processing date")
            << "GetDelCaleProduMes" << QJsonArray{"0001", "01", "2026-03-03", "03/2026"}
            << QStringList{"2025-12-31", "2026-03-02", "2026-06-10"};
        QTest::newRow("whole month")
            << "GetDelCaleProduMes" << QJsonArray{"0001", "01", "2026-01-10", "03/2026"}
            << QStringList{"2025-12-31", "2026-06-10"};
        QTest::newRow("month before the processing date")
            << "GetDelCaleProduMes" << QJsonArray{"0001", "01", "2026-04-01", "03/2026"}
            << QStringList{"2025-12-31", "2026-03-02", "2026-03-03", "2026-03-20", "2026-06-10"};
        QTest::newRow("month of year 999")
            << "GetDelCaleProduMes" << QJsonArray{"0001", "01", "2026-01-01", "03/999"}
            << QStringList{"2025-12-31", "2026-03-02", "2026-03-03", "2026-03-20", "2026-06-10"};
        QTest::newRow("year from the processing date")
            << "GetDelCaleProduAno" << QJsonArray{"0001", "01", "2026-03-03", "2026"}
            << QStringList{"2025-12-31", "2026-03-02"};
        QTest::newRow("year 0") << "GetDelCaleProduAno"
                                << QJsonArray{"0001", "01", "2026-03-03", "0"}
                                << QStringList{"2025-12-31", "2026-03-02", "2026-03-03",
                                               "2026-03-20", "2026-06-10"};
        QTest::newRow("empty periodicity")
            << "GetDelCaleProduAno" << QJsonArray{"0001", "", "2020-01-01", "2026"}
            << QStringList{"2025-12-31", "2026-03-02", "2026-03-03", "2026-03-20", "2026-06-10"};
    }

    void deletions()
    {
        QFETCH(QString, method);
        QFETCH(QJsonArray, params);
        QFETCH(QStringList, left);
        addDays("0001", "01", {"2026-03-20"});
        const RpcClient::Reply reply = call(method, params);
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QCOMPARE(reply.result(), (QJsonObject{{"fields", QJsonArray()}, {"rows", QJsonArray()}}));
        QCOMPARE(days("0001", "01"), left);
        QCOMPARE(days("0002", "01").size(), 2);
    }

    void calculaProducao_data()
    {
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        // April 2026 has 22 weekdays; the 3rd (Good Friday) is a holiday of every branch.
        QTest::newRow("weekdays, holidays kept out")
            << QJsonArray{"0004", "01", "2026-04-01", 1, "2026-01-01"} << 21 << "2026-04-01"
            << "2026-04-30";
        QTest::newRow("weekdays, holidays allowed")
            << QJsonArray{"0001", "03", "2026-04-01", 1, "2026-01-01"} << 22 << "2026-04-01"
            << "2026-04-30";
        QTest::newRow("from the processing date")
            << QJsonArray{"0001", "03", "2026-04-01", 1, "2026-04-15"} << 12 + 1 << "2026-04-04"
            << "2026-04-30";
        QTest::newRow("from the first day given")
            << QJsonArray{"0001", "03", "2026-04-10", 1, "2026-01-01"} << 15 + 1 << "2026-04-04"
            << "2026-04-30";
        // Days 1 and 15 of twelve months and the 31st of the seven long ones.
        QTest::newRow("days of the month, year")
            << QJsonArray{"1", "2", "2026-01-01", 12, "2025-06-01"} << 31 << "2026-01-01"
            << "2026-12-31";
        QTest::newRow("year running past 9999")
            << QJsonArray{"0001", "02", "9999-12-01", 12, "2000-01-01"} << 2 + 3 << "2026-04-04"
            << "9999-12-31";
        QTest::newRow("periodicity without days")
            << QJsonArray{"0001", "04", "2026-04-01", 12, "2026-01-01"} << 0 << ""
            << "";
    }

    void calculaProducao()
    {
        QFETCH(QJsonArray, params);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        const QString branch = params.at(0).toString().rightJustified(4, '0');
        const QString peri = params.at(1).toString().rightJustified(2, '0');
        // A Saturday before the period or the processing date stays; one inside is replaced.
        addDays(branch, peri, {"2026-04-04", "2026-04-18"});
        const RpcClient::Reply reply = call(QStringLiteral("CalculaProducao"), params);
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        const QStringList got = days(branch, peri);
        QCOMPARE(got.size(), count);
        QCOMPARE(got.value(0), first);
        QCOMPARE(got.value(got.size() - 1), last);
        QCOMPARE(days("0001", "01").contains("2026-04-03"), false);
    }

    void calculaProducaoRefusals_data()
    {
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("named");
        QTest::newRow("rescinded branch")
            << QJsonArray{"0003", "01", "2026-04-01", 1, "2026-01-01"} << -32000 << "0003";
        QTest::newRow("unknown branch")
            << QJsonArray{"0009", "01", "2026-04-01", 1, "2026-01-01"} << -32000 << "0009";
        QTest::newRow("unknown periodicity")
            << QJsonArray{"0001", "09", "2026-04-01", 1, "2026-01-01"} << -32000 << "09";
        QTest::newRow("six months")
            << QJsonArray{"0001", "01", "2026-04-01", 6, "2026-01-01"} << -32602 << "6";
        QTest::newRow("empty branch")
            << QJsonArray{"", "01", "2026-04-01", 1, "2026-01-01"} << -32602 << "filial";
    }

    void calculaProducaoRefusals()
    {
        QFETCH(QJsonArray, params);
        QFETCH(int, code);
        QFETCH(QString, named);
        const QStringList before = m_fixture.database().calendar();
        const RpcClient::Reply reply = call(QStringLiteral("CalculaProducao"), params);
        QCOMPARE(reply.errorCode(), code);
        QVERIFY2(reply.errorMessage().contains(named), qPrintable(reply.describe()));
        QCOMPARE(m_fixture.database().calendar(), before);
    }

    void getInsDel_data()
    {
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("days0002");
        QTest::addColumn<QStringList>("days0004");
        const QStringList untouched2{"2026-03-04", "2026-09-01"};
        // 0002's own holiday on 2026-03-02 is not copied; its September day lies outside the range.
        QTest::newRow("list") << QJsonArray{"0001", "01", "2", " ", "2026-03-15", "2026-06-01"} << 0
                              << QStringList{"2026-03-03", "2026-06-10", "2026-09-01"}
                              << QStringList();
        QTest::newRow("every branch")
            << QJsonArray{"0001", "01", "", "T", "2026-03-15", "2026-06-01"} << 0
            << QStringList{"2026-03-03", "2026-06-10", "2026-09-01"}
            << QStringList{"2026-03-02", "2026-03-03", "2026-06-10"};
        QTest::newRow("source only in the list")
            << QJsonArray{"0001", "01", "0001", " ", "2026-01-01", "2026-12-01"} << 0 << untouched2
            << QStringList();
        QTest::newRow("one unknown destination")
            << QJsonArray{"0001", "01", "0002,0004,0009", " ", "2026-01-01", "2026-12-01"} << -32000
            << untouched2 << QStringList();
        QTest::newRow("rescinded destination")
            << QJsonArray{"0001", "01", "0002,0003", " ", "2026-01-01", "2026-12-01"} << -32000
            << untouched2 << QStringList();
        QTest::newRow("empty list") << QJsonArray{"0001", "01", "", " ", "2026-01-01", "2026-12-01"}
                                    << -32000 << untouched2 << QStringList();
        QTest::newRow("unknown source")
            << QJsonArray{"0009", "01", "0002", " ", "2026-01-01", "2026-12-01"} << -32000
            << untouched2 << QStringList();
        QTest::newRow("empty source")
            << QJsonArray{"", "01", "0002", " ", "2026-01-01", "2026-12-01"} << -32602 << untouched2
            << QStringList();
        QTest::newRow("SQL in the list")
            << QJsonArray{"0001", "01", "0002') OR 1=1 --", " ", "2026-01-01", "2026-12-01"}
            << -32602 << untouched2 << QStringList();
    }

    void getInsDel()
    {
        QFETCH(QJsonArray, params);
        QFETCH(int, code);
        QFETCH(QStringList, days0002);
        QFETCH(QStringList, days0004);
        const RpcClient::Reply reply = call(QStringLiteral("GetInsDel"), params);
        QCOMPARE(reply.errorCode(), code);
        QCOMPARE(days("0002", "01"), days0002);
        QCOMPARE(days("0004", "01"), days0004);
        QCOMPARE(days("0003", "01"), QStringList{"2026-05-05"});
        QCOMPARE(days("0001", "01").size(), 4);
    }

    void getInsDelKeepsEachDestinationsPast_data()
    {
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<QString>("processing0002");
        QTest::addColumn<QString>("processing0004");
        QTest::addColumn<QStringList>("days0002");
        QTest::addColumn<QStringList>("days0004");
        const QString open("2026-01-01");
        const QJsonArray to0002{"0001", "01", "2", " ", "2026-03-01", "2026-06-01"};
        QTest::newRow("destination open for the whole range")
            << to0002 << open << open << QStringList{"2026-03-03", "2026-06-10", "2026-09-01"}
            << QStringList();
        // 0002 keeps its 4 March and does not get the source's 3 March.
        QTest::newRow("processing date inside the range")
            << to0002 << "2026-03-05" << open
            << QStringList{"2026-03-04", "2026-06-10", "2026-09-01"} << QStringList();
        QTest::newRow("the processing day itself is open")
            << to0002 << "2026-03-04" << open << QStringList{"2026-06-10", "2026-09-01"}
            << QStringList();
        QTest::newRow("processing date after the range")
            << to0002 << "2026-07-01" << open << QStringList{"2026-03-04", "2026-09-01"}
            << QStringList();
        QTest::newRow("every branch, each by its own date")
            << QJsonArray{"0001", "01", "", "T", "2026-03-01", "2026-06-01"} << "2026-03-05"
            << "2026-06-01" << QStringList{"2026-03-04", "2026-06-10", "2026-09-01"}
            << QStringList{"2026-06-10"};
    }

    void getInsDelKeepsEachDestinationsPast()
    {
        QFETCH(QJsonArray, params);
        QFETCH(QString, processing0002);
        QFETCH(QString, processing0004);
        QFETCH(QStringList, days0002);
        QFETCH(QStringList, days0004);
        for (const auto &[branch, date] :
             {std::pair{"0002", processing0002}, std::pair{"0004", processing0004}})
            QVERIFY(m_fixture.database().exec(
                QStringLiteral("UPDATE FILIAL SET DTPROCESSA = ? WHERE CDFILIAL = ?"),
                {date, branch}));
        const RpcClient::Reply reply = call(QStringLiteral("GetInsDel"), params);
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QCOMPARE(days("0002", "01"), days0002);
        QCOMPARE(days("0004", "01"), days0004);
    }

    void getInsDelCountsWhatItReached_data()
    {
        QTest::addColumn<QJsonArray>("params");
        QTest::addColumn<QString>("rescinded");
        QTest::addColumn<QStringList>("counts");
        const QJsonArray everyBranch{"0001", "01", "", "T", "2026-03-01", "2026-06-01"};
        // 0002's own holiday on 2 March is left out of its copy.
        QTest::newRow("one destination")
            << QJsonArray{"0001", "01", "2", " ", "2026-03-01", "2026-06-01"} << ""
            << QStringList{"1", "2"};
        QTest::newRow("every branch") << everyBranch << "" << QStringList{"2", "5"};
        QTest::newRow("no other live branch")
            << everyBranch << "0002,0004" << QStringList{"0", "0"};
        QTest::newRow("every destination closed for the range")
            << everyBranch << "" << QStringList{"0", "0"};
    }

    void getInsDelCountsWhatItReached()
    {
        QFETCH(QJsonArray, params);
        QFETCH(QString, rescinded);
        QFETCH(QStringList, counts);
        const bool closed = counts.first() == QLatin1String("0") && rescinded.isEmpty();
        testsupport::TestDatabase &db = m_fixture.database();
        QVERIFY(db.exec(QStringLiteral("UPDATE FILIAL SET DTPROCESSA = ? WHERE CDFILIAL <> '0001'"),
                        {closed ? "2026-07-01" : "2026-01-01"}));
        for (const QString &branch : rescinded.split(QLatin1Char(','), Qt::SkipEmptyParts))
            QVERIFY(db.exec(QStringLiteral("UPDATE FILIAL SET IDCNTRRESC = 'S' WHERE CDFILIAL = ?"),
                            {branch}));
        const RpcClient::Reply reply = call(QStringLiteral("GetInsDel"), params);
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QCOMPARE(reply.rows(), QList<QStringList>{counts});
        const QJsonArray fields = reply.result().value(QStringLiteral("fields")).toArray();
        QCOMPARE(fields.at(0)["name"].toString() + ',' + fields.at(1)["name"].toString(),
                 QStringLiteral("QTDESTINOS,QTDIAS"));
    }
};

QTEST_GUILESS_MAIN(tst_Methods)
#include "tst_methods.moc"
