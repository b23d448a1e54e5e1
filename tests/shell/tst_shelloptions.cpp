// The shell's command line: --help and refused options are answered without a display.

#include "shelloptions.h"

#include <QProcess>
#include <QtTest>

class tst_ShellOptions : public QObject
{
    Q_OBJECT

private slots:
    void helpNeedsNoDisplay_data();
    void helpNeedsNoDisplay();
    void refusedOptionIsOneLine_data();
    void refusedOptionIsOneLine();
    void qtOptionsPassThrough();

private:
    static QProcess *runShell(const QStringList &arguments);
};

QProcess *tst_ShellOptions::runShell(const QStringList &arguments)
{
    auto *process = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(CALEPRODU_SHELL_PATH), arguments);
    return process;
}

void tst_ShellOptions::helpNeedsNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("--help") << QStringList{"--help"};
    QTest::newRow("-h") << QStringList{"-h"};
    QTest::newRow("with a bad option") << QStringList{"--bogus", "--help"};
}

void tst_ShellOptions::helpNeedsNoDisplay()
{
    QFETCH(QStringList, arguments);
    std::unique_ptr<QProcess> shell(runShell(arguments));
    QVERIFY(shell->waitForFinished(30000));
    QCOMPARE(shell->exitStatus(), QProcess::NormalExit);
    QCOMPARE(shell->exitCode(), 0);
    const QString usage = QString::fromLocal8Bit(shell->readAllStandardOutput());
    for (const char *option : {"--server HOST:PORTA", "--token", "--database URL", "--branch",
                               "--per-branch", "--platform", "--screenshot", "--help"})
        QVERIFY2(usage.contains(QLatin1String(option)), option);
    QCOMPARE(shell->readAllStandardError(), QByteArray());
}

void tst_ShellOptions::refusedOptionIsOneLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unknown") << QStringList{"--bogus"} << "opção desconhecida: --bogus.";
    QTest::newRow("missing value") << QStringList{"--branch"} << "falta o valor de --branch.";
    QTest::newRow("value on a switch")
        << QStringList{"--per-branch=1"} << "a opção --per-branch não leva valor.";
    QTest::newRow("stray argument") << QStringList{"0001"} << "argumento inesperado: \"0001\".";
    QTest::newRow("bad server") << QStringList{"--server", "host"} << "Servidor inválido";
    QTest::newRow("server without database")
        << QStringList{"--server", "host:8211"} << "informe também o banco de dados";
    QTest::newRow("demo data for a server")
        << QStringList{"--server", "host:8211", "--database", "sqlite:x.db", "--seed-demo"}
        << "--seed-demo só vale sem --server";
    QTest::newRow("horizon not a number")
        << QStringList{"--horizon-days", "noventa"} << "--horizon-days inválido: \"noventa\"";
    QTest::newRow("negative horizon")
        << QStringList{"--horizon-days=-1"} << "Use de 0 a 3660 dias.";
}

void tst_ShellOptions::refusedOptionIsOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    std::unique_ptr<QProcess> shell(runShell(arguments));
    QVERIFY(shell->waitForFinished(30000));
    QCOMPARE(shell->exitCode(), 2);
    const QString error = QString::fromLocal8Bit(shell->readAllStandardError());
    QVERIFY2(error.startsWith(QStringLiteral("caleprodu: ")) && error.contains(reason),
             qPrintable(error));
    QCOMPARE(error.count(QLatin1Char('\n')), 1);
    QVERIFY(error.endsWith(QLatin1Char('\n')));
    QCOMPARE(shell->readAllStandardOutput(), QByteArray());
}

void tst_ShellOptions::qtOptionsPassThrough()
{
    const ShellOptions options =
        ParseShellOptions({"caleprodu", "-platform", "offscreen", "--style=fusion", "--branch",
                           "0002", "-reverse", "--per-branch", "--database=sqlite:/tmp/x.db"});
    QCOMPARE(options.error, QString());
    QCOMPARE(options.branch, QStringLiteral("0002"));
    QVERIFY(options.perBranch);
    QCOMPARE(options.databaseUrl, QStringLiteral("sqlite:/tmp/x.db"));
}

QTEST_GUILESS_MAIN(tst_ShellOptions)
#include "tst_shelloptions.moc"
