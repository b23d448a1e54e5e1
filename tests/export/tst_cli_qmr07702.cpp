#include "export/cli_qmr07702.h"
#include "screens/tchangeswindow.h"

#include "../calendar/calendarscreen.h"
#include "screenenvironment.h"

#include "controls/tanimate.h"
#include "controls/tbtnpesquisa.h"
#include "controls/tdateeditplus.h"
#include "controls/tedit.h"
#include "controls/tmaskedit.h"
#include "controls/tpanel.h"
#include "controls/tradiobutton.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "core/focustracker.h"
#include "data/tdataset.h"

#include <QAction>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

extern "C" void Initialize();

using namespace Cli_qmr07702;

class tst_cli_qmr07702 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void openingPresetsTheMonths_data();
    void openingPresetsTheMonths();
    void firstActivationCompletesTheBranch_data();
    void firstActivationCompletesTheBranch();
    void branchLookupOffersBranchesWithACalendar_data();
    void branchLookupOffersBranchesWithACalendar();
    void clearingTheBranchDropsTheDestinations();
    void focusedCodeIsCheckedFirst_data();
    void focusedCodeIsCheckedFirst();
    void missingDestinationStopsOnLista_data();
    void missingDestinationStopsOnLista();
    void copiesTheMonthsToTheDestinations_data();
    void copiesTheMonthsToTheDestinations();
    void sourceWithoutDaysInRangeCopiesNothing();
    void copyReachingNoBranchSaysSo_data();
    void copyReachingNoBranchSaysSo();
    void failedCopyHidesTheProgress();
    void closedCalendarScreenIsRefused();
    void exportCommandOpensTheDialog_data();
    void exportCommandOpensTheDialog();
    void fieldsAreNamedByTheirLabels();
    void previewShowsTheCopyBeforeItRuns_data();
    void previewShowsTheCopyBeforeItRuns();

private:
    // Runs a step on the export dialog once it is shown modally, and closes it.
    void whenShown(QTimer &timer, const std::function<void(TfrmExportCaleProdu *)> &step);
    TfrmExportCaleProdu *openDialog(const QString &branch, const QString &periodicity,
                                    const QString &year);
    void seed(const QString &branch, const QString &periodicity, const QStringList &dates);
    QStringList calendarOf(const QString &branch);
    QVariantList lastCall(const QString &method) const;

    testsupport::ScreenEnvironment m_env;
    Cli_qmr07700::TfrmCaleProdu *m_screen = nullptr;
    QList<QVariantList> m_calls;
};

void tst_cli_qmr07702::initTestCase()
{
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
    // Every branch open from 2000 on: the copies below write 2005.
    QVERIFY(m_env.fixture.database().exec(
        QStringLiteral("UPDATE FILIAL SET DTPROCESSA = '2000-01-01'")));
}

void tst_cli_qmr07702::init()
{
    m_env.reset();
    m_env.dialogs.listAnswers.clear();
    m_calls.clear();
    // A closed dialog can leave no window focused; the main window takes it back.
    m_env.window->windowHandle()->requestActivate();
    m_screen = calendartest::OpenScreen(m_env, this, &m_calls);
    QVERIFY(m_screen);
}

void tst_cli_qmr07702::cleanup()
{
    if (frmExportCaleProdu)
        frmExportCaleProdu->close();
    QVERIFY(QTest::qWaitFor([] { return frmExportCaleProdu.isNull(); }));
    calendartest::CloseScreens(m_env);
}

void tst_cli_qmr07702::cleanupTestCase()
{
    calendartest::CloseScreens(m_env);
}

TfrmExportCaleProdu *tst_cli_qmr07702::openDialog(const QString &branch, const QString &periodicity,
                                                  const QString &year)
{
    TfrmExportCaleProdu *dialog = CreateExportDialog(branch, periodicity, year);
    dialog->show();
    QApplication::setActiveWindow(dialog);
    if (!QTest::qWaitFor([dialog] { return !dialog->PrimAtiv(); }))
        return nullptr;
    m_calls.clear();
    return dialog;
}

void tst_cli_qmr07702::whenShown(QTimer &timer,
                                 const std::function<void(TfrmExportCaleProdu *)> &step)
{
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, [&timer, step] {
        TfrmExportCaleProdu *dialog = frmExportCaleProdu;
        if (!dialog || QApplication::activeModalWidget() != dialog)
            return;
        timer.stop();
        step(dialog);
        dialog->close();
    });
    timer.start();
}

void tst_cli_qmr07702::seed(const QString &branch, const QString &periodicity,
                            const QStringList &dates)
{
    for (const QString &date : dates)
        QVERIFY(m_env.fixture.database().exec(
            QStringLiteral("INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) "
                           "VALUES (?, ?, ?)"),
            {branch, periodicity, date}));
}

QStringList tst_cli_qmr07702::calendarOf(const QString &branch)
{
    QStringList rows;
    for (const QString &row : m_env.fixture.database().calendar())
        if (row.startsWith(branch + QLatin1Char('/')))
            rows << row.mid(5);
    return rows;
}

QVariantList tst_cli_qmr07702::lastCall(const QString &method) const
{
    for (auto it = m_calls.crbegin(); it != m_calls.crend(); ++it)
        if (it->first().toString() == method)
            return it->mid(1);
    return {};
}

void tst_cli_qmr07702::openingPresetsTheMonths_data()
{
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("month");
    QTest::newRow("year 2005") << "2005"
                               << "01/2005";
    QTest::newRow("no year at all") << "abc"
                                    << "";
    QTest::newRow("year 0") << "0"
                            << "";
}

void tst_cli_qmr07702::openingPresetsTheMonths()
{
    QFETCH(QString, year);
    QFETCH(QString, month);

    QString seenIni = QStringLiteral("?");
    QString seenFim = QStringLiteral("?");
    bool busyWhileShown = true;
    QTimer timer;
    whenShown(timer, [&](TfrmExportCaleProdu *dialog) {
        seenIni = dialog->depDtIni->Text();
        seenFim = dialog->depDtFim->Text();
        busyWhileShown = QGuiApplication::overrideCursor() != nullptr;
    });
    CriaExportCaleProdu(QStringLiteral("0001"), QStringLiteral("01"), year);
    QCOMPARE(seenIni, month);
    QCOMPARE(seenFim, month);
    QVERIFY(!busyWhileShown);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void tst_cli_qmr07702::firstActivationCompletesTheBranch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("messageOnExport");
    QTest::newRow("short code completed") << "1"
                                          << "0001"
                                          << "Matriz São Paulo"
                                          << "Periodicidade deve ser informada.";
    QTest::newRow("unknown code, silent until export") << "0099"
                                                       << "0099"
                                                       << ""
                                                       << "Filial não cadastrada.";
}

void tst_cli_qmr07702::firstActivationCompletesTheBranch()
{
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, messageOnExport);

    seed(QStringLiteral("0001"), QStringLiteral("01"), {QStringLiteral("2026-03-02")});
    TfrmExportCaleProdu *dialog = openDialog(typed, QString(), QStringLiteral("2026"));
    QVERIFY(dialog);
    QCOMPARE(dialog->medCdFilial->Text(), code);
    QCOMPARE(dialog->edtNmFilial->Text(), name);
    QCOMPARE(dialog->ListaFiliDest(), QStringLiteral("T"));
    QVERIFY(dialog->rbtTodas->Checked() && dialog->rbtTodas->isEnabled());
    QVERIFY(!dialog->sbtFilialDest->isEnabled());
    QVERIFY(m_env.dialogs.messages.isEmpty());

    QTest::mouseClick(dialog->sbtImportExport, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.texts(), QStringList{messageOnExport});
}

void tst_cli_qmr07702::branchLookupOffersBranchesWithACalendar_data()
{
    QTest::addColumn<QStringList>("withCalendar");
    QTest::addColumn<QString>("message");
    QTest::newRow("two branches") << QStringList{"0001", "0004"} << "";
    QTest::newRow("none") << QStringList{} << "Filial não possui calendário de produção.";
}

void tst_cli_qmr07702::branchLookupOffersBranchesWithACalendar()
{
    QFETCH(QStringList, withCalendar);
    QFETCH(QString, message);

    for (const QString &branch : withCalendar)
        seed(branch, QStringLiteral("01"), {QStringLiteral("2026-03-02")});
    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0002"), QStringLiteral("01"), QStringLiteral("2026"));
    QVERIFY(dialog);
    m_env.dialogs.lookupAnswers << 1;
    QTest::mouseClick(dialog->btpFilial, Qt::LeftButton);
    QCOMPARE(lastCall(QStringLiteral("GetExpCaleProdu")), (QVariantList{"", "T"}));
    if (!message.isEmpty()) {
        QCOMPARE(m_env.dialogs.texts(), QStringList{message});
        QVERIFY(m_env.dialogs.lookups.isEmpty());
        QCOMPARE(dialog->medCdFilial->Text(), QStringLiteral("0002"));
        return;
    }
    QCOMPARE(m_env.dialogs.lookups.size(), 1);
    QStringList offered;
    for (const QStringList &row : m_env.dialogs.lookups.first().rows)
        offered << row.first();
    QCOMPARE(offered, withCalendar);
    QCOMPARE(dialog->medCdFilial->Text(), QStringLiteral("0004"));
    QCOMPARE(dialog->edtNmFilial->Text(), QStringLiteral("Filial Curitiba"));
}

void tst_cli_qmr07702::clearingTheBranchDropsTheDestinations()
{
    seed(QStringLiteral("0001"), QStringLiteral("01"), {QStringLiteral("2026-01-05")});
    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2026"));
    QVERIFY(dialog);
    QTest::mouseClick(dialog->rbtLista, Qt::LeftButton);
    QVERIFY(dialog->sbtFilialDest->isEnabled());
    QTest::mouseClick(dialog->rbtTodas, Qt::LeftButton);

    dialog->medCdFilial->SetText(QString());
    QVERIFY(!dialog->rbtTodas->isEnabled());
    QVERIFY(!dialog->rbtLista->isEnabled());
    QVERIFY(!dialog->sbtFilialDest->isEnabled());
    QVERIFY(dialog->ListaFiliDest().isEmpty());
    // Leaving an empty branch says nothing.
    dialog->medCdFilialExit(dialog->medCdFilial);
    QVERIFY(m_env.dialogs.messages.isEmpty());

    // Typed again, Todas still shows checked but no destination is chosen any more.
    dialog->medCdFilial->SetText(QStringLiteral("0001"));
    QVERIFY(dialog->rbtTodas->Checked() && dialog->rbtTodas->isEnabled());
    QTest::mouseClick(dialog->sbtImportExport, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.texts(), QStringList{"Filial destino deve ser informada."});
    QVERIFY(lastCall(QStringLiteral("GetInsDel")).isEmpty());
}

void tst_cli_qmr07702::focusedCodeIsCheckedFirst_data()
{
    QTest::addColumn<bool>("inPeriodicity");
    QTest::addColumn<QString>("message");
    QTest::newRow("typing the periodicity") << true << "Periodicidade não cadastrada.";
    QTest::newRow("focus elsewhere") << false << "Filial não cadastrada.";
}

void tst_cli_qmr07702::focusedCodeIsCheckedFirst()
{
    QFETCH(bool, inPeriodicity);
    QFETCH(QString, message);

    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0099"), QStringLiteral("99"), QStringLiteral("2026"));
    QVERIFY(dialog);
    QWidget *focused = inPeriodicity ? static_cast<QWidget *>(dialog->medCdPeriodicidade)
                                     : static_cast<QWidget *>(dialog->depDtFim);
    host::FocusTracker::instance()->Focus(focused);
    QTest::mouseClick(dialog->sbtImportExport, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.texts(), QStringList{message});
    QWidget *expected = inPeriodicity ? static_cast<QWidget *>(dialog->medCdPeriodicidade)
                                      : static_cast<QWidget *>(dialog->medCdFilial);
    QCOMPARE(host::FocusTracker::instance()->LogicalFocus(dialog), expected);
}

void tst_cli_qmr07702::missingDestinationStopsOnLista_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("list search cancelled") << true;
    QTest::newRow("nothing chosen") << false;
}

void tst_cli_qmr07702::missingDestinationStopsOnLista()
{
    QFETCH(bool, cancelled);

    seed(QStringLiteral("0001"), QStringLiteral("01"), {QStringLiteral("2026-01-05")});
    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2026"));
    QVERIFY(dialog);
    QTest::mouseClick(dialog->rbtLista, Qt::LeftButton);
    m_env.dialogs.listAnswers << (cancelled ? std::nullopt : std::optional(QList<int>{}));
    QTest::mouseClick(dialog->sbtFilialDest, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.listSearches.size(), 1);

    QTest::mouseClick(dialog->sbtImportExport, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.texts(), QStringList{"Filial destino deve ser informada."});
    QCOMPARE(host::FocusTracker::instance()->LogicalFocus(dialog),
             static_cast<QWidget *>(dialog->rbtLista));
    QVERIFY(lastCall(QStringLiteral("GetInsDel")).isEmpty());
}

void tst_cli_qmr07702::copiesTheMonthsToTheDestinations_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("listSent");
    QTest::addColumn<QString>("flagSent");
    QTest::addColumn<QStringList>("destinations");
    QTest::newRow("Todas") << "todas"
                           << ""
                           << "T" << QStringList{"0002", "0004", "0005"};
    QTest::newRow("Lista by its button") << "button"
                                         << "0002,0005"
                                         << " " << QStringList{"0002", "0005"};
    QTest::newRow("Lista by F9") << "f9"
                                 << "0002,0005"
                                 << " " << QStringList{"0002", "0005"};
}

void tst_cli_qmr07702::previewShowsTheCopyBeforeItRuns_data()
{
    QTest::addColumn<bool>("list");
    QTest::addColumn<QString>("command"); // the preview window's button pressed
    QTest::addColumn<QStringList>("destinations");
    QTest::newRow("every branch, closed")
        << false << "Fechar" << QStringList{"0002", "0004", "0005"};
    QTest::newRow("every branch, exported")
        << false << "Exportar" << QStringList{"0002", "0004", "0005"};
    QTest::newRow("a list, exported") << true << "Exportar" << QStringList{"0002", "0005"};
}

void tst_cli_qmr07702::previewShowsTheCopyBeforeItRuns()
{
    QFETCH(bool, list);
    QFETCH(QString, command);
    QFETCH(QStringList, destinations);
    seed(QStringLiteral("0001"), QStringLiteral("01"), {"2005-01-03", "2005-01-04", "2005-02-01"});
    for (const QString &branch : QStringList{"0002", "0004", "0005"})
        seed(branch, QStringLiteral("01"), {"2005-01-10", "2005-02-28", "2005-03-07"});
    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2005"));
    QVERIFY(dialog);
    dialog->depDtFim->SetText(QStringLiteral("02/2005"));
    if (list) {
        QTest::mouseClick(dialog->rbtLista, Qt::LeftButton);
        m_env.dialogs.listAnswers << std::optional(QList<int>{0, 3});
        QTest::mouseClick(dialog->sbtFilialDest, Qt::LeftButton);
    }
    const QStringList before = m_env.fixture.database().calendar();
    QCOMPARE(dialog->sbtPrevia->accessibleName(), QStringLiteral("Prévia da Exportação"));

    QList<QStringList> shown;
    QStringList days;
    QTimer timer;
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, [&] {
        auto *window = qobject_cast<TChangesWindow *>(QApplication::activeModalWidget());
        if (!window)
            return;
        timer.stop();
        QCOMPARE(window->windowTitle(), QStringLiteral("Prévia da Exportação"));
        for (int row = 0; row < window->Table()->rowCount(); ++row) {
            QStringList cells;
            for (int column : {0, 2, 3})
                cells << window->Table()->item(row, column)->text();
            shown << cells;
        }
        window->Table()->selectRow(0);
        window->DetailsButton()->click();
        for (int row = 0; row < window->Details()->count(); ++row)
            days << window->Details()->item(row)->text();
        for (QPushButton *button : window->findChildren<QPushButton *>())
            if (button->accessibleName() == command)
                button->click();
    });
    timer.start();
    QTest::mouseClick(dialog->sbtPrevia, Qt::LeftButton);

    QList<QStringList> expected;
    for (const QString &branch : destinations)
        expected << QStringList{branch, "3", "2"};
    expected << QStringList{"Total", QString::number(3 * destinations.size()),
                            QString::number(2 * destinations.size())};
    QCOMPARE(shown, expected);
    QCOMPARE(days,
             (QStringList{"03/01/2005  incluído", "04/01/2005  incluído", "10/01/2005  excluído",
                          "01/02/2005  incluído", "28/02/2005  excluído"}));
    if (command == QLatin1String("Fechar")) {
        QCOMPARE(m_env.fixture.database().calendar(), before);
        QVERIFY(m_env.dialogs.texts().isEmpty());
        return;
    }
    QCOMPARE(m_env.dialogs.texts(), QStringList{"A exportação foi realizada com sucesso."});
    for (const QString &branch : destinations)
        QCOMPARE(calendarOf(branch),
                 (QStringList{"01/2005-01-03", "01/2005-01-04", "01/2005-02-01", "01/2005-03-07"}));
}

void tst_cli_qmr07702::copiesTheMonthsToTheDestinations()
{
    QFETCH(QString, how);
    QFETCH(QString, listSent);
    QFETCH(QString, flagSent);
    QFETCH(QStringList, destinations);

    const QStringList source{"2005-01-03", "2005-01-04", "2005-02-01", "2005-03-01"};
    seed(QStringLiteral("0001"), QStringLiteral("01"), source);
    // Every destination held other days in those months, and one day after them.
    for (const QString &branch : QStringList{"0002", "0004", "0005"})
        seed(branch, QStringLiteral("01"), {"2005-01-10", "2005-02-28", "2005-03-07"});

    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2005"));
    QVERIFY(dialog);
    dialog->depDtFim->SetText(QStringLiteral("02/2005"));
    if (how != QLatin1String("todas")) {
        QTest::mouseClick(dialog->rbtLista, Qt::LeftButton);
        // Offered rows: 0002, 0003, 0004, 0005 — the source is never among them.
        m_env.dialogs.listAnswers << std::optional(QList<int>{0, 3});
        if (how == QLatin1String("f9")) {
            SetFocus(dialog->rbtLista);
            QTest::keyClick(dialog->rbtLista, Qt::Key_F9);
        } else {
            QTest::mouseClick(dialog->sbtFilialDest, Qt::LeftButton);
        }
        QCOMPARE(m_env.dialogs.listSearches.size(), 1);
        QStringList offered;
        for (const QStringList &row : m_env.dialogs.listSearches.first().rows)
            offered << row.first();
        QCOMPARE(offered, (QStringList{"0002", "0003", "0004", "0005"}));
    }

    QTest::mouseClick(dialog->sbtImportExport, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.texts(), QStringList{"A exportação foi realizada com sucesso."});
    QCOMPARE(m_env.dialogs.messages.first().kind, TMsgDlgType::mtInformation);
    QCOMPARE(m_env.dialogs.messages.first().buttons, mbOK);
    const QVariantList copy = lastCall(QStringLiteral("GetInsDel"));
    QCOMPARE(copy.value(2).toString(), listSent);
    QCOMPARE(copy.value(3).toString(), flagSent);
    QCOMPARE(copy.value(4).toDate(), QDate(2005, 1, 1));
    QCOMPARE(copy.value(5).toDate(), QDate(2005, 2, 1));

    for (const QString &branch : QStringList{"0002", "0004", "0005"}) {
        const QStringList expected =
            destinations.contains(branch)
                ? QStringList{"01/2005-01-03", "01/2005-01-04", "01/2005-02-01", "01/2005-03-07"}
                : QStringList{"01/2005-01-10", "01/2005-02-28", "01/2005-03-07"};
        QCOMPARE(calendarOf(branch), expected);
    }
    QVERIFY(calendarOf(QStringLiteral("0003")).isEmpty());
    QCOMPARE(calendarOf(QStringLiteral("0001")).size(), source.size());
    // The dialog stays as it was, ready for another run.
    QVERIFY(!dialog->panAnimacao->isVisible());
    QCOMPARE(dialog->depDtFim->Text(), QStringLiteral("02/2005"));
    QCOMPARE(dialog->ListaFiliDest(),
             how == QLatin1String("todas") ? QStringLiteral("T") : QStringLiteral("0002,0005"));
}

void tst_cli_qmr07702::sourceWithoutDaysInRangeCopiesNothing()
{
    seed(QStringLiteral("0001"), QStringLiteral("01"), {QStringLiteral("2005-03-01")});
    seed(QStringLiteral("0002"), QStringLiteral("01"), {QStringLiteral("2005-01-10")});
    const QStringList before = m_env.fixture.database().calendar();
    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2005"));
    QVERIFY(dialog);
    QTest::mouseClick(dialog->sbtImportExport, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.texts(),
             QStringList{"Não há calendário de produção para os dados informados."});
    QVERIFY(lastCall(QStringLiteral("GetInsDel")).isEmpty());
    QCOMPARE(m_env.fixture.database().calendar(), before);
}

void tst_cli_qmr07702::copyReachingNoBranchSaysSo_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("no other live branch")
        << "UPDATE FILIAL SET IDCNTRRESC = 'S' WHERE CDFILIAL <> '0001'";
    QTest::newRow("every destination closed for those months")
        << "UPDATE FILIAL SET DTPROCESSA = '2006-01-01' WHERE CDFILIAL <> '0001'";
}

void tst_cli_qmr07702::copyReachingNoBranchSaysSo()
{
    QFETCH(QString, change);
    testsupport::TestDatabase &db = m_env.fixture.database();
    const auto restore = qScopeGuard([&db] {
        db.exec(QStringLiteral("UPDATE FILIAL SET DTPROCESSA = '2000-01-01', IDCNTRRESC = CASE "
                               "WHEN CDFILIAL = '0003' THEN 'S' ELSE 'N' END"));
    });
    QVERIFY(db.exec(change));
    seed(QStringLiteral("0001"), QStringLiteral("01"), {QStringLiteral("2005-01-03")});
    const QStringList before = db.calendar();
    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2005"));
    QVERIFY(dialog);
    QTest::mouseClick(dialog->sbtImportExport, Qt::LeftButton);
    QCOMPARE(lastCall(QStringLiteral("GetInsDel")).value(3).toString(), QStringLiteral("T"));
    QCOMPARE(m_env.dialogs.messages.size(), 1);
    QCOMPARE(m_env.dialogs.messages.first().kind, TMsgDlgType::mtWarning);
    QVERIFY2(m_env.dialogs.texts().first().startsWith(
                 QStringLiteral("Nenhuma filial de destino recebeu o calendário")),
             qPrintable(m_env.dialogs.texts().first()));
    QCOMPARE(db.calendar(), before);
    QVERIFY(!dialog->panAnimacao->isVisible());
}

void tst_cli_qmr07702::failedCopyHidesTheProgress()
{
    seed(QStringLiteral("0001"), QStringLiteral("01"), {QStringLiteral("2005-01-03")});
    const QStringList before = m_env.fixture.database().calendar();
    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2005"));
    QVERIFY(dialog);
    // The rescinded branch 0003 makes the server refuse the whole copy.
    QTest::mouseClick(dialog->rbtLista, Qt::LeftButton);
    m_env.dialogs.listAnswers << std::optional(QList<int>{0, 1});
    QTest::mouseClick(dialog->sbtFilialDest, Qt::LeftButton);
    QCOMPARE(dialog->ListaFiliDest(), QStringLiteral("0002,0003"));

    QTest::mouseClick(dialog->sbtImportExport, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.messages.size(), 1);
    QCOMPARE(m_env.dialogs.messages.first().kind, TMsgDlgType::mtError);
    QVERIFY2(m_env.dialogs.messages.first().text.contains(QStringLiteral("0003")),
             qPrintable(m_env.dialogs.messages.first().text));
    QCOMPARE(m_env.fixture.database().calendar(), before);
    QVERIFY(!dialog->panAnimacao->isVisible());
    QVERIFY(!dialog->amnTempo->Active());
}

void tst_cli_qmr07702::closedCalendarScreenIsRefused()
{
    seed(QStringLiteral("0001"), QStringLiteral("01"), {QStringLiteral("2005-01-03")});
    const QStringList before = m_env.fixture.database().calendar();
    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2005"));
    QVERIFY(dialog);
    calendartest::CloseScreens(m_env);
    QVERIFY(Cli_qmr07700::frmCaleProdu.isNull());

    QTest::mouseClick(dialog->sbtImportExport, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.messages.size(), 1);
    QVERIFY(m_env.dialogs.texts().first().contains(QStringLiteral("Calendário da Produção")));
    QCOMPARE(m_env.fixture.database().calendar(), before);
}

void tst_cli_qmr07702::exportCommandOpensTheDialog_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<QString>("branch");
    QTest::addColumn<bool>("opens");
    QTest::newRow("tool button, branch with a calendar") << false << "0001" << true;
    QTest::newRow("menu item, branch with a calendar") << true << "0001" << true;
    QTest::newRow("branch without a calendar") << false << "0005" << false;
}

void tst_cli_qmr07702::exportCommandOpensTheDialog()
{
    QFETCH(bool, fromMenu);
    QFETCH(QString, branch);
    QFETCH(bool, opens);

    seed(QStringLiteral("0001"), QStringLiteral("02"), {QStringLiteral("2026-03-02")});
    m_screen->medCdFilial->SetText(branch);
    m_screen->medCdPeriodicidade->SetText(QStringLiteral("02"));
    m_screen->speYear->SetText(QStringLiteral("2026"));
    QStringList seen;
    QTimer timer;
    whenShown(timer, [&seen](TfrmExportCaleProdu *dialog) {
        seen << dialog->medCdFilial->Text() << dialog->medCdPeriodicidade->Text()
             << dialog->depDtIni->Text();
    });
    if (fromMenu)
        m_screen->mnuExportar->trigger();
    else
        QTest::mouseClick(m_screen->sbtExportar, Qt::LeftButton);

    QCOMPARE(lastCall(QStringLiteral("GetPesqCaleProdu")), QVariantList{branch});
    if (opens) {
        QCOMPARE(seen, (QStringList{branch, "02", "01/2026"}));
        QVERIFY(m_env.dialogs.messages.isEmpty());
    } else {
        QVERIFY(seen.isEmpty());
        QCOMPARE(m_env.dialogs.texts(), QStringList{"Filial não possui calendário de produção."});
    }
}

void tst_cli_qmr07702::fieldsAreNamedByTheirLabels()
{
    TfrmExportCaleProdu *dialog =
        openDialog(QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2026"));
    QVERIFY(dialog);
    QCOMPARE(dialog->medCdFilial->accessibleName(), QStringLiteral("Filial de Origem"));
    QCOMPARE(dialog->medCdPeriodicidade->accessibleName(), QStringLiteral("Periodicidade"));
    QCOMPARE(dialog->depDtIni->accessibleName(), QStringLiteral("Inicial"));
    QCOMPARE(dialog->depDtFim->accessibleName(), QStringLiteral("Final"));
}

QTEST_MAIN(tst_cli_qmr07702)
#include "tst_cli_qmr07702.moc"
