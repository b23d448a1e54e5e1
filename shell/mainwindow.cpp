#include "mainwindow.h"

#include "eventboundary.h"

#include <QMdiArea>
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
    windows->addAction(QStringLiteral("&Cascata"), m_mdiArea, &QMdiArea::cascadeSubWindows);
    windows->addAction(QStringLiteral("&Lado a lado"), m_mdiArea, &QMdiArea::tileSubWindows);
}
