#pragma once

#include <QMainWindow>

class QMdiArea;

// The shell's main window: an MDI area for the screens and a menu that opens them.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // openCalendar opens the calendar screen (the package's IniProc).
    explicit MainWindow(std::function<void()> openCalendar, QWidget *parent = nullptr);

    QMdiArea *mdiArea() const { return m_mdiArea; }

private:
    QMdiArea *m_mdiArea;
};
