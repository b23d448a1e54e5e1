#pragma once

#include <QString>
#include <QStringList>

// What the operator asked for on the command line.
struct ShellOptions
{
    QString serverHost; // empty: start the embedded server
    int serverPort = 0;
    QString token;
    QString databaseUrl; // empty: the default SQLite file
    QString branch;      // empty: the lowest branch code
    bool perBranch = false;
    QString screenshot;       // render the opened screens to this PNG and exit
    QString report;           // render this report code to output and exit, without a window
    QStringList reportParams; // NAME=VALUE, in the order given
    QString output;           // the report's PDF or CSV file
    QString error;            // set when the command line is refused
};

// Reads the shell's options; Qt's own options (--platform ...) are left to Qt.
ShellOptions ParseShellOptions(const QStringList &arguments);
