#include "caleserver.h"

#include "logging.h"
#include "rpc.h"
#include "schema.h"
#include "storage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace caleserver {

namespace {

constexpr size_t maxBody = 4 * 1024 * 1024;
const char *const rpcPath = "/QMR07700.rdmCaleProd";

// The storage of the pool thread running the current call; each thread keeps one open connection
// for its whole life, because opening one per call costs far more than the call itself.
thread_local std::unique_ptr<Storage> *t_storage = nullptr;
thread_local const QString *t_databaseUrl = nullptr;

Storage *threadStorage(QString *error)
{
    if (!t_storage)
        return nullptr;
    if (!*t_storage) {
        *t_storage = Storage::create(*t_databaseUrl, error);
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
    WorkerPool(int threads, QString databaseUrl)
        : m_databaseUrl(std::move(databaseUrl))
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

    const QString m_databaseUrl;
    std::vector<std::thread> m_threads;
    std::deque<std::function<void()>> m_tasks;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
};

bool isLoopback(const QString &host)
{
    return host == QLatin1String("localhost") || host == QLatin1String("::1") ||
           host.startsWith(QLatin1String("127."));
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
    if (d->options.databaseUrl.isEmpty())
        d->options.databaseUrl = defaultDatabaseUrl();
}

Server::~Server()
{
    stop();
}

bool Server::start(QString *error)
{
    if (d->running)
        return true;
    if (d->used) {
        *error = QStringLiteral("Este servidor já foi parado; crie outro para iniciar de novo.");
        return false;
    }
    const ServerOptions &options = d->options;
    if (options.token.isEmpty() && !isLoopback(options.listenHost)) {
        *error = QStringLiteral("Recusado escutar em %1 sem token: use --token para exigir "
                                "autenticação fora da máquina local.")
                     .arg(options.listenHost);
        return false;
    }
    if (options.threads < 1) {
        *error = QStringLiteral("Número de threads inválido: %1.").arg(options.threads);
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
    const QString url = options.databaseUrl;
    http.new_task_queue = [threads, url] { return new WorkerPool(threads, url); };
    // Without this each call waits ~40 ms on Nagle plus delayed ACK.
    http.set_tcp_nodelay(true);
    http.set_keep_alive_max_count(10000);
    http.set_keep_alive_timeout(10);
    http.set_payload_max_length(maxBody);

    const std::string token = options.token.toStdString();
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
        QElapsedTimer timer;
        timer.start();
        const RpcAnswer answer = answerRpc(QByteArray::fromStdString(request.body), &threadStorage);
        response.set_content(answer.body.constData(), size_t(answer.body.size()),
                             "application/json");
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (answer.code == 0)
            qCInfo(lcServer).noquote() << answer.method << QString::number(ms, 'f', 1) << "ms ok";
        else
            qCInfo(lcServer).noquote()
                << answer.method << QString::number(ms, 'f', 1) << "ms erro" << answer.code;
    });

    // Calls refused before they reach a method (token, body size) still get their log line.
    http.set_logger([](const httplib::Request &request, const httplib::Response &response) {
        if (response.status != 200 && response.status != 404)
            qCInfo(lcServer).noquote()
                << QString::fromStdString(request.path) << "recusada: HTTP" << response.status;
    });

    const std::string host = options.listenHost.toStdString();
    int port = options.port;
    if (port == 0) {
        port = http.bind_to_any_port(host);
    } else if (!http.bind_to_port(host, port)) {
        port = -1;
    }
    if (port <= 0) {
        *error = QStringLiteral("Não foi possível escutar em %1:%2: endereço inválido ou porta em "
                                "uso.")
                     .arg(options.listenHost)
                     .arg(options.port);
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
        *error = QStringLiteral("O servidor parou ao iniciar em %1:%2.")
                     .arg(options.listenHost)
                     .arg(port);
        return false;
    }
    d->running = true;
    qCInfo(lcServer).noquote() << "servidor escutando em" << options.listenHost << "porta" << port;
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

QString defaultDatabaseUrl()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = base + QStringLiteral("/caleprodu");
    QDir().mkpath(folder);
    return QStringLiteral("sqlite:") + folder + QStringLiteral("/caleprodu.db");
}

} // namespace caleserver
