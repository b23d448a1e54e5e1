// The first view of a new user on a 1280 x 800 display: the main window opens maximised and
// comes back as it was left; a screen opens centred in the work area.

#include "mainwindow.h"

#include "core/application.h"
#include "vgadisplay.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include <memory>

class tst_FirstView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void mainWindowPlacement_data();
    void mainWindowPlacement();
    void screenOpensCentred_data();
    void screenOpensCentred();
};

namespace {

std::unique_ptr<MainWindow> showMainWindow()
{
    auto window = std::make_unique<MainWindow>([] {});
    window->show();
    QApplication::setActiveWindow(window.get());
    (void)QTest::qWaitForWindowExposed(window.get());
    return window;
}

} // namespace

// Every case starts as a new user: nothing kept (runOnDisplay keeps the settings in a test folder).
void tst_FirstView::init()
{
    QCoreApplication::setOrganizationName(QStringLiteral("caleprodu"));
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("caleprodu"), "window")
        .clear();
}

void tst_FirstView::mainWindowPlacement_data()
{
    QTest::addColumn<QString>("leftAs"); // how the operator left it last time; "" for never
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<QRect>("normal");

    QTest::newRow("first run") << "" << true << QRect();
    QTest::newRow("left at a size of the operator's")
        << "moved" << false << QRect(100, 80, 900, 560);
    QTest::newRow("left maximised") << "maximised" << true << QRect();
}

void tst_FirstView::mainWindowPlacement()
{
    QFETCH(QString, leftAs);
    QFETCH(bool, maximised);
    QFETCH(QRect, normal);
    if (!leftAs.isEmpty()) {
        std::unique_ptr<MainWindow> before = showMainWindow();
        if (leftAs == QLatin1String("moved")) {
            before->showNormal();
            before->setGeometry(normal);
        }
        QVERIFY(before->close());
    }
    std::unique_ptr<MainWindow> window = showMainWindow();
    QCOMPARE(window->isMaximized(), maximised);
    if (!maximised)
        QCOMPARE(window->geometry(), normal);
    QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
}

void tst_FirstView::screenOpensCentred_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("centred"); // else at the top left, its title bar in reach
    QTest::newRow("the calendar screen") << QSize(640, 411) << true;
    QTest::newRow("larger than the area") << QSize(1400, 900) << false;
}

void tst_FirstView::screenOpensCentred()
{
    QFETCH(QSize, size);
    QFETCH(bool, centred);
    std::unique_ptr<MainWindow> window = showMainWindow();
    host::SetMainForm(window.get(), window->mdiArea());
    auto *screen = new QWidget;
    screen->setMinimumSize(size);
    QMdiSubWindow *sub = host::ShowMdiChild(screen);
    QVERIFY(sub);
    const QRect area = window->mdiArea()->viewport()->rect();
    if (centred) {
        const QPoint off = sub->geometry().center() - area.center();
        QVERIFY(qAbs(off.x()) <= 1 && qAbs(off.y()) <= 1);
    } else {
        QCOMPARE(sub->pos(), QPoint(0, 0));
    }
    host::SetMainForm(nullptr, nullptr);
    delete sub;
}

int main(int argc, char *argv[])
{
    return testsupport::runOnDisplay<tst_FirstView>(argc, argv, QSize(1280, 800));
}

#include "tst_firstview.moc"
