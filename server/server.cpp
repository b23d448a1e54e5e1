#include "caleserver.h"

#include "logging.h"
#include "rpc.h"
#include "schema.h"
#include "storage.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

namespace caleserver {

namespace {

constexpr size_t maxBody = 4 * 1024 * 1024;
const char *const rpcPath = "/QMR07700.rdmCaleProd";

// The storage of the pool thread running the current call; each thread keeps one open connection
// for its whole life, because opening one per call costs far more than the call itself.
thread_local std::unique_ptr<Storage> *t_storage = nullptr;
thread_local const std::string *t_databaseUrl = nullptr;
thread_local StorageLimits t_limits;

Storage *threadStorage(std::string *error)
{
    if (!t_storage)
        return nullptr;
    if (!*t_storage) {
        *t_storage = Storage::create(*t_databaseUrl, error, t_limits);
        if (!*t_storage)
            return nullptr;
    }
    if (!(*t_storage)->open(error)) {
        t_storage->reset();
        return nullptr;
    }
    return t_storage->get();
}

// A fixed pool whose threads own their database connection and close it on the way out: Qt Sql
// connections must be opened and closed on the thread that uses them.
class WorkerPool : public httplib::TaskQueue
{
public:
    WorkerPool(int threads, std::string databaseUrl, StorageLimits limits)
        : m_databaseUrl(std::move(databaseUrl))
        , m_limits(limits)
    {
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { work(); });
    }

    ~WorkerPool() override { shutdown(); }

    void enqueue(std::function<void()> task) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_wake.notify_one();
    }

    void shutdown() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (std::thread &thread : m_threads)
            if (thread.joinable())
                thread.join();
    }

private:
    void work()
    {
        std::unique_ptr<Storage> storage;
        t_storage = &storage;
        t_databaseUrl = &m_databaseUrl;
        t_limits = m_limits;
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
                if (m_tasks.empty())
                    break;
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
        storage.reset();
        t_storage = nullptr;
        t_databaseUrl = nullptr;
    }

    const std::string m_databaseUrl;
    const StorageLimits m_limits;
    std::vector<std::thread> m_threads;
    std::deque<std::function<void()>> m_tasks;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
};

bool isLoopback(const std::string &host)
{
    return host == "localhost" || host == "::1" || host.starts_with("127.");
}

bool sameToken(const std::string &given, const std::string &expected)
{
    if (given.size() != expected.size())
        return false;
    // Constant time, so the answer's timing does not reveal how much of a guess was right.
    unsigned char difference = 0;
    for (size_t i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ expected[i]);
    return difference == 0;
}

} // namespace

struct Server::Private
{
    ServerOptions options;
    httplib::Server http;
    std::thread thread;
    int port = 0;
    bool running = false;
    bool used = false; // httplib's server cannot listen again once stopped
    std::atomic<bool> ended{false};
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
    if (d->running)
        return true;
    if (d->used) {
        *error = "Este servidor já foi parado; crie outro para iniciar de novo.";
        return false;
    }
    const ServerOptions &options = d->options;
    if (options.token.empty() && !isLoopback(options.listenHost)) {
        *error = "Recusado escutar em " + options.listenHost +
                 " sem token: use --token para exigir autenticação fora da máquina local.";
        return false;
    }
    if (options.threads < 1) {
        *error = "Número de threads inválido: " + std::to_string(options.threads) + ".";
        return false;
    }
    {
        // Refuse to start on a database that cannot serve, rather than fail every call later.
        std::unique_ptr<Storage> probe = Storage::create(options.databaseUrl, error);
        if (!probe || !schemaPresent(*probe, error))
            return false;
    }

    httplib::Server &http = d->http;
    const int threads = options.threads;
    const std::string url = options.databaseUrl;
    StorageLimits limits;
    limits.statementTimeoutMs = options.statementTimeoutMs;
    http.new_task_queue = [threads, url, limits] { return new WorkerPool(threads, url, limits); };
    // Without this each call waits ~40 ms on Nagle plus delayed ACK.
    http.set_tcp_nodelay(true);
    http.set_keep_alive_max_count(10000);
    http.set_keep_alive_timeout(10);
    http.set_payload_max_length(maxBody);

    const std::string token = options.token;
    http.set_pre_routing_handler(
        [token](const httplib::Request &request, httplib::Response &response) {
            if (token.empty() || request.path == "/health")
                return httplib::Server::HandlerResponse::Unhandled;
            const std::string header = request.get_header_value("Authorization");
            const std::string prefix = "Bearer ";
            if (header.compare(0, prefix.size(), prefix) == 0 &&
                sameToken(header.substr(prefix.size()), token))
                return httplib::Server::HandlerResponse::Unhandled;
            response.status = 401;
            response.set_header("WWW-Authenticate", "Bearer");
            response.set_content("Autenticação exigida: envie Authorization: Bearer <token>.\n",
                                 "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        });
    http.Get("/health", [](const httplib::Request &, httplib::Response &response) {
        response.set_content("ok\n", "text/plain");
    });
    http.Post(rpcPath, [](const httplib::Request &request, httplib::Response &response) {
        const auto started = std::chrono::steady_clock::now();
        const RpcAnswer answer = answerRpc(request.body, &threadStorage);
        response.set_content(answer.body.data(), answer.body.size(), "application/json");
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count();
        char duration[32];
        std::snprintf(duration, sizeof duration, "%.1f", ms);
        logLine(answer.method + " " + duration +
                (answer.code == 0 ? " ms ok" : " ms erro " + std::to_string(answer.code)));
    });

    // Calls refused before they reach a method (token, body size) still get their log line.
    http.set_logger([](const httplib::Request &request, const httplib::Response &response) {
        if (response.status != 200 && response.status != 404)
            logLine(request.path + " recusada: HTTP " + std::to_string(response.status));
    });

    const std::string &host = options.listenHost;
    int port = options.port;
    if (port == 0) {
        port = http.bind_to_any_port(host);
    } else if (!http.bind_to_port(host, port)) {
        port = -1;
    }
    if (port <= 0) {
        *error = "Não foi possível escutar em " + options.listenHost + ":" +
                 std::to_string(options.port) + ": endereço inválido ou porta em uso.";
        return false;
    }
    d->port = port;
    d->used = true;
    d->ended = false;
    d->thread = std::thread([this] {
        d->http.listen_after_bind();
        d->ended = true;
    });
    while (!d->http.is_running() && !d->ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (d->ended) {
        d->thread.join();
        *error = "O servidor parou ao iniciar em " + options.listenHost + ":" +
                 std::to_string(port) + ".";
        return false;
    }
    d->running = true;
    logLine("servidor escutando em " + options.listenHost + " porta " + std::to_string(port));
    return true;
}

int Server::port() const
{
    return d->port;
}

void Server::stop()
{
    if (d->thread.joinable()) {
        d->http.stop();
        d->thread.join();
    }
    d->running = false;
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
