#include "calendar/cli_qmr07700.h"

#include "calendarscreen.h"
#include "mainwindow.h"
#include "screenenvironment.h"

#include "application.h"
#include "tclientdataset.h"
#include "tspeedbutton.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

extern "C" void Initialize();

using namespace Cli_qmr07700;

// The main window of the shell shows the maintenance menu of the screen that is active.
class tst_mainmenu : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuBarFollowsTheActiveScreen();
    void itemsAreReachedByTheirMnemonics_data();
    void itemsAreReachedByTheirMnemonics();

private:
    TfrmCaleProdu *openScreen();
    // Presses Alt plus the menu's mnemonic, then the item's, where the operator's focus is.
    void choose(Qt::Key item);

    testsupport::ScreenEnvironment m_env;
    std::unique_ptr<MainWindow> m_shell;
    QList<QVariantList> m_calls;
};

void tst_mainmenu::initTestCase()
{
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
    m_env.window->hide();
    m_shell = std::make_unique<MainWindow>([] { IniProc(); });
    m_shell->resize(1024, 700);
    host::SetMainForm(m_shell.get(), m_shell->mdiArea());
    m_shell->show();
    // The environment's window and area stand for the shell's from here on.
    m_env.mdiArea = m_shell->mdiArea();
}

void tst_mainmenu::init()
{
    m_env.reset();
    m_calls.clear();
    m_shell->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_shell.get()));
}

void tst_mainmenu::cleanup()
{
    m_shell->mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(frmCaleProdu.isNull());
}

TfrmCaleProdu *tst_mainmenu::openScreen()
{
    m_shell->findChild<QAction *>(QStringLiteral("actCaleProdu"))->trigger();
    TfrmCaleProdu *screen = frmCaleProdu;
    if (!screen || !QTest::qWaitFor([screen] { return !screen->medCdFilial->Text().isEmpty(); }))
        return nullptr;
    connect(screen->netCaleComp, &TNetConnection::called, this,
            [this](const QString &method, const QVariantList &params) {
                m_calls.append(QVariantList{method} + params);
            });
    return screen;
}

void tst_mainmenu::choose(Qt::Key item)
{
    // The offscreen platform leaves no window active once a pop-up menu has closed.
    m_shell->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_shell.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_M, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    QTest::keyClick(QApplication::activePopupWidget(), item);
    QTRY_VERIFY(!QApplication::activePopupWidget());
}

void tst_mainmenu::menuBarFollowsTheActiveScreen()
{
    const QList<QAction *> shellMenus = m_shell->menuBar()->actions();
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    QAction *maintenance = screen->mnuManutencao->menuAction();
    QCOMPARE(maintenance->text(), QStringLiteral("&Manutenção"));
    QCOMPARE(m_shell->screenMenus(), QList<QAction *>{maintenance});
    // Between the shell's own menus, before its window list.
    QCOMPARE(m_shell->menuBar()->actions(),
             QList<QAction *>({shellMenus.first(), maintenance, shellMenus.last()}));

    // Another screen takes the bar while it is active, and gives it back.
    auto *other = TfrmPadraoGrid::Create<TfrmPadraoGrid>();
    QMdiSubWindow *otherWindow = host::ShowMdiChild(other);
    QCOMPARE(m_shell->screenMenus(), QList<QAction *>{other->mnuManutencao->menuAction()});
    m_shell->mdiArea()->setActiveSubWindow(screen->SubWindow());
    QCOMPARE(m_shell->screenMenus(), QList<QAction *>{maintenance});

    screen->SubWindow()->close();
    QTRY_VERIFY(frmCaleProdu.isNull());
    QCOMPARE(m_shell->screenMenus(), QList<QAction *>{other->mnuManutencao->menuAction()});
    otherWindow->close();
    QTRY_COMPARE(m_shell->menuBar()->actions(), shellMenus);
    QVERIFY(m_shell->screenMenus().isEmpty());
}

void tst_mainmenu::itemsAreReachedByTheirMnemonics_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("stored");

    // Calc&ular Produção no Mês; &Incluir then C&onfirmar.
    QTest::newRow("month calculation") << QList<int>{Qt::Key_U} << "CalculaProducao" << 16;
    QTest::newRow("include and confirm") << QList<int>{Qt::Key_I, Qt::Key_O} << "SetCaleProdu" << 1;
}

void tst_mainmenu::itemsAreReachedByTheirMnemonics()
{
    QFETCH(QList<int>, keys);
    QFETCH(QString, method);
    QFETCH(int, stored);
    TfrmCaleProdu *screen = openScreen();
    QVERIFY(screen);
    // At rest the month calculation is off, in the tool bar and in the menu bar alike.
    QVERIFY(!screen->mnuCalcMes->isEnabled());
    QVERIFY(calendartest::GoLive(screen, QStringLiteral("01"), QDate(2026, 3, 12)));
    QVERIFY(screen->mnuCalcMes->isEnabled());
    QVERIFY(screen->mnuIncluir->isEnabled());
    m_calls.clear();

    for (int key : keys)
        choose(Qt::Key(key));

    QVERIFY2(m_env.dialogs.messages.isEmpty(), qPrintable(m_env.dialogs.texts().join('\n')));
    QCOMPARE(calendartest::CallsOf(m_calls, method), 1);
    QCOMPARE(m_env.fixture.database().calendar().size(), stored);
    QCOMPARE(screen->cdsCaleProdu->RecordCount(), stored);
    QCOMPARE(screen->cdsCaleProdu->State(), TDataSetState::dsBrowse);
}

QTEST_MAIN(tst_mainmenu)
#include "tst_mainmenu.moc"
