#pragma once

#include "storage/storage.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace caleserver {

// Where a PostgreSQL server is and how long its statements may take.
struct PgAddress
{
    std::string host = "localhost";
    std::string port = "5432";
    std::string user;
    std::string password;
    std::string database;
};

// The connection keywords libpq takes for an address, with the session's settings.
class PgConnectParams
{
public:
    PgConnectParams(const PgAddress &address, const StorageLimits &limits);
    const char *const *keys() const { return m_keys.data(); }
    const char *const *values() const { return m_values.data(); }
    // "não foi possível conectar a host:port/db: why"
    std::string refusal(const std::string &why) const;

private:
    const PgAddress &m_address;
    std::string m_options;
    std::string m_connectTimeout;
    std::vector<const char *> m_keys;
    std::vector<const char *> m_values;
};

// How long a connection may take to open, in whole seconds.
int pgConnectTimeoutSeconds(const StorageLimits &limits);

// The server cancels a statement at the limit by itself; the client waits this much longer
// before it gives up on a server that does not answer at all.
constexpr int pgClientGraceMs = 5000;

// libpq's messages span lines ("...failed: Connection refused\n\tIs the server running...?"):
// the operator's message and the log get them on one line.
std::string pgOneLine(const char *text);

struct PgResultDeleter
{
    void operator()(PGresult *result) const;
};
using PgResultPtr = std::unique_ptr<PGresult, PgResultDeleter>;

// One statement to run: its text with numbered parameters, kept prepared on the connection
// when `keep`, and its values (nullptr for null).
struct PgRequest
{
    const std::string *text = nullptr;
    bool keep = false;
    std::vector<const char *> values;
    // Sent as text without parameters, where the connection allows (several statements).
    bool simple = false;
};

// The last result of a statement, or why there is none: an SQLSTATE ("08006" for a lost
// connection, "timeout" for a server that did not answer in time) and its text.
struct PgReply
{
    PgResultPtr result;
    std::string code;
    std::string text;
    bool ok() const { return result != nullptr; }
};

// Whether a failure code means the session is gone: a connection exception, or a server that
// ended this session (shut down, restarted or terminated it).
bool pgSessionLost(const std::string &code);

// A failed statement's reply from its last result (or the connection's message).
PgReply pgFailureReply(PGconn *conn, PGresult *last);
// The reply for the results of one statement: its last one if it succeeded.
PgReply pgReplyFrom(PGconn *conn, PGresult *last);

// The connection a PostgreSQL storage runs its statements on.
class PgChannel
{
public:
    virtual ~PgChannel();
    virtual bool connect(std::string *error) = 0;
    virtual void disconnect() = 0;
    virtual bool connected() const = 0;
    virtual PgReply run(const PgRequest &request) = 0;
    // Waits before another try, without holding anyone else up where it can.
    virtual void pause(std::chrono::milliseconds time) = 0;
};

// A connection of the calling thread, which waits for every answer itself: for workers, tools
// and set-up.
std::unique_ptr<PgChannel> blockingPgChannel(const PgAddress &address, const StorageLimits &limits);

} // namespace caleserver
