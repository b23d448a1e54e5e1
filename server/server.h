#pragma once

#include <memory>
#include <string>

namespace caleserver {

// How a server instance listens and which database it serves.
struct ServerOptions
{
    // "sqlite:/path/file.db" or "postgresql://user@host:port/db"; empty = defaultDatabaseUrl().
    std::string databaseUrl;
    std::string listenHost = "127.0.0.1";
    int port = 8211;   // 0 = pick a free port
    std::string token; // empty = no auth (refused on a non-loopback host)
    int threads = 8;
    int loops = 0;                  // event loops; 0 = one per core
    int statementTimeoutMs = 30000; // longest wait of one PostgreSQL statement
    int journalDays = 400;          // days a change set stays in the journal
};

// The calendar application server: JSON-RPC over HTTP on its own thread; stop() and the destructor
// join it.
class Server
{
public:
    explicit Server(ServerOptions options);
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Binds and returns once the server accepts connections; false with a Portuguese reason
    // otherwise.
    bool start(std::string *error);
    // The bound port (valid after a successful start()).
    int port() const;
    // Stops accepting, finishes the calls in progress and joins every thread.
    void stop();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// sqlite:$XDG_DATA_HOME/caleprodu/caleprodu.db (else ~/.local/share/...), creating the folder.
std::string defaultDatabaseUrl();

} // namespace caleserver
