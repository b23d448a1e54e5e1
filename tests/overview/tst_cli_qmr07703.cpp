// The overview screen: its warning texts, its marks against the reference branch, and a row
// opening the calendar screen on that row's calendar.

#include "calendar/cli_qmr07700.h"
#include "export/cli_qmr07702.h"
#include "overview/cli_qmr07703.h"

#include "controls/tmaskedit.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "data/tclientdataset.h"
#include "mainwindow.h"
#include "screenenvironment.h"
#include "screens/tchangeswindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

extern "C" void Initialize();

using namespace Cli_qmr07703;

class tst_cli_qmr07703 : public QObject
{
    Q_OBJECT

    testsupport::ScreenEnvironment m_env;

    // Stores production days of periodicity 01 as "branch=YYYY-MM-DD".
    void addDays(const QStringList &days)
    {
        for (const QString &day : days) {
            const QStringList parts = day.split(QLatin1Char('='));
            QVERIFY(m_env.fixture.database().exec(
                QStringLiteral("INSERT INTO CALEPRODUCAO VALUES (?, '01', ?)"),
                {parts.at(0), parts.at(1)}));
        }
        QVERIFY(m_env.fixture.database().recount());
    }
    TfrmVisaoGeral *openOverview(bool onlyWarnings = false)
    {
        TfrmVisaoGeral *screen = CriaVisaoGeral();
        screen->ShowOverview(QStringLiteral("01"), 2026, onlyWarnings);
        return screen;
    }
    void select(TfrmVisaoGeral *screen, const QList<int> &rows)
    {
        screen->grdMeses->clearSelection();
        for (int row : rows)
            screen->grdMeses->selectionModel()->select(screen->grdMeses->model()->index(row, 0),
                                                       QItemSelectionModel::Select |
                                                           QItemSelectionModel::Rows);
    }
    QString text(TfrmVisaoGeral *screen, int row, int column)
    {
        QTableWidgetItem *item = screen->grdMeses->item(row, column);
        return item ? item->text() : QString();
    }

private slots:
    void initTestCase()
    {
        CALEPRODU_START_SCREENS(m_env);
        Initialize();
        QApplication::setActiveWindow(m_env.window.get());
    }
    void init() { m_env.reset(); }
    void cleanupTestCase()
    {
        m_env.mdiArea->closeAllSubWindows();
        QTRY_VERIFY(frmVisaoGeral.isNull());
    }

    // Situação of branches 0001 to 0005, worst first.
    void situations_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<bool>("dropNextYearHolidays");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("horizon bounds, no calendar")
            << QDate(2026, 3, 10)
            << QStringList{"0001=2026-12-31", "0002=2026-05-01", "0003=2026-06-09",
                           "0005=2026-06-08"}
            << false
            << QStringList{"OK", "Termina em 52 dias", "OK", "Sem calendário",
                           "Termina em 90 dias"};
        QTest::newRow("calendar already ended")
            << QDate(2026, 3, 10) << QStringList{"0001=2026-02-27"} << false
            << QStringList{"Termina em 0 dias", "Sem calendário", "Sem calendário",
                           "Sem calendário", "Sem calendário"};
        QTest::newRow("next year's holidays missing after 1 October")
            << QDate(2026, 10, 2) << QStringList{"0001=2026-01-05", "0001=2027-12-31"} << true
            << QStringList{"Feriados de 2027 ausentes", "Sem calendário", "Sem calendário",
                           "Sem calendário", "Sem calendário"};
        QTest::newRow("holidays present, or not yet due")
            << QDate(2026, 10, 1) << QStringList{"0001=2027-12-31"} << true
            << QStringList{"OK", "Sem calendário", "Sem calendário", "Sem calendário",
                           "Sem calendário"};
    }

    void situations()
    {
        QFETCH(QDate, today);
        QFETCH(QStringList, days);
        QFETCH(bool, dropNextYearHolidays);
        QFETCH(QStringList, expected);
        m_env.clock.now = QDateTime(today, QTime(9, 0));
        addDays(days);
        if (dropNextYearHolidays)
            QVERIFY(m_env.fixture.database().exec(QStringLiteral(
                "DELETE FROM FERIADO WHERE DTFERICOMP BETWEEN '2027-01-01' AND '2027-12-31'")));
        TfrmVisaoGeral *screen = openOverview();
        QStringList got;
        for (int row = 0; row < screen->grdMeses->rowCount(); ++row)
            got << text(screen, row, 16);
        QCOMPARE(got, expected);
        // Only the live rows in warning stay with "Somente com aviso" (0003 is rescinded).
        expected.removeAt(2);
        screen->chkSomenteAviso->setChecked(true);
        QCOMPARE(screen->grdMeses->rowCount(),
                 int(expected.size() - expected.count(QStringLiteral("OK"))));
    }

    // Months of branch 0002 that differ from reference 0001 are marked, by colour and by text.
    void referenceMarks_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QList<int>>("marked");
        QTest::newRow("reference 0001") << QStringLiteral("0001") << QList<int>{2, 3};
        QTest::newRow("no reference") << QString() << QList<int>{};
        QTest::newRow("itself as reference") << QStringLiteral("0002") << QList<int>{};
    }

    void referenceMarks()
    {
        QFETCH(QString, reference);
        QFETCH(QList<int>, marked);
        addDays({"0001=2026-01-05", "0001=2026-02-02", "0002=2026-01-06", "0002=2026-02-03",
                 "0002=2026-02-04", "0002=2026-03-02"});
        TfrmVisaoGeral *screen = openOverview();
        screen->medCdFilialRef->SetText(reference);
        screen->ShowOverview(QStringLiteral("01"), 2026, false);
        QList<int> got;
        for (int month = 1; month <= 12; ++month) {
            QTableWidgetItem *item = screen->grdMeses->item(1, 1 + month);
            const QString why = item->data(Qt::AccessibleDescriptionRole).toString();
            QCOMPARE(why.isEmpty(), item->background().style() == Qt::NoBrush);
            if (!why.isEmpty())
                got << month;
        }
        QCOMPARE(got, marked);
        QCOMPARE(screen->grdMeses->accessibleName(), QStringLiteral("Meses por Filial"));
    }

    // Enter on a row opens the calendar screen on that row's branch, periodicity and year.
    void rowOpensCalendar_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("branch");
        QTest::addColumn<int>("days");
        QTest::newRow("second row") << 1 << QStringLiteral("0002") << 2;
        QTest::newRow("fifth row") << 4 << QStringLiteral("0005") << 1;
    }

    void rowOpensCalendar()
    {
        QFETCH(int, row);
        QFETCH(QString, branch);
        QFETCH(int, days);
        addDays({"0002=2026-04-06", "0002=2026-04-07", "0005=2026-04-08", "0001=2026-04-09"});
        TfrmVisaoGeral *screen = openOverview();
        screen->grdMeses->setFocus();
        screen->grdMeses->setCurrentCell(row, 0);
        QTest::keyClick(screen->grdMeses, Qt::Key_Return);
        QTRY_VERIFY(Cli_qmr07700::frmCaleProdu);
        Cli_qmr07700::TfrmCaleProdu *calendar = Cli_qmr07700::frmCaleProdu;
        QCOMPARE(calendar->medCdFilial->Text(), branch);
        QCOMPARE(calendar->medCdPeriodicidade->Text(), QStringLiteral("01"));
        QCOMPARE(calendar->speYear->Value(), 2026);
        QCOMPARE(calendar->cdsCaleProdu->RecordCount(), days);
    }

    // The preview first, then one confirmation for all selected rows; rescinded branches are left
    // out; a summary says what changed per branch and offers to undo all of it.
    void calculatesYearOnSelected_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("calculated");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("two live and a rescinded one")
            << QList<int>{1, 2, 4} << QList<int>{mrYes, mrNo} << QStringList{"0002", "0005"} << 2;
        QTest::newRow("declined") << QList<int>{1} << QList<int>{mrNo} << QStringList() << 1;
        QTest::newRow("undone") << QList<int>{1, 2, 4} << QList<int>{mrYes, mrYes} << QStringList()
                                << 3;
    }

    void calculatesYearOnSelected()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, calculated);
        QFETCH(int, dialogs);
        m_env.context.processingDate = QDate(2026, 1, 1);
        TfrmVisaoGeral *screen = openOverview();
        select(screen, rows);
        m_env.dialogs.clear();
        m_env.dialogs.answers = answers;
        QString title;
        QTimer timer;
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, this, [&timer, &title] {
            auto *window = qobject_cast<TChangesWindow *>(QApplication::activeModalWidget());
            if (!window)
                return;
            timer.stop();
            title = window->windowTitle();
            for (QPushButton *button : window->findChildren<QPushButton *>())
                if (button->accessibleName() == QLatin1String("Calcular"))
                    button->click();
        });
        timer.start();
        screen->sbtCalcAnoClick(screen->sbtCalcAno);
        QCOMPARE(title, QStringLiteral("Prévia do Cálculo nas Selecionadas"));
        QStringList withDays;
        for (int row = 0; row < screen->grdMeses->rowCount(); ++row) {
            if (text(screen, row, 14) != QLatin1String("0"))
                withDays << text(screen, row, 0);
        }
        QCOMPARE(withDays, calculated);
        const QStringList shown = m_env.dialogs.texts();
        QVERIFY(shown.value(0).contains(
            QStringLiteral("nas %1 filiais").arg(rows.size() == 1 ? 1 : 2)));
        QCOMPARE(shown.size(), dialogs);
        for (const QString &code : calculated)
            QVERIFY2(shown.value(1).contains(code + QStringLiteral(": 0 → ")),
                     qPrintable(shown.value(1)));
    }

    // The export dialog opens from the reference branch towards the selected live rows.
    void exportsToSelected()
    {
        addDays({"0001=2026-04-06"});
        TfrmVisaoGeral *screen = openOverview();
        screen->medCdFilialRef->SetText(QStringLiteral("0001"));
        select(screen, {0, 1, 2, 4});
        QString source;
        QString destinations;
        QTimer::singleShot(0, screen, [&] {
            QTRY_VERIFY(Cli_qmr07702::frmExportCaleProdu &&
                        !Cli_qmr07702::frmExportCaleProdu->PrimAtiv());
            source = Cli_qmr07702::frmExportCaleProdu->medCdFilial->Text();
            destinations = Cli_qmr07702::frmExportCaleProdu->ListaFiliDest();
            Cli_qmr07702::frmExportCaleProdu->close();
        });
        screen->sbtExportarClick(screen->sbtExportar);
        QCOMPARE(source, QStringLiteral("0001"));
        QCOMPARE(destinations, QStringLiteral("0002,0005"));
    }

    // The grid as shown goes to the preview (and from it to the printer) and to PDF or CSV files.
    void printsAndSavesGrid_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("begins");
        QTest::newRow("csv for a spreadsheet")
            << QStringLiteral("visao.csv")
            << QStringLiteral(
                   "\uFEFFFilial;Nome;Jan;Fev;Mar;Abr;Mai;Jun;Jul;Ago;Set;Out;Nov;Dez;"
                   "Total;Último Dia;Situação\r\n0001;Matriz São Paulo;0;0;0;1;0;0;0;0;0;0;0;"
                   "0;1;06/04/2026;Termina em 27 dias\r\n");
        QTest::newRow("pdf") << QStringLiteral("visao.pdf") << QStringLiteral("%PDF");
        QTest::newRow("preview") << QString() << QStringLiteral("%PDF");
    }

    void printsAndSavesGrid()
    {
        QFETCH(QString, file);
        QFETCH(QString, begins);
        addDays({"0001=2026-04-06"});
        TfrmVisaoGeral *screen = openOverview(true);
        QTemporaryDir dir;
        const QString path = dir.filePath(file.isEmpty() ? QStringLiteral("preview.pdf") : file);
        m_env.dialogs.saveAnswer = path;
        m_env.dialogs.previewFile = path;
        if (file.isEmpty())
            screen->sbtImprimirClick(nullptr);
        else
            screen->mnuSalvarComoClick(nullptr);
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        QVERIFY2(bytes.startsWith(begins.toUtf8()), bytes.left(300).constData());
    }

    // The start-up warning counts live branches in warning; its button opens the overview on them.
    void startupWarning_data()
    {
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<QString>("expected");
        const QStringList allLive{"0001=2026-12-31", "0002=2026-12-31", "0004=2026-12-31",
                                  "0005=2026-12-31"};
        QTest::newRow("none in warning, rescinded one left out") << allLive << QString();
        QTest::newRow("one ending, one without calendar")
            << QStringList{"0001=2026-12-31", "0002=2026-04-01", "0004=2026-12-31"}
            << QStringLiteral("2 filiais com calendário a vencer");
    }

    void startupWarning()
    {
        QFETCH(QStringList, days);
        QFETCH(QString, expected);
        addDays(days);
        QCOMPARE(AvisoInicial(QStringLiteral("01")), expected);
        if (expected.isEmpty())
            return;
        MainWindow window([] {});
        bool opened = false;
        window.showCalendarWarning(expected, [&] { opened = true; });
        auto *button = window.findChild<QPushButton *>(QStringLiteral("btnAvisoCalendario"));
        QVERIFY(button);
        QCOMPARE(button->accessibleName(), expected);
        button->click();
        QVERIFY(opened);
        IniProcAvisos(QStringLiteral("01"));
        QVERIFY(frmVisaoGeral->chkSomenteAviso->isChecked());
        QCOMPARE(frmVisaoGeral->grdMeses->rowCount(), 2);
    }
};

QTEST_MAIN(tst_cli_qmr07703)
#include "tst_cli_qmr07703.moc"
