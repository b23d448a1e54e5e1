// Schema set-up and demo data: repeatable, complete, holidays computed.

#include <demodata.h>
#include <serverfixture.h>
#include <storage.h>

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
        m_db = std::make_unique<testsupport::TestDatabase>(engine);
        QString message;
        bool skipped = false;
        if (!m_db->create(&message, &skipped)) {
            if (skipped)
                QSKIP(qPrintable(message));
            QFAIL(qPrintable(message));
        }
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
        QCOMPARE(caleserver::easterSunday(year), easter);
    }

    void seedIsRepeatableAndKeepsEdits()
    {
        QString error;
        QVERIFY2(caleserver::seedDemo(m_db->url(), &error), qPrintable(error));
        const QStringList calendar = m_db->calendar();
        QVERIFY(!calendar.isEmpty());
        const QVariant holidays = m_db->value("SELECT COUNT(*) FROM FERIADO");
        QVERIFY(m_db->exec("DELETE FROM CALEPRODUCAO WHERE DTPRODUCAO = ?",
                           {calendar.first().section('/', 2)}));
        const QStringList edited = m_db->calendar();

        QVERIFY2(caleserver::initDatabase(m_db->url(), &error), qPrintable(error));
        QVERIFY2(caleserver::seedDemo(m_db->url(), &error), qPrintable(error));
        QCOMPARE(m_db->calendar(), edited);
        QCOMPARE(m_db->value("SELECT COUNT(*) FROM FERIADO"), holidays);
    }

    void demoDataHasWhatTheScreensNeed()
    {
        QString error;
        QVERIFY2(caleserver::seedDemo(m_db->url(), &error), qPrintable(error));
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
        QString error;
        const std::unique_ptr<caleserver::Storage> storage =
            caleserver::Storage::create(m_db->url(), &error);
        QVERIFY2(storage && storage->open(&error), qPrintable(error));
        const QString sql = QStringLiteral("SELECT CAST(? AS VARCHAR(10)), CAST(? AS VARCHAR(10))");
        const QList<QVariant> values{QStringLiteral("a"), QStringLiteral("a"),
                                     QStringLiteral("b"), QVariant(QMetaType(QMetaType::QString)),
                                     QString(""),         7,
                                     QStringLiteral("7"), QStringLiteral("a")};
        for (const QVariant &value : values) {
            QSqlQuery *query = storage->exec(sql, {value, QStringLiteral("x")});
            QVERIFY(query && query->next());
            QCOMPARE(query->value(0).isNull(), value.isNull());
            QCOMPARE(query->value(0).toString(), value.toString());
            QCOMPARE(query->value(1).toString(), QStringLiteral("x"));
            query->finish();
        }
    }
};

QTEST_GUILESS_MAIN(tst_Schema)
#include "tst_schema.moc"
