#include "rpcclient.h"

#include <QJsonDocument>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <atomic>

namespace testsupport {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

// One request on a connection of its own; no HTTP answer (status 0) when the exchange fails.
RpcClient::Reply exchange(const QString &host, int port, http::request<http::string_body> request)
{
    RpcClient::Reply reply;
    boost::asio::io_context context;
    beast::tcp_stream stream(context);
    beast::error_code ec;
    tcp::resolver resolver(context);
    const auto endpoints = resolver.resolve(host.toStdString(), std::to_string(port), ec);
    if (!ec)
        stream.connect(endpoints, ec);
    request.set(http::field::host, host.toStdString() + ':' + std::to_string(port));
    request.prepare_payload();
    if (!ec)
        http::write(stream, request, ec);
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(boost::none);
    // A refusal may come while the body is still being sent: read the answer all the same.
    http::read(stream, buffer, parser, ec);
    if (!parser.is_header_done())
        return reply;
    reply.httpStatus = parser.get().result_int();
    reply.body = QByteArray::fromStdString(parser.get().body());
    reply.json = QJsonDocument::fromJson(reply.body).object();
    for (const auto &field : parser.get())
        reply.headers.append({QByteArray::fromStdString(std::string(field.name_string())),
                              QByteArray::fromStdString(std::string(field.value()))});
    return reply;
}

QString text(const QJsonValue &value)
{
    if (value.isDouble())
        return QString::number(value.toDouble());
    if (value.isNull())
        return QString();
    return value.toString();
}

} // namespace

int RpcClient::Reply::errorCode() const
{
    return json.value(QStringLiteral("error")).toObject().value(QStringLiteral("code")).toInt();
}

QString RpcClient::Reply::errorMessage() const
{
    return json.value(QStringLiteral("error"))
        .toObject()
        .value(QStringLiteral("message"))
        .toString();
}

QList<QStringList> RpcClient::Reply::rows() const
{
    QList<QStringList> list;
    for (const QJsonValue &row : result().value(QStringLiteral("rows")).toArray()) {
        QStringList values;
        for (const QJsonValue &value : row.toArray())
            values.append(text(value));
        list.append(values);
    }
    return list;
}

QStringList RpcClient::Reply::column() const
{
    QStringList values;
    for (const QStringList &row : rows())
        values.append(row.value(0));
    return values;
}

QByteArray RpcClient::Reply::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString RpcClient::Reply::describe() const
{
    return QStringLiteral("HTTP %1: %2").arg(httpStatus).arg(QString::fromUtf8(body));
}

RpcClient::RpcClient(int port, QString token, QString host)
    : m_host(std::move(host))
    , m_port(port)
    , m_token(std::move(token))
{}

void RpcClient::setHeader(const QByteArray &name, const QByteArray &value)
{
    m_headers.append({name, value});
}

RpcClient::Reply RpcClient::call(const QString &method, const QJsonArray &params) const
{
    static std::atomic<int> id{0};
    const QJsonObject request{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                              {QStringLiteral("id"), ++id},
                              {QStringLiteral("method"), method},
                              {QStringLiteral("params"), params}};
    return post(QJsonDocument(request).toJson(QJsonDocument::Compact));
}

RpcClient::Reply RpcClient::post(const QByteArray &body) const
{
    http::request<http::string_body> request(http::verb::post, "/QMR07700.rdmCaleProd", 11);
    request.set(http::field::content_type, "application/json");
    if (!m_token.isEmpty())
        request.set(http::field::authorization, "Bearer " + m_token.toStdString());
    for (const auto &[name, value] : m_headers)
        request.insert(name.toStdString(), value.toStdString());
    request.body() = body.toStdString();
    return exchange(m_host, m_port, std::move(request));
}

RpcClient::Reply RpcClient::get(const QString &path) const
{
    return exchange(m_host, m_port,
                    http::request<http::string_body>(http::verb::get, path.toStdString(), 11));
}

RpcClient::Reply RpcClient::request(const QByteArray &method, const QString &path,
                                    const QList<QPair<QByteArray, QByteArray>> &headers) const
{
    http::request<http::string_body> request;
    request.method_string(method.toStdString());
    request.target(path.toStdString());
    request.version(11);
    if (!m_token.isEmpty())
        request.set(http::field::authorization, "Bearer " + m_token.toStdString());
    for (const auto &[name, value] : headers)
        request.set(name.toStdString(), value.toStdString());
    return exchange(m_host, m_port, std::move(request));
}

QJsonObject RpcClient::changeSet(const QList<QStringList> &changes)
{
    QJsonArray list;
    for (const QStringList &change : changes)
        list.append(QJsonObject{{QStringLiteral("op"), change.value(0)},
                                {QStringLiteral("row"),
                                 QJsonArray{change.value(1), change.value(2), change.value(3)}}});
    return {{QStringLiteral("fields"),
             QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("CDFILIAL")},
                                    {QStringLiteral("type"), QStringLiteral("string")},
                                    {QStringLiteral("size"), 4}},
                        QJsonObject{{QStringLiteral("name"), QStringLiteral("CDPERIPRODU")},
                                    {QStringLiteral("type"), QStringLiteral("string")},
                                    {QStringLiteral("size"), 2}},
                        QJsonObject{{QStringLiteral("name"), QStringLiteral("DTPRODUCAO")},
                                    {QStringLiteral("type"), QStringLiteral("date")}}}},
            {QStringLiteral("rows"), QJsonArray()},
            {QStringLiteral("changes"), list}};
}

} // namespace testsupport
