#include "localdatabase.h"

#include "demodata.h"
#include "storage/schema.h"

bool PrepareLocalDatabase(const QString &databaseUrl, bool seedDemo, QString *error)
{
    const std::string url = databaseUrl.toStdString();
    std::string message;
    bool created = false;
    if (caleserver::initDatabase(url, &message, &created) &&
        (!(created || seedDemo) || caleserver::seedDemo(url, &message)))
        return true;
    *error = QString::fromStdString(message);
    return false;
}
