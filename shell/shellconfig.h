#pragma once

#include <QString>
#include <QStringList>

// The client's configuration files as defaults for the command line: the system's
// /etc/caleprodu/client.conf and the operator's $XDG_CONFIG_HOME/caleprodu/caleprodu.conf (the
// operator's wins), each optional; flags on the command line override both. False with a message
// naming the file and line when a file is refused.
bool ApplyShellConfigFiles(
    QStringList &arguments, QString *error,
    const QString &systemFile = QStringLiteral("/etc/caleprodu/client.conf"));
