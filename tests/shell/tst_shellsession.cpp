// The shell's session: its embedded server answers only the shell that started it, and demo data
// goes only into a database the shell made.

#include "data/operatorcontext.h"
#include "rpcclient.h"
#include "shellsession.h"
#include "testdatabase.h"

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using testsupport::Engine;
using testsupport::RpcClient;
using testsupport::TestDatabase;

namespace {

// Starts the shell's window session, or runs its batch report, over the database without a server.
bool startWithoutServer(const QString &command, const QString &url, bool seedDemo, QString *error)
{
    if (command == QLatin1String("window")) {
        ShellOptions options;
        options.databaseUrl = url;
        options.seedDemo = seedDemo;
        ShellSession session;
        return session.start(options, error);
    }
    QTemporaryDir dir;
    const QString year = QString::number(QDate::currentDate().year());
    QStringList arguments{"--database", url,
                          "--report",   "QMR077",
                          "--param",    "P_DTINI=" + year + "-01-01",
                          "--param",    "P_DTFIM=" + year + "-12-31",
                          "--param",    "P_TFILIAL= ",
                          "--param",    "P_LST_FILIAL=1",
                          "--output",   dir.filePath("out.csv")};
    if (seedDemo)
        arguments.append("--seed-demo");
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", dir.path());
    shell.setProcessEnvironment(environment);
    shell.start(QStringLiteral(CALEPRODU_SHELL_PATH), arguments);
    if (!shell.waitForFinished(60000) || shell.exitCode() != 0) {
        *error = QString::fromLocal8Bit(shell.readAllStandardError());
        return false;
    }
    return true;
}

} // namespace

class tst_ShellSession : public QObject
{
    Q_OBJECT

private slots:
    void embeddedServerAnswersOnlyItsShell()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        ShellOptions options;
        options.databaseUrl = QStringLiteral("sqlite:") + folder.filePath("shell.db");

        QStringList tokens;
        for (int i = 0; i < 2; ++i) {
            ShellSession session;
            QString error;
            QVERIFY2(session.start(options, &error), qPrintable(error));
            const QString token = WebToken();
            QVERIFY2(token.size() >= 32, qPrintable(token));
            tokens.append(token);
            const int port = WebPort();
            const RpcClient::Reply stranger =
                RpcClient(port).call("GetPesqCaleProdu", {QStringLiteral("0001")});
            QCOMPARE(stranger.httpStatus, 401);
            const RpcClient::Reply own =
                RpcClient(port, token).call("GetPesqCaleProdu", {QStringLiteral("0001")});
            QVERIFY2(own.httpStatus == 200 && !own.isError(), qPrintable(own.describe()));
            session.stop();
        }
        // Each shell draws its own.
        QVERIFY(tokens.at(0) != tokens.at(1));
    }

    void demoDataOnlyWhereThisStartMadeTheDatabase_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("command"); // "window" or "report"
        QTest::addColumn<bool>("siteDatabase");
        QTest::addColumn<bool>("seedDemo");
        for (const Engine engine : {Engine::Sqlite, Engine::Postgres}) {
            const QString name = testsupport::engineName(engine);
            for (const char *command : {"window", "report"}) {
                QTest::addRow("%s: site database, %s", qPrintable(name), command)
                    << engine << command << true << false;
                QTest::addRow("%s: site database, %s --seed-demo", qPrintable(name), command)
                    << engine << command << true << true;
                QTest::addRow("%s: new database, %s", qPrintable(name), command)
                    << engine << command << false << false;
            }
        }
    }

    void demoDataOnlyWhereThisStartMadeTheDatabase()
    {
        QFETCH(Engine, engine);
        QFETCH(QString, command);
        QFETCH(bool, siteDatabase);
        QFETCH(bool, seedDemo);
        std::unique_ptr<TestDatabase> db;
        CALEPRODU_CREATE_DATABASE(db, engine);
        if (siteDatabase) {
            QVERIFY(db->exec("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')"));
            QVERIFY(db->exec("INSERT INTO PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU) "
                             "VALUES ('01', 'Diária')"));
        } else {
            for (const char *table :
                 {"CALEPRODUCAO", "DIASPRODUCAO", "FERIADO", "PERIPRODUCAO", "FILIAL"})
                QVERIFY(db->exec(QStringLiteral("DROP TABLE ") + QLatin1String(table)));
        }
        const QStringList before = siteDatabase ? db->dump() : QStringList();

        QString error;
        QVERIFY2(startWithoutServer(command, db->url(), seedDemo, &error), qPrintable(error));

        if (siteDatabase && !seedDemo) {
            QCOMPARE(db->dump(), before);
            return;
        }
        QVERIFY(db->value("SELECT COUNT(*) FROM FERIADO").toInt() > 0);
        QVERIFY(db->value("SELECT COUNT(*) FROM FILIAL").toInt() > 1);
        if (siteDatabase)
            QCOMPARE(db->value("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0001'").toString(),
                     QStringLiteral("Matriz"));
    }
};

QTEST_MAIN(tst_ShellSession)
#include "tst_shellsession.moc"
