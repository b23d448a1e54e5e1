#include "mainwindow.h"

#include "core/eventboundary.h"
#include "screens/tfrmpadraogrid.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>

#include <memory>

namespace {

// Kept apart from the shell's configuration file, whose keys the operator writes.
std::unique_ptr<QSettings> windowSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QCoreApplication::organizationName(),
                                       QStringLiteral("window"));
}

const QString geometryKey = QStringLiteral("MainWindow/geometry");

} // namespace

MainWindow::MainWindow(std::function<void()> openCalendar, QWidget *parent)
    : QMainWindow(parent)
    , m_mdiArea(new QMdiArea(this))
{
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(QStringLiteral("Produção"));
    setCentralWidget(m_mdiArea);
    placeOnScreen();
    scrollScreensIntoReach();

    QMenu *production = menuBar()->addMenu(QStringLiteral("&Produção"));
    m_production = production;
    QAction *calendar = production->addAction(QStringLiteral("&Calendário da Produção"));
    m_calendarItem = calendar;
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
    addCloseCommand(windows);
}

void MainWindow::addOverviewCommand(std::function<void()> openOverview)
{
    QAction *overview = new QAction(QStringLiteral("&Visão Geral dos Calendários"), m_production);
    overview->setObjectName(QStringLiteral("actVisaoGeral"));
    const QList<QAction *> items = m_production->actions();
    const qsizetype next = items.indexOf(m_calendarItem) + 1;
    m_production->insertAction(next < items.size() ? items.at(next) : nullptr, overview);
    connect(overview, &QAction::triggered, this,
            [this, openOverview] { host::guard(this, openOverview); });
}

void MainWindow::showCalendarWarning(const QString &text, std::function<void()> openWarnings)
{
    if (text.isEmpty())
        return;
    // A flat button: reachable by keyboard, and its caption is what a screen reader reads.
    auto *warning = new QPushButton(text, statusBar());
    warning->setObjectName(QStringLiteral("btnAvisoCalendario"));
    warning->setFlat(true);
    warning->setAccessibleName(text);
    warning->setStyleSheet(QStringLiteral("color: #a04000; font-weight: bold"));
    statusBar()->addWidget(warning);
    connect(warning, &QPushButton::clicked, this,
            [this, openWarnings] { host::guard(this, openWarnings); });
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

void MainWindow::placeOnScreen()
{
    fitToScreen();
    const QByteArray saved = windowSettings()->value(geometryKey).toByteArray();
    if (saved.isEmpty() || !restoreGeometry(saved))
        setWindowState(windowState() | Qt::WindowMaximized);
}

bool MainWindow::closeScreens()
{
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList()) {
        // A screen that only minimises itself on close lets the shell go.
        if (!sub->close() && !sub->isMinimized())
            return false;
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Each screen is asked first: one that keeps the operator (a day not yet saved, say) keeps the
    // shell open.
    if (!closeScreens()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        windowSettings()->setValue(geometryKey, saveGeometry());
}

void MainWindow::fitToScreen()
{
    const QSize standard(1024, 640);
    // What the window manager's frame and title bar take around the window.
    const QMargins frame(8, 40, 8, 8);
    const QRect available = screen() ? screen()->availableGeometry() : QRect(QPoint(), standard);
    const QRect usable = available.marginsRemoved(frame);
    if (usable.width() < standard.width() || usable.height() < standard.height()) {
        // Restoring it later still leaves it on the screen.
        setGeometry(usable);
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    QRect placed(QPoint(), standard);
    placed.moveCenter(usable.center());
    setGeometry(placed);
}

void MainWindow::scrollScreensIntoReach()
{
    // A screen larger than the area, or placed partly beyond it, is reached by scrolling.
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void MainWindow::addCloseCommand(QMenu *windows)
{
    const QKeySequence closeKey(Qt::CTRL | Qt::Key_F4);
    windows->addSeparator();
    QAction *close = windows->addAction(QStringLiteral("&Fechar tela"));
    close->setObjectName(QStringLiteral("actFecharTela"));
    close->setShortcut(closeKey);
    connect(close, &QAction::triggered, this, [this] {
        if (QMdiSubWindow *current = m_mdiArea->currentSubWindow())
            current->close();
    });
    // A maximised sub-window offers the same key in its own menu; two owners would make the key
    // ambiguous and neither would close anything.
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [closeKey](QMdiSubWindow *window) {
        if (!window || !window->systemMenu())
            return;
        for (QAction *item : window->systemMenu()->actions()) {
            QList<QKeySequence> keys = item->shortcuts();
            if (keys.removeAll(closeKey))
                item->setShortcuts(keys);
        }
    });
}
