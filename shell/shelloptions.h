#pragma once

#include <QString>
#include <QStringList>

// What the operator asked for on the command line.
struct ShellOptions
{
    QString serverHost; // empty: start the embedded server
    int serverPort = 0;
    QString token;
    QString databaseUrl;  // empty: the default SQLite file
    QString branch;       // empty: the lowest branch code
    QString operatorName; // empty: the system login
    bool perBranch = false;
    bool seedDemo = false;                      // fill the demo data into the shell's own database
    QString periodicity = QStringLiteral("01"); // the overview's and the start-up warning's
    int horizonDays = 90;     // a calendar ending within this many days is in warning
    QString screenshot;       // render the opened screens to this PNG and exit
    QString report;           // render this report code to output and exit, without a window
    QStringList reportParams; // NAME=VALUE, in the order given
    QString output;           // the report's PDF or CSV file
    bool help = false;        // print ShellUsage() and exit
    bool version = false;     // print the version and exit
    QString error;            // one line, set when the command line is refused
};

// Reads the program's arguments (the first is the program itself) before the GUI starts, so that
// --help and a refused option need no display. Qt's own options (--platform, -display, -style
// ...) are let through to QApplication.
ShellOptions ParseShellOptions(const QStringList &arguments);

// The text --help prints: every option with what it does.
QString ShellUsage();
