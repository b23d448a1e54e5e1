#pragma once

#include "storage.h"

namespace caleserver {

/// A SQLite file in WAL mode: readers never wait for the writer, writers take the lock up front.
class SqliteStorage : public Storage
{
public:
    SqliteStorage(QString connectionName, QString path);

    QString engineName() const override { return QStringLiteral("SQLite"); }
    QString dateType() const override { return QStringLiteral("DATE"); }
    QString calendarTableSuffix() const override { return QStringLiteral(" WITHOUT ROWID"); }
    QString shareLock() const override { return {}; }
    QString daySeries() const override;
    QString weekdayOf(const QString &column) const override;
    QString dayOfMonthOf(const QString &column) const override;

protected:
    bool configure(QSqlDatabase &db, QString *error) override;
    QString beginStatement(Mode mode) const override;
    bool isTransient(const QSqlError &error) const override;
    bool keepsControlPrepared() const override { return true; }
    // In autocommit a SELECT reads one snapshot of the file, held until it is reset.
    bool readsWithoutTransaction() const override { return true; }
    void beginBulk() override;
    void endBulk(bool committed) override;

private:
    QString m_path;
};

} // namespace caleserver
