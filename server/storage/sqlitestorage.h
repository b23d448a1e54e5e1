#pragma once

#include "storage/storage.h"

#include <sys/types.h>

struct sqlite3;

namespace caleserver {

// A SQLite file in WAL mode: readers never wait for the writer, writers take the lock up front.
class SqliteStorage : public Storage
{
public:
    // Which file a path names: its device and inode, if it exists.
    struct FileIdentity
    {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        bool operator==(const FileIdentity &) const = default;
    };
    // The database file, its write-ahead log and the log's index.
    struct DatabaseFiles
    {
        FileIdentity database;
        FileIdentity log;
        FileIdentity index;
        bool operator==(const DatabaseFiles &) const = default;
    };

    SqliteStorage(std::string path, StorageLimits limits);
    ~SqliteStorage() override;

    std::string engineName() const override { return "SQLite"; }
    std::string dateType() const override { return "DATE"; }
    std::string calendarTableSuffix() const override { return " WITHOUT ROWID"; }
    std::string shareLock() const override { return {}; }
    std::string daySeries() const override;
    std::string weekdayOf(const std::string &column) const override;
    std::string dayOfMonthOf(const std::string &column) const override;
    std::string yearMonthOf(const std::string &column) const override;

protected:
    bool connect(std::string *error) override;
    void disconnect() override;
    bool connected() const override { return m_db != nullptr; }
    std::unique_ptr<Statement> prepare(const std::string &sql) override;
    bool execText(const std::string &sql) override;
    std::string beginStatement(Mode mode) const override;
    bool keepsControlPrepared() const override { return true; }
    std::string tableQuery() const override;
    bool isTransient(const std::string &code) const override;
    bool isBroken(const std::string &) const override { return false; }
    void beginCall(std::chrono::steady_clock::time_point deadline) override;
    bool checkBeforeWrite() override;
    void beginBulk() override;
    void endBulk() override;
    int waitLimitMs() const override { return m_limits.sqliteBusyMs; }

private:
    class SqliteStatement;
    static int waitForLock(void *self, int count);
    void failFromDb();

    std::string m_path;
    std::string m_openedPath; // absolute, while open
    DatabaseFiles m_files;    // as the process's connections to it opened them
    sqlite3 *m_db = nullptr;
    std::chrono::steady_clock::time_point m_deadline;
};

} // namespace caleserver
