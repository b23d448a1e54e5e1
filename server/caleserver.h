#pragma once

#include <QString>

#include <memory>

namespace caleserver {

/// How a server instance listens and which database it serves.
struct ServerOptions
{
    QString databaseUrl; // "sqlite:/path/file.db" or "postgresql://user@host:port/db"; empty =
                         // defaultDatabaseUrl()
    QString listenHost = QStringLiteral("127.0.0.1");
    int port = 8211; // 0 = pick a free port
    QString token;   // empty = no auth (refused on a non-loopback host)
    int threads = 8;
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
    bool start(QString *error);
    /// The bound port (valid after a successful start()).
    int port() const;
    /// Stops accepting, finishes the calls in progress and joins every thread.
    void stop();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

/// sqlite:$XDG_DATA_HOME/caleprodu/caleprodu.db (else ~/.local/share/...), creating the folder.
QString defaultDatabaseUrl();
/// Creates the schema if absent; safe to run again and from several processes at once.
bool initDatabase(const QString &url, QString *error);
/// Fills the demo data; rows that exist are kept, so it is safe to run again.
bool seedDemo(const QString &url, QString *error);

} // namespace caleserver
