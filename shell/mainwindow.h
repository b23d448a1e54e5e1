#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <functional>

class QAction;
class QMdiArea;
class QMenu;

// The shell's main window: an MDI area for the screens and a menu that opens them.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // openCalendar opens the calendar screen (the package's IniProc).
    explicit MainWindow(std::function<void()> openCalendar, QWidget *parent = nullptr);

    QMdiArea *mdiArea() const { return m_mdiArea; }
    // Adds "Visão Geral dos Calendários" to the Produção menu, below the calendar screen.
    void addOverviewCommand(std::function<void()> openOverview);
    // Shows the start-up warning in the status bar; activating it runs openWarnings. An empty
    // text shows nothing.
    void showCalendarWarning(const QString &text, std::function<void()> openWarnings);

    // The menus of the active screen, as they stand in the menu bar now.
    QList<QAction *> screenMenus() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Puts the active screen's menus in the menu bar in place of those of the screen before.
    void showScreenMenus();
    // Closes every screen; false when one refuses.
    bool closeScreens();
    // The first time maximised, restoring to its standard size centred on the screen's usable
    // area (the whole area when smaller); afterwards as the operator last left it.
    void placeOnScreen();
    void fitToScreen();
    void scrollScreensIntoReach();
    // Ctrl+F4 closes the active screen.
    void addCloseCommand(QMenu *windows);

    QMdiArea *m_mdiArea;
    QAction *m_windowsMenu = nullptr;
    QMenu *m_production = nullptr;
    QAction *m_calendarItem = nullptr;
    QList<QPointer<QAction>> m_screenMenus;
};
