#include "calendar/cli_qmr07700.h"

#include "calendarscreen.h"
#include "mainwindow.h"
#include "screenenvironment.h"
#include "tempsettings.h"

#include "controls/showavi.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "data/tclientdataset.h"

#include <QAction>
#include <QMdiSubWindow>
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
    void pendingDay_data();
    void pendingDay();
    void failedUploadKeepsTheDayPending();
    void pendingDayIsSettledBeforeItIsLeft_data();
    void pendingDayIsSettledBeforeItIsLeft();
    void deletion_data();
    void deletion();
    void calculation_data();
    void calculation();

private:
    TfrmCaleProdu *openLive(const QString &branch, const QString &periodicity, const QDate &date);
    // The days of a calendar that the server's database holds.
    QStringList stored(const QString &calendar = QStringLiteral("0001/01/"));
    int callsOf(const QString &method) const { return calendartest::CallsOf(m_calls, method); }

    testsupport::ScreenEnvironment m_env;
    testsupport::TempSettings m_settings;
    MainWindow *m_shell = nullptr;
    QList<QVariantList> m_calls;
};

void tst_editing::initTestCase()
{
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
    // The shell's own main window hosts the screens here.
    m_shell = new MainWindow([] { IniProc(); });
    m_env.window.reset(m_shell);
    m_env.mdiArea = m_shell->mdiArea();
    host::SetMainForm(m_shell, m_env.mdiArea);
    m_shell->show();
}

void tst_editing::init()
{
    m_env.reset();
    m_calls.clear();
}

void tst_editing::cleanup()
{
    calendartest::CloseScreens(m_env);
    // The offscreen platform leaves no window active once a pop-up menu has closed.
    m_shell->activateWindow();
}

TfrmCaleProdu *tst_editing::openLive(const QString &branch, const QString &periodicity,
                                     const QDate &date)
{
    TfrmCaleProdu *screen = calendartest::OpenScreen(m_env, this, &m_calls);
    if (!screen)
        return nullptr;
    screen->medCdFilial->SetText(branch);
    if (!calendartest::GoLive(screen, periodicity, date))
        return nullptr;
    m_calls.clear();
    return screen;
}

QStringList tst_editing::stored(const QString &calendar)
{
    QStringList days;
    for (const QString &row : m_env.fixture.database().calendar()) {
        if (row.startsWith(calendar))
            days.append(row.mid(calendar.size()));
    }
    return days;
}

void tst_editing::pendingDay_data()
{
    QTest::addColumn<QString>("periodicity");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QString>("message");

    // 21 April is a holiday; periodicity 01 refuses holidays, 02 does not.
    QTest::newRow("holiday refused") << "01"
                                     << ""
                                     << "Feriado nesta data.";
    QTest::newRow("holiday taken unchecked") << "02"
                                             << "confirm"
                                             << "";
    QTest::newRow("cancelled") << "02"
                               << "cancel"
                               << "";
    QTest::newRow("another day clicked") << "02"
                                         << "click"
                                         << "";
}

void tst_editing::pendingDay()
{
    QFETCH(QString, periodicity);
    QFETCH(QString, ending);
    QFETCH(QString, message);
    TfrmCaleProdu *screen = openLive("0001", periodicity, QDate(2026, 4, 21));
    QVERIFY(screen);
    QTest::mouseClick(screen->sbtIncluir, Qt::LeftButton);
    if (!ending.isEmpty()) {
        for (int month = 1; month <= 12; ++month)
            QCOMPARE(screen->Calendar(month)->isEnabled(), month == 4);
    }
    if (ending == QLatin1String("confirm"))
        QTest::mouseClick(screen->sbtConfirmar, Qt::LeftButton);
    else if (ending == QLatin1String("cancel"))
        QTest::mouseClick(screen->sbtCancelar, Qt::LeftButton);
    else if (ending == QLatin1String("click"))
        calendartest::ClickDay(screen->Calendar(4), 22);

    const bool kept = message.isEmpty() && ending != QLatin1String("cancel");
    QCOMPARE(m_env.dialogs.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(callsOf("GetVerificaDiaUtil"), periodicity == QLatin1String("01") ? 1 : 0);
    QCOMPARE(callsOf("SetCaleProdu"), int(kept));
    QCOMPARE(stored(QStringLiteral("0001/%1/").arg(periodicity)),
             kept ? QStringList{"2026-04-21"} : QStringList());
    QCOMPARE(screen->Calendar(4)->MarkedDays(), kept ? QList<int>{21} : QList<int>());
    for (int month = 1; month <= 12; ++month)
        QVERIFY(screen->Calendar(month)->isEnabled());
}

void tst_editing::failedUploadKeepsTheDayPending()
{
    TfrmCaleProdu *screen = openLive("0001", "01", QDate(2026, 4, 22));
    QVERIFY(screen);
    QTest::mouseClick(screen->sbtIncluir, Qt::LeftButton);
    screen->netCaleComp->SetPort(1); // nothing listens there, as with a stopped server
    QTest::mouseClick(screen->sbtConfirmar, Qt::LeftButton);
    QVERIFY(m_env.dialogs.texts().value(0).startsWith("Servidor de aplicação indisponível"));
    QVERIFY(!ShowAviActive());
    QVERIFY(stored().isEmpty());
    QCOMPARE(screen->cdsCaleProdu->ChangeCount(), 1);
    QVERIFY(screen->Calendar(4)->IsPending(22));

    // With the server back, the unsent day travels with the next one.
    screen->netCaleComp->SetPort(m_env.fixture.port());
    calendartest::ClickDay(screen->Calendar(4), 23);
    QTest::mouseClick(screen->sbtIncluir, Qt::LeftButton);
    QTest::mouseClick(screen->sbtConfirmar, Qt::LeftButton);
    QCOMPARE(stored(), QStringList({"2026-04-22", "2026-04-23"}));
}

void tst_editing::pendingDayIsSettledBeforeItIsLeft_data()
{
    QTest::addColumn<QString>("leaving");   // close, filter, year spin
    QTest::addColumn<bool>("uploadFailed"); // else still being included
    QTest::addColumn<int>("answer");
    QTest::newRow("close while including, save") << "close" << false << mrYes;
    QTest::newRow("close while including, stay") << "close" << false << mrCancel;
    QTest::newRow("close after a failed upload, discard") << "close" << true << mrNo;
    QTest::newRow("filter after a failed upload, stay") << "filter" << true << mrCancel;
    QTest::newRow("year spin after a failed upload, save") << "year spin" << true << mrYes;
    QTest::newRow("year spin after a failed upload, stay") << "year spin" << true << mrCancel;
    QTest::newRow("quitting after a failed upload, stay") << "quit" << true << mrCancel;
    QTest::newRow("quitting while including, save") << "quit" << false << mrYes;
}

void tst_editing::pendingDayIsSettledBeforeItIsLeft()
{
    QFETCH(QString, leaving);
    QFETCH(bool, uploadFailed);
    QFETCH(int, answer);
    TfrmCaleProdu *screen = openLive("0001", "02", QDate(2026, 4, 22));
    QVERIFY(screen);
    QTest::mouseClick(screen->sbtIncluir, Qt::LeftButton);
    if (uploadFailed) {
        screen->netCaleComp->SetPort(1);
        QTest::mouseClick(screen->sbtConfirmar, Qt::LeftButton);
        screen->netCaleComp->SetPort(m_env.fixture.port());
    }
    m_env.dialogs.clear();
    // A click on a spin button takes the focus to the year first: that move asks, and a
    // cancelled move leaves the year as it was, without asking again.
    m_env.dialogs.answers = {answer, answer};
    if (leaving == QLatin1String("close"))
        screen->SubWindow()->close();
    else if (leaving == QLatin1String("quit"))
        m_shell->close();
    else if (leaving == QLatin1String("filter"))
        QTest::mouseClick(screen->medCdPeriodicidade, Qt::LeftButton);
    else
        QTest::mouseClick(screen->speYear->findChild<QWidget *>("up"), Qt::LeftButton);

    QCOMPARE(m_env.dialogs.messages.size(), 1);
    QVERIFY(m_env.dialogs.messages.value(0).buttons == mbYesNoCancel &&
            m_env.dialogs.texts().value(0).startsWith("Há um dia de produção incluído"));
    QCOMPARE(stored(QStringLiteral("0001/02/")).size(), int(answer == mrYes));
    QCOMPARE(m_shell->isVisible(), leaving != QLatin1String("quit") || answer == mrCancel);
    m_shell->show();
    if (answer == mrCancel) // the operator stays on the day, in the year he was in
        QVERIFY(screen->HasPendingDay() && screen->ActiveControl() == screen->Calendar(4) &&
                screen->speYear->Text() == QLatin1String("2026"));
}

void tst_editing::deletion_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<bool>("dayOn");
    QTest::addColumn<bool>("monthOn");
    QTest::addColumn<int>("key");
    QTest::addColumn<QVariantList>("call");
    QTest::addColumn<QStringList>("kept");

    // Processing date 15 March 2026: days before it are history and stay.
    const QDate proc(2026, 3, 15);
    QTest::newRow("day on the processing date")
        << proc << true << true << int(Qt::Key_D)
        << QVariantList{"GetDelCaleProdu", "0001", "01", proc}
        << QStringList{"2026-02-28", "2026-03-02", "2026-03-20", "2026-12-07"};
    QTest::newRow("month from its first day")
        << QDate(2026, 3, 1) << false << true << int(Qt::Key_M)
        << QVariantList{"GetDelCaleProduMes", "0001", "01", proc, "03/2026"}
        << QStringList{"2026-02-28", "2026-03-02", "2026-12-07"};
    QTest::newRow("December") << QDate(2026, 12, 7) << true << true << int(Qt::Key_M)
                              << QVariantList{"GetDelCaleProduMes", "0001", "01", proc, "12/2026"}
                              << QStringList{"2026-02-28", "2026-03-02", "2026-03-15",
                                             "2026-03-20"};
    QTest::newRow("year from the day before")
        << QDate(2026, 3, 14) << false << true << int(Qt::Key_A)
        << QVariantList{"GetDelCaleProduAno", "0001", "01", proc, "2026"}
        << QStringList{"2026-02-28", "2026-03-02"};
    QTest::newRow("declined, month before") << QDate(2026, 2, 28) << false << false
                                            << int(Qt::Key_A) << QVariantList() << QStringList();
}

void tst_editing::deletion()
{
    QFETCH(QDate, date);
    QFETCH(bool, dayOn);
    QFETCH(bool, monthOn);
    QFETCH(int, key);
    QFETCH(QVariantList, call);
    QFETCH(QStringList, kept);
    const QStringList days{"2026-02-28", "2026-03-02", "2026-03-15", "2026-03-20", "2026-12-07"};
    for (const QString &day : days)
        m_env.fixture.database().exec("INSERT INTO CALEPRODUCAO VALUES ('0001', '01', ?)", {day});
    m_env.context.processingDate = QDate(2026, 3, 15);
    m_env.dialogs.answers = {call.isEmpty() ? mrNo : mrYes};
    TfrmCaleProdu *screen = openLive("0001", "01", date);
    QVERIFY(screen);

    QTest::mouseClick(screen->sbtExcluir, Qt::LeftButton);
    QTRY_VERIFY(screen->pmnExcluir->isVisible());
    const QRect button = screen->sbtExcluir->geometry();
    QCOMPARE(screen->pmnExcluir->pos(),
             screen->panMenu->mapToGlobal(button.bottomLeft()) + QPoint(0, 1));
    QCOMPARE(screen->mnuDia->isEnabled(), dayOn);
    QCOMPARE(screen->mnuMes->isEnabled(), monthOn);
    QVERIFY(screen->mnuAno->isEnabled());
    QTest::keyClick(screen->pmnExcluir, Qt::Key(key));

    QCOMPARE(m_env.dialogs.texts(), QStringList{"Confirma Exclusão?"});
    QCOMPARE(m_calls.value(0), call);
    QCOMPARE(stored(), call.isEmpty() ? days : kept);
    QCOMPARE(screen->cdsCaleProdu->RecordCount(), int(stored().size()));
}

void tst_editing::calculation_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<int>("months");

    QTest::newRow("month button") << "sbtCalcMes" << QDate(2024, 3, 1) << 1;
    QTest::newRow("month from the menu bar") << "Alt+M U" << QDate(2024, 3, 1) << 1;
    QTest::newRow("year button") << "sbtCalcAno" << QDate(2024, 1, 1) << 12;
    QTest::newRow("year menu item") << "mnuCalcAno" << QDate(2024, 1, 1) << 12;
}

void tst_editing::calculation()
{
    QFETCH(QString, command);
    QFETCH(QDate, start);
    QFETCH(int, months);
    // The operator's branch 0001 and the branch in force 0002 have different processing dates.
    m_env.context.processingDate = QDate(2024, 1, 1);
    m_env.context.processingDates.insert("0002", QDate(2024, 3, 12));
    TfrmCaleProdu *screen = openLive("0002", "01", QDate(2024, 3, 20));
    QVERIFY(screen);
    QAction *maintenance = screen->mnuManutencao->menuAction();
    QCOMPARE(m_shell->screenMenus(), QList<QAction *>{maintenance});

    if (command.startsWith(QLatin1String("Alt"))) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_M, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_U);
    } else if (auto *button = screen->findChild<TSpeedButton *>(command)) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        screen->findChild<QAction *>(command)->trigger();
    }
    QCOMPARE(m_calls.value(0),
             QVariantList({"CalculaProducao", "0002", "01", start, months, QDate(2024, 3, 12)}));
    const QStringList days = stored("0002/01/");
    QVERIFY(!days.isEmpty() && days.first() >= QLatin1String("2024-03-12"));
    QCOMPARE(screen->cdsCaleProdu->RecordCount(), int(days.size()));
    QCOMPARE(screen->Calendar(3)->MarkedDays().size(), days.filter("2024-03-").size());

    // The bar carries the menu of whichever screen is active, and none once they close.
    auto *other = TfrmPadraoGrid::Create<TfrmPadraoGrid>();
    host::ShowMdiChild(other);
    QCOMPARE(m_shell->screenMenus(), QList<QAction *>{other->mnuManutencao->menuAction()});
    m_env.mdiArea->setActiveSubWindow(screen->SubWindow());
    QCOMPARE(m_shell->screenMenus(), QList<QAction *>{maintenance});
    m_env.mdiArea->closeAllSubWindows();
    QTRY_VERIFY(m_shell->screenMenus().isEmpty());
}

QTEST_MAIN(tst_editing)
#include "tst_editing.moc"
