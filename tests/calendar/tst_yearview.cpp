#include "calendar/cli_qmr07700.h"

#include "calendarscreen.h"
#include "screenenvironment.h"

#include "controls/hostcolors.h"
#include "controls/tbtnpesquisa.h"
#include "controls/tdbcalendar.h"
#include "controls/tlabel.h"
#include "controls/tmaskedit.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "core/focustracker.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

extern "C" void Initialize();

using namespace Cli_qmr07700;

class tst_yearview : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void monthsStandInAGrid();
    void liveViewShowsTheYearAndFollowsTheOperator();
    void enteringAMonthMovesTheSelection_data();
    void enteringAMonthMovesTheSelection();
    void reloadAfterRestReappliesOnlyJanuary_data();
    void reloadAfterRestReappliesOnlyJanuary();
    void commandsFollowTheSelectedDate_data();
    void commandsFollowTheSelectedDate();
    void filterFieldsFollowTheRecordState_data();
    void filterFieldsFollowTheRecordState();
    void yearChangeRedatesEveryCalendar_data();
    void yearChangeRedatesEveryCalendar();
    void dayRecordIsFetchedOnlyWhileActive();
    void failedDayRecordKeepsTheCommands();

private:
    TfrmCaleProdu *openScreen();
    void closeScreens();
    // Leaves the filter panel by clicking a day, the way an operator brings the year view live.
    bool goLive(TfrmCaleProdu *screen, const QString &year, int month, int day);
    static void click(TDBCalendar *calendar, int day);
    void addProductionDays(const QStringList &isoDates);
    int callsOf(const QString &method) const;

    testsupport::ScreenEnvironment m_env;
    QList<QVariantList> m_calls;
};

void tst_yearview::initTestCase()
{
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
}

void tst_yearview::init()
{
    m_env.reset();
    m_env.dialogs.takeFocus = false;
    m_calls.clear();
    stCDPERIPRODU.clear();
}

void tst_yearview::cleanup()
{
    closeScreens();
}

TfrmCaleProdu *tst_yearview::openScreen()
{
    return calendartest::OpenScreen(m_env, this, &m_calls);
}

void tst_yearview::closeScreens()
{
    calendartest::CloseScreens(m_env);
}

bool tst_yearview::goLive(TfrmCaleProdu *screen, const QString &year, int month, int day)
{
    screen->medCdPeriodicidade->SetText(QStringLiteral("01"));
    screen->speYear->SetText(year);
    screen->medCdPeriodicidade->setFocus();
    click(screen->Calendar(month), day);
    return QApplication::focusWidget() == screen->Calendar(month) &&
           screen->cdsCaleProdu->Active() && screen->SelectedCalendar() == screen->Calendar(month);
}

void tst_yearview::click(TDBCalendar *calendar, int day)
{
    calendartest::ClickDay(calendar, day);
}

void tst_yearview::addProductionDays(const QStringList &isoDates)
{
    for (const QString &date : isoDates)
        m_env.fixture.database().exec(
            QStringLiteral("INSERT INTO CALEPRODUCAO VALUES ('0001', '01', '%1')").arg(date));
}

int tst_yearview::callsOf(const QString &method) const
{
    return int(std::count_if(m_calls.cbegin(), m_calls.cend(), [&](const QVariantList &call) {
        return call.value(0).toString() == method;
    }));
}

void tst_yearview::monthsStandInAGrid()
{
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    const int lefts[] = {5, 159, 314, 469};
    const int tops[] = {9, 96, 184};
    const QStringList names{"Janeiro", "Fevereiro", "Março",    "Abril",   "Maio",     "Junho",
                            "Julho",   "Agosto",    "Setembro", "Outubro", "Novembro", "Dezembro"};
    for (int month = 1; month <= 12; ++month) {
        TDBCalendar *calendar = screen->Calendar(month);
        TLabel *label = screen->MonthLabel(month);
        QVERIFY(calendar && label);
        QCOMPARE(calendar->Tag(), month);
        QCOMPARE(calendar->geometry(),
                 QRect(lefts[(month - 1) % 4], tops[(month - 1) / 4], 148, 78));
        QCOMPARE(label->pos(), QPoint(lefts[(month - 1) % 4], tops[(month - 1) / 4] - 11));
        QCOMPARE(label->text(), names.at(month - 1));
        QCOMPARE(label->font().family(), QStringLiteral("Arial"));
        QCOMPARE(label->font().bold(), month != 1);
        QCOMPARE(label->font().pixelSize(), month == 1 ? 11 : 10);
        QCOMPARE(calendar->font().family(), QStringLiteral("Arial"));
        // January first in the tab order: each calendar hands the focus to the next month.
        if (month < 12)
            QCOMPARE(calendar->nextInFocusChain(), screen->Calendar(month + 1));
    }
    QCOMPARE(screen->Label1->text(), QStringLiteral("Dia de Produção"));
    QCOMPARE(screen->Label1->Color(), clGreen);
    QCOMPARE(screen->Label1->FontColor(), clWhite);
    QCOMPARE(screen->Label2->text(), QStringLiteral("Dia Selecionado"));
    QCOMPARE(screen->Label2->Color(), clHighlight);
    QCOMPARE(screen->Label2->FontColor(), clHighlightText);
}

void tst_yearview::liveViewShowsTheYearAndFollowsTheOperator()
{
    addProductionDays({"2026-03-02", "2026-03-03", "2026-03-04", "2026-04-01", "2025-03-05"});
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);

    // The operator types the periodicity and leaves the panel by the keyboard.
    QTest::mouseClick(screen->medCdPeriodicidade, Qt::LeftButton);
    QTest::keyClicks(screen->medCdPeriodicidade, QStringLiteral("1"));
    QTest::keyClick(screen->medCdPeriodicidade, Qt::Key_Tab);
    QCOMPARE(screen->medCdPeriodicidade->Text(), QStringLiteral("01"));
    QCOMPARE(QApplication::focusWidget(), screen->speYear->Editor());
    QTest::keyClick(screen->speYear->Editor(), Qt::Key_Tab);
    TDBCalendar *january = screen->Calendar(1);
    QCOMPARE(QApplication::focusWidget(), january);
    QVERIFY(m_env.dialogs.messages.isEmpty());

    for (int month = 1; month <= 12; ++month) {
        QCOMPARE(screen->Calendar(month)->DataField(), QStringLiteral("DTPRODUCAO"));
        QCOMPARE(screen->Calendar(month)->HollidayColor(), clGreen);
        QVERIFY(screen->Calendar(month)->isEnabled());
    }
    QCOMPARE(screen->Calendar(3)->MarkedDays(), QList<int>({2, 3, 4}));
    QCOMPARE(screen->Calendar(4)->MarkedDays(), QList<int>({1}));
    QVERIFY(screen->Calendar(5)->MarkedDays().isEmpty());
    QCOMPARE(screen->SelectedCalendar(), january);
    QCOMPARE(screen->MonthLabel(1)->FontColor(), clBlack);
    QVERIFY(january->ShowCurrentDay());

    // The mouse selects March; the keyboard moves its day and then the selection to April.
    TDBCalendar *march = screen->Calendar(3);
    click(march, 10);
    QCOMPARE(screen->SelectedCalendar(), march);
    QCOMPARE(inSelectDbc, 3);
    QCOMPARE(january->Color(), clSilver);
    QCOMPARE(screen->MonthLabel(1)->FontColor(), clGray);
    QCOMPARE(march->Date(), QDate(2026, 3, 10));
    QVERIFY(screen->sbtIncluir->isEnabled());
    QTest::keyClick(march, Qt::Key_Left);
    QCOMPARE(march->Date(), QDate(2026, 3, 9));
    QVERIFY(!screen->sbtIncluir->isEnabled());
    QTest::keyClick(march, Qt::Key_Tab);
    QCOMPARE(screen->SelectedCalendar(), screen->Calendar(4));
    QVERIFY(screen->Calendar(4)->ShowCurrentDay());
    QVERIFY(!march->ShowCurrentDay());
    QCOMPARE(march->Color(), clSilver);
}

void tst_yearview::enteringAMonthMovesTheSelection_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("the same month again") << 5 << 5;
    QTest::newRow("another month") << 5 << 8;
}

void tst_yearview::enteringAMonthMovesTheSelection()
{
    QFETCH(int, first);
    QFETCH(int, second);
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QVERIFY(goLive(screen, QStringLiteral("2026"), first, 12));
    click(screen->Calendar(second), 13);

    QCOMPARE(inSelectDbc, second);
    for (int month = 1; month <= 12; ++month) {
        const bool selected = month == second;
        QCOMPARE(screen->Calendar(month)->Color(), selected ? clWindow : clSilver);
        QCOMPARE(screen->MonthLabel(month)->FontColor(), selected ? clBlack : clGray);
    }
    QCOMPARE(screen->Calendar(second)->Date(), QDate(2026, second, 13));
}

void tst_yearview::reloadAfterRestReappliesOnlyJanuary_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<bool>("selectedAgain");
    QTest::newRow("January is selected again") << 1 << true;
    QTest::newRow("another month stays at rest") << 4 << false;
}

void tst_yearview::reloadAfterRestReappliesOnlyJanuary()
{
    QFETCH(int, month);
    QFETCH(bool, selectedAgain);
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QVERIFY(goLive(screen, QStringLiteral("2026"), month, 20));

    // A year set by the program puts the view to rest while the month is still remembered; a load
    // with the focus on that month enters it again.
    screen->speYear->SetText(QStringLiteral("2027"));
    QVERIFY(screen->SelectedCalendar() == nullptr);
    QCOMPARE(inSelectDbc, month);
    screen->GetCaleProdu();

    QCOMPARE(screen->SelectedCalendar() == screen->Calendar(month), selectedAgain);
    QCOMPARE(screen->MonthLabel(month)->FontColor(), selectedAgain ? clBlack : clGray);
    QCOMPARE(inSelectDbc, month);
}

void tst_yearview::commandsFollowTheSelectedDate_data()
{
    QTest::addColumn<QString>("year");
    QTest::addColumn<int>("day");
    QTest::addColumn<QDate>("processing");
    QTest::addColumn<bool>("include");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<bool>("calcYear");
    QTest::addColumn<bool>("calcMonth");

    const QDate processing(2026, 3, 10);
    QTest::newRow("on the processing date") << "2026" << 10 << processing //
                                            << true << true << true << true;
    QTest::newRow("the day before it") << "2026" << 9 << processing //
                                       << false << true << true << false;
    QTest::newRow("a production day already there") << "2026" << 2 << QDate(2026, 3, 1) //
                                                    << false << true << true << true;
    QTest::newRow("an earlier year") << "2025" << 10 << processing //
                                     << false << false << false << false;
    QTest::newRow("999 compares as text, after 2026") << "999" << 10 << processing //
                                                      << false << true << true << false;
    QTest::newRow("a year without production days") << "2027" << 10 << processing //
                                                    << true << false << true << true;
}

void tst_yearview::commandsFollowTheSelectedDate()
{
    QFETCH(QString, year);
    QFETCH(int, day);
    QFETCH(QDate, processing);
    QFETCH(bool, include);
    QFETCH(bool, remove);
    QFETCH(bool, calcYear);
    QFETCH(bool, calcMonth);
    addProductionDays({"2026-03-02", "2025-03-02", "0999-03-02"});
    m_env.context.processingDate = processing;
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QVERIFY(goLive(screen, year, 3, day));
    QCOMPARE(callsOf(QStringLiteral("GetCaleProduAux")) > 0, true);
    QCOMPARE(m_calls.last().mid(0, 3), QVariantList({"GetCaleProduAux", "0001", "01"}));

    QCOMPARE(screen->sbtIncluir->isEnabled(), include);
    QCOMPARE(screen->sbtExcluir->isEnabled(), remove);
    QCOMPARE(screen->sbtVerificar->isEnabled(), remove);
    QCOMPARE(screen->sbtCalcAno->isEnabled(), calcYear);
    QCOMPARE(screen->sbtCalcMes->isEnabled(), calcMonth);
    QCOMPARE(screen->mnuIncluir->isEnabled(), include);
    QCOMPARE(screen->mnuExcluir->isEnabled(), remove);
    QCOMPARE(screen->mnuVerificar->isEnabled(), remove);
    QCOMPARE(screen->mnuCalcAno->isEnabled(), calcYear);
    QCOMPARE(screen->mnuCalcMes->isEnabled(), calcMonth);
    QVERIFY(!screen->sbtAlterar->isEnabled());
    QVERIFY(!screen->sbtProcurar->isEnabled());
}

void tst_yearview::filterFieldsFollowTheRecordState_data()
{
    QTest::addColumn<bool>("perBranch");
    QTest::addColumn<bool>("insert");
    QTest::newRow("browse") << false << false;
    QTest::newRow("insert") << false << true;
    QTest::newRow("locked to the branch, browse") << true << false;
    QTest::newRow("locked to the branch, insert") << true << true;
}

void tst_yearview::filterFieldsFollowTheRecordState()
{
    QFETCH(bool, perBranch);
    QFETCH(bool, insert);
    m_env.context.perBranch = perBranch;
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QVERIFY(goLive(screen, QStringLiteral("2026"), 6, 15));
    if (insert)
        screen->cdsCaleProdu->Append();

    const bool branch = !perBranch && !insert;
    QCOMPARE(screen->medCdFilial->isEnabled(), branch);
    QCOMPARE(screen->btpFilial->isEnabled(), branch);
    QCOMPARE(screen->lblFilial->isEnabled(), branch);
    for (QWidget *control : QList<QWidget *>{screen->medCdPeriodicidade, screen->lblPeriodicidade,
                                             screen->btpServico, screen->speYear, screen->lblYear})
        QVERIFY2(control->isEnabled() == !insert, qPrintable(control->objectName()));
    if (insert) {
        for (TSpeedButton *button : {screen->sbtIncluir, screen->sbtExcluir, screen->sbtVerificar,
                                     screen->sbtCalcAno, screen->sbtCalcMes})
            QVERIFY2(!button->isEnabled(), qPrintable(button->objectName()));
    }
}

void tst_yearview::yearChangeRedatesEveryCalendar_data()
{
    QTest::addColumn<QString>("year");
    QTest::addColumn<int>("february");
    QTest::addColumn<int>("expectedYear");
    QTest::addColumn<int>("expectedFebruary");
    QTest::addColumn<int>("dayRecords");
    // The re-dating itself refreshes nothing: the only refreshes are the load re-entering the
    // focused calendar and the record set closing on the way to rest.
    QTest::newRow("29 February to a common year") << "2025" << 29 << 2025 << 28 << 2;
    QTest::newRow("29 February to a leap year") << "2028" << 29 << 2028 << 29 << 2;
    QTest::newRow("a middle day") << "1999" << 14 << 1999 << 14 << 2;
    // A year the calendars cannot show fails quietly: they keep theirs and the screen goes on.
    QTest::newRow("year 0") << "0" << 29 << 2024 << 29 << 1;
    QTest::newRow("no year") << "" << 29 << 2024 << 29 << 1;
}

void tst_yearview::yearChangeRedatesEveryCalendar()
{
    QFETCH(QString, year);
    QFETCH(int, february);
    QFETCH(int, expectedYear);
    QFETCH(int, expectedFebruary);
    QFETCH(int, dayRecords);
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QVERIFY(goLive(screen, QStringLiteral("2024"), 2, february));
    click(screen->Calendar(7), 31);
    m_calls.clear();

    screen->speYear->SetText(year);

    for (int month = 1; month <= 12; ++month) {
        const int day = month == 2 ? expectedFebruary : month == 7 ? 31 : 1;
        QCOMPARE(screen->Calendar(month)->Date(), QDate(expectedYear, month, day));
        QCOMPARE(screen->Calendar(month)->Color(), clSilver);
        QCOMPARE(screen->Calendar(month)->HollidayColor(), clNone);
        QVERIFY(screen->Calendar(month)->DataField().isEmpty());
    }
    QVERIFY(!screen->cdsCaleProdu->Active());
    QVERIFY(!screen->sbtIncluir->isEnabled());
    QVERIFY(!screen->mnuIncluir->isEnabled());
    QVERIFY(m_env.dialogs.messages.isEmpty());
    QCOMPARE(callsOf(QStringLiteral("GetCaleProduAux")), dayRecords);
    // The change events are back: a date change refreshes the commands again.
    QVERIFY(goLive(screen, QStringLiteral("2026"), 2, 3));
    m_calls.clear();
    QTest::keyClick(screen->Calendar(2), Qt::Key_Right);
    QCOMPARE(callsOf(QStringLiteral("GetCaleProduAux")), 1);
}

void tst_yearview::dayRecordIsFetchedOnlyWhileActive()
{
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QVERIFY(goLive(screen, QStringLiteral("2026"), 3, 10));
    QVERIFY(screen->IsActiveWindow());

    auto *other = m_env.mdiArea->addSubWindow(new QWidget);
    other->show();
    m_env.mdiArea->setActiveSubWindow(other);
    QVERIFY(!screen->IsActiveWindow());
    m_calls.clear();
    screen->Calendar(3)->SetDateElement(TNCalendar::deDay, 11);
    QCOMPARE(callsOf(QStringLiteral("GetCaleProduAux")), 0);

    m_env.mdiArea->setActiveSubWindow(screen->SubWindow());
    screen->Calendar(3)->SetDateElement(TNCalendar::deDay, 12);
    QCOMPARE(callsOf(QStringLiteral("GetCaleProduAux")), 1);
    QCOMPARE(m_calls.last(), QVariantList({"GetCaleProduAux", "0001", "01", QDate(2026, 3, 12)}));
}

void tst_yearview::failedDayRecordKeepsTheCommands()
{
    addProductionDays({"2026-03-12"});
    m_env.context.processingDate = QDate(2026, 1, 1);
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QVERIFY(goLive(screen, QStringLiteral("2026"), 3, 12));
    QVERIFY(!screen->sbtIncluir->isEnabled());
    QVERIFY(screen->sbtExcluir->isEnabled());

    // Nothing listens on port 1: the day record keeps what the last answer held.
    screen->netCaleComp->SetPort(1);
    QTest::keyClick(screen->Calendar(3), Qt::Key_Right);
    QCOMPARE(screen->Calendar(3)->Date(), QDate(2026, 3, 13));
    QVERIFY(m_env.dialogs.messages.isEmpty());
    QCOMPARE(screen->cdsCaleProduAux->FieldByName(QStringLiteral("TOTAL"))->AsFloat(), 1.0);
    QVERIFY(!screen->sbtIncluir->isEnabled());
    QVERIFY(screen->sbtExcluir->isEnabled());
}

QTEST_MAIN(tst_yearview)
#include "tst_yearview.moc"
