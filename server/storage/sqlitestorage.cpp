#include "storage/sqlitestorage.h"

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include <sys/stat.h>

namespace caleserver {

namespace {

// Every worker keeps its own connection and so its own page cache: a small one each keeps the
// server's memory low, and the file's pages stay in the system's cache for all of them.
const char *const normalCache = "PRAGMA cache_size = -1024";

SqliteStorage::FileIdentity identityOf(const std::string &path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return {};
    return {true, status.st_dev, status.st_ino};
}

SqliteStorage::DatabaseFiles filesAt(const std::string &path)
{
    return {identityOf(path), identityOf(path + "-wal"), identityOf(path + "-shm")};
}

// The files of each database as this process's first open connection found them. Connections of
// one process share the write-ahead index of the file they opened: one opened after the files
// were removed must judge its writes by what the others still use, not by what it created.
class OpenDatabases
{
public:
    SqliteStorage::DatabaseFiles join(const std::string &path)
    {
        std::lock_guard lock(m_mutex);
        auto [entry, first] = m_open.try_emplace(path);
        if (first)
            entry->second.files = filesAt(path);
        ++entry->second.connections;
        return entry->second.files;
    }

    void leave(const std::string &path)
    {
        std::lock_guard lock(m_mutex);
        const auto entry = m_open.find(path);
        if (entry != m_open.end() && --entry->second.connections == 0)
            m_open.erase(entry);
    }

private:
    struct Entry
    {
        SqliteStorage::DatabaseFiles files;
        int connections = 0;
    };
    std::mutex m_mutex;
    std::map<std::string, Entry> m_open;
};

OpenDatabases &openDatabases()
{
    static OpenDatabases databases;
    return databases;
}

} // namespace

class SqliteStorage::SqliteStatement : public Statement
{
public:
    SqliteStatement(SqliteStorage &storage, sqlite3_stmt *statement)
        : m_storage(storage)
        , m_statement(statement)
    {}
    ~SqliteStatement() override { sqlite3_finalize(m_statement); }

    bool run(Params binds) override
    {
        sqlite3_reset(m_statement);
        m_failed = false;
        m_changes = 0;
        if (m_texts.size() < binds.size())
            m_texts.resize(binds.size());
        for (size_t i = 0; i < binds.size(); ++i) {
            const Param &param = binds[i];
            const int index = int(i) + 1;
            int rc = SQLITE_OK;
            switch (param.kind()) {
            case Param::Kind::Null:
                rc = sqlite3_bind_null(m_statement, index);
                break;
            case Param::Kind::Text:
                // Kept by the statement until its next run: SQLite need not copy it, which
                // was a tenth of a point lookup.
                m_texts[i].assign(param.text());
                rc = sqlite3_bind_text(m_statement, index, m_texts[i].data(),
                                       int(m_texts[i].size()), SQLITE_STATIC);
                break;
            case Param::Kind::Integer:
                rc = sqlite3_bind_int64(m_statement, index, param.integer());
                break;
            }
            if (rc != SQLITE_OK) {
                m_storage.failFromDb();
                return false;
            }
        }
        // The first step runs the statement; a row it found waits for next().
        if (!step())
            return false;
        if (!m_hasRow)
            m_changes = sqlite3_changes64(sqlite3_db_handle(m_statement));
        m_pending = m_hasRow;
        return true;
    }

    bool next() override
    {
        if (m_pending) {
            m_pending = false;
            return true;
        }
        if (!m_hasRow)
            return false;
        if (!step()) {
            m_failed = true;
            return false;
        }
        return m_hasRow;
    }

    bool isNull(int column) const override
    {
        return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
    }

    std::string_view text(int column) const override
    {
        const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        if (!data)
            return {};
        return {data, size_t(sqlite3_column_bytes(m_statement, column))};
    }

    void finish() override
    {
        m_hasRow = m_pending = false;
        sqlite3_reset(m_statement);
    }

    int64_t changes() const override { return m_changes; }

private:
    bool step()
    {
        const int rc = sqlite3_step(m_statement);
        m_hasRow = rc == SQLITE_ROW;
        if (rc == SQLITE_ROW || rc == SQLITE_DONE)
            return true;
        m_storage.failFromDb();
        return false;
    }

    SqliteStorage &m_storage;
    sqlite3_stmt *m_statement;
    bool m_hasRow = false;
    bool m_pending = false;
    int64_t m_changes = 0;
    std::vector<std::string> m_texts; // the text values bound by the last run
};

SqliteStorage::SqliteStorage(std::string path, StorageLimits limits)
    : Storage(limits)
    , m_path(std::move(path))
{}

SqliteStorage::~SqliteStorage()
{
    close();
}

std::string SqliteStorage::daySeries() const
{
    return "WITH RECURSIVE DIAS(DIA) AS (SELECT CAST(? AS TEXT) UNION ALL SELECT date(DIA, '+1 "
           "day') FROM DIAS WHERE DIA < ?) ";
}

std::string SqliteStorage::weekdayOf(const std::string &column) const
{
    return "(CAST(strftime('%w', " + column + ") AS INTEGER) + 1)";
}

std::string SqliteStorage::yearMonthOf(const std::string &column) const
{
    return "CAST(strftime('%Y%m', " + column + ") AS INTEGER)";
}

std::string SqliteStorage::dayOfMonthOf(const std::string &column) const
{
    return "CAST(strftime('%d', " + column + ") AS INTEGER)";
}

std::string SqliteStorage::tableQuery() const
{
    return "SELECT 1 FROM sqlite_master WHERE type = 'table' AND upper(name) = upper(?)";
}

void SqliteStorage::failFromDb()
{
    fail(std::to_string(sqlite3_extended_errcode(m_db) & 0xFF), sqlite3_errmsg(m_db));
}

int SqliteStorage::waitForLock(void *self, int count)
{
    // Waits for another writer until the call's deadline, then lets the statement fail busy; a
    // fixed timeout per statement would let a call of several statements wait many times over.
    const auto *storage = static_cast<SqliteStorage *>(self);
    const auto now = std::chrono::steady_clock::now();
    if (now >= storage->m_deadline)
        return 0;
    const auto pause = std::chrono::milliseconds(std::min(1 + count, 20));
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(pause, storage->m_deadline - now));
    return 1;
}

void SqliteStorage::beginCall(std::chrono::steady_clock::time_point deadline)
{
    m_deadline = deadline;
}

bool SqliteStorage::connect(std::string *error)
{
    const std::filesystem::path file = std::filesystem::absolute(m_path);
    std::error_code ignored;
    if (!std::filesystem::is_directory(file.parent_path(), ignored)) {
        *error = "a pasta do arquivo " + file.string() + " não existe.";
        return false;
    }
    const bool inMemory = m_path == ":memory:";
    // A serving connection that made the file would acknowledge writes into an empty database.
    if (!m_limits.createMissingFile && !inMemory && !std::filesystem::exists(file, ignored)) {
        *error =
            "o arquivo " + file.string() + " não existe: crie-o com caleprodu-server --init-db.";
        return false;
    }
    const int create = m_limits.createMissingFile ? SQLITE_OPEN_CREATE : 0;
    const int rc = sqlite3_open_v2(m_path.c_str(), &m_db,
                                   SQLITE_OPEN_READWRITE | create | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        *error = "não foi possível abrir " + m_path + ": " +
                 (m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
        return false;
    }
    m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitLimitMs());
    sqlite3_busy_handler(m_db, &SqliteStorage::waitForLock, this);
    // The read at the end opens the write-ahead log and its index, so that their files exist
    // when they are noted below.
    for (const char *pragma :
         {"PRAGMA journal_mode = WAL", "PRAGMA foreign_keys = ON", "PRAGMA synchronous = NORMAL",
          normalCache, "SELECT count(*) FROM sqlite_master"}) {
        char *message = nullptr;
        if (sqlite3_exec(m_db, pragma, nullptr, nullptr, &message) != SQLITE_OK) {
            *error = "não foi possível preparar " + m_path + ": " +
                     (message ? message : sqlite3_errmsg(m_db));
            sqlite3_free(message);
            return false;
        }
    }
    m_openedPath = file.string();
    m_files = openDatabases().join(m_openedPath);
    return true;
}

void SqliteStorage::disconnect()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    if (!m_openedPath.empty()) {
        openDatabases().leave(m_openedPath);
        m_openedPath.clear();
    }
}

bool SqliteStorage::checkBeforeWrite()
{
    // Removed or replaced under the running server, the files this connection writes are no
    // longer those a restart reads: what it acknowledged would vanish.
    if (filesAt(m_openedPath) == m_files)
        return true;
    fail("arquivos", "o arquivo " + m_openedPath +
                         " ou o seu -wal ou -shm foi removido ou trocado com o servidor em "
                         "execução; reinicie o servidor.");
    return false;
}

std::unique_ptr<Storage::Statement> SqliteStorage::prepare(const std::string &sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.data(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                           nullptr) != SQLITE_OK) {
        failFromDb();
        sqlite3_finalize(statement);
        return nullptr;
    }
    return std::make_unique<SqliteStatement>(*this, statement);
}

bool SqliteStorage::execText(const std::string &sql)
{
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    failFromDb();
    return false;
}

std::string SqliteStorage::beginStatement(Mode mode) const
{
    return mode == Mode::Write ? "BEGIN IMMEDIATE" : "BEGIN";
}

bool SqliteStorage::isTransient(const std::string &code) const
{
    // SQLITE_BUSY and SQLITE_LOCKED: another connection holds the lock past the wait.
    return code == "5" || code == "6";
}

void SqliteStorage::beginBulk()
{
    sqlite3_exec(m_db, "PRAGMA cache_size = -65536", nullptr, nullptr, nullptr);
}

void SqliteStorage::endBulk()
{
    // Give the copy's cache back, or every worker's connection would keep 64 MB.
    sqlite3_exec(m_db, normalCache, nullptr, nullptr, nullptr);
    sqlite3_exec(m_db, "PRAGMA shrink_memory", nullptr, nullptr, nullptr);
}

} // namespace caleserver
