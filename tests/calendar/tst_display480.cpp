// The calendar screen on a display 480 pixels high opens maximised, at every opening.

#include "calendar/cli_qmr07700.h"

#include "screenenvironment.h"
#include "vgadisplay.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTest>

extern "C" void Initialize();

using namespace Cli_qmr07700;

class tst_display480 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void opensMaximisedEveryTime();
    void cleanupTestCase();

private:
    testsupport::ScreenEnvironment m_env;
};

void tst_display480::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().height(), 480);
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
}

void tst_display480::opensMaximisedEveryTime()
{
    IniProc();
    QVERIFY(frmCaleProdu);
    QTRY_VERIFY(frmCaleProdu->SubWindow()->isMaximized());
    frmCaleProdu->SubWindow()->showNormal();
    QVERIFY(!frmCaleProdu->SubWindow()->isMaximized());
    // Also when the screen already exists.
    IniProc();
    QTRY_VERIFY(frmCaleProdu->SubWindow()->isMaximized());
}

void tst_display480::cleanupTestCase()
{
    m_env.mdiArea->closeAllSubWindows();
    QTRY_VERIFY(frmCaleProdu.isNull());
}

int main(int argc, char *argv[])
{
    return testsupport::runOnVgaDisplay<tst_display480>(argc, argv);
}

#include "tst_display480.moc"
