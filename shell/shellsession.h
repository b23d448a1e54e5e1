#pragma once

#include "shelloptions.h"

#include <QString>

#include <memory>

class QMdiArea;
class QWidget;

namespace caleserver {
class Server;
}
namespace host {
class Package;
}

// Everything the shell runs besides its window: the embedded application server (when no
// server is named), the shared database connection, the operator context and the screen package.
class ShellSession
{
public:
    ShellSession();
    ~ShellSession();

    // Starts the session; false with a Portuguese reason when something cannot start.
    bool start(const ShellOptions &options, QString *error);
    // Makes the main window the one screens open in.
    void attach(QWidget *mainWindow, QMdiArea *mdiArea);
    // Opens the calendar screen through the package's entry point.
    void openCalendar();
    // Opens the overview of every branch's calendar.
    void openOverview();
    // "N filiais com calendário a vencer" for the default periodicity; empty when none is.
    QString calendarWarning();
    // Opens the overview showing only the branches in warning.
    void openWarnings();
    void stop();

private:
    bool startEmbeddedServer(const QString &databaseUrl, bool seedDemo, QString *error);
    bool loadPackage(QString *error);

    std::unique_ptr<caleserver::Server> m_server;
    QString m_embeddedToken;
    std::unique_ptr<host::Package> m_package;
    void (*m_iniProc)() = nullptr;
    void (*m_iniProcVisaoGeral)() = nullptr;
    int (*m_avisoInicial)(const char *, char *, int) = nullptr;
    void (*m_iniProcAvisos)(const char *) = nullptr;
    QString m_periodicity;
};
