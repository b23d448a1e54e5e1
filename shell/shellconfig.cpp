#include "shellconfig.h"

#include "configfile.h"

#include <QDir>
#include <QFileInfo>

#include <string>
#include <vector>

namespace {

QString operatorConfigFile()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/caleprodu/caleprodu.conf");
}

} // namespace

bool ApplyShellConfigFiles(QStringList &arguments, QString *error, const QString &systemFile)
{
    std::vector<std::string> list;
    for (const QString &argument : arguments)
        list.push_back(argument.toStdString());
    // The operator's file first: its keys then count as given when the system's file is read.
    for (const QString &file : {operatorConfigFile(), systemFile}) {
        if (!QFileInfo::exists(file))
            continue;
        std::string message;
        if (!caleserver::withConfigDefaults(list, file.toStdString(),
                                            {"server", "token", "database", "branch", "periodicity",
                                             "horizon-days", "operator"},
                                            {"per-branch"}, &list, &message)) {
            *error = QString::fromStdString(message);
            return false;
        }
    }
    arguments.clear();
    for (const std::string &argument : list)
        arguments << QString::fromStdString(argument);
    return true;
}
