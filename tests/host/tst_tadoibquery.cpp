#include "core/exceptions.h"
#include "data/dtmdbgeral.h"
#include "data/operatorcontext.h"
#include "data/tadoibquery.h"

#include <QCoreApplication>
#include <QFile>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

const char *const SetupConnection = "tst_tadoibquery_setup";

class FixedClock : public Clock
{
public:
    QDateTime Now() const override { return QDateTime(QDate(2026, 5, 20), QTime(10, 0)); }
};

bool run(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return false;
    }
    return true;
}

// The reference tables the screens read, with a few rows; dates as the engine stores them.
bool fill(QSqlDatabase &db, const QString &dateType)
{
    const QStringList statements = {
        QStringLiteral("CREATE TABLE FILIAL (CDFILIAL CHAR(4) NOT NULL PRIMARY KEY, "
                       "NMFILIAL VARCHAR(30) NOT NULL, IDCNTRRESC CHAR(1) NOT NULL DEFAULT 'N', "
                       "DTPROCESSA %1 NULL)")
            .arg(dateType),
        QStringLiteral("CREATE TABLE PERIPRODUCAO (CDPERIPRODU CHAR(2) NOT NULL PRIMARY KEY, "
                       "NMPERIPRODU VARCHAR(40) NOT NULL, IDDIANUTILP CHAR(1) NOT NULL, "
                       "IDTIPODIAP CHAR(1) NOT NULL)"),
        QStringLiteral("CREATE TABLE DIASPRODUCAO (CDPERIPRODU CHAR(2) NOT NULL, "
                       "NRDIAPRODU SMALLINT NOT NULL, PRIMARY KEY (CDPERIPRODU, NRDIAPRODU))"),
        QStringLiteral("INSERT INTO FILIAL VALUES ('0003', 'Filial Três', 'S', NULL)"),
        QStringLiteral("INSERT INTO FILIAL VALUES ('0001', 'Matriz', 'N', '2026-03-10')"),
        QStringLiteral("INSERT INTO FILIAL VALUES ('0002', 'Filial Dois', 'N', NULL)"),
        QStringLiteral("INSERT INTO PERIPRODUCAO VALUES ('01', 'Semanal', 'S', 'S')"),
        QStringLiteral("INSERT INTO PERIPRODUCAO VALUES ('02', 'Mensal', 'N', 'M')"),
        QStringLiteral("INSERT INTO DIASPRODUCAO VALUES ('01', 2)"),
    };
    for (const QString &s : statements) {
        if (!run(db, s))
            return false;
    }
    return true;
}

QStringList codes(TADOIBQuery &qry, const QString &field)
{
    QStringList result;
    for (qry.First(); !qry.Eof(); qry.Next())
        result << qry.FieldByName(field)->AsString();
    return result;
}

} // namespace

class TstTADOIBQuery : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void initTestCase_data();
    void init();
    void cleanup();
    void cleanupTestCase();

    void branchQuery_data();
    void branchQuery();
    void periodicityQuery_data();
    void periodicityQuery();
    void declaredFieldsKeepTheirSettings();
    void failuresRaiseDatabaseError();
    void connectionRefusesWrites();
    void readsAgainAfterTheSessionDropped_data();
    void readsAgainAfterTheSessionDropped();
    void processingDate_data();
    void processingDate();
    void parameterNames_data();
    void parameterNames();
    void openRefusesBadUrls_data();
    void openRefusesBadUrls();

private:
    QString sqlFile(const QString &name) const;

    QTemporaryDir m_dir;
    QString m_sqliteUrl;
    QString m_pgUrl;
    QString m_pgAdminUrl;
    QString m_pgDatabase;
    FixedClock m_clock;
};

QString TstTADOIBQuery::sqlFile(const QString &name) const
{
    return QFINDTESTDATA(QStringLiteral("../../forms/cli_qmr07700/") + name);
}

void TstTADOIBQuery::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString path = m_dir.filePath(QStringLiteral("reference.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), SetupConnection);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QVERIFY(fill(db, QStringLiteral("TEXT")));
        db.close();
    }
    QSqlDatabase::removeDatabase(SetupConnection);
    m_sqliteUrl = QStringLiteral("sqlite:") + path;

    m_pgAdminUrl = qEnvironmentVariable("CALEPRODU_TEST_PG_URL");
    if (m_pgAdminUrl.isEmpty())
        return;
    // A database of this process's own: ctest runs several test programs at once.
    const QUrl admin(m_pgAdminUrl);
    m_pgDatabase = QStringLiteral("tst_hostquery_%1").arg(QCoreApplication::applicationPid());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), SetupConnection);
        db.setHostName(admin.host());
        db.setPort(admin.port(5432));
        db.setUserName(admin.userName());
        db.setPassword(admin.password());
        db.setDatabaseName(admin.path().mid(1));
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        run(db, QStringLiteral("DROP DATABASE IF EXISTS ") + m_pgDatabase);
        QVERIFY(run(db, QStringLiteral("CREATE DATABASE ") + m_pgDatabase));
        db.close();
        db.setDatabaseName(m_pgDatabase);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QVERIFY(fill(db, QStringLiteral("DATE")));
        db.close();
    }
    QSqlDatabase::removeDatabase(SetupConnection);
    QUrl url(admin);
    url.setPath(QLatin1Char('/') + m_pgDatabase);
    m_pgUrl = url.toString();
}

void TstTADOIBQuery::initTestCase_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
}

void TstTADOIBQuery::init()
{
    QFETCH_GLOBAL(QString, engine);
    if (engine == QLatin1String("postgresql") && m_pgUrl.isEmpty())
        QSKIP("CALEPRODU_TEST_PG_URL is not set: no PostgreSQL server to test against");
    QString error;
    const QString url = engine == QLatin1String("sqlite") ? m_sqliteUrl : m_pgUrl;
    QVERIFY2(dtmDBGeral::Open(url, &error), qPrintable(error));
    SetClock(&m_clock);
}

void TstTADOIBQuery::cleanup()
{
    dtmDBGeral::Close();
    SetClock(nullptr);
    SetOperatorContext(nullptr);
    ShellOperatorContext().SetBranch(QString());
}

void TstTADOIBQuery::cleanupTestCase()
{
    if (m_pgDatabase.isEmpty())
        return;
    const QUrl admin(m_pgAdminUrl);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), SetupConnection);
        db.setHostName(admin.host());
        db.setPort(admin.port(5432));
        db.setUserName(admin.userName());
        db.setPassword(admin.password());
        db.setDatabaseName(admin.path().mid(1));
        if (db.open())
            run(db, QStringLiteral("DROP DATABASE IF EXISTS ") + m_pgDatabase);
        db.close();
    }
    QSqlDatabase::removeDatabase(SetupConnection);
}

void TstTADOIBQuery::branchQuery_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("all");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one branch by code") << "0002"
                                        << " " << QStringList{"0002"};
    QTest::newRow("every branch, ordered") << ""
                                           << "T" << QStringList{"0001", "0002", "0003"};
    QTest::newRow("switch wins over a code") << "0002"
                                             << "T" << QStringList{"0001", "0002", "0003"};
    QTest::newRow("unknown code") << "9999"
                                  << " " << QStringList{};
    QTest::newRow("empty code") << ""
                                << " " << QStringList{};
    QTest::newRow("uncompleted code") << "2"
                                      << " " << QStringList{};
    QTest::newRow("quotes are data, not SQL") << "0001' OR '1'='1"
                                              << " " << QStringList{};
}

void TstTADOIBQuery::branchQuery()
{
    QFETCH(QString, code);
    QFETCH(QString, all);
    QFETCH(QStringList, expected);
    TADOIBQuery qry;
    qry.setObjectName(QStringLiteral("qryFilial"));
    qry.LoadSQL(sqlFile(QStringLiteral("qryFilial.sql")));
    qry.ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(code);
    qry.ParamByName(QStringLiteral("P_TCDFILIAL"))->SetAsString(all);
    qry.Open();
    QCOMPARE(qry.IsEmpty(), expected.isEmpty());
    QCOMPARE(codes(qry, QStringLiteral("CDFILIAL")), expected);

    // Reopening with new values, as the checks do, gives the new rows.
    qry.Close();
    qry.SetParam(QStringLiteral("p_cdfilial"), QStringLiteral("0003"));
    qry.SetParam(QStringLiteral("P_TCDFILIAL"), QStringLiteral(" "));
    qry.Open();
    QCOMPARE(qry.FieldByName(QStringLiteral("IDCNTRRESC"))->AsString(), QStringLiteral("S"));
    QCOMPARE(qry.FieldByName(QStringLiteral("NMFILIAL"))->AsString(),
             QStringLiteral("Filial Três"));
}

void TstTADOIBQuery::periodicityQuery_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("all");
    QTest::addColumn<QStringList>("periodicities");
    QTest::addColumn<bool>("hasDays");
    QTest::newRow("with production days") << "01"
                                          << " " << QStringList{"01"} << true;
    QTest::newRow("without production days") << "02"
                                             << " " << QStringList{"02"} << false;
    QTest::newRow("lookup lists all") << " "
                                      << "T" << QStringList{"01", "02"} << false;
}

void TstTADOIBQuery::periodicityQuery()
{
    QFETCH(QString, code);
    QFETCH(QString, all);
    QFETCH(QStringList, periodicities);
    QFETCH(bool, hasDays);
    TADOIBQuery qryPeri;
    qryPeri.LoadSQL(sqlFile(QStringLiteral("qryPeri.sql")));
    qryPeri.SetParam(QStringLiteral("P_CDPERIPRODU"), code);
    qryPeri.SetParam(QStringLiteral("P_TCDPERIPRODU"), all);
    qryPeri.Open();
    QCOMPARE(codes(qryPeri, QStringLiteral("CDPERIPRODU")), periodicities);

    TADOIBQuery qryDias;
    qryDias.LoadSQL(sqlFile(QStringLiteral("qryDiasProdu.sql")));
    qryDias.SetParam(QStringLiteral("P_CDPERIPRODU"), code);
    qryDias.Open();
    QCOMPARE(!qryDias.IsEmpty(), hasDays);
}

void TstTADOIBQuery::declaredFieldsKeepTheirSettings()
{
    TADOIBQuery qry;
    qry.setObjectName(QStringLiteral("qryFilial"));
    TField *code = qry.AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    code->SetDisplayLabel(QStringLiteral("Código"));
    code->SetRequired(true);
    TField *rescinded = qry.AddField(QStringLiteral("IDCNTRRESC"), TFieldType::ftString, 1);
    rescinded->SetVisible(false);
    rescinded->OnGetText = [](TField *f, QString &text, bool) {
        text = f->AsString() == QLatin1String("S") ? QStringLiteral("Rescindido") : QString();
    };
    qry.LoadSQL(sqlFile(QStringLiteral("qryFilial.sql")));
    qry.SetParam(QStringLiteral("P_CDFILIAL"), QStringLiteral("0003"));
    qry.SetParam(QStringLiteral("P_TCDFILIAL"), QStringLiteral(" "));
    qry.Open();
    QCOMPARE(qry.FieldByName(QStringLiteral("cdfilial")), code);
    QCOMPARE(code->DisplayLabel(), QStringLiteral("Código"));
    QCOMPARE(code->Size(), 4);
    QVERIFY(!rescinded->Visible());
    QCOMPARE(rescinded->DisplayText(), QStringLiteral("Rescindido"));
    // A column the screen did not declare is still readable by name.
    QCOMPARE(qry.FieldByName(QStringLiteral("NMFILIAL"))->AsString(),
             QStringLiteral("Filial Três"));
    QCOMPARE(qry.Fields().size(), size_t(3));

    // Closed, it reads as null again.
    qry.Close();
    QVERIFY(qry.IsEmpty());
    QCOMPARE(code->AsString(), QString());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, qry.Append());
}

void TstTADOIBQuery::failuresRaiseDatabaseError()
{
    TADOIBQuery qry;
    qry.setObjectName(QStringLiteral("qryBad"));
    qry.SetSQL(QStringLiteral("SELECT NOSUCHCOLUMN FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL"));
    qry.SetParam(QStringLiteral("P_CDFILIAL"), QStringLiteral("0001"));
    try {
        qry.Open();
        QFAIL("a bad statement opened");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.Message().startsWith(QStringLiteral("Erro ao consultar o banco de dados")),
                 qPrintable(e.Message()));
    }
    QVERIFY(!qry.Active());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, qry.ParamByName(QStringLiteral("P_OTHER")));

    // A declared field that the statement does not return is a setup fault, reported.
    TADOIBQuery missing;
    missing.AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 30);
    missing.SetSQL(QStringLiteral("SELECT CDFILIAL FROM FILIAL"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, missing.Open());

    dtmDBGeral::Close();
    TADOIBQuery disconnected;
    disconnected.SetSQL(QStringLiteral("SELECT 1"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, disconnected.Open());
}

void TstTADOIBQuery::connectionRefusesWrites()
{
    QSqlDatabase db = dtmDBGeral::Database();
    QVERIFY(db.isOpen());
    QSqlQuery q(db);
    QVERIFY(!q.exec(QStringLiteral("UPDATE FILIAL SET NMFILIAL = 'x' WHERE CDFILIAL = '0001'")));

    TADOIBQuery qry;
    qry.SetSQL(QStringLiteral("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0001'"));
    qry.Open();
    QCOMPARE(qry.FieldByName(QStringLiteral("NMFILIAL"))->AsString(), QStringLiteral("Matriz"));
}

namespace {

// The shell's session as the database sees it.
int sessionPid()
{
    QSqlQuery q(dtmDBGeral::Database());
    return q.exec(QStringLiteral("SELECT pg_backend_pid()")) && q.next() ? q.value(0).toInt() : 0;
}

} // namespace

void TstTADOIBQuery::readsAgainAfterTheSessionDropped_data()
{
    QTest::addColumn<int>("drops");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("reopened");
    const QString good = QStringLiteral("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0001'");
    QTest::newRow("live session: read once") << 0 << good << false;
    QTest::newRow("dropped session: reopened") << 1 << good << true;
    QTest::newRow("dropped again later") << 2 << good << true;
    QTest::newRow("bad statement on a live session") << 0 << "SELECT NOCOLUMN FROM FILIAL" << false;
}

void TstTADOIBQuery::readsAgainAfterTheSessionDropped()
{
    QFETCH_GLOBAL(QString, engine);
    if (engine != QLatin1String("postgresql"))
        QSKIP("only a database server drops sessions");
    QFETCH(int, drops);
    QFETCH(QString, sql);
    QFETCH(bool, reopened);
    const QUrl admin(m_pgAdminUrl);
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), SetupConnection);
    auto removeOther = qScopeGuard([&] {
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(SetupConnection);
    });
    other.setHostName(admin.host());
    other.setPort(admin.port(5432));
    other.setUserName(admin.userName());
    other.setPassword(admin.password());
    other.setDatabaseName(admin.path().mid(1));
    QVERIFY2(other.open(), qPrintable(other.lastError().text()));

    const int first = sessionPid();
    QVERIFY(first != 0);
    int pid = first;
    for (int drop = 0; drop < drops; ++drop) {
        // As an administrator or a restarted server would: the shell is not told.
        QVERIFY(run(other, QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid)));
        QVERIFY(QTest::qWaitFor([&] {
            QSqlQuery q(other);
            return q.exec(
                       QStringLiteral("SELECT 1 FROM pg_stat_activity WHERE pid = %1").arg(pid)) &&
                   !q.next();
        }));
        TADOIBQuery qry;
        qry.SetSQL(sql);
        qry.Open();
        QCOMPARE(qry.FieldByName(QStringLiteral("NMFILIAL"))->AsString(), QStringLiteral("Matriz"));
        // The operator context's reads go through the same connection.
        QCOMPARE(DataProc(QStringLiteral("0001")), QDate(2026, 3, 10));
        pid = sessionPid();
    }
    if (drops == 0) {
        TADOIBQuery qry;
        qry.SetSQL(sql);
        if (sql.contains(QStringLiteral("NOCOLUMN")))
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, qry.Open());
        else
            qry.Open();
    }
    QCOMPARE(sessionPid() != first, reopened);
    // The reopened session still refuses writes.
    QSqlQuery write(dtmDBGeral::Database());
    QVERIFY(
        !write.exec(QStringLiteral("UPDATE FILIAL SET NMFILIAL = 'x' WHERE CDFILIAL = '0001'")));
}

void TstTADOIBQuery::processingDate_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("branch with a processing date") << "0001" << QDate(2026, 3, 10);
    QTest::newRow("null processing date: today") << "0002" << QDate(2026, 5, 20);
    QTest::newRow("unknown branch: today") << "0042" << QDate(2026, 5, 20);
    QTest::newRow("code given without its zeros") << "1" << QDate(2026, 3, 10);
}

void TstTADOIBQuery::processingDate()
{
    QFETCH(QString, branch);
    QFETCH(QDate, expected);
    QCOMPARE(DataProc(branch), expected);
    QCOMPARE(FiliProc(), QStringLiteral("0001"));
    ShellOperatorContext().SetBranch(QStringLiteral("3"));
    QCOMPARE(FiliProc(), QStringLiteral("0003"));
}

void TstTADOIBQuery::parameterNames_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("repeated name listed once")
        << "SELECT 1 FROM FILIAL WHERE CDFILIAL = :P_A OR :P_B = 'T' OR CDFILIAL = :p_a"
        << QStringList{"P_A", "P_B"};
    QTest::newRow("literals, comments and casts are not parameters")
        << "SELECT ':P_X', \":P_Y\" FROM FILIAL -- :P_Z\n WHERE 1 = 1 /* :P_W */ AND "
           "CDFILIAL::TEXT = :P_REAL"
        << QStringList{"P_REAL"};
}

void TstTADOIBQuery::parameterNames()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, names);
    TADOIBQuery qry;
    qry.SetSQL(sql);
    QCOMPARE(qry.ParamNames(), names);
}

void TstTADOIBQuery::openRefusesBadUrls_data()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("missing file is not created") << "sqlite:/nonexistent-dir/none.db";
    QTest::newRow("empty path") << "sqlite:";
    QTest::newRow("unknown scheme") << "mysql://u@127.0.0.1/db";
    QTest::newRow("postgresql without database") << "postgresql://u@127.0.0.1:5432";
}

void TstTADOIBQuery::openRefusesBadUrls()
{
    QFETCH(QString, url);
    QString error;
    QVERIFY(!dtmDBGeral::Open(url, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!dtmDBGeral::IsOpen());
    QVERIFY(!QFile::exists(QStringLiteral("/nonexistent-dir/none.db")));
}

QTEST_MAIN(TstTADOIBQuery)
#include "tst_tadoibquery.moc"
