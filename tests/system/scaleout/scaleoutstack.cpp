#include "scaleoutstack.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/http.hpp>

namespace scaleout {

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

namespace {

// One upstream connection pool over both servers; nginx keeps its idle connections for less time
// than a server keeps an idle one open (10 s), so it never sends on one that a server has closed.
const char nginxConfig[] = R"(daemon off;
master_process off;
pid @DIR@/nginx.pid;
error_log @DIR@/error.log warn;
events { worker_connections 256; }
http {
    access_log off;
    client_body_temp_path @DIR@/body;
    proxy_temp_path @DIR@/proxy;
    fastcgi_temp_path @DIR@/fastcgi;
    uwsgi_temp_path @DIR@/uwsgi;
    scgi_temp_path @DIR@/scgi;
    client_max_body_size 4m;
    client_body_buffer_size 4m;
    keepalive_requests 100000;
    upstream caleprodu {
        server 127.0.0.1:@PORT1@;
        server 127.0.0.1:@PORT2@;
        keepalive 32;
        keepalive_timeout 5s;
    }
    server {
        listen 127.0.0.1:@PORT@;
        location / {
            proxy_pass http://caleprodu;
            proxy_http_version 1.1;
            proxy_set_header Connection "";
            proxy_read_timeout 120s;
            proxy_buffers 16 64k;
        }
    }
}
)";

int freePort()
{
    boost::asio::io_context context;
    tcp::acceptor acceptor(context, tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
    return acceptor.local_endpoint().port();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A process that ends with the test, even when the test is killed: no server or nginx is left
// holding the database or a port.
std::unique_ptr<QProcess> childProcess()
{
    auto process = std::make_unique<QProcess>();
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    return process;
}

void stopProcess(QProcess *process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(10000)) {
        process->kill();
        process->waitForFinished(5000);
    }
}

} // namespace

ScaleOutStack::ScaleOutStack(QString databaseUrl)
    : m_databaseUrl(std::move(databaseUrl))
{}

ScaleOutStack::~ScaleOutStack()
{
    stop();
}

QString ScaleOutStack::nginx()
{
    const QString found = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    return found.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("nginx"),
                                                            {"/usr/sbin", "/usr/local/sbin"})
                           : found;
}

bool ScaleOutStack::start(QString *error)
{
    if (!m_dir.isValid()) {
        *error = QStringLiteral("cannot create a temporary folder");
        return false;
    }
    return startServer(error) && startServer(error) && startNginx(error);
}

bool ScaleOutStack::startServer(QString *error)
{
    const QString log = m_dir.filePath(QStringLiteral("server-%1.log").arg(m_servers.size() + 1));
    auto &process = m_servers.emplace_back(childProcess());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(log);
    // Port 0: the server picks a free one and names it in its log.
    process->start(QStringLiteral(CALEPRODU_SERVER_PATH),
                   {"--database", m_databaseUrl, "--listen", "127.0.0.1:0", "--threads", "4"});
    static const QRegularExpression listening(QStringLiteral("porta (\\d+)"));
    for (QDeadlineTimer deadline(15000); !deadline.hasExpired(); QThread::msleep(50)) {
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(readFile(log)));
        if (match.hasMatch()) {
            m_serverPorts.append(match.captured(1).toInt());
            return true;
        }
        if (process->state() == QProcess::NotRunning || process->waitForFinished(0))
            break;
    }
    *error = QStringLiteral("caleprodu-server did not start: ") + QString::fromUtf8(readFile(log));
    return false;
}

bool ScaleOutStack::startNginx(QString *error)
{
    // The free port may be taken between the probe and nginx's bind: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = freePort();
        QString config = QString::fromLatin1(nginxConfig);
        config.replace("@DIR@", m_dir.path())
            .replace("@PORT1@", QString::number(m_serverPorts.at(0)))
            .replace("@PORT2@", QString::number(m_serverPorts.at(1)))
            .replace("@PORT@", QString::number(m_port));
        QFile file(m_dir.filePath(QStringLiteral("nginx.conf")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(config.toUtf8()) < 0) {
            *error = QStringLiteral("cannot write the nginx configuration");
            return false;
        }
        file.close();
        m_nginx = childProcess();
        m_nginx->setProcessChannelMode(QProcess::MergedChannels);
        m_nginx->setStandardOutputFile(m_dir.filePath(QStringLiteral("nginx.out")));
        m_nginx->start(nginx(), {"-p", m_dir.path(), "-c", file.fileName(), "-e",
                                 m_dir.filePath(QStringLiteral("error.log"))});
        for (QDeadlineTimer deadline(10000); !deadline.hasExpired(); QThread::msleep(50)) {
            if (m_nginx->waitForFinished(0))
                break;
            if (testsupport::RpcClient(m_port).get(QStringLiteral("/health")).httpStatus == 200)
                return true;
        }
        stopProcess(m_nginx.get());
    }
    *error = QStringLiteral("nginx did not start: ") +
             QString::fromUtf8(readFile(m_dir.filePath(QStringLiteral("error.log"))));
    return false;
}

QList<int> ScaleOutStack::callsPerServer() const
{
    QList<int> calls;
    for (size_t i = 1; i <= m_servers.size(); ++i)
        calls.append(
            int(readFile(m_dir.filePath(QStringLiteral("server-%1.log").arg(i))).count(" ms ")));
    return calls;
}

void ScaleOutStack::stop()
{
    stopProcess(m_nginx.get());
    for (const auto &server : m_servers)
        stopProcess(server.get());
}

KeepAliveClient::KeepAliveClient(int port)
    : m_stream(m_context)
    , m_port(port)
{}

testsupport::RpcClient::Reply KeepAliveClient::call(const QString &method, const QJsonArray &params)
{
    testsupport::RpcClient::Reply reply;
    beast::error_code ec;
    if (!m_open) {
        m_buffer.clear();
        m_stream.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"),
                                       static_cast<unsigned short>(m_port)),
                         ec);
        if (ec) {
            reply.body = QByteArray::fromStdString("connect: " + ec.message());
            return reply;
        }
        m_open = true;
        ++m_connections;
    }
    const QJsonObject request{
        {"jsonrpc", "2.0"}, {"id", ++m_id}, {"method", method}, {"params", params}};
    http::request<http::string_body> message(http::verb::post, "/QMR07700.rdmCaleProd", 11);
    message.set(http::field::host, "127.0.0.1:" + std::to_string(m_port));
    message.set(http::field::content_type, "application/json");
    message.body() = QJsonDocument(request).toJson(QJsonDocument::Compact).toStdString();
    message.prepare_payload();
    http::response<http::string_body> response;
    http::write(m_stream, message, ec);
    if (!ec)
        http::read(m_stream, m_buffer, response, ec);
    if (ec || !response.keep_alive()) {
        beast::error_code ignored;
        m_stream.socket().close(ignored);
        m_open = false;
    }
    if (ec) {
        reply.body = QByteArray::fromStdString("exchange: " + ec.message());
        return reply;
    }
    reply.httpStatus = response.result_int();
    reply.body = QByteArray::fromStdString(response.body());
    reply.json = QJsonDocument::fromJson(reply.body).object();
    return reply;
}

} // namespace scaleout
