#include "calendar/cli_qmr07700.h"

#include "calendarscreen.h"
#include "screenenvironment.h"

#include "controls/hostcolors.h"
#include "controls/showavi.h"
#include "controls/tdbcalendar.h"
#include "controls/tedit.h"
#include "controls/tlabel.h"
#include "controls/tmaskedit.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTest>

extern "C" void Initialize();

using namespace Cli_qmr07700;

class tst_cli_qmr07700 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void iniProcReusesTheOpenScreen();
    void firstActivationSetsTheDefaults_data();
    void firstActivationSetsTheDefaults();
    void loadSendsTheYearWithoutLeadingZeros();
    void loadSendsThePeriodicityLastInForce();
    void failedLoadKeepsTheCalendar();
    void closingReleasesTheScreen();
    void failedCreationRestoresTheCursor();
    void helpOpensTheScreensContext();

private:
    TfrmCaleProdu *openScreen();
    void closeScreens();

    testsupport::ScreenEnvironment m_env;
    QList<QVariantList> m_calls;
};

void tst_cli_qmr07700::initTestCase()
{
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
}

void tst_cli_qmr07700::init()
{
    m_env.reset();
    m_calls.clear();
}

void tst_cli_qmr07700::cleanup()
{
    closeScreens();
}

void tst_cli_qmr07700::cleanupTestCase()
{
    closeScreens();
}

TfrmCaleProdu *tst_cli_qmr07700::openScreen()
{
    return calendartest::OpenScreen(m_env, this, &m_calls);
}

void tst_cli_qmr07700::closeScreens()
{
    calendartest::CloseScreens(m_env);
}

void tst_cli_qmr07700::iniProcReusesTheOpenScreen()
{
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    IniProc();
    QCOMPARE(frmCaleProdu.data(), screen);
    QCOMPARE(m_env.mdiArea->subWindowList().size(), 1);
    QVERIFY(FormCriado());
    // Any display but one 480 high leaves the window as the screen defines it.
    QVERIFY(QGuiApplication::primaryScreen()->geometry().height() != 480);
    QVERIFY(!screen->SubWindow()->isMaximized());
    QCOMPARE(screen->SubWindow()->size(), QSize(640, 411));

    closeScreens();
    QVERIFY(frmCaleProdu.isNull());
    QVERIFY(!FormCriado());
    QVERIFY(openScreen());
    QCOMPARE(m_env.mdiArea->subWindowList().size(), 1);
    QVERIFY(FormCriado());
}

void tst_cli_qmr07700::firstActivationSetsTheDefaults_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<bool>("perBranch");
    QTest::addColumn<QString>("name");
    QTest::newRow("branch of the operator") << "0001" << false << "Matriz São Paulo";
    QTest::newRow("locked to the branch") << "0002" << true << "Filial Rio de Janeiro";
    QTest::newRow("unknown branch, no message") << "0099" << false << "";
}

void tst_cli_qmr07700::firstActivationSetsTheDefaults()
{
    QFETCH(QString, branch);
    QFETCH(bool, perBranch);
    QFETCH(QString, name);
    m_env.context.branch = branch;
    m_env.context.perBranch = perBranch;
    m_env.clock.now = QDateTime(QDate(2031, 8, 20), QTime(23, 59));

    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QCOMPARE(screen->medCdFilial->Text(), branch);
    QCOMPARE(screen->edtNmFilial->Text(), name);
    QCOMPARE(stCDFILIAL, branch);
    QCOMPARE(screen->medCdFilial->isEnabled(), !perBranch);
    QCOMPARE(screen->speYear->Text(), QStringLiteral("2031"));
    QVERIFY(screen->medCdPeriodicidade->Text().isEmpty());
    QCOMPARE(inSelectDbc, 0);
    QVERIFY(!screen->cdsCaleProdu->Active());
    for (int month = 1; month <= 12; ++month) {
        TDBCalendar *calendar = screen->Calendar(month);
        QCOMPARE(calendar->Date(), QDate(2031, month, 1));
        QCOMPARE(calendar->Color(), clSilver);
        QCOMPARE(calendar->HollidayColor(), clNone);
        QCOMPARE(screen->MonthLabel(month)->FontColor(), clGray);
    }
    QVERIFY(screen->SelectedCalendar() == nullptr);
    QVERIFY(m_env.dialogs.messages.isEmpty());
}

void tst_cli_qmr07700::loadSendsTheYearWithoutLeadingZeros()
{
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    m_calls.clear();
    screen->speYear->SetText(QStringLiteral("0999"));
    QVERIFY(!m_calls.isEmpty());
    QCOMPARE(m_calls.last().value(0).toString(), QStringLiteral("GetCaleProdu"));
    QCOMPARE(m_calls.last().value(3).toString(), QStringLiteral("999"));
}

void tst_cli_qmr07700::loadSendsThePeriodicityLastInForce()
{
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    stCDPERIPRODU.clear();
    m_calls.clear();
    screen->GetCaleProdu();
    QCOMPARE(m_calls.last(), QVariantList({"GetCaleProdu", "0001", "", "2026"}));

    // A passed periodicity check puts its code in force, and it outlives the screen.
    screen->medCdPeriodicidade->SetText(QStringLiteral("2"));
    QVERIFY(host::guard(screen, [screen] { screen->Vd_CdPeriodicidade(true); }));
    QCOMPARE(screen->medCdPeriodicidade->Text(), QStringLiteral("02"));
    closeScreens();

    screen = openScreen();
    QVERIFY(screen);
    QVERIFY(screen->medCdPeriodicidade->Text().isEmpty());
    m_calls.clear();
    screen->GetCaleProdu();
    QCOMPARE(m_calls.last(), QVariantList({"GetCaleProdu", "0001", "02", "2026"}));
}

void tst_cli_qmr07700::failedLoadKeepsTheCalendar()
{
    m_env.fixture.database().exec(
        QStringLiteral("INSERT INTO CALEPRODUCAO VALUES ('0001', '01', '2026-03-02'), "
                       "('0001', '01', '2026-03-03')"));
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    stCDPERIPRODU = QStringLiteral("01");
    screen->GetCaleProdu();
    QCOMPARE(screen->cdsCaleProdu->RecordCount(), 2);

    const int port = 1; // nothing listens there: the connection is refused
    screen->netCaleComp->SetPort(port);
    QVERIFY(!host::guard(screen, [screen] { screen->GetCaleProdu(); }));

    QCOMPARE(screen->cdsCaleProdu->RecordCount(), 2);
    QVERIFY(!ShowAviActive());
    QCOMPARE(m_env.dialogs.messages.size(), 1);
    QCOMPARE(m_env.dialogs.messages.first().kind, TMsgDlgType::mtError);
    const QString expected =
        QStringLiteral("Servidor de aplicação indisponível (127.0.0.1:%1): ").arg(port);
    QVERIFY2(m_env.dialogs.messages.first().text.startsWith(expected),
             qPrintable(m_env.dialogs.messages.first().text));
}

void tst_cli_qmr07700::closingReleasesTheScreen()
{
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    stCDPERIPRODU = QStringLiteral("01");
    screen->GetCaleProdu();
    QVERIFY(screen->netCaleComp->Connected());
    QPointer<TNetConnection> connection = screen->netCaleComp;
    screen->SubWindow()->close();
    // The module-wide reference never points at a released screen.
    QTRY_VERIFY(frmCaleProdu.isNull());
    QVERIFY(connection.isNull());
    QVERIFY(!FormCriado());
}

void tst_cli_qmr07700::failedCreationRestoresTheCursor()
{
    m_env.context.failServerAddress = true;
    QVERIFY(!host::guard(m_env.window.get(), [] { IniProc(); }));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QVERIFY(frmCaleProdu.isNull());
    QVERIFY(!FormCriado());
    QCOMPARE(m_env.dialogs.texts(),
             QStringList{QStringLiteral("Endereço do servidor de aplicação não configurado.")});

    // The next call tries again.
    m_env.context.failServerAddress = false;
    QVERIFY(openScreen());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void tst_cli_qmr07700::helpOpensTheScreensContext()
{
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QStringList opened;
    SetHelpHandler([&opened](const QString &file, int context) {
        opened << file + QLatin1Char('#') + QString::number(context);
    });
    QTest::mouseClick(screen->sbtAjuda, Qt::LeftButton);
    SetHelpHandler(nullptr);
    QCOMPARE(opened, QStringList{QStringLiteral("QmrHelp.hlp#13607700")});
}

QTEST_MAIN(tst_cli_qmr07700)
#include "tst_cli_qmr07700.moc"
