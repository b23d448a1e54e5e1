#include "rpcclient.h"

#include <QJsonDocument>

#include <httplib.h>

#include <atomic>

namespace testsupport {

namespace {

RpcClient::Reply toReply(const httplib::Result &result)
{
    RpcClient::Reply reply;
    if (!result)
        return reply;
    reply.httpStatus = result->status;
    reply.body = QByteArray::fromStdString(result->body);
    reply.json = QJsonDocument::fromJson(reply.body).object();
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

QString RpcClient::Reply::describe() const
{
    return QStringLiteral("HTTP %1: %2").arg(httpStatus).arg(QString::fromUtf8(body));
}

RpcClient::RpcClient(int port, QString token, QString host)
    : m_host(std::move(host))
    , m_port(port)
    , m_token(std::move(token))
{}

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
    httplib::Client client(m_host.toStdString(), m_port);
    client.set_connection_timeout(5);
    client.set_read_timeout(120);
    httplib::Headers headers;
    if (!m_token.isEmpty())
        headers.emplace("Authorization", "Bearer " + m_token.toStdString());
    return toReply(client.Post("/QMR07700.rdmCaleProd", headers, body.constData(),
                               static_cast<size_t>(body.size()), "application/json"));
}

RpcClient::Reply RpcClient::get(const QString &path) const
{
    httplib::Client client(m_host.toStdString(), m_port);
    client.set_connection_timeout(5);
    return toReply(client.Get(path.toStdString()));
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
