// Schema set-up and demo data: repeatable, complete, holidays computed.

#include <serverfixture.h>
// moc cannot read the standard library's C++20 headers that the server's own headers use.
#ifndef Q_MOC_RUN
#include <demodata.h>
#include <storage/schema.h>
#include <storage/storage.h>
#endif

#include <QSqlQuery>
#include <QTest>

class tst_Schema : public QObject
{
    Q_OBJECT

    std::unique_ptr<testsupport::TestDatabase> m_db;

private slots:
    void initTestCase_data() { testsupport::addEngineRows(); }

    void init()
    {
        if (qstrcmp(QTest::currentTestFunction(), "easterSunday") == 0)
            return;
        QFETCH_GLOBAL(testsupport::Engine, engine);
        CALEPRODU_CREATE_DATABASE(m_db, engine);
    }
    void cleanup() { m_db.reset(); }

    void easterSunday_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QDate>("easter");
        QTest::newRow("2000") << 2000 << QDate(2000, 4, 23);
        QTest::newRow("2008 (March)") << 2008 << QDate(2008, 3, 23);
        QTest::newRow("2019") << 2019 << QDate(2019, 4, 21);
        QTest::newRow("2024") << 2024 << QDate(2024, 3, 31);
        QTest::newRow("2025") << 2025 << QDate(2025, 4, 20);
        QTest::newRow("2026") << 2026 << QDate(2026, 4, 5);
        QTest::newRow("2038 (late)") << 2038 << QDate(2038, 4, 25);
    }

    void easterSunday()
    {
        QFETCH(int, year);
        QFETCH(QDate, easter);
        QCOMPARE(QString::fromStdString(caleserver::easterSunday(year).iso()),
                 easter.toString(Qt::ISODate));
    }

    void seedIsRepeatableAndKeepsEdits()
    {
        std::string error;
        const std::string url = m_db->url().toStdString();
        QVERIFY2(caleserver::seedDemo(url, &error), error.c_str());
        const QStringList calendar = m_db->calendar();
        QVERIFY(!calendar.isEmpty());
        const QVariant holidays = m_db->value("SELECT COUNT(*) FROM FERIADO");
        QVERIFY(m_db->exec("DELETE FROM CALEPRODUCAO WHERE DTPRODUCAO = ?",
                           {calendar.first().section('/', 2)}));
        const QStringList edited = m_db->calendar();

        QVERIFY2(caleserver::initDatabase(url, &error), error.c_str());
        QVERIFY2(caleserver::seedDemo(url, &error), error.c_str());
        QCOMPARE(m_db->calendar(), edited);
        QCOMPARE(m_db->value("SELECT COUNT(*) FROM FERIADO"), holidays);
    }

    void demoDataHasWhatTheScreensNeed()
    {
        std::string error;
        QVERIFY2(caleserver::seedDemo(m_db->url().toStdString(), &error), error.c_str());
        const auto count = [this](const char *sql) {
            return m_db->value(QLatin1String(sql)).toInt();
        };
        QVERIFY(count("SELECT COUNT(*) FROM FILIAL") >= 4);
        QCOMPARE(count("SELECT COUNT(*) FROM FILIAL WHERE IDCNTRRESC = 'S'"), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM FILIAL WHERE DTPROCESSA IS NOT NULL"), 1);
        QVERIFY(count("SELECT COUNT(*) FROM PERIPRODUCAO WHERE IDTIPODIAP = 'S'") >= 1);
        QVERIFY(count("SELECT COUNT(*) FROM PERIPRODUCAO WHERE IDTIPODIAP = 'M'") >= 1);
        QVERIFY(count("SELECT COUNT(*) FROM PERIPRODUCAO WHERE IDDIANUTILP = 'S'") >= 1);
        QVERIFY(count("SELECT COUNT(*) FROM PERIPRODUCAO P WHERE NOT EXISTS (SELECT 1 FROM "
                      "DIASPRODUCAO D WHERE D.CDPERIPRODU = P.CDPERIPRODU)") >= 1);
        QCOMPARE(count("SELECT COUNT(*) FROM FERIADO WHERE CDFILIAL IS NULL AND DTFERICOMP "
                       "BETWEEN '2026-01-01' AND '2026-12-31'"),
                 10);
        for (const char *goodFriday : {"2024-03-29", "2025-04-18", "2026-04-03", "2030-04-19"})
            QCOMPARE(
                m_db->value(
                        "SELECT NMFERIADO FROM FERIADO WHERE DTFERICOMP = ? AND CDFILIAL IS NULL",
                        {goodFriday})
                    .toString(),
                QStringLiteral("Paixão de Cristo"));
        // A holiday of every branch is stored once, whatever the engine thinks of null keys.
        QString duplicate;
        QVERIFY(!m_db->exec("INSERT INTO FERIADO VALUES (NULL, '2026-12-25', 'Natal')", {},
                            &duplicate));
    }

    // Kept statements bind again only the values that changed since their last run.
    void keptStatementSeesEveryNewValue()
    {
        std::string error;
        const std::unique_ptr<caleserver::Storage> storage =
            caleserver::Storage::create(m_db->url().toStdString(), &error);
        QVERIFY2(storage && storage->open(&error), error.c_str());
        const std::string sql = "SELECT CAST(? AS VARCHAR(10)), CAST(? AS VARCHAR(10))";
        const caleserver::Param values[] = {"a", "a", "b", nullptr, "", 7, "7", "a"};
        for (const caleserver::Param &value : values) {
            caleserver::Rows *query = storage->exec(sql, {value, "x"});
            QVERIFY(query && query->next());
            const bool isNull = value.kind() == caleserver::Param::Kind::Null;
            QCOMPARE(query->isNull(0), isNull);
            QCOMPARE(std::string(query->text(0)), value.toText());
            QCOMPARE(std::string(query->text(1)), std::string("x"));
            query->finish();
        }
    }
};

QTEST_GUILESS_MAIN(tst_Schema)
#include "tst_schema.moc"
