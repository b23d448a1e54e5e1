#pragma once

#include <QMainWindow>

#include <functional>

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

private:
    // Opens at its standard size centred on the screen's usable area, or maximised when that
    // area is smaller.
    void fitToScreen();
    void scrollScreensIntoReach();
    // Ctrl+F4 closes the active screen.
    void addCloseCommand(QMenu *windows);

    QMdiArea *m_mdiArea;
};
