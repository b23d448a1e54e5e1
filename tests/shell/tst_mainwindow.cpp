// The shell on a 640 x 480 display with the real calendar screen in it: the window fits, the MDI
// area scrolls, and every command answers the keyboard.

#include "calendar/cli_qmr07700.h"
#include "mainwindow.h"

#include "controls/tbtnpesquisa.h"
#include "controls/tdbcalendar.h"
#include "controls/tedit.h"
#include "controls/tgroupbox.h"
#include "controls/tmaskedit.h"
#include "controls/tpanel.h"
#include "controls/tspinedit.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "data/tdataset.h"
#include "screenenvironment.h"
#include "vgadisplay.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

extern "C" void Initialize();

using namespace Cli_qmr07700;

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void fitsTheScreen();
    void opensOnItsFirstField();
    void scrollsToTheLastCalendar();
    void cascadeKeepsTheDesignedSize();
    void f1OpensTheScreensHelp();
    void f9OpensTheLookupOnTheTypedCode();
    void refusedCodeIsRetypedAtOnce();
    void calendarTellsItsDay();
    void ctrlF4ClosesAndMenuRestores();

private:
    TfrmCaleProdu *open();
    bool goLive(TfrmCaleProdu *screen);

    testsupport::ScreenEnvironment m_env;
    std::unique_ptr<MainWindow> m_window;
    QList<std::pair<QString, int>> m_helpTopics;
};

void tst_MainWindow::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(640, 480));
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
    m_env.window->hide();
    m_window = std::make_unique<MainWindow>([] { IniProc(); });
    host::SetMainForm(m_window.get(), m_window->mdiArea());
    m_env.mdiArea = m_window->mdiArea();
    SetHelpHandler([this](const QString &file, int context) {
        m_helpTopics.append({file, context});
    });
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void tst_MainWindow::init()
{
    m_env.reset();
    m_helpTopics.clear();
}

void tst_MainWindow::cleanup()
{
    m_window->mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(frmCaleProdu.isNull());
}

void tst_MainWindow::cleanupTestCase()
{
    SetHelpHandler(nullptr);
    host::SetMainForm(nullptr, nullptr);
    m_env.mdiArea = nullptr;
    m_window.reset();
}

TfrmCaleProdu *tst_MainWindow::open()
{
    m_window->findChild<QAction *>(QStringLiteral("actCaleProdu"))->trigger();
    TfrmCaleProdu *screen = frmCaleProdu;
    if (!screen || !QTest::qWaitFor([screen] { return !screen->medCdFilial->Text().isEmpty(); }))
        return nullptr;
    return screen;
}

// Types a periodicity and leaves the panel into March, as an operator does.
bool tst_MainWindow::goLive(TfrmCaleProdu *screen)
{
    screen->medCdPeriodicidade->setFocus();
    QTest::keyClicks(screen->medCdPeriodicidade, QStringLiteral("01"));
    QTest::mouseClick(screen->Calendar(3), Qt::LeftButton, {},
                      screen->Calendar(3)->dayRect(10).center());
    return screen->Calendar(3)->DataField() == QLatin1String("DTPRODUCAO") &&
           m_env.dialogs.messages.isEmpty();
}

void tst_MainWindow::fitsTheScreen()
{
    const QRect available = m_window->screen()->availableGeometry();
    QVERIFY(m_window->isMaximized());
    QVERIFY2(available.contains(m_window->frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(m_window->frameGeometry().x())
                            .arg(m_window->frameGeometry().y())
                            .arg(m_window->frameGeometry().width())
                            .arg(m_window->frameGeometry().height())));
    // Restored, it stays on the screen too.
    QVERIFY(available.contains(m_window->normalGeometry()));
}

void tst_MainWindow::opensOnItsFirstField()
{
    TfrmCaleProdu *screen = open();
    QVERIFY(screen);
    QTRY_COMPARE(QApplication::focusWidget(), screen->medCdFilial);
    // Typing at once replaces the branch the screen opened with.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("0002"));
    QCOMPARE(screen->medCdFilial->Text(), QStringLiteral("0002"));
}

void tst_MainWindow::scrollsToTheLastCalendar()
{
    TfrmCaleProdu *screen = open();
    QVERIFY(screen);
    QMdiSubWindow *sub = screen->SubWindow();
    sub->showNormal();
    sub->setGeometry(325, 177, 640, 411);
    QMdiArea *area = m_window->mdiArea();
    QTRY_VERIFY(area->horizontalScrollBar()->isVisible());
    QTRY_VERIFY(area->verticalScrollBar()->isVisible());
    area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    TDBCalendar *december = screen->Calendar(12);
    const QRect shown(december->mapTo(area->viewport(), QPoint()), december->size());
    QVERIFY(area->viewport()->rect().contains(shown));
}

void tst_MainWindow::cascadeKeepsTheDesignedSize()
{
    TfrmCaleProdu *screen = open();
    QVERIFY(screen);
    QMdiSubWindow *sub = screen->SubWindow();
    sub->showNormal();
    m_window->mdiArea()->cascadeSubWindows();
    QCOMPARE(sub->size(), QSize(640, 411));
    m_window->mdiArea()->tileSubWindows();
    // Never narrower than the filter panel's controls.
    QVERIFY(screen->panRestInge->width() >= screen->grbLegenda->geometry().right());
}

void tst_MainWindow::f1OpensTheScreensHelp()
{
    TfrmCaleProdu *screen = open();
    QVERIFY(screen);
    QTRY_COMPARE(QApplication::focusWidget(), screen->medCdFilial);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QCOMPARE(m_helpTopics, (QList<std::pair<QString, int>>{{"QmrHelp.hlp", 13607700}}));
}

void tst_MainWindow::f9OpensTheLookupOnTheTypedCode()
{
    TfrmCaleProdu *screen = open();
    QVERIFY(screen);
    screen->medCdPeriodicidade->setFocus();
    QTest::keyClicks(screen->medCdPeriodicidade, QStringLiteral("3"));
    m_env.dialogs.lookupAnswers = {1};
    QTest::keyClick(screen->medCdPeriodicidade, Qt::Key_F9);
    QCOMPARE(m_env.dialogs.lookups.size(), 1);
    QCOMPARE(m_env.dialogs.lookups.first().title, QStringLiteral("Periodicidade"));
    QCOMPARE(m_env.dialogs.lookups.first().currentRow, 2);
    QCOMPARE(screen->medCdPeriodicidade->Text(), QStringLiteral("02"));
    // A name longer than its field shows from its start.
    QCOMPARE(screen->edtNmServico->cursorPosition(), 0);
}

void tst_MainWindow::refusedCodeIsRetypedAtOnce()
{
    TfrmCaleProdu *screen = open();
    QVERIFY(screen);
    screen->medCdPeriodicidade->setFocus();
    QTest::keyClicks(screen->medCdPeriodicidade, QStringLiteral("99"));
    QTest::keyClick(screen->medCdPeriodicidade, Qt::Key_Tab);
    QCOMPARE(m_env.dialogs.texts(), QStringList{"Periodicidade não cadastrada."});
    QTRY_COMPARE(QApplication::focusWidget(), screen->medCdPeriodicidade);
    QCOMPARE(screen->medCdPeriodicidade->selectedText(), QStringLiteral("99"));
    QTest::keyClicks(screen->medCdPeriodicidade, QStringLiteral("01"));
    QCOMPARE(screen->medCdPeriodicidade->Text(), QStringLiteral("01"));
    QTest::keyClick(screen->medCdPeriodicidade, Qt::Key_Tab);
    QCOMPARE(screen->edtNmServico->Text(), QStringLiteral("Produção Semanal (seg–sex)"));
    QCOMPARE(screen->edtNmServico->cursorPosition(), 0);
}

void tst_MainWindow::calendarTellsItsDay()
{
    m_env.fixture.database().exec(
        QStringLiteral("INSERT INTO CALEPRODUCAO VALUES ('0001', '01', '2026-03-10')"));
    TfrmCaleProdu *screen = open();
    QVERIFY(screen);
    QVERIFY(goLive(screen));
    TDBCalendar *march = screen->Calendar(3);
    // 10 March 2026 is a Tuesday, 14 March a Saturday.
    QCOMPARE(march->accessibleDescription(),
             QStringLiteral("Dia selecionado: 10 de março de 2026, dia de produção"));
    QTest::keyClick(march, Qt::Key_End);
    QTest::keyClick(march, Qt::Key_Up);
    QTest::keyClick(march, Qt::Key_Up);
    QCOMPARE(march->Date(), QDate(2026, 3, 17));
    QTest::keyClick(march, Qt::Key_Left);
    QTest::keyClick(march, Qt::Key_Left);
    QTest::keyClick(march, Qt::Key_Left);
    QCOMPARE(march->accessibleDescription(),
             QStringLiteral("Dia selecionado: 14 de março de 2026, não é dia de produção"));
    // Back in the filter panel the calendars are at rest and say nothing of production.
    screen->speYear->setFocus();
    QCOMPARE(march->accessibleDescription(),
             QStringLiteral("Dia selecionado: 14 de março de 2026"));
}

void tst_MainWindow::ctrlF4ClosesAndMenuRestores()
{
    TfrmCaleProdu *screen = open();
    QVERIFY(screen);
    screen->SubWindow()->showMinimized();
    QVERIFY(screen->SubWindow()->isMinimized());
    QCOMPARE(open(), screen);
    QVERIFY(!screen->SubWindow()->isMinimized());
    QCOMPARE(m_window->mdiArea()->currentSubWindow(), screen->SubWindow());

    QTRY_VERIFY(screen->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
    QTRY_VERIFY(frmCaleProdu.isNull());
}

int main(int argc, char *argv[])
{
    return testsupport::runOnVgaDisplay<tst_MainWindow>(argc, argv);
}

#include "tst_mainwindow.moc"
