#include "storage/pgchannel.h"

#include <libpq-fe.h>

#include <poll.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <thread>
#include <unordered_map>

namespace caleserver {

namespace {

constexpr int maxConnectSeconds = 30;

// A connection the calling thread waits on by itself.
class BlockingPgChannel : public PgChannel
{
public:
    BlockingPgChannel(const PgAddress &address, const StorageLimits &limits)
        : m_address(address)
        , m_limits(limits)
    {}
    ~BlockingPgChannel() override { disconnect(); }

    bool connect(std::string *error) override
    {
        const PgConnectParams params(m_address, m_limits);
        m_conn = PQconnectdbParams(params.keys(), params.values(), 0);
        if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
            *error = params.refusal(m_conn ? pgOneLine(PQerrorMessage(m_conn)) : "sem memória");
            disconnect();
            return false;
        }
        return true;
    }

    void disconnect() override
    {
        m_prepared.clear();
        if (m_conn) {
            PQfinish(m_conn);
            m_conn = nullptr;
        }
    }

    bool connected() const override { return m_conn != nullptr; }

    PgReply run(const PgRequest &request) override
    {
        const int count = int(request.values.size());
        if (request.simple)
            return await(PQsendQuery(m_conn, request.text->c_str()));
        if (!request.keep)
            return await(PQsendQueryParams(m_conn, request.text->c_str(), count, nullptr,
                                           request.values.data(), nullptr, nullptr, 0));
        auto found = m_prepared.find(*request.text);
        if (found == m_prepared.end()) {
            std::string name = "k";
            name += std::to_string(m_prepared.size() + 1);
            PgReply prepared =
                await(PQsendPrepare(m_conn, name.c_str(), request.text->c_str(), 0, nullptr));
            if (!prepared.ok())
                return prepared;
            found = m_prepared.emplace(*request.text, std::move(name)).first;
        }
        return await(PQsendQueryPrepared(m_conn, found->second.c_str(), count,
                                         request.values.data(), nullptr, nullptr, 0));
    }

    void pause(std::chrono::milliseconds time) override { std::this_thread::sleep_for(time); }

private:
    // Waits for the answer of what was just sent, no longer than the statement limit and a
    // grace period.
    PgReply await(bool sent)
    {
        if (!sent)
            return pgFailureReply(m_conn, nullptr);
        const int limitMs = m_limits.statementTimeoutMs + pgClientGraceMs;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
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
                    // The server does not answer at all: the connection is given up, not
                    // waited on.
                    if (last)
                        PQclear(last);
                    disconnect();
                    return {nullptr, "timeout",
                            "o banco de dados não respondeu em " +
                                std::to_string((limitMs + 999) / 1000) + " s."};
                }
                if (!PQconsumeInput(m_conn)) {
                    if (last)
                        PQclear(last);
                    return pgFailureReply(m_conn, nullptr);
                }
            }
            PGresult *result = PQgetResult(m_conn);
            if (!result)
                break;
            if (last)
                PQclear(last);
            last = result;
        }
        return pgReplyFrom(m_conn, last);
    }

    const PgAddress &m_address;
    const StorageLimits m_limits;
    PGconn *m_conn = nullptr;
    std::unordered_map<std::string, std::string> m_prepared;
};

} // namespace

PgConnectParams::PgConnectParams(const PgAddress &address, const StorageLimits &limits)
    : m_address(address)
    // The server cancels any statement that runs past the limit, lock waits included; dates
    // come back as ISO text; "already exists, skipping" notices of an idempotent set-up are no
    // news.
    , m_options("-c statement_timeout=" + std::to_string(limits.statementTimeoutMs) +
                " -c DateStyle=ISO -c client_min_messages=warning")
    , m_connectTimeout(std::to_string(pgConnectTimeoutSeconds(limits)))
{
    const auto add = [this](const char *key, const std::string &value) {
        m_keys.push_back(key);
        m_values.push_back(value.empty() ? nullptr : value.c_str());
    };
    add("host", address.host);
    add("port", address.port);
    add("user", address.user);
    add("password", address.password);
    add("dbname", address.database);
    add("connect_timeout", m_connectTimeout);
    add("options", m_options);
    m_keys.push_back("client_encoding");
    m_values.push_back("UTF8");
    m_keys.push_back(nullptr);
    m_values.push_back(nullptr);
}

std::string PgConnectParams::refusal(const std::string &why) const
{
    return "não foi possível conectar a " + m_address.host + ":" + m_address.port + "/" +
           m_address.database + ": " + why;
}

int pgConnectTimeoutSeconds(const StorageLimits &limits)
{
    // A call waits no longer than the statement limit; a host that does not answer at all must
    // not hold a call for much longer than a statement would. libpq takes 2 s at the least.
    const int seconds = (limits.statementTimeoutMs + 999) / 1000;
    return std::clamp(seconds, 2, maxConnectSeconds);
}

std::string pgOneLine(const char *text)
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

void PgResultDeleter::operator()(PGresult *result) const
{
    PQclear(result);
}

PgReply pgFailureReply(PGconn *conn, PGresult *last)
{
    const bool lost = !conn || PQstatus(conn) == CONNECTION_BAD;
    if (!last)
        return {nullptr, "08006", conn ? pgOneLine(PQerrorMessage(conn)) : ""};
    const char *state = PQresultErrorField(last, PG_DIAG_SQLSTATE);
    PgReply reply{nullptr, state && *state ? state : (lost ? "08006" : "XX000"),
                  pgOneLine(PQresultErrorMessage(last))};
    PQclear(last);
    return reply;
}

PgReply pgReplyFrom(PGconn *conn, PGresult *last)
{
    const ExecStatusType status = last ? PQresultStatus(last) : PGRES_FATAL_ERROR;
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
        return {PgResultPtr(last), {}, {}};
    if (!last) {
        PgReply reply = pgFailureReply(conn, nullptr);
        if (conn && PQstatus(conn) != CONNECTION_BAD)
            reply.code = "XX000";
        return reply;
    }
    return pgFailureReply(conn, last);
}

bool pgSessionLost(const std::string &code)
{
    return code.starts_with("08") || code == "57P01" || code == "57P02" || code == "57P03";
}

PgChannel::~PgChannel() = default;

std::unique_ptr<PgChannel> blockingPgChannel(const PgAddress &address, const StorageLimits &limits)
{
    return std::make_unique<BlockingPgChannel>(address, limits);
}

} // namespace caleserver
