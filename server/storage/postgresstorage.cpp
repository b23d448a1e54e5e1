#include "storage/postgresstorage.h"

#include <libpq-fe.h>

#include <poll.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace caleserver {

namespace {

// The server cancels a statement at the limit by itself; the client waits this much longer
// before it gives up on a server that does not answer at all.
constexpr int clientGraceMs = 5000;
constexpr int maxConnectSeconds = 30;

// One calculation rewrites at most a year of one branch (about 700 rows counting the delete);
// statistics only go stale when a write adds a large share of the table, as a copy to many
// branches does. Below this many rows, and below a tenth of the table as last analysed (the share
// at which the server's own upkeep would analyse it), the next reads lose nothing by waiting.
constexpr int64_t minAnalyzeRows = 1000;

std::string percentDecoded(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const std::string hex(text.substr(i + 1, 2));
            char *end = nullptr;
            const long value = std::strtol(hex.c_str(), &end, 16);
            if (end == hex.c_str() + 2) {
                out += char(value);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// libpq's messages span lines ("...failed: Connection refused\n\tIs the server running...?"):
// the operator's message and the log get them on one line.
std::string oneLine(const char *text)
{
    std::string out;
    bool space = false;
    for (const char *c = text ? text : ""; *c; ++c) {
        if (std::isspace(static_cast<unsigned char>(*c))) {
            space = !out.empty();
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += *c;
    }
    return out;
}

// Statements are written with "?"; PostgreSQL numbers its parameters.
std::string numberedPlaceholders(const std::string &sql)
{
    std::string out;
    out.reserve(sql.size() + 16);
    int number = 0;
    bool quoted = false;
    for (char c : sql) {
        if (c == '\'')
            quoted = !quoted;
        if (c == '?' && !quoted)
            out += '$' + std::to_string(++number);
        else
            out += c;
    }
    return out;
}

} // namespace

class PostgresStorage::PgStatement : public Statement
{
public:
    PgStatement(PostgresStorage &storage, std::string name, std::string sql)
        : m_storage(storage)
        , m_name(std::move(name))
        , m_sql(std::move(sql))
    {}
    ~PgStatement() override { finish(); }

    bool run(Params binds) override
    {
        finish();
        m_values.resize(binds.size());
        std::vector<const char *> pointers(binds.size());
        for (size_t i = 0; i < binds.size(); ++i) {
            m_values[i] = binds[i].toText();
            pointers[i] = binds[i].kind() == Param::Kind::Null ? nullptr : m_values[i].c_str();
        }
        PGconn *conn = m_storage.m_conn;
        const bool sent = m_name.empty()
                              ? PQsendQueryParams(conn, m_sql.c_str(), int(binds.size()), nullptr,
                                                  pointers.data(), nullptr, nullptr, 0)
                              : PQsendQueryPrepared(conn, m_name.c_str(), int(binds.size()),
                                                    pointers.data(), nullptr, nullptr, 0);
        m_result = m_storage.awaitResult(sent);
        if (!m_result)
            return false;
        m_rows = PQntuples(m_result);
        m_row = -1;
        return true;
    }

    bool next() override { return m_result && ++m_row < m_rows; }
    bool isNull(int column) const override { return PQgetisnull(m_result, m_row, column); }
    std::string_view text(int column) const override
    {
        return {PQgetvalue(m_result, m_row, column), size_t(PQgetlength(m_result, m_row, column))};
    }
    void finish() override
    {
        if (m_result)
            PQclear(m_result);
        m_result = nullptr;
        m_rows = 0;
    }
    int64_t changes() const override { return m_result ? std::atoll(PQcmdTuples(m_result)) : 0; }

private:
    PostgresStorage &m_storage;
    std::string m_name; // "" for a statement that is not kept
    std::string m_sql;
    std::vector<std::string> m_values;
    PGresult *m_result = nullptr;
    int m_rows = 0;
    int m_row = -1;
};

bool PostgresStorage::parseUrl(std::string_view url, Address *params)
{
    url.remove_prefix(url.find("://") + 3);
    if (const size_t query = url.find('?'); query != std::string_view::npos)
        url = url.substr(0, query);
    const size_t slash = url.find('/');
    if (slash == std::string_view::npos)
        return false;
    std::string_view authority = url.substr(0, slash);
    params->database = percentDecoded(url.substr(slash + 1));
    if (params->database.empty() || params->database.find('/') != std::string::npos)
        return false;
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        const size_t colon = userInfo.find(':');
        params->user = percentDecoded(userInfo.substr(0, colon));
        if (colon != std::string_view::npos)
            params->password = percentDecoded(userInfo.substr(colon + 1));
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return false;
        host = authority.substr(1, close - 1);
        authority.remove_prefix(close + 1);
        if (authority.starts_with(':'))
            params->port = std::string(authority.substr(1));
    } else if (const size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        params->port = std::string(authority.substr(colon + 1));
    }
    if (!host.empty())
        params->host = std::string(host);
    return !params->port.empty() &&
           params->port.find_first_not_of("0123456789") == std::string::npos;
}

int PostgresStorage::connectTimeoutSeconds(const StorageLimits &limits)
{
    // A call waits no longer than the statement limit; a host that does not answer at all must
    // not hold a worker for much longer than a call would. libpq takes 2 s at the least.
    const int seconds = (limits.statementTimeoutMs + 999) / 1000;
    return std::clamp(seconds, 2, maxConnectSeconds);
}

PostgresStorage::PostgresStorage(Address params, StorageLimits limits)
    : Storage(limits)
    , m_params(std::move(params))
{}

PostgresStorage::~PostgresStorage()
{
    close();
}

std::string PostgresStorage::daySeries() const
{
    return "WITH RECURSIVE DIAS(DIA) AS (SELECT CAST(? AS DATE) UNION ALL SELECT DIA + 1 FROM DIAS "
           "WHERE DIA < CAST(? AS DATE)) ";
}

std::string PostgresStorage::weekdayOf(const std::string &column) const
{
    return "(CAST(EXTRACT(DOW FROM " + column + ") AS INTEGER) + 1)";
}

std::string PostgresStorage::yearMonthOf(const std::string &column) const
{
    return "CAST(to_char(" + column + ", 'YYYYMM') AS INTEGER)";
}

std::string PostgresStorage::dayOfMonthOf(const std::string &column) const
{
    return "CAST(EXTRACT(DAY FROM " + column + ") AS INTEGER)";
}

std::string PostgresStorage::calendarLock() const
{
    // Advisory locks of their own key space (770701, key), taken one after another in key order.
    return "SELECT CASE WHEN L.X THEN CAST(pg_advisory_xact_lock(770701, L.K) AS TEXT) ELSE "
           "CAST(pg_advisory_xact_lock_shared(770701, L.K) AS TEXT) END FROM (SELECT K, X FROM "
           "unnest(CAST(? AS INTEGER[]), CAST(? AS BOOLEAN[])) AS U(K, X) ORDER BY K) L";
}

std::vector<std::string> PostgresStorage::schemaGuard() const
{
    // Two servers starting together must not race on CREATE TABLE IF NOT EXISTS.
    return {"SELECT pg_advisory_xact_lock(770700)"};
}

std::string PostgresStorage::tableQuery() const
{
    return "SELECT 1 FROM information_schema.tables WHERE upper(table_name) = upper(?) AND "
           "table_schema = ANY (current_schemas(false))";
}

bool PostgresStorage::connect(std::string *error)
{
    // The server cancels any statement that runs past the limit, lock waits included; dates come
    // back as ISO text; "already exists, skipping" notices of an idempotent set-up are no news.
    const std::string options =
        "-c statement_timeout=" + std::to_string(m_limits.statementTimeoutMs) +
        " -c DateStyle=ISO -c client_min_messages=warning";
    const char *keys[] = {"host",    "port",
                          "user",    "password",
                          "dbname",  "connect_timeout",
                          "options", "client_encoding",
                          nullptr};
    const std::string connectTimeout = std::to_string(connectTimeoutSeconds(m_limits));
    const char *values[] = {m_params.host.c_str(),
                            m_params.port.c_str(),
                            m_params.user.empty() ? nullptr : m_params.user.c_str(),
                            m_params.password.empty() ? nullptr : m_params.password.c_str(),
                            m_params.database.c_str(),
                            connectTimeout.c_str(),
                            options.c_str(),
                            "UTF8",
                            nullptr};
    m_conn = PQconnectdbParams(keys, values, 0);
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        const std::string why = m_conn ? oneLine(PQerrorMessage(m_conn)) : "sem memória";
        *error = "não foi possível conectar a " + m_params.host + ":" + m_params.port + "/" +
                 m_params.database + ": " + why;
        disconnect();
        return false;
    }
    m_statements = 0;
    return true;
}

void PostgresStorage::disconnect()
{
    if (m_conn) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
}

void PostgresStorage::failFromConnection(const char *fallbackCode)
{
    const std::string text = m_conn ? oneLine(PQerrorMessage(m_conn)) : "";
    const bool lost = !m_conn || PQstatus(m_conn) == CONNECTION_BAD;
    fail(lost ? "08006" : fallbackCode, text);
}

PGresult *PostgresStorage::awaitResult(bool sent)
{
    if (!sent) {
        failFromConnection("08006");
        return nullptr;
    }
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(m_limits.statementTimeoutMs + clientGraceMs);
    PGresult *last = nullptr;
    for (;;) {
        while (PQisBusy(m_conn)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  limit - std::chrono::steady_clock::now())
                                  .count();
            pollfd wait{PQsocket(m_conn), POLLIN, 0};
            const int ready = left > 0 ? poll(&wait, 1, int(left)) : 0;
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0) {
                // The server does not answer at all: the connection is given up, not waited on.
                if (last)
                    PQclear(last);
                fail(
                    "timeout",
                    "o banco de dados não respondeu em " +
                        std::to_string((m_limits.statementTimeoutMs + clientGraceMs + 999) / 1000) +
                        " s.");
                disconnect();
                return nullptr;
            }
            if (!PQconsumeInput(m_conn)) {
                if (last)
                    PQclear(last);
                failFromConnection("08006");
                return nullptr;
            }
        }
        PGresult *result = PQgetResult(m_conn);
        if (!result)
            break;
        if (last)
            PQclear(last);
        last = result;
    }
    const ExecStatusType status = last ? PQresultStatus(last) : PGRES_FATAL_ERROR;
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
        return last;
    if (last) {
        const char *state = PQresultErrorField(last, PG_DIAG_SQLSTATE);
        const std::string text = oneLine(PQresultErrorMessage(last));
        const bool lost = PQstatus(m_conn) == CONNECTION_BAD;
        fail(state && *state ? state : (lost ? "08006" : "XX000"), text);
        PQclear(last);
    } else {
        failFromConnection("XX000");
    }
    return nullptr;
}

std::unique_ptr<Storage::Statement> PostgresStorage::prepare(const std::string &sql)
{
    const std::string text = numberedPlaceholders(sql);
    // Appended rather than concatenated: GCC 12 at -O3 warns falsely on "k" + std::string.
    std::string name = "k";
    name += std::to_string(++m_statements);
    PGresult *result = awaitResult(PQsendPrepare(m_conn, name.c_str(), text.c_str(), 0, nullptr));
    if (!result)
        return nullptr;
    PQclear(result);
    return std::make_unique<PgStatement>(*this, name, text);
}

std::unique_ptr<Storage::Statement> PostgresStorage::prepareOnce(const std::string &sql)
{
    // A statement run once goes unprepared: preparing it would cost a round trip of its own.
    return std::make_unique<PgStatement>(*this, std::string(), numberedPlaceholders(sql));
}

bool PostgresStorage::execText(const std::string &sql)
{
    PGresult *result = awaitResult(PQsendQuery(m_conn, sql.c_str()));
    if (!result)
        return false;
    PQclear(result);
    return true;
}

std::string PostgresStorage::beginStatement(Mode) const
{
    return "BEGIN";
}

bool PostgresStorage::isTransient(const std::string &code) const
{
    return code == "40001" || code == "40P01";
}

bool PostgresStorage::isBroken(const std::string &code) const
{
    // Connection exceptions, and a server that ended this session (shut down, restarted or
    // terminated it).
    return code.starts_with("08") || code == "57P01" || code == "57P02" || code == "57P03";
}

void PostgresStorage::afterCommit(int64_t rows)
{
    if (rows < minAnalyzeRows || !m_conn)
        return;
    Rows *table = exec("SELECT reltuples FROM pg_class WHERE oid = to_regclass('caleproducao')");
    if (!table || !table->next())
        return;
    const double known = std::strtod(std::string(table->text(0)).c_str(), nullptr);
    table->finish();
    // Never analysed (-1), or this write is a tenth of the table or more.
    if (known < 0 || double(rows) * 10 >= known)
        execText("ANALYZE CALEPRODUCAO");
}

} // namespace caleserver
