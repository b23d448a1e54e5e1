#include "server.h"

#include "httpsession.h"
#include "listener.h"
#include "logging.h"
#include "pgloop.h"
#include "storage/postgresstorage.h"
#include "storage/schema.h"
#include "storage/storage.h"
#include "workerpool.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace caleserver {

namespace {

namespace asio = boost::asio;

// One running server: its event loops, listener, workers and log.
class Runtime
{
public:
    Runtime(int workers, int loops, std::string token, std::string databaseUrl,
            StorageLimits limits, int journalDays)
        : m_workers(onPostgres(databaseUrl) ? 0 : workers)
        , m_listener(m_loops, m_context)
    {
        m_context.token = std::move(token);
        m_context.databaseUrl = std::move(databaseUrl);
        m_context.limits = limits;
        m_context.journalDays = journalDays;
        m_context.readsInline = m_context.databaseUrl.rfind("sqlite:", 0) == 0;
        m_context.workers = &m_workers;
        for (int i = 0; i < loops; ++i)
            m_loops.push_back(std::make_unique<asio::io_context>(1));
        // PostgreSQL waits on the loops themselves; the workers only take SQLite's writes, which
        // block on the file.
        m_context.pgOnLoops = PostgresStorage::parseUrl(m_context.databaseUrl, &m_pgAddress) &&
                              onPostgres(m_context.databaseUrl);
        if (m_context.pgOnLoops) {
            const int writeConnections = std::max(1, workers / loops);
            for (auto &loop : m_loops)
                m_pgLoops.push_back(
                    std::make_unique<PgLoop>(*loop, m_pgAddress, limits, writeConnections));
        }
    }

    ~Runtime() { stop(); }

    // Binds, listens and runs the loops; an empty text on success, else the reason.
    std::string listen(const std::string &host, int port, bool requireLoopback)
    {
        const std::string failure = m_listener.listen(host, port, requireLoopback);
        if (!failure.empty())
            return failure;
        for (std::size_t i = 0; i < m_loops.size(); ++i) {
            asio::io_context *context = m_loops[i].get();
            PgLoop *pg = m_pgLoops.empty() ? nullptr : m_pgLoops[i].get();
            m_threads.emplace_back([context, pg] {
                if (pg)
                    pg->makeCurrent();
                auto guard = asio::make_work_guard(*context);
                context->run();
            });
        }
        return {};
    }

    int port() const { return m_listener.port(); }

    void stop()
    {
        if (m_threads.empty())
            return;
        asio::post(*m_loops.front(), [this] { m_listener.close(); });
        // The calls in progress finish and their answers go out before the loops end.
        m_workers.shutdown();
        for (std::size_t i = 0; i < m_loops.size(); ++i) {
            asio::io_context *context = m_loops[i].get();
            if (m_pgLoops.empty()) {
                asio::post(*context, [context] { context->stop(); });
                continue;
            }
            PgLoop *pg = m_pgLoops[i].get();
            asio::post(*context, [context, pg] { pg->drain([context] { context->stop(); }); });
        }
        for (std::thread &thread : m_threads)
            thread.join();
        m_threads.clear();
        flushLog();
    }

private:
    static bool onPostgres(const std::string &url) { return url.rfind("sqlite:", 0) != 0; }

    WorkerPool m_workers;
    SessionContext m_context;
    PgAddress m_pgAddress;
    Listener::Loops m_loops;
    std::vector<std::unique_ptr<PgLoop>> m_pgLoops;
    Listener m_listener;
    std::vector<std::thread> m_threads;
};

} // namespace

struct Server::Private
{
    ServerOptions options;
    std::unique_ptr<Runtime> runtime;
};

Server::Server(ServerOptions options)
    : d(std::make_unique<Private>())
{
    d->options = std::move(options);
    if (d->options.databaseUrl.empty())
        d->options.databaseUrl = defaultDatabaseUrl();
}

Server::~Server()
{
    stop();
}

bool Server::start(std::string *error)
{
    if (d->runtime)
        return true;
    const ServerOptions &options = d->options;
    // A log reader that went away would otherwise end the process at its next line.
    std::signal(SIGPIPE, SIG_IGN);
    if (options.threads < 1) {
        *error = "Número de threads inválido: " + std::to_string(options.threads) + ".";
        return false;
    }
    if (options.loops < 0) {
        *error = "Número de laços de eventos inválido: " + std::to_string(options.loops) + ".";
        return false;
    }
    const int loops =
        options.loops > 0 ? options.loops : int(std::max(1u, std::thread::hardware_concurrency()));
    StorageLimits limits;
    limits.statementTimeoutMs = options.statementTimeoutMs;
    limits.createMissingFile = false;
    auto runtime = std::make_unique<Runtime>(options.threads, loops, options.token,
                                             options.databaseUrl, limits, options.journalDays);
    {
        // Refuse to start on a database that cannot serve, rather than fail every call later.
        std::unique_ptr<Storage> probe = Storage::create(options.databaseUrl, error, limits);
        if (!probe || !schemaPresent(*probe, error))
            return false;
    }
    const std::string failure =
        runtime->listen(options.listenHost, options.port, options.token.empty());
    if (!failure.empty()) {
        *error = failure;
        return false;
    }
    logLine("servidor escutando em " + options.listenHost + " porta " +
            std::to_string(runtime->port()));
    d->runtime = std::move(runtime);
    return true;
}

int Server::port() const
{
    return d->runtime ? d->runtime->port() : 0;
}

void Server::stop()
{
    d->runtime.reset();
}

std::string defaultDatabaseUrl()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    const char *home = std::getenv("HOME");
    std::string base = data && *data ? data : std::string(home ? home : "") + "/.local/share";
    const std::string folder = base + "/caleprodu";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return "sqlite:" + folder + "/caleprodu.db";
}

} // namespace caleserver
