#pragma once

#include <rpcclient.h>

#include <QProcess>
#include <QTemporaryDir>

#include <boost/asio/io_context.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>

#include <memory>
#include <vector>

namespace scaleout {

// Two caleprodu-server processes over one database behind nginx as a load balancer, all on
// 127.0.0.1 with their configuration and logs in a temporary folder. The destructor stops them.
class ScaleOutStack
{
public:
    explicit ScaleOutStack(QString databaseUrl);
    ~ScaleOutStack();

    // nginx's path, or empty when it is not installed.
    static QString nginx();

    bool start(QString *error);
    // nginx's port.
    int port() const { return m_port; }
    // The calls each server has answered so far, read from its log.
    QList<int> callsPerServer() const;
    void stop();

private:
    bool startServer(QString *error);
    bool startNginx(QString *error);

    QString m_databaseUrl;
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_servers;
    QList<int> m_serverPorts;
    std::unique_ptr<QProcess> m_nginx;
    int m_port = 0;
};

// A client with one HTTP/1.1 connection of its own, kept alive from call to call (opened again
// only when the other end closes it). One per thread.
class KeepAliveClient
{
public:
    explicit KeepAliveClient(int port);
    testsupport::RpcClient::Reply call(const QString &method, const QJsonArray &params);
    // How many connections it has opened.
    int connections() const { return m_connections; }

private:
    boost::asio::io_context m_context;
    boost::beast::tcp_stream m_stream;
    boost::beast::flat_buffer m_buffer;
    int m_port;
    bool m_open = false;
    int m_connections = 0;
    int m_id = 0;
};

} // namespace scaleout
