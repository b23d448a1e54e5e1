#pragma once

#include <memory>
#include <string>

namespace caleserver {

/// How a server instance listens and which database it serves.
struct ServerOptions
{
    std::string databaseUrl; // "sqlite:/path/file.db" or "postgresql://user@host:port/db"; empty
                             // = defaultDatabaseUrl()
    std::string listenHost = "127.0.0.1";
    int port = 8211;   // 0 = pick a free port
    std::string token; // empty = no auth (refused on a non-loopback host)
    int threads = 8;
    int statementTimeoutMs = 30000; // longest wait of one PostgreSQL statement
};

/// The calendar application server: JSON-RPC over HTTP on its own thread; stop() and the destructor
/// join it.
class Server
{
public:
    explicit Server(ServerOptions options);
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    /// Binds and returns once the server accepts connections; false with a Portuguese reason
    /// otherwise.
    bool start(std::string *error);
    /// The bound port (valid after a successful start()).
    int port() const;
    /// Stops accepting, finishes the calls in progress and joins every thread.
    void stop();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

/// sqlite:$XDG_DATA_HOME/caleprodu/caleprodu.db (else ~/.local/share/...), creating the folder.
std::string defaultDatabaseUrl();
/// Creates the schema if absent; safe to run again and from several processes at once. *created,
/// when given, tells whether this call found none of the calendar tables, that is, made the
/// database.
bool initDatabase(const std::string &url, std::string *error, bool *created = nullptr);
/// Fills the demo data; rows that exist are kept, so it is safe to run again.
bool seedDemo(const std::string &url, std::string *error);

} // namespace caleserver
