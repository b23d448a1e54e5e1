#include "calendar/cli_qmr07700.h"

#include "calendarscreen.h"
#include "screenenvironment.h"

#include "dialogs.h"
#include "showavi.h"
#include "tclientdataset.h"
#include "tdbcalendar.h"
#include "tmaskedit.h"
#include "tnetconnection.h"
#include "tpanel.h"
#include "tspeedbutton.h"
#include "tspinedit.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

extern "C" void Initialize();

using namespace Cli_qmr07700;

class tst_editing : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pendingDayEndsAsTheOperatorChooses_data();
    void pendingDayEndsAsTheOperatorChooses();
    void failedUploadKeepsTheDayPending();
    void scopeMenuFollowsTheProcessingDate_data();
    void scopeMenuFollowsTheProcessingDate();
    void deletionRemovesTheChosenScope_data();
    void deletionRemovesTheChosenScope();
    void calculationReloadsWhatTheServerCalculated_data();
    void calculationReloadsWhatTheServerCalculated();

private:
    TfrmCaleProdu *openLive(const QString &periodicity, const QDate &date);
    void addProductionDays(const QStringList &isoDates);
    // The production days of branch 0001 and periodicity 01 that the server's database holds.
    QStringList storedDays(const QString &periodicity = QStringLiteral("01"));
    QList<QVariantList> callsOf(const QString &method) const;

    testsupport::ScreenEnvironment m_env;
    QList<QVariantList> m_calls;
};

void tst_editing::initTestCase()
{
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
}

void tst_editing::init()
{
    m_env.reset();
    m_calls.clear();
}

void tst_editing::cleanup()
{
    calendartest::CloseScreens(m_env);
    // A closed pop-up menu leaves the offscreen platform without an active window.
    m_env.window->activateWindow();
}

TfrmCaleProdu *tst_editing::openLive(const QString &periodicity, const QDate &date)
{
    TfrmCaleProdu *screen = calendartest::OpenScreen(m_env, this, &m_calls);
    if (!screen || !calendartest::GoLive(screen, periodicity, date))
        return nullptr;
    m_calls.clear();
    return screen;
}

void tst_editing::addProductionDays(const QStringList &isoDates)
{
    for (const QString &date : isoDates)
        m_env.fixture.database().exec(
            QStringLiteral("INSERT INTO CALEPRODUCAO VALUES ('0001', '01', ?)"), {date});
}

QStringList tst_editing::storedDays(const QString &periodicity)
{
    QStringList days;
    const QString prefix = QStringLiteral("0001/") + periodicity + QLatin1Char('/');
    for (const QString &row : m_env.fixture.database().calendar()) {
        if (row.startsWith(prefix))
            days.append(row.mid(prefix.size()));
    }
    return days;
}

QList<QVariantList> tst_editing::callsOf(const QString &method) const
{
    QList<QVariantList> found;
    for (const QVariantList &call : m_calls) {
        if (call.value(0).toString() == method)
            found.append(call.mid(1));
    }
    return found;
}

void tst_editing::pendingDayEndsAsTheOperatorChooses_data()
{
    QTest::addColumn<QString>("periodicity");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("holidayChecks");
    QTest::addColumn<QStringList>("stored");

    const QDate tiradentes(2026, 4, 21);
    const QDate workday(2026, 4, 22);
    // Periodicity 01 forbids holidays, 02 does not.
    QTest::newRow("holiday refused")
        << "01" << tiradentes << "none" << QStringList{"Feriado nesta data."} << 1 << QStringList{};
    QTest::newRow("holiday taken without the check")
        << "02" << tiradentes << "confirm" << QStringList{} << 0 << QStringList{"2026-04-21"};
    QTest::newRow("confirmed") << "01" << workday << "confirm" << QStringList{} << 1
                               << QStringList{"2026-04-22"};
    QTest::newRow("confirmed from the menu")
        << "01" << workday << "menu" << QStringList{} << 1 << QStringList{"2026-04-22"};
    QTest::newRow("cancelled") << "01" << workday << "cancel" << QStringList{} << 1
                               << QStringList{};
    QTest::newRow("another day clicked")
        << "01" << workday << "click" << QStringList{} << 1 << QStringList{"2026-04-22"};
}

void tst_editing::pendingDayEndsAsTheOperatorChooses()
{
    QFETCH(QString, periodicity);
    QFETCH(QDate, date);
    QFETCH(QString, ending);
    QFETCH(QStringList, messages);
    QFETCH(int, holidayChecks);
    QFETCH(QStringList, stored);
    TfrmCaleProdu *screen = openLive(periodicity, date);
    QVERIFY(screen);
    QVERIFY(screen->sbtIncluir->isEnabled());

    QTest::mouseClick(screen->sbtIncluir, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.texts(), messages);
    QCOMPARE(callsOf(QStringLiteral("GetVerificaDiaUtil")).size(), holidayChecks);
    QVERIFY(!ShowAviActive());
    const bool pending = ending != QLatin1String("none");
    QCOMPARE(screen->cdsCaleProdu->State(),
             pending ? TDataSetState::dsInsert : TDataSetState::dsBrowse);
    if (pending) {
        // Only the new day's month takes clicks while it is pending.
        for (int month = 1; month <= 12; ++month)
            QCOMPARE(screen->Calendar(month)->isEnabled(), month == date.month());
        QCOMPARE(screen->cdsCaleProdu->FieldByName("DTPRODUCAO")->AsDate(), date);
        QCOMPARE(screen->cdsCaleProdu->FieldByName("CDPERIPRODU")->AsString(), periodicity);
        QVERIFY(!screen->medCdPeriodicidade->isEnabled());
    }

    if (ending == QLatin1String("confirm"))
        QTest::mouseClick(screen->sbtConfirmar, Qt::LeftButton);
    else if (ending == QLatin1String("menu"))
        screen->mnuConfirmar->trigger();
    else if (ending == QLatin1String("cancel"))
        QTest::mouseClick(screen->sbtCancelar, Qt::LeftButton);
    else if (ending == QLatin1String("click"))
        calendartest::ClickDay(screen->Calendar(date.month()), date.day() + 1);

    QCOMPARE(m_env.dialogs.texts(), messages);
    QCOMPARE(storedDays(periodicity), stored);
    QCOMPARE(callsOf(QStringLiteral("SetCaleProdu")).size(), stored.size());
    // The day just posted comes back from the server, painted with the others.
    QCOMPARE(screen->Calendar(date.month())->MarkedDays().size(), stored.size());
    QCOMPARE(screen->cdsCaleProdu->State(), TDataSetState::dsBrowse);
    QCOMPARE(screen->cdsCaleProdu->ChangeCount(), 0);
    for (int month = 1; month <= 12; ++month)
        QVERIFY(screen->Calendar(month)->isEnabled());
    QVERIFY(screen->medCdPeriodicidade->isEnabled());
}

void tst_editing::failedUploadKeepsTheDayPending()
{
    TfrmCaleProdu *screen = openLive(QStringLiteral("01"), QDate(2026, 4, 22));
    QVERIFY(screen);
    QTest::mouseClick(screen->sbtIncluir, Qt::LeftButton);
    // Nothing listens on port 1: the upload fails as with a stopped server.
    screen->netCaleComp->SetPort(1);
    QTest::mouseClick(screen->sbtConfirmar, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.messages.size(), 1);
    QVERIFY(m_env.dialogs.texts().first().startsWith(
        QStringLiteral("Servidor de aplicação indisponível (127.0.0.1:1): ")));
    QVERIFY(!ShowAviActive());
    QVERIFY(storedDays().isEmpty());
    QCOMPARE(screen->cdsCaleProdu->ChangeCount(), 1);
    QCOMPARE(screen->Calendar(4)->MarkedDays(), QList<int>{22});

    // With the server back, the unsent day travels with the next one.
    screen->netCaleComp->SetPort(m_env.fixture.port());
    calendartest::ClickDay(screen->Calendar(4), 23);
    QTest::mouseClick(screen->sbtIncluir, Qt::LeftButton);
    QTest::mouseClick(screen->sbtConfirmar, Qt::LeftButton);
    QCOMPARE(m_env.dialogs.messages.size(), 1);
    QCOMPARE(storedDays(), QStringList({"2026-04-22", "2026-04-23"}));
    QCOMPARE(screen->cdsCaleProdu->ChangeCount(), 0);
}

void tst_editing::scopeMenuFollowsTheProcessingDate_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<bool>("day");
    QTest::addColumn<bool>("month");

    QTest::newRow("first of the processing month") << QDate(2026, 3, 1) << false << true;
    QTest::newRow("last day before that month") << QDate(2026, 2, 28) << false << false;
    QTest::newRow("day before the processing date") << QDate(2026, 3, 14) << false << true;
    QTest::newRow("production day on the processing date") << QDate(2026, 3, 15) << true << true;
    QTest::newRow("free day after the processing date") << QDate(2026, 3, 16) << false << true;
}

void tst_editing::scopeMenuFollowsTheProcessingDate()
{
    QFETCH(QDate, date);
    QFETCH(bool, day);
    QFETCH(bool, month);
    m_env.context.processingDate = QDate(2026, 3, 15);
    addProductionDays({"2026-02-28", "2026-03-01", "2026-03-14", "2026-03-15"});
    TfrmCaleProdu *screen = openLive(QStringLiteral("01"), date);
    QVERIFY(screen);
    QVERIFY(screen->sbtExcluir->isEnabled());

    QTest::mouseClick(screen->sbtExcluir, Qt::LeftButton);
    QTRY_VERIFY(screen->pmnExcluir->isVisible());
    const QPoint corner(screen->sbtExcluir->x(),
                        screen->sbtExcluir->y() + screen->sbtExcluir->height());
    QCOMPARE(screen->pmnExcluir->pos(), screen->panMenu->mapToGlobal(corner));
    QCOMPARE(screen->mnuDia->isEnabled(), day);
    QCOMPARE(screen->mnuMes->isEnabled(), month);
    QVERIFY(screen->mnuAno->isEnabled());
    screen->pmnExcluir->close();
    QVERIFY(m_calls.size() == callsOf(QStringLiteral("GetCaleProduAux")).size());
}

void tst_editing::deletionRemovesTheChosenScope_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QVariantList>("call");
    QTest::addColumn<QStringList>("kept");

    const QVariantList none;
    const QDate processing(2026, 3, 15);
    const QStringList all{"2026-03-02", "2026-03-16", "2026-03-20", "2026-12-07", "2026-12-08"};
    QTest::newRow("day") << QDate(2026, 3, 20) << int(Qt::Key_D) << mrYes
                         << QVariantList{"GetDelCaleProdu", "0001", "01", QDate(2026, 3, 20)}
                         << QStringList{"2026-03-02", "2026-03-16", "2026-12-07", "2026-12-08"};
    QTest::newRow("March") << QDate(2026, 3, 20) << int(Qt::Key_M) << mrYes
                           << QVariantList{"GetDelCaleProduMes", "0001", "01", processing,
                                           "03/2026"}
                           << QStringList{"2026-03-02", "2026-12-07", "2026-12-08"};
    QTest::newRow("December") << QDate(2026, 12, 7) << int(Qt::Key_M) << mrYes
                              << QVariantList{"GetDelCaleProduMes", "0001", "01", processing,
                                              "12/2026"}
                              << QStringList{"2026-03-02", "2026-03-16", "2026-03-20"};
    QTest::newRow("year") << QDate(2026, 12, 7) << int(Qt::Key_A) << mrYes
                          << QVariantList{"GetDelCaleProduAno", "0001", "01", processing, "2026"}
                          << QStringList{"2026-03-02"};
    QTest::newRow("declined") << QDate(2026, 3, 20) << int(Qt::Key_A) << mrNo << none << all;
}

void tst_editing::deletionRemovesTheChosenScope()
{
    QFETCH(QDate, date);
    QFETCH(int, key);
    QFETCH(int, answer);
    QFETCH(QVariantList, call);
    QFETCH(QStringList, kept);
    m_env.context.processingDate = QDate(2026, 3, 15);
    addProductionDays({"2026-03-02", "2026-03-16", "2026-03-20", "2026-12-07", "2026-12-08"});
    TfrmCaleProdu *screen = openLive(QStringLiteral("01"), date);
    QVERIFY(screen);
    m_env.dialogs.answers = {answer};

    QTest::mouseClick(screen->sbtExcluir, Qt::LeftButton);
    QTRY_VERIFY(screen->pmnExcluir->isVisible());
    QTest::keyClick(screen->pmnExcluir, Qt::Key(key));

    QCOMPARE(m_env.dialogs.texts(), QStringList{"Confirma Exclusão?"});
    QCOMPARE(m_env.dialogs.messages.first().kind, TMsgDlgType::mtConfirmation);
    QCOMPARE(storedDays(), kept);
    QVERIFY(!ShowAviActive());
    if (call.isEmpty()) {
        QCOMPARE(m_calls.size(), callsOf(QStringLiteral("GetCaleProduAux")).size());
        return;
    }
    QCOMPARE(m_calls.first(), call);
    QCOMPARE(callsOf(QStringLiteral("GetCaleProdu")).size(), 1);
    // Reloaded and still live: the month shows what the server kept.
    QCOMPARE(screen->cdsCaleProdu->RecordCount(), kept.size());
    QCOMPARE(screen->SelectedCalendar(), screen->Calendar(date.month()));
    QCOMPARE(screen->sbtExcluir->isEnabled(), !kept.isEmpty());
}

void tst_editing::calculationReloadsWhatTheServerCalculated_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<int>("months");

    QTest::newRow("month button") << "sbtCalcMes" << QDate(2024, 3, 1) << 1;
    QTest::newRow("month menu item") << "mnuCalcMes" << QDate(2024, 3, 1) << 1;
    QTest::newRow("year button") << "sbtCalcAno" << QDate(2024, 1, 1) << 12;
    QTest::newRow("year menu item") << "mnuCalcAno" << QDate(2024, 1, 1) << 12;
}

void tst_editing::calculationReloadsWhatTheServerCalculated()
{
    QFETCH(QString, command);
    QFETCH(QDate, start);
    QFETCH(int, months);
    // The host's branch and the branch in force differ: the branch in force's date counts.
    const QDate processing(2024, 3, 12);
    m_env.context.processingDate = QDate(2024, 1, 1);
    m_env.context.processingDates.insert(QStringLiteral("0002"), processing);
    TfrmCaleProdu *screen = calendartest::OpenScreen(m_env, this, &m_calls);
    QVERIFY(screen);
    screen->medCdFilial->SetText(QStringLiteral("0002"));
    QVERIFY(calendartest::GoLive(screen, QStringLiteral("01"), QDate(2024, 3, 20)));
    QCOMPARE(stCDFILIAL, QStringLiteral("0002"));
    m_calls.clear();

    if (auto *button = screen->findChild<TSpeedButton *>(command))
        QTest::mouseClick(button, Qt::LeftButton);
    else
        screen->findChild<QAction *>(command)->trigger();

    QVERIFY2(m_env.dialogs.messages.isEmpty(), qPrintable(m_env.dialogs.texts().join('\n')));
    QVERIFY(!ShowAviActive());
    QCOMPARE(m_calls.value(0),
             QVariantList({"CalculaProducao", "0002", "01", start, months, processing}));
    // Weekdays from the processing date to the end of the period, the holidays left out.
    QStringList expected;
    const QDate end = start.addMonths(months).addDays(-1);
    for (QDate day = std::max(start, processing); day <= end; day = day.addDays(1)) {
        const bool holiday =
            m_env.fixture.database()
                .value(QStringLiteral("SELECT COUNT(*) FROM FERIADO WHERE DTFERICOMP = ? AND "
                                      "(CDFILIAL IS NULL OR CDFILIAL = '0002')"),
                       {day.toString(Qt::ISODate)})
                .toInt() > 0;
        if (day.dayOfWeek() <= 5 && !holiday)
            expected.append(QStringLiteral("0002/01/") + day.toString(Qt::ISODate));
    }
    QCOMPARE(m_env.fixture.database().calendar(), expected);
    QCOMPARE(screen->cdsCaleProdu->RecordCount(), expected.size());
    QList<int> march;
    for (const QString &row : expected) {
        if (row.contains(QLatin1String("2024-03-")))
            march.append(row.right(2).toInt());
    }
    QCOMPARE(screen->Calendar(3)->MarkedDays(), march);
    QCOMPARE(screen->SelectedCalendar(), screen->Calendar(3));
}

QTEST_MAIN(tst_editing)
#include "tst_editing.moc"
