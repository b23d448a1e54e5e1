#include "mainwindow.h"

#include "eventboundary.h"
#include "tfrmpadraogrid.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

MainWindow::MainWindow(std::function<void()> openCalendar, QWidget *parent)
    : QMainWindow(parent)
    , m_mdiArea(new QMdiArea(this))
{
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(QStringLiteral("Produção"));
    setCentralWidget(m_mdiArea);
    resize(1024, 640);

    QMenu *production = menuBar()->addMenu(QStringLiteral("&Produção"));
    QAction *calendar = production->addAction(QStringLiteral("&Calendário da Produção"));
    calendar->setObjectName(QStringLiteral("actCaleProdu"));
    connect(calendar, &QAction::triggered, this,
            [this, openCalendar] { host::guard(this, openCalendar); });
    production->addSeparator();
    QAction *quit = production->addAction(QStringLiteral("&Sair"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu *windows = menuBar()->addMenu(QStringLiteral("&Janelas"));
    m_windowsMenu = windows->menuAction();
    windows->addAction(QStringLiteral("&Cascata"), m_mdiArea, &QMdiArea::cascadeSubWindows);
    windows->addAction(QStringLiteral("&Lado a lado"), m_mdiArea, &QMdiArea::tileSubWindows);

    // A screen's menus stand in the bar while it is the current screen; a message box taking the
    // activation for a moment does not change the current screen, so they stay meanwhile.
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &MainWindow::showScreenMenus);
}

QList<QAction *> MainWindow::screenMenus() const
{
    QList<QAction *> menus;
    for (const QPointer<QAction> &menu : m_screenMenus) {
        if (menu)
            menus.append(menu);
    }
    return menus;
}

void MainWindow::showScreenMenus()
{
    QList<QAction *> wanted;
    QMdiSubWindow *current = m_mdiArea->currentSubWindow();
    if (auto *screen = current ? qobject_cast<TfrmPadraoGrid *>(current->widget()) : nullptr) {
        for (QMenu *menu : screen->Menus())
            wanted.append(menu->menuAction());
    }
    if (wanted == screenMenus())
        return;
    // A closed screen's menus are deleted with it and leave the bar by themselves.
    for (QAction *menu : screenMenus())
        menuBar()->removeAction(menu);
    m_screenMenus.clear();
    for (QAction *menu : wanted) {
        menuBar()->insertAction(m_windowsMenu, menu);
        m_screenMenus.append(menu);
    }
}
