#include "caleserver.h"
#include "core/exceptions.h"
#include "data/dtmdbgeral.h"
#include "data/tadoibquery.h"
#include "reporting/reportdefinition.h"
#include "reporting/reportrenderer.h"
#include "reporting/treportdesignerdialog.h"
#include "testdatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

class tst_reportengine : public QObject
{
    Q_OBJECT
private slots:
    void codeListsAreCompletedAndChecked_data();
    void codeListsAreCompletedAndChecked();
    void definitionsOutsideTheDirectoryAreNeverRead();
    void badParametersStopTheRunBeforeTheQuery_data();
    void badParametersStopTheRunBeforeTheQuery();
    void csvQuotesTextsAndWritesIsoDates();
    void batchCommandWritesTheReport_data();
    void batchCommandWritesTheReport();
    void batchCommandRefusesAParameterTheQueryLacks();
    void longListsKeepEveryCode_data();
    void longListsKeepEveryCode();
};

void tst_reportengine::codeListsAreCompletedAndChecked_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("expected"); // empty with valid false: refused
    QTest::addColumn<bool>("valid");
    QTest::newRow("as the list search gives it") << "0001,0003"
                                                 << "0001,0003" << true;
    QTest::newRow("short codes, blanks, repeats") << " 3, 1 ,0001,,"
                                                  << "0001,0003" << true;
    QTest::newRow("empty") << ""
                           << "" << true;
    QTest::newRow("too long") << "0001,00012"
                              << "" << false;
    QTest::newRow("not a code") << "0001,%"
                                << "" << false;
}

void tst_reportengine::codeListsAreCompletedAndChecked()
{
    QFETCH(QString, list);
    QFETCH(QString, expected);
    QFETCH(bool, valid);
    try {
        QCOMPARE(host::NormalizeCodeList("P_LST_FILIAL", list, 4), expected);
        QVERIFY(valid);
    } catch (const EDatabaseError &e) {
        QVERIFY2(!valid, qPrintable(e.Message()));
        QVERIFY(e.Message().contains("P_LST_FILIAL"));
    }
}

void tst_reportengine::definitionsOutsideTheDirectoryAreNeverRead()
{
    QTemporaryDir dir;
    QFile outside(dir.filePath("secret.json"));
    QVERIFY(outside.open(QIODevice::WriteOnly));
    outside.write("{}");
    outside.close();
    QVERIFY(QDir(dir.path()).mkdir("reports"));
    host::SetReportsDirectory(dir.filePath("reports"));
    for (const QString &code : {QStringLiteral("../secret"), QStringLiteral("QMR077")}) {
        try {
            host::LoadReportDefinition(code);
            QFAIL("a definition was read");
        } catch (const EReportNotFound &e) {
            QCOMPARE(e.Directory(), dir.filePath("reports"));
        }
    }
    host::SetReportsDirectory(QString());
}

void tst_reportengine::badParametersStopTheRunBeforeTheQuery_data()
{
    QTest::addColumn<QStringList>("params");
    QTest::addColumn<QString>("message");
    QTest::newRow("date missing") << QStringList{"P_DTINI=2026-01-01"}
                                  << "Parâmetro P_DTFIM (Mês final) não informado.";
    QTest::newRow("date unreadable")
        << QStringList{"P_DTINI=2026-01-01", "P_DTFIM=31/01/2026"}
        << "Parâmetro P_DTFIM: data inválida '31/01/2026' (use AAAA-MM-DD).";
    QTest::newRow("range reversed") << QStringList{"P_DTINI=2026-02-01", "P_DTFIM=2026-01-31"}
                                    << "Período inválido: 01/02/2026 é posterior a 31/01/2026.";
    QTest::newRow("unknown parameter")
        << QStringList{"P_DTINI=2026-01-01", "P_DTFIM=2026-01-31", "P_NADA=1"}
        << "QMR077: parâmetro 'P_NADA' não encontrado.";
}

void tst_reportengine::badParametersStopTheRunBeforeTheQuery()
{
    QFETCH(QStringList, params);
    QFETCH(QString, message);
    TReportDesignerDialog designer;
    designer.SetReportCode("QMR077");
    designer.BeforeGetQueryParams = [&](TReportParams *collection, bool &) {
        for (const QString &param : params)
            collection->ParamByName(param.section('=', 0, 0))->SetAsString(param.section('=', 1));
    };
    ReportData data;
    try {
        designer.Execute(QString(), &data);
        QFAIL("the report ran");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.Message(), message);
    }
}

void tst_reportengine::csvQuotesTextsAndWritesIsoDates()
{
    ReportData data;
    data.columns = {"CDFILIAL", "NMFILIAL", "DTPRODUCAO"};
    data.rows = {{"0001", "Matriz, \"Centro\"", QDate(2026, 3, 2)}, {"0002", "Rio", "2026-03-03"}};
    QTemporaryDir dir;
    QString error;
    QVERIFY(!host::WriteReportFile(data, dir.filePath("a.txt"), &error));
    QVERIFY(error.contains(".pdf ou .csv"));
    QVERIFY2(host::WriteReportFile(data, dir.filePath("a.csv"), &error), qPrintable(error));
    QFile file(dir.filePath("a.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()),
             QStringLiteral("CDFILIAL,NMFILIAL,DTPRODUCAO\r\n"
                            "0001,\"Matriz, \"\"Centro\"\"\",2026-03-02\r\n"
                            "0002,Rio,2026-03-03\r\n"));
}

void tst_reportengine::batchCommandWritesTheReport_data()
{
    testsupport::addEngineRows();
}

void tst_reportengine::batchCommandWritesTheReport()
{
    QFETCH(testsupport::Engine, engine);
    testsupport::TestDatabase db(engine);
    QString message;
    bool skipped = false;
    if (!db.create(&message, &skipped)) {
        if (skipped)
            QSKIP(qPrintable(message));
        QFAIL(qPrintable(message));
    }
    std::string seedError;
    QVERIFY2(caleserver::seedDemo(db.url().toStdString(), &seedError), seedError.c_str());
    // The demo data holds calendars of the current year.
    const QString year = QString::number(QDate::currentDate().year());
    QTemporaryDir dir;
    QProcess shell;
    shell.start(CALEPRODU_SHELL,
                {"--database", db.url(), "--report", "QMR077", "--param",
                 "P_DTINI=" + year + "-01-01", "--param", "P_DTFIM=" + year + "-12-31", "--param",
                 "P_TFILIAL= ", "--param", "P_LST_FILIAL=1", "--output", dir.filePath("out.csv")});
    QVERIFY(shell.waitForFinished(60000));
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());

    const int expected = db.value("SELECT COUNT(*) FROM CALEPRODUCAO WHERE CDFILIAL = '0001' AND "
                                  "DTPRODUCAO BETWEEN ? AND ?",
                                  {year + "-01-01", year + "-12-31"})
                             .toInt();
    QVERIFY(expected > 0);
    QFile csv(dir.filePath("out.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), expected + 1);
    for (const QString &line : lines.mid(1))
        QVERIFY2(line.startsWith("0001,"), qPrintable(line));
}

void tst_reportengine::batchCommandRefusesAParameterTheQueryLacks()
{
    QTemporaryDir dir;
    QProcess shell;
    shell.start(CALEPRODU_SHELL,
                {"--database", "sqlite:" + dir.filePath("demo.db"), "--report", "QMR077", "--param",
                 "P_FILIAL=0001", "--output", dir.filePath("out.pdf")});
    QVERIFY(shell.waitForFinished(60000));
    QCOMPARE(shell.exitCode(), 1);
    QVERIFY(QString::fromUtf8(shell.readAllStandardError())
                .contains("QMR077: parâmetro 'P_FILIAL' não encontrado."));
    QVERIFY(!QFile::exists(dir.filePath("out.pdf")));
}

void tst_reportengine::longListsKeepEveryCode_data()
{
    testsupport::addEngineRows();
}

void tst_reportengine::longListsKeepEveryCode()
{
    QFETCH(testsupport::Engine, engine);
    std::unique_ptr<testsupport::TestDatabase> db;
    CALEPRODU_CREATE_DATABASE(db, engine);
    // A thousand branches (2001 to 3000) with one day each: the list is 4,999 characters long.
    const int branches = 1000;
    QVERIFY(
        db->exec("INSERT INTO PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU) VALUES ('01', 'Diária')"));
    QVERIFY(db->exec("WITH RECURSIVE N (I) AS (SELECT 2001 UNION ALL SELECT I + 1 FROM N WHERE "
                     "I < 3000) INSERT INTO FILIAL (CDFILIAL, NMFILIAL) SELECT CAST(I AS TEXT), "
                     "'Filial ' || CAST(I AS TEXT) FROM N"));
    QVERIFY(db->exec("INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) SELECT "
                     "CDFILIAL, '01', '2026-03-02' FROM FILIAL"));
    QStringList codes;
    for (int code = 2001; code < 2001 + branches; ++code)
        codes.append(QString::number(code));
    QString error;
    QVERIFY2(dtmDBGeral::Open(db->url(), &error), qPrintable(error));
    const auto close = qScopeGuard([] { dtmDBGeral::Close(); });

    TReportDesignerDialog designer;
    designer.SetReportCode("QMR077");
    designer.BeforeGetQueryParams = [&](TReportParams *params, bool &) {
        params->ParamByName("P_LST_FILIAL")->SetAsString(codes.join(','));
        params->ParamByName("P_TFILIAL")->SetAsString(" ");
        params->ParamByName("P_LST_PERI")->SetAsString("01");
        params->ParamByName("P_TPERI")->SetAsString(" ");
        params->ParamByName("P_DTINI")->SetAsString("2026-03-01");
        params->ParamByName("P_DTFIM")->SetAsString("2026-03-31");
    };
    ReportData data;
    QVERIFY(designer.Execute(QString(), &data));
    QStringList reported;
    for (const QVariantList &row : std::as_const(data.rows))
        reported.append(row.value(0).toString());
    QCOMPARE(reported.size(), branches);
    QCOMPARE(reported, codes);
}

QTEST_MAIN(tst_reportengine)
#include "tst_reportengine.moc"
