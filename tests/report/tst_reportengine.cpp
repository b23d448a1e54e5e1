#include "core/exceptions.h"
#include "data/dtmdbgeral.h"
#include "data/tadoibquery.h"
#include "reporting/reportdefinition.h"
#include "reporting/reportrenderer.h"
#include "reporting/treportdesignerdialog.h"
#include "testdatabase.h"

#ifndef Q_MOC_RUN
#include <demodata.h>
#endif

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
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
    void everyPageNamesItsCalendarAndKeepsYearsWhole_data();
    void everyPageNamesItsCalendarAndKeepsYearsWhole();
    void totalsNameTheRangeTheyCount_data();
    void totalsNameTheRangeTheyCount();
};

namespace {

// The pages of the calendar report of these calendars ("0001/01") with a production day on each of
// days, as pdftotext reads them; empty when pdftotext is missing.
QStringList calendarPages(const QDate &from, const QDate &to, const QStringList &calendars,
                          const QList<QDate> &days)
{
    ReportData data;
    data.definition = host::LoadReportDefinition("QMR077");
    data.columns = {"CDFILIAL", "NMFILIAL", "CDPERIPRODU", "NMPERIPRODU", "DTPRODUCAO"};
    data.parameters = {{"P_TFILIAL", "T"}, {"P_TPERI", "T"}, {"P_DTINI", from}, {"P_DTFIM", to}};
    for (const QString &c : calendars) {
        for (const QDate &day : days)
            data.rows.append(
                {c.left(4), "Filial " + c.left(4), c.right(2), "Turno " + c.right(2), day});
    }
    QTemporaryDir dir;
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty() || !host::WriteReportPdf(data, dir.filePath("r.pdf"), nullptr))
        return {};
    QProcess process;
    process.start(pdftotext, {"-layout", dir.filePath("r.pdf"), "-"});
    process.waitForFinished();
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split('\f');
    pages.removeLast(); // what follows the last page break
    return pages;
}

} // namespace

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
    // A thousand branches, 2001 to 3000, with a day each: their list is 4,999 characters long.
    QVERIFY(
        db->exec("INSERT INTO PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU) VALUES ('01', 'Diária')"));
    QVERIFY(db->exec("WITH RECURSIVE N (I) AS (SELECT 2001 UNION ALL SELECT I + 1 FROM N WHERE "
                     "I < 3000) INSERT INTO FILIAL (CDFILIAL, NMFILIAL) SELECT CAST(I AS TEXT), "
                     "'Filial' FROM N"));
    QVERIFY(db->exec("INSERT INTO CALEPRODUCAO SELECT CDFILIAL, '01', '2026-03-02' FROM FILIAL"));
    QStringList codes;
    for (int code = 2001; code <= 3000; ++code)
        codes.append(QString::number(code));
    QString error;
    QVERIFY2(dtmDBGeral::Open(db->url(), &error), qPrintable(error));
    const auto close = qScopeGuard([] { dtmDBGeral::Close(); });
    TReportDesignerDialog designer;
    designer.SetReportCode("QMR077");
    designer.BeforeGetQueryParams = [&](TReportParams *params, bool &) {
        for (const auto &[name, value] : {std::pair{"P_LST_FILIAL", codes.join(',')},
                                          {"P_TFILIAL", " "},
                                          {"P_LST_PERI", "01"},
                                          {"P_TPERI", " "},
                                          {"P_DTINI", "2026-03-01"},
                                          {"P_DTFIM", "2026-03-31"}})
            params->ParamByName(name)->SetAsString(value);
    };
    ReportData data;
    QVERIFY(designer.Execute(QString(), &data));
    QStringList reported;
    for (const QVariantList &row : std::as_const(data.rows))
        reported.append(row.value(0).toString());
    QCOMPARE(reported, codes);
}

void tst_reportengine::everyPageNamesItsCalendarAndKeepsYearsWhole_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<int>("calendars");
    QTest::addColumn<QList<int>>("years"); // those with a production day
    QTest::addColumn<int>("pages");
    QTest::newRow("sixteen years, days in three")
        << QDate(2020, 1, 1) << QDate(2035, 12, 31) << 2 << QList<int>{2021, 2026, 2030} << 6;
    QTest::newRow("a year and a half from July")
        << QDate(2025, 7, 1) << QDate(2026, 12, 31) << 1 << QList<int>{2025, 2026} << 2;
    QTest::newRow("a quarter of ten calendars")
        << QDate(2026, 1, 1) << QDate(2026, 3, 31) << 10 << QList<int>{2026} << 4;
}

void tst_reportengine::everyPageNamesItsCalendarAndKeepsYearsWhole()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(int, calendars);
    QFETCH(QList<int>, years);
    QFETCH(int, pages);
    QStringList codes;
    for (int n = 1; n <= calendars; ++n)
        codes.append(QStringLiteral("%1/01").arg(n, 4, 10, QLatin1Char('0')));
    QList<QDate> days;
    for (int year : years)
        days.append(QDate(year, from.month(), 15));
    const QStringList texts = calendarPages(from, to, codes, days);
    if (texts.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QCOMPARE(texts.size(), pages);
    const QRegularExpression heading("Filial \\d{4} – Filial \\d{4} +Periodicidade 01 – Turno 01");
    const QRegularExpression month("\\b(?!Total)([A-Z]\\w+) de (\\d{4})"); // a month title
    QSet<int> shown;
    for (const QString &page : texts) {
        QVERIFY2(heading.match(page).hasMatch(), qPrintable(page));
        // A page opens on the first month of a year's part of the range: no year ran on to it.
        const QRegularExpressionMatch first = month.match(page);
        const int year = first.captured(2).toInt();
        QCOMPARE(first.captured(1).toLower(),
                 QLocale(QLocale::Portuguese, QLocale::Brazil)
                     .monthName(year == from.year() ? from.month() : 1));
        for (auto it = month.globalMatch(page); it.hasNext();)
            shown.insert(it.next().captured(2).toInt());
    }
    QCOMPARE(shown, QSet<int>(years.begin(), years.end()));
}

void tst_reportengine::totalsNameTheRangeTheyCount_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("totals");
    QTest::newRow("a whole year") << QDate(2026, 1, 1) << QDate(2026, 12, 31)
                                  << QStringList{"Total de 2026: 2 dias de produção"};
    QTest::newRow("a quarter") << QDate(2026, 1, 1) << QDate(2026, 3, 31)
                               << QStringList{
                                      "Total de janeiro a março de 2026: 1 dia de produção"};
    QTest::newRow("one month") << QDate(2026, 3, 1) << QDate(2026, 3, 31)
                               << QStringList{"Total de março de 2026: 1 dia de produção"};
    QTest::newRow("across a new year")
        << QDate(2025, 11, 1) << QDate(2026, 3, 31)
        << QStringList{"Total de novembro a dezembro de 2025: 1 dia de produção",
                       "Total de janeiro a março de 2026: 1 dia de produção"};
    QTest::newRow("days, not whole months")
        << QDate(2026, 3, 2) << QDate(2026, 3, 20)
        << QStringList{"Total de 02/03/2026 a 20/03/2026: 1 dia de produção"};
}

void tst_reportengine::totalsNameTheRangeTheyCount()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QStringList, totals);
    const QStringList texts = calendarPages(
        from, to, {"0001/01"}, {QDate(2025, 12, 24), QDate(2026, 3, 10), QDate(2026, 11, 10)});
    if (texts.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QStringList shown;
    const QRegularExpression total("Total de [^:]+: \\d+ dias? de produção");
    for (auto it = total.globalMatch(texts.join('\n')); it.hasNext();)
        shown.append(it.next().captured(0));
    QCOMPARE(shown, totals);
}

QTEST_MAIN(tst_reportengine)
#include "tst_reportengine.moc"
