#pragma once

#include "storage.h"

namespace caleserver {

/// A PostgreSQL database shared by any number of server processes.
class PostgresStorage : public Storage
{
public:
    struct Params
    {
        QString host;
        int port = 5432;
        QString user;
        QString password;
        QString database;
    };

    PostgresStorage(QString connectionName, Params params);

    QString engineName() const override { return QStringLiteral("PostgreSQL"); }
    QString dateType() const override { return QStringLiteral("DATE"); }
    QString calendarTableSuffix() const override { return {}; }
    QString shareLock() const override { return QStringLiteral(" FOR SHARE"); }
    QString daySeries() const override;
    QString weekdayOf(const QString &column) const override;
    QString dayOfMonthOf(const QString &column) const override;
    QStringList schemaGuard() const override;

protected:
    bool configure(QSqlDatabase &db, QString *error) override;
    QString beginStatement(Mode mode) const override;
    bool isTransient(const QSqlError &error) const override;
    bool readsWithoutTransaction() const override { return true; }
    void endBulk(bool committed) override;

private:
    Params m_params;
};

} // namespace caleserver
