#include "storage/postgresstorage.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

namespace caleserver {

namespace {

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
    PgStatement(PostgresStorage &storage, std::string sql, bool keep)
        : m_storage(storage)
        , m_sql(std::move(sql))
        , m_keep(keep)
    {}
    ~PgStatement() override { finish(); }

    bool run(Params binds) override
    {
        finish();
        m_values.resize(binds.size());
        PgRequest request{&m_sql, m_keep, std::vector<const char *>(binds.size())};
        for (size_t i = 0; i < binds.size(); ++i) {
            m_values[i] = binds[i].toText();
            if (binds[i].kind() != Param::Kind::Null)
                request.values[i] = m_values[i].c_str();
        }
        m_result = m_storage.resultOf(m_storage.m_channel->run(request));
        if (!m_result)
            return false;
        m_rows = PQntuples(m_result.get());
        m_row = -1;
        return true;
    }

    bool next() override { return m_result && ++m_row < m_rows; }
    bool isNull(int column) const override { return PQgetisnull(m_result.get(), m_row, column); }
    std::string_view text(int column) const override
    {
        return {PQgetvalue(m_result.get(), m_row, column),
                size_t(PQgetlength(m_result.get(), m_row, column))};
    }
    void finish() override
    {
        m_result.reset();
        m_rows = 0;
    }
    int64_t changes() const override
    {
        return m_result ? std::atoll(PQcmdTuples(m_result.get())) : 0;
    }

private:
    PostgresStorage &m_storage;
    std::string m_sql;
    bool m_keep;
    std::vector<std::string> m_values;
    PgResultPtr m_result;
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
    return pgConnectTimeoutSeconds(limits);
}

PostgresStorage::PostgresStorage(Address params, StorageLimits limits,
                                 std::unique_ptr<PgChannel> channel)
    : Storage(limits)
    , m_params(std::move(params))
    , m_channel(channel ? std::move(channel) : blockingPgChannel(m_params, m_limits))
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
    return m_channel->connect(error);
}

void PostgresStorage::disconnect()
{
    m_channel->disconnect();
}

PgResultPtr PostgresStorage::resultOf(PgReply reply)
{
    if (!reply.ok())
        fail(std::move(reply.code), std::move(reply.text));
    return std::move(reply.result);
}

std::unique_ptr<Storage::Statement> PostgresStorage::prepare(const std::string &sql)
{
    // Prepared by the connection on its first run: a round trip of its own is spared.
    return std::make_unique<PgStatement>(*this, numberedPlaceholders(sql), true);
}

std::unique_ptr<Storage::Statement> PostgresStorage::prepareOnce(const std::string &sql)
{
    // A statement run once goes unprepared: preparing it would cost a round trip of its own.
    return std::make_unique<PgStatement>(*this, numberedPlaceholders(sql), false);
}

bool PostgresStorage::execText(const std::string &sql)
{
    PgRequest request{&sql, false, {}};
    request.simple = true;
    return resultOf(m_channel->run(request)) != nullptr;
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
    return pgSessionLost(code);
}

void PostgresStorage::afterCommit(int64_t rows)
{
    if (rows < minAnalyzeRows || !connected())
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
