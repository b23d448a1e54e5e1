#include "report/cli_qmr07701.h"

#include "../calendar/calendarscreen.h"
#include "screenenvironment.h"

#include "controls/tdateeditplus.h"
#include "controls/tradiobutton.h"
#include "controls/tspeedbutton.h"
#include "core/focustracker.h"
#include "reporting/reportdefinition.h"
#include "reporting/treportdesignerdialog.h"

#include <demodata.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

extern "C" void Initialize();

using namespace Cli_qmr07701;

class tst_cli_qmr07701 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void focusStartsOnTheFirstParameter_data();
    void focusStartsOnTheFirstParameter();
    void commandChecksStopAtTheFirstFailure_data();
    void commandChecksStopAtTheFirstFailure();
    void parametersFollowTheChoices_data();
    void parametersFollowTheChoices();
    void listsSurviveReactivationOnly();
    void emptyBranchTableStopsTheSearch();
    void savedPdfHoldsTheChosenCalendars();
    void previewPrintAndPdfShowTheSamePages_data();
    void previewPrintAndPdfShowTheSamePages();
    void savedCsvIsForASpreadsheet_data();
    void savedCsvIsForASpreadsheet();
    void missingDefinitionNamesCodeAndDirectory();
    void parameterTheQueryLacksEndsTheRun();
    void eachOpeningCreatesANewDialog();
    void calendarPrintButtonOpensTheDialog();

private:
    TfrmListCaleProdu *openDialog();
    void setMonths(const QString &first, const QString &last);
    void insertDays(const QString &branch, const QString &peri, const QList<QDate> &days);

    testsupport::ScreenEnvironment m_env;
    QPointer<TfrmListCaleProdu> m_dialog;
};

void tst_cli_qmr07701::initTestCase()
{
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
}

void tst_cli_qmr07701::init()
{
    m_env.reset();
    m_env.dialogs.listAnswers.clear();
    m_env.dialogs.previewFile.clear();
    m_env.dialogs.printFile.clear();
    m_env.dialogs.inputAnswer.reset();
    if (QByteArray(QTest::currentTestFunction()) == "calendarPrintButtonOpensTheDialog")
        return;
    m_dialog = openDialog();
    QVERIFY(m_dialog);
}

void tst_cli_qmr07701::cleanup()
{
    delete m_dialog;
    qunsetenv("CALEPRODU_REPORTS_DIR");
}

TfrmListCaleProdu *tst_cli_qmr07701::openDialog()
{
    auto *dialog = TfrmDadosGerRel::Create<TfrmListCaleProdu>(m_env.window.get());
    dialog->show();
    QApplication::setActiveWindow(dialog);
    return QTest::qWaitForWindowActive(dialog) ? dialog : nullptr;
}

void tst_cli_qmr07701::setMonths(const QString &first, const QString &last)
{
    m_dialog->depIni->SetText(first);
    m_dialog->depFim->SetText(last);
}

void tst_cli_qmr07701::insertDays(const QString &branch, const QString &peri,
                                  const QList<QDate> &days)
{
    for (const QDate &day : days)
        QVERIFY(m_env.fixture.database().exec(
            QStringLiteral("INSERT INTO CALEPRODUCAO VALUES (?, ?, ?)"),
            {branch, peri, day.toString(Qt::ISODate)}));
}

void tst_cli_qmr07701::focusStartsOnTheFirstParameter_data()
{
    QTest::addColumn<bool>("reopened");
    QTest::newRow("first dialog") << false;
    QTest::newRow("a dialog after another") << true;
}

void tst_cli_qmr07701::focusStartsOnTheFirstParameter()
{
    QFETCH(bool, reopened);
    if (reopened) {
        delete m_dialog;
        m_dialog = openDialog();
        QVERIFY(m_dialog);
    }
    // Typing at once must not rename the report: the report name box comes later in the tabs.
    QCOMPARE(QApplication::focusWidget(), m_dialog->rbtTodosFili);
    QCOMPARE(host::FocusTracker::instance()->LogicalFocus(m_dialog), m_dialog->rbtTodosFili);
}

void tst_cli_qmr07701::commandChecksStopAtTheFirstFailure_data()
{
    QTest::addColumn<bool>("listaFili");
    QTest::addColumn<bool>("listaPeri");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("branch list before the rest") << true << true << ""
                                                 << ""
                                                 << "Filial deve ser informada."
                                                 << "rbtListaFili";
    QTest::newRow("periodicity list before the months") << false << true << ""
                                                        << ""
                                                        << "Periodicidade deve ser informada."
                                                        << "rbtListaPeri";
    QTest::newRow("both months empty: only the first") << false << false << ""
                                                       << ""
                                                       << "Mês inicial deve ser informado."
                                                       << "depIni";
    QTest::newRow("final month empty") << false << false << "03/2026"
                                       << ""
                                       << "Mês final deve ser informado."
                                       << "depFim";
    QTest::newRow("initial after final") << false << false << "04/2026"
                                         << "03/2026"
                                         << "Mês inicial deve ser menor ou igual ao mês final."
                                         << "depIni";
}

void tst_cli_qmr07701::commandChecksStopAtTheFirstFailure()
{
    QFETCH(bool, listaFili);
    QFETCH(bool, listaPeri);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    if (listaFili)
        m_dialog->rbtListaFili->click();
    if (listaPeri)
        m_dialog->rbtListaPeri->click();
    setMonths(first, last);

    m_dialog->sbtPreview->click();
    QCOMPARE(m_env.dialogs.texts(), QStringList{message});
    QCOMPARE(m_env.dialogs.previews, 0);
    QWidget *focused = host::FocusTracker::instance()->LogicalFocus(m_dialog);
    QVERIFY(focused);
    QCOMPARE(focused->objectName(), focus);
}

void tst_cli_qmr07701::parametersFollowTheChoices_data()
{
    QTest::addColumn<bool>("backToTodos");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("tFilial");
    QTest::addColumn<QDate>("dtIni");
    QTest::addColumn<QDate>("dtFim");
    QTest::newRow("list chosen") << false << "01/2026"
                                 << "03/2026"
                                 << " " << QDate(2026, 1, 1) << QDate(2026, 3, 31);
    QTest::newRow("list kept under Todos") << true << "01/2026"
                                           << "03/2026"
                                           << "T" << QDate(2026, 1, 1) << QDate(2026, 3, 31);
    QTest::newRow("equal months: first and last day")
        << false << "02/2024"
        << "02/2024"
        << " " << QDate(2024, 2, 1) << QDate(2024, 2, 29);
}

void tst_cli_qmr07701::parametersFollowTheChoices()
{
    QFETCH(bool, backToTodos);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, tFilial);
    QFETCH(QDate, dtIni);
    QFETCH(QDate, dtFim);
    m_dialog->rbtListaFili->click();
    QVERIFY(m_dialog->sbtFili->isEnabled());
    m_env.dialogs.listAnswers = {QList<int>{0, 2}};
    m_dialog->sbtFili->click();
    if (backToTodos) {
        m_dialog->rbtTodosFili->click();
        QVERIFY(!m_dialog->sbtFili->isEnabled());
    }
    setMonths(first, last);

    ReportData data;
    QVERIFY(m_dialog->rpddPadrao->Execute(QString(), &data));
    QCOMPARE(data.Parameter("P_LST_FILIAL").toString(), QStringLiteral("0001,0003"));
    QCOMPARE(data.Parameter("P_TFILIAL").toString(), tFilial);
    QCOMPARE(data.Parameter("P_LST_PERI").toString(), QString());
    QCOMPARE(data.Parameter("P_TPERI").toString(), QStringLiteral("T"));
    QCOMPARE(data.Parameter("P_DTINI").toDate(), dtIni);
    QCOMPARE(data.Parameter("P_DTFIM").toDate(), dtFim);
}

void tst_cli_qmr07701::listsSurviveReactivationOnly()
{
    m_dialog->rbtListaPeri->click();
    m_env.dialogs.listAnswers = {QList<int>{1}};
    QTest::keyClick(m_dialog->rbtListaPeri, Qt::Key_F9);
    QCOMPARE(m_env.dialogs.listSearches.size(), 1);
    QCOMPARE(m_env.dialogs.listSearches[0].title, QStringLiteral("Periodicidade"));
    QCOMPARE(stListaPeri, QStringLiteral("02"));

    // A message box takes the activation; the dialog is activated again when it closes.
    m_env.dialogs.takeFocus = true;
    m_dialog->sbtPreview->click();
    m_env.dialogs.takeFocus = false;
    QCOMPARE(m_env.dialogs.texts(), QStringList{"Mês inicial deve ser informado."});
    QApplication::setActiveWindow(m_dialog);
    QVERIFY(QTest::qWaitForWindowActive(m_dialog));
    QCOMPARE(stListaPeri, QStringLiteral("02"));

    delete m_dialog;
    m_dialog = openDialog();
    QVERIFY(m_dialog);
    QVERIFY(stListaPeri.isEmpty());
    QVERIFY(stListaFili.isEmpty());
}

void tst_cli_qmr07701::emptyBranchTableStopsTheSearch()
{
    testsupport::TestDatabase &db = m_env.fixture.database();
    QVERIFY(db.exec(QStringLiteral("DELETE FROM FERIADO WHERE CDFILIAL IS NOT NULL")));
    QVERIFY(db.exec(QStringLiteral("DELETE FROM FILIAL")));
    stListaFili = QStringLiteral("0002");
    m_dialog->rbtListaFili->click();
    QTest::keyClick(m_dialog->rbtListaFili, Qt::Key_F9);
    const QStringList shown = m_env.dialogs.texts();
    std::string error;
    QVERIFY2(caleserver::seedDemo(m_env.fixture.url().toStdString(), &error), error.c_str());
    QCOMPARE(shown, QStringList{"Não há filial cadastrada."});
    QVERIFY(m_env.dialogs.listSearches.isEmpty());
    QCOMPARE(stListaFili, QStringLiteral("0002"));
}

void tst_cli_qmr07701::savedPdfHoldsTheChosenCalendars()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QList<QDate> weekdays;
    for (QDate d(2026, 1, 1); d <= QDate(2026, 3, 31); d = d.addDays(1)) {
        if (d.dayOfWeek() <= 5 && d.day() != 20)
            weekdays.append(d);
    }
    insertDays("0001", "01", weekdays);
    insertDays("0002", "02", {QDate(2026, 1, 15), QDate(2026, 3, 1), QDate(2026, 3, 15)});
    insertDays("0004", "01", {QDate(2026, 2, 2)});
    QTemporaryDir dir;
    m_env.dialogs.saveAnswer = dir.filePath("calendario");
    m_env.dialogs.inputAnswer = QStringLiteral("Calendário do trimestre");

    m_dialog->rbtListaFili->click();
    m_env.dialogs.listAnswers = {QList<int>{0, 1}};
    m_dialog->sbtFili->click();
    setMonths("01/2026", "03/2026");
    m_dialog->sbtSalvarComo->click();
    QVERIFY2(m_env.dialogs.texts().isEmpty(), qPrintable(m_env.dialogs.texts().join('\n')));
    QCOMPARE(m_env.dialogs.inputPrompts,
             QStringList{"Título do Relatório|Informe o título do relatório:"});

    QProcess process;
    process.start(pdftotext, {"-layout", dir.filePath("calendario.pdf"), "-"});
    QVERIFY(process.waitForFinished());
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY(text.contains("QMR077"));
    QVERIFY(text.contains("Calendário do trimestre"));
    QVERIFY(text.contains("Filial 0001 – Matriz São Paulo"));
    QVERIFY(text.contains("Filial 0002 – Filial Rio de Janeiro"));
    QVERIFY(!text.contains("Curitiba"));
    QVERIFY(text.contains("Total de janeiro a março de 2026: 3 dias de produção"));
    QStringList counts;
    const QRegularExpression month(QStringLiteral("Produção: (\\d+) dias?"));
    for (auto it = month.globalMatch(text); it.hasNext();)
        counts.append(it.next().captured(1));
    // Weekdays less the 20th: January 21, February 20 (the 20th is a Friday), March 21.
    QCOMPARE(counts, (QStringList{"21", "19", "21", "1", "0", "2"}));
}

void tst_cli_qmr07701::previewPrintAndPdfShowTheSamePages_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("a quarter") << QStringLiteral("01/2026") << QStringLiteral("03/2026");
    QTest::newRow("two years") << QStringLiteral("01/2026") << QStringLiteral("12/2027");
}

void tst_cli_qmr07701::previewPrintAndPdfShowTheSamePages()
{
    QFETCH(QString, first);
    QFETCH(QString, last);
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    for (const char *branch : {"0001", "0002", "0003", "0004"})
        insertDays(branch, "01", {QDate(2026, 1, 5), QDate(2026, 3, 5), QDate(2027, 5, 5)});
    QTemporaryDir dir;
    m_env.dialogs.previewFile = dir.filePath("preview.pdf");
    m_env.dialogs.printFile = dir.filePath("print.pdf");
    m_env.dialogs.saveAnswer = dir.filePath("saved.pdf");
    setMonths(first, last);
    m_dialog->sbtPreview->click();
    m_dialog->sbtPrint->click();
    m_dialog->sbtSalvarComo->click();
    QVERIFY2(m_env.dialogs.texts().isEmpty(), qPrintable(m_env.dialogs.texts().join('\n')));

    // Each page as the calendars and months it shows: the glyphs' places may differ by a point.
    const QRegularExpression landmark(QStringLiteral("Filial \\d{4}|Periodicidade \\d{2}|"
                                                     "\\w+ de \\d{4}|Página \\d+ de \\d+"));
    QList<QStringList> outputs;
    for (const char *file : {"preview.pdf", "print.pdf", "saved.pdf"}) {
        QProcess process;
        process.start(pdftotext, {dir.filePath(QLatin1String(file)), "-"});
        QVERIFY(process.waitForFinished());
        QStringList pages;
        for (const QString &page : QString::fromUtf8(process.readAllStandardOutput()).split('\f')) {
            QStringList found;
            for (auto it = landmark.globalMatch(page); it.hasNext();)
                found.append(it.next().captured(0));
            pages.append(found.join('|'));
        }
        outputs.append(pages);
    }
    QVERIFY(outputs[0].size() > 1);
    QCOMPARE(outputs[1], outputs[0]);
    QCOMPARE(outputs[2], outputs[0]);
}

void tst_cli_qmr07701::savedCsvIsForASpreadsheet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("line");
    QTest::newRow("the demo branch")
        << "Matriz São Paulo"
        << "0001;Matriz São Paulo;01;Produção Semanal (seg–sex);02/03/2026";
    QTest::newRow("the separator in a name")
        << "Matriz; \"Centro\""
        << "0001;\"Matriz; \"\"Centro\"\"\";01;Produção Semanal (seg–sex);02/03/2026";
}

void tst_cli_qmr07701::savedCsvIsForASpreadsheet()
{
    QFETCH(QString, name);
    QFETCH(QString, line);
    insertDays("0001", "01", {QDate(2026, 3, 2)});
    QVERIFY(m_env.fixture.database().exec("UPDATE FILIAL SET NMFILIAL = ? WHERE CDFILIAL = '0001'",
                                          {name}));
    QTemporaryDir dir;
    m_env.dialogs.saveAnswer = dir.filePath("calendario.csv");
    setMonths("03/2026", "03/2026");
    m_dialog->ppmSalvarRelatorio->actions().at(1)->trigger();
    QVERIFY(m_env.fixture.database().exec(
        "UPDATE FILIAL SET NMFILIAL = 'Matriz São Paulo' WHERE CDFILIAL = '0001'"));
    QFile csv(dir.filePath("calendario.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(csv.readAll()),
             "\uFEFFFilial;Nome da filial;Periodicidade;Nome da periodicidade;Dia de produção\r\n" +
                 line + "\r\n");
}

void tst_cli_qmr07701::missingDefinitionNamesCodeAndDirectory()
{
    QTemporaryDir dir;
    qputenv("CALEPRODU_REPORTS_DIR", dir.path().toUtf8());
    setMonths("01/2026", "01/2026");
    m_dialog->sbtPrint->click();
    QCOMPARE(m_env.dialogs.texts(),
             QStringList{QStringLiteral("O arquivo contendo a definição do Relatório de código "
                                        "'QMR077' não foi encontrado no diretório '%1'.")
                             .arg(dir.path())});
}

void tst_cli_qmr07701::parameterTheQueryLacksEndsTheRun()
{
    QTemporaryDir dir;
    QFile source(host::ReportsDirectory() + "/QMR077.json");
    QVERIFY(source.open(QIODevice::ReadOnly));
    QByteArray definition = source.readAll();
    definition.replace("AND :P_DTFIM", "AND '9999-12-31'");
    QFile copy(dir.filePath("QMR077.json"));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(definition);
    copy.close();
    qputenv("CALEPRODU_REPORTS_DIR", dir.path().toUtf8());
    setMonths("01/2026", "01/2026");
    m_env.dialogs.previewFile = dir.filePath("preview.pdf");
    m_dialog->sbtPreview->click();
    QCOMPARE(m_env.dialogs.texts(), QStringList{"QMR077: parâmetro 'P_DTFIM' não encontrado."});
    QCOMPARE(m_env.dialogs.previews, 0);
}

void tst_cli_qmr07701::eachOpeningCreatesANewDialog()
{
    // Each opening shows its own modal dialog; the one before is gone by then.
    QList<QObject *> shown;
    QPointer<TfrmListCaleProdu> first;
    const auto closeWhenShown = [&] {
        QTimer::singleShot(0, this, [&] {
            shown.append(QApplication::activeModalWidget());
            QVERIFY(frmListCaleProdu && shown.last() == frmListCaleProdu.data());
            if (!first)
                first = frmListCaleProdu;
            frmListCaleProdu->close();
        });
    };
    closeWhenShown();
    CriaListCaleProdu();
    QVERIFY(first.isNull());
    closeWhenShown();
    CriaListCaleProdu();
    QCOMPARE(shown.size(), 2);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void tst_cli_qmr07701::calendarPrintButtonOpensTheDialog()
{
    QList<QVariantList> calls;
    // The dialogs of the tests before took the platform's activation.
    m_env.window->windowHandle()->requestActivate();
    Cli_qmr07700::TfrmCaleProdu *screen = calendartest::OpenScreen(m_env, this, &calls);
    QVERIFY(screen);
    stListaFili = QStringLiteral("0004");
    QString shownList = QStringLiteral("not shown");
    QTimer::singleShot(0, this, [&] {
        if (auto *dialog = qobject_cast<TfrmListCaleProdu *>(QApplication::activeModalWidget())) {
            QVERIFY(QTest::qWaitFor([dialog] { return dialog->isActiveWindow(); }));
            shownList = stListaFili;
            QVERIFY(dialog->depIni->Text().isEmpty());
            dialog->close();
        }
    });
    screen->sbtImprimir->click();
    QCOMPARE(shownList, QString());
    QVERIFY(calls.isEmpty());
    calendartest::CloseScreens(m_env);
}

QTEST_MAIN(tst_cli_qmr07701)
#include "tst_cli_qmr07701.moc"
