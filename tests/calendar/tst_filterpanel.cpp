#include "calendar/cli_qmr07700.h"

#include "calendarscreen.h"
#include "screenenvironment.h"

#include "controls/hostcolors.h"
#include "controls/tbtnpesquisa.h"
#include "controls/tdbcalendar.h"
#include "controls/tedit.h"
#include "controls/tmaskedit.h"
#include "controls/tspinedit.h"
#include "core/focustracker.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QScopeGuard>
#include <QTest>

extern "C" void Initialize();

using namespace Cli_qmr07700;

class tst_filterpanel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void refusedInputKeepsTheOperatorInThePanel_data();
    void refusedInputKeepsTheOperatorInThePanel();
    void branchCodeIsCompletedAndChecked_data();
    void branchCodeIsCompletedAndChecked();
    void enteringAFieldClosesTheCalendar_data();
    void enteringAFieldClosesTheCalendar();
    void lookupsListEveryRow_data();
    void lookupsListEveryRow();
    void yearIsFilteredAndCompleted_data();
    void yearIsFilteredAndCompleted();
    void typedYearRedatesEachCalendarPerKeystroke();
    void laterRefusalLeavesTheYearViewAtRest_data();
    void laterRefusalLeavesTheYearViewAtRest();

private:
    TfrmCaleProdu *openScreen();
    // The widget that takes the focus for a field of the panel.
    static QWidget *focusWidgetOf(TfrmCaleProdu *screen, const QString &field);
    static void retype(QWidget *edit, const QString &text);
    static void click(TDBCalendar *calendar, int day);
    QStringList loadedYears() const;

    testsupport::ScreenEnvironment m_env;
    QList<QVariantList> m_calls;
};

void tst_filterpanel::initTestCase()
{
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
}

void tst_filterpanel::init()
{
    m_env.reset();
    m_env.dialogs.takeFocus = false;
    m_calls.clear();
    stCDPERIPRODU.clear();
    STIDDIANUTILP.clear();
}

void tst_filterpanel::cleanup()
{
    m_env.mdiArea->closeAllSubWindows();
    QTRY_VERIFY(frmCaleProdu.isNull());
}

TfrmCaleProdu *tst_filterpanel::openScreen()
{
    return calendartest::OpenScreen(m_env, this, &m_calls);
}

QWidget *tst_filterpanel::focusWidgetOf(TfrmCaleProdu *screen, const QString &field)
{
    if (field == QLatin1String("medCdFilial"))
        return screen->medCdFilial;
    if (field == QLatin1String("medCdPeriodicidade"))
        return screen->medCdPeriodicidade;
    return screen->speYear->Editor();
}

void tst_filterpanel::retype(QWidget *edit, const QString &text)
{
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

void tst_filterpanel::click(TDBCalendar *calendar, int day)
{
    calendartest::ClickDay(calendar, day);
}

QStringList tst_filterpanel::loadedYears() const
{
    QStringList years;
    for (const QVariantList &call : m_calls) {
        if (call.value(0).toString() == QLatin1String("GetCaleProdu"))
            years.append(call.value(3).toString());
    }
    return years;
}

void tst_filterpanel::refusedInputKeepsTheOperatorInThePanel_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("periodicity");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("byTab");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("periodicityName");
    QTest::addColumn<QString>("periodicityInForce");

    const QString year = QStringLiteral("speYear");
    const QString branch = QStringLiteral("medCdFilial");
    const QString periodicity = QStringLiteral("medCdPeriodicidade");
    const QString weekly = QStringLiteral("Produção Semanal (seg–sex)");
    // Leaving from the year field the panel's own checks refuse; leaving from a code field, that
    // field's check refuses before the panel is left.
    QTest::newRow("empty branch") << ""
                                  << "01"
                                  << "2026" << year << QString() << 0 << true
                                  << "Filial deve ser informada." << branch << ""
                                  << "02";
    QTest::newRow("unknown branch")
        << "0099"
        << "01"
        << "2026" << year << QString() << 0 << false << "Filial não cadastrada." << branch << ""
        << "02";
    QTest::newRow("rescinded branch typed") << "0001"
                                            << "01"
                                            << "2026" << branch << "3" << 0 << false
                                            << "Filial com contrato rescindido." << branch << ""
                                            << "02";
    QTest::newRow("empty periodicity") << "0001"
                                       << ""
                                       << "2026" << year << QString() << 0 << true
                                       << "Periodicidade deve ser informada." << periodicity << ""
                                       << "02";
    QTest::newRow("unknown periodicity") << "0001"
                                         << ""
                                         << "2026" << periodicity << "99" << 0 << false
                                         << "Periodicidade não cadastrada." << periodicity << ""
                                         << "02";
    QTest::newRow("periodicity without production days")
        << "0001"
        << ""
        << "2026" << periodicity << "4" << 0 << false
        << "Não há dia de produção cadastrado para esta periodicidade." << periodicity
        << "Produção Sob Encomenda"
        << "02";
    const QString yearMissing = QStringLiteral("Ano deve ser informado.");
    const QString yearInvalid = QStringLiteral("Ano informado deve estar entre '0001' e '9999'.");
    QTest::newRow("no year") << "0001"
                             << "01"
                             << "" << year << QString() << 0 << true << yearMissing << year
                             << weekly << "01";
    QTest::newRow("year 0") << "0001"
                            << "01"
                            << "2026" << year << "0" << 0 << false << yearInvalid << year << weekly
                            << "01";
    QTest::newRow("year 0000") << "0001"
                               << "01"
                               << "2026" << year << "0000" << 0 << true << yearInvalid << year
                               << weekly << "01";
    QTest::newRow("year abc") << "0001"
                              << "01"
                              << "2026" << year << "abc" << 0 << false << yearInvalid << year
                              << weekly << "01";
    QTest::newRow("spun to 10000")
        << "0001"
        << "01"
        << "9998" << year << QString() << 2 << true << yearInvalid << year << weekly << "01";
    QTest::newRow("spun below 1") << "0001"
                                  << "01"
                                  << "1" << year << QString() << -1 << false << yearInvalid << year
                                  << weekly << "01";
}

void tst_filterpanel::refusedInputKeepsTheOperatorInThePanel()
{
    QFETCH(QString, branch);
    QFETCH(QString, periodicity);
    QFETCH(QString, year);
    QFETCH(QString, from);
    QFETCH(QString, typed);
    QFETCH(int, steps);
    QFETCH(bool, byTab);
    QFETCH(QString, message);
    QFETCH(QString, field);
    QFETCH(QString, periodicityName);
    QFETCH(QString, periodicityInForce);
    stCDPERIPRODU = QStringLiteral("02");
    STIDDIANUTILP = QStringLiteral("N");
    // Each message is a real modal window that takes the focus while it is open.
    m_env.dialogs.takeFocus = true;
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    // The screen opens in the branch field: go to the starting field before the texts are set,
    // so that no check runs on the way there.
    QWidget *start = focusWidgetOf(screen, from);
    start->setFocus();
    QCOMPARE(QApplication::focusWidget(), start);
    screen->medCdFilial->SetText(branch);
    screen->medCdPeriodicidade->SetText(periodicity);
    screen->speYear->SetText(year);
    if (!typed.isNull())
        retype(start, typed);
    for (int i = 0; i < qAbs(steps); ++i)
        QTest::keyClick(start, steps > 0 ? Qt::Key_Up : Qt::Key_Down);
    TDBCalendar *target = byTab ? screen->Calendar(1) : screen->Calendar(3);
    const QDate before = target->Date();
    if (byTab)
        QTest::keyClick(start, Qt::Key_Tab);
    else
        click(target, 20);

    QCOMPARE(m_env.dialogs.texts(), QStringList{message});
    QWidget *refused = focusWidgetOf(screen, field);
    QTRY_COMPARE(QApplication::focusWidget(), refused);
    QCOMPARE(screen->ActiveControl(), host::FocusTracker::ControlOf(refused));
    QCOMPARE(target->Date(), before);
    QVERIFY(screen->SelectedCalendar() == nullptr);
    for (int month = 1; month <= 12; ++month) {
        QVERIFY(screen->Calendar(month)->DataField().isEmpty());
        QCOMPARE(screen->Calendar(month)->HollidayColor(), clNone);
    }
    QVERIFY(!screen->sbtCalcAno->isEnabled());
    QCOMPARE(screen->edtNmServico->Text(), periodicityName);
    QCOMPARE(stCDPERIPRODU, periodicityInForce);
    QCOMPARE(STIDDIANUTILP, periodicityInForce == QLatin1String("01") ? "S" : "N");

    // Once corrected, the same way out leads into the live year view.
    screen->medCdFilial->SetText(QStringLiteral("0001"));
    screen->medCdPeriodicidade->SetText(QStringLiteral("01"));
    screen->speYear->SetText(QStringLiteral("2026"));
    click(screen->Calendar(3), 20);
    QCOMPARE(m_env.dialogs.messages.size(), 1);
    QCOMPARE(screen->SelectedCalendar(), screen->Calendar(3));
    QCOMPARE(screen->Calendar(3)->HollidayColor(), clGreen);
}

void tst_filterpanel::branchCodeIsCompletedAndChecked_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("inForce");
    QTest::newRow("one digit") << "1"
                               << "0001"
                               << "Matriz São Paulo"
                               << "0001";
    QTest::newRow("another branch") << "02"
                                    << "0002"
                                    << "Filial Rio de Janeiro"
                                    << "0002";
    // A blank branch is no error inside the panel; the calendar loads for the branch in force.
    QTest::newRow("blank") << ""
                           << ""
                           << ""
                           << "0001";
}

void tst_filterpanel::branchCodeIsCompletedAndChecked()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, name);
    QFETCH(QString, inForce);
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QTest::mouseClick(screen->medCdFilial, Qt::LeftButton);
    retype(screen->medCdFilial, typed);
    QVERIFY(screen->edtNmFilial->Text().isEmpty());
    m_calls.clear();
    QTest::keyClick(screen->medCdFilial, Qt::Key_Tab);

    QCOMPARE(QApplication::focusWidget(), screen->medCdPeriodicidade);
    QVERIFY(m_env.dialogs.messages.isEmpty());
    QCOMPARE(screen->medCdFilial->Text(), shown);
    QCOMPARE(screen->edtNmFilial->Text(), name);
    QCOMPARE(stCDFILIAL, inForce);
    QCOMPARE(m_calls.size(), 1);
    QCOMPARE(m_calls.first().mid(0, 2), QVariantList({"GetCaleProdu", inForce}));
    // The change handler is back after the exit: retyping clears the name again.
    screen->medCdFilial->SetText(QStringLiteral("5"));
    QVERIFY(screen->edtNmFilial->Text().isEmpty());
}

void tst_filterpanel::enteringAFieldClosesTheCalendar_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("open");
    QTest::newRow("into the periodicity") << "medCdFilial"
                                          << "medCdPeriodicidade" << false;
    QTest::newRow("into the year") << "medCdPeriodicidade"
                                   << "speYear" << true;
    QTest::newRow("into the branch") << "speYear"
                                     << "medCdFilial" << false;
}

void tst_filterpanel::enteringAFieldClosesTheCalendar()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, open);
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    screen->medCdPeriodicidade->SetText(QStringLiteral("01"));
    focusWidgetOf(screen, from)->setFocus();
    screen->GetCaleProdu();
    QVERIFY(screen->cdsCaleProdu->Active());
    inSelectDbc = 7;

    QTest::mouseClick(focusWidgetOf(screen, to), Qt::LeftButton);

    QCOMPARE(QApplication::focusWidget(), focusWidgetOf(screen, to));
    QCOMPARE(inSelectDbc, 0);
    QCOMPARE(screen->cdsCaleProdu->Active(), open);
    QVERIFY(m_env.dialogs.messages.isEmpty());
}

void tst_filterpanel::lookupsListEveryRow_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<QString>("emptyText");
    QTest::addColumn<int>("choice");

    QTest::newRow("branches") << "btpFilial"
                              << "Filial" << QStringList{"Código", "Nome"}
                              << QList<QStringList>{{"0001", "Matriz São Paulo"},
                                                    {"0002", "Filial Rio de Janeiro"},
                                                    {"0003", "Filial Belo Horizonte"},
                                                    {"0004", "Filial Curitiba"},
                                                    {"0005", "Filial Porto Alegre"}}
                              << "Não há filial cadastrada." << 2;
    QTest::newRow("periodicities")
        << "btpServico"
        << "Periodicidade" << QStringList{"Código ", "Nome", "Tipo do dia"}
        << QList<QStringList>{{"01", "Produção Semanal (seg–sex)", "Semana"},
                              {"02", "Produção Quinzenal (dias 1 e 15)", "Mês"},
                              {"03", "Produção de Fim de Semana", "Semana"},
                              {"04", "Produção Sob Encomenda", "Semana"},
                              {"09", "Produção Diária", "D"}}
        << "Não há periodicidade cadastrada." << 1;
}

void tst_filterpanel::lookupsListEveryRow()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(QStringList, headers);
    QFETCH(QList<QStringList>, rows);
    QFETCH(QString, emptyText);
    QFETCH(int, choice);
    m_env.fixture.database().exec(
        QStringLiteral("INSERT INTO PERIPRODUCAO VALUES ('09', 'Produção Diária', 'N', 'D')"));
    auto removeRow = qScopeGuard([this] {
        m_env.fixture.database().exec(
            QStringLiteral("DELETE FROM PERIPRODUCAO WHERE CDPERIPRODU = '09'"));
    });
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    // Whatever code the fields hold, the lookup lists every row.
    screen->medCdPeriodicidade->setFocus();
    screen->medCdFilial->SetText(QStringLiteral("0002"));
    screen->medCdPeriodicidade->SetText(QStringLiteral("03"));
    screen->Abilitar(false);
    const bool periodicityLookup = button == QLatin1String("btpServico");
    if (!periodicityLookup)
        screen->medCdPeriodicidade->SetText(QString());
    m_env.dialogs.lookupAnswers = {choice};

    auto *lookup = screen->findChild<TBtnPesquisa *>(button);
    QVERIFY(lookup);
    QTest::mouseClick(lookup, Qt::LeftButton);

    QCOMPARE(m_env.dialogs.lookups.size(), 1);
    const ScriptedDialogs::ListCall &call = m_env.dialogs.lookups.first();
    QCOMPARE(call.title, title);
    QCOMPARE(call.headers, headers);
    QCOMPARE(call.rows, rows);
    QCOMPARE(call.emptyText, emptyText);
    // The lookup takes no focus and checks nothing: no message, no exit handling.
    QVERIFY(m_env.dialogs.messages.isEmpty());
    QCOMPARE(QApplication::focusWidget(), screen->medCdPeriodicidade);

    const QStringList chosen = rows.at(choice);
    auto *code = qobject_cast<TMaskEdit *>(lookup->Associate());
    QVERIFY(code);
    QCOMPARE(code->Text(), chosen.at(0));
    if (periodicityLookup) {
        QCOMPARE(screen->edtNmServico->Text(), chosen.at(1));
        QCOMPARE(stCDPERIPRODU, chosen.at(0));
        QCOMPARE(STIDDIANUTILP, QStringLiteral("N"));
        QCOMPARE(stCDFILIAL, QStringLiteral("0001"));
    } else {
        // A rescinded branch is taken here; it is refused only when the panel is left.
        QCOMPARE(screen->edtNmFilial->Text(), chosen.at(1));
        QCOMPARE(stCDFILIAL, chosen.at(0));
        QVERIFY(stCDPERIPRODU.isEmpty());
    }
    // The year view is enabled again only once a periodicity code is there.
    for (int month = 1; month <= 12; ++month)
        QCOMPARE(screen->Calendar(month)->isEnabled(), periodicityLookup);
    QCOMPARE(screen->dtsPadrao->Enabled(), periodicityLookup);
}

void tst_filterpanel::yearIsFilteredAndCompleted_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one digit") << "7"
                               << "0007";
    QTest::newRow("three digits") << "999"
                                  << "0999";
    QTest::newRow("signs and exponents are dropped") << "-2+0e2E6"
                                                     << "2026";
    QTest::newRow("four digits") << "2031"
                                 << "2031";
}

void tst_filterpanel::yearIsFilteredAndCompleted()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    screen->medCdPeriodicidade->SetText(QStringLiteral("01"));
    QLineEdit *editor = screen->speYear->Editor();
    QTest::mouseClick(editor, Qt::LeftButton);
    retype(editor, typed);
    QTest::keyClick(editor, Qt::Key_Tab);

    QVERIFY(m_env.dialogs.messages.isEmpty());
    QCOMPARE(screen->speYear->Text(), shown);
    QCOMPARE(QApplication::focusWidget(), screen->Calendar(1));
    QCOMPARE(loadedYears().last(), QString::number(shown.toInt()));
    for (int month = 1; month <= 12; ++month)
        QCOMPARE(screen->Calendar(month)->Date(), QDate(shown.toInt(), month, 1));
    QCOMPARE(screen->Calendar(1)->HollidayColor(), clGreen);
}

void tst_filterpanel::typedYearRedatesEachCalendarPerKeystroke()
{
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    screen->Calendar(5)->SetDateElement(TNCalendar::deDay, 17);
    screen->Calendar(12)->SetDateElement(TNCalendar::deDay, 31);
    QLineEdit *editor = screen->speYear->Editor();
    QTest::mouseClick(editor, Qt::LeftButton);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    m_calls.clear();
    QTest::keyClicks(editor, QStringLiteral("2031"));

    QCOMPARE(loadedYears(), QStringList({"2", "20", "203", "2031"}));
    for (int month = 1; month <= 12; ++month) {
        const int day = month == 5 ? 17 : month == 12 ? 31 : 1;
        QCOMPARE(screen->Calendar(month)->Date(), QDate(2031, month, day));
    }
}

void tst_filterpanel::laterRefusalLeavesTheYearViewAtRest_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("emptied");
    QTest::addColumn<QString>("message");

    // The field left passes its own check and loads the year; the panel's exit then refuses.
    QTest::newRow("periodicity empty, an older one in force")
        << "medCdFilial"
        << "medCdPeriodicidade"
        << "Periodicidade deve ser informada.";
    QTest::newRow("branch empty") << "medCdPeriodicidade"
                                  << "medCdFilial"
                                  << "Filial deve ser informada.";
    QTest::newRow("year empty") << "medCdPeriodicidade"
                                << "speYear"
                                << "Ano deve ser informado.";
}

void tst_filterpanel::laterRefusalLeavesTheYearViewAtRest()
{
    QFETCH(QString, from);
    QFETCH(QString, emptied);
    QFETCH(QString, message);
    m_env.fixture.database().exec("INSERT INTO CALEPRODUCAO VALUES ('0001', '01', '2026-03-20')");
    stCDPERIPRODU = QStringLiteral("01");
    m_env.dialogs.takeFocus = true;
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    const auto fill = [screen](const QString &emptied) {
        screen->medCdFilial->SetText(emptied == "medCdFilial" ? "" : "0001");
        screen->medCdPeriodicidade->SetText(emptied == "medCdPeriodicidade" ? "" : "01");
        screen->speYear->SetText(emptied == "speYear" ? "" : "2026");
    };
    fill(emptied);
    focusWidgetOf(screen, from)->setFocus();

    click(screen->Calendar(3), 20);
    QCOMPARE(m_env.dialogs.texts(), QStringList{message});
    QTRY_COMPARE(QApplication::focusWidget(), focusWidgetOf(screen, emptied));
    QVERIFY(screen->SelectedCalendar() == nullptr);
    QVERIFY(!screen->cdsCaleProdu->Active() && !screen->Calendar(3)->ShowCurrentDay());
    for (QAction *item : {screen->mnuIncluir, screen->mnuExcluir, screen->mnuVerificar,
                          screen->mnuCalcAno, screen->mnuCalcMes})
        QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));

    // Corrected, the same click selects that month and its commands act on what the panel shows.
    fill(QString());
    click(screen->Calendar(3), 20);
    QCOMPARE(m_env.dialogs.messages.size(), 1);
    QCOMPARE(screen->SelectedCalendar(), screen->Calendar(3));
    QVERIFY(screen->mnuExcluir->isEnabled() && screen->mnuCalcAno->isEnabled());
}

QTEST_MAIN(tst_filterpanel)
#include "tst_filterpanel.moc"
