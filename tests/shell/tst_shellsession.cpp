// The shell's session: its embedded server answers only the shell that started it, and demo data
// goes only into a database the shell made.

#include "data/operatorcontext.h"
#include "rpcclient.h"
#include "shellsession.h"
#include "testdatabase.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using testsupport::Engine;
using testsupport::RpcClient;
using testsupport::TestDatabase;

namespace {

// Opens the shell's session, or runs its batch report, on the database with no server named; how
// the report itself ends does not matter here.
bool startWithoutServer(const QString &command, const QString &url, bool seedDemo, QString *error)
{
    ShellOptions options;
    options.databaseUrl = url;
    options.seedDemo = seedDemo;
    if (command == QLatin1String("window"))
        return ShellSession().start(options, error);
    QProcess shell;
    shell.start(QStringLiteral(CALEPRODU_SHELL_PATH),
                QStringList{"--database", url, "--report", "QMR077", "--output",
                            QDir::temp().filePath("caleprodu-unused.csv")} +
                    (seedDemo ? QStringList{"--seed-demo"} : QStringList()));
    return shell.waitForFinished(60000);
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
        const QStringList site{"INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')",
                               "INSERT INTO PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU) VALUES ('01', "
                               "'Diária')"};
        const QStringList none{"DROP TABLE CALEPRODUCAO", "DROP TABLE DIASPRODUCAO",
                               "DROP TABLE FERIADO", "DROP TABLE PERIPRODUCAO",
                               "DROP TABLE FILIAL"};
        for (const QString &sql : siteDatabase ? site : none)
            QVERIFY(db->exec(sql));
        const QStringList before = db->dump();
        QString error;
        QVERIFY2(startWithoutServer(command, db->url(), seedDemo, &error), qPrintable(error));
        const bool demo = !siteDatabase || seedDemo;
        QCOMPARE(db->dump() == before, !demo);
        QCOMPARE(db->value("SELECT COUNT(*) FROM FERIADO").toInt() > 0, demo);
    }
};

QTEST_MAIN(tst_ShellSession)
#include "tst_shellsession.moc"
