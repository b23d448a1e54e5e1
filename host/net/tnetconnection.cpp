#include "net/tnetconnection.h"

#include "core/exceptions.h"
#include "data/operatorcontext.h"
#include "net/blockingcall.h"
#include "net/httpclient.h"

#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

#include <utility>

namespace {

constexpr int ConnectTimeoutSeconds = 5;
constexpr int ReadTimeoutSeconds = 120;

QJsonValue toJsonParam(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        return QJsonValue::Null;
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QDate:
        return value.toDate().isValid() ? QJsonValue(value.toDate().toString(Qt::ISODate))
                                        : QJsonValue::Null;
    case QMetaType::QDateTime:
        // Remote dates carry no time of day.
        return value.toDateTime().isValid()
                   ? QJsonValue(value.toDateTime().date().toString(Qt::ISODate))
                   : QJsonValue::Null;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toLongLong();
    case QMetaType::QJsonObject:
        return value.toJsonObject();
    default:
        return QJsonValue::fromVariant(value);
    }
}

QString transportCause(HttpClient::Failure failure)
{
    switch (failure) {
    case HttpClient::Failure::Connect:
        return QStringLiteral("conexão recusada ou impossível");
    case HttpClient::Failure::ConnectTimeout:
        return QStringLiteral("tempo de conexão esgotado (%1 s)").arg(ConnectTimeoutSeconds);
    case HttpClient::Failure::Read:
        return QStringLiteral("resposta não recebida (falha ou tempo de leitura esgotado)");
    case HttpClient::Failure::Write:
        return QStringLiteral("falha ao enviar o pedido");
    case HttpClient::Failure::None:
        break;
    }
    return QStringLiteral("falha de comunicação");
}

// The operator's name as the X-Operador header carries it: without control characters and cut to
// the server's 64 bytes at a character boundary, so that an odd login never gets a call refused.
std::string headerName(const QString &name)
{
    QString clean;
    for (const QChar c : name)
        if (c.isPrint())
            clean += c;
    QByteArray bytes = clean.trimmed().toUtf8();
    while (bytes.size() > 64)
        bytes = QString::fromUtf8(bytes).chopped(1).toUtf8();
    return bytes.toStdString();
}

} // namespace

struct TNetConnection::Private
{
    std::unique_ptr<HttpClient> idle; // kept between calls for keep-alive
    QString clientHost;
    int clientPort = 0;
    QString token;
    std::string operatorName;
};

TNetConnection::TNetConnection(QObject *owner)
    : QObject(owner)
    , d(std::make_unique<Private>())
{}

TNetConnection::~TNetConnection() = default;

void TNetConnection::SetHost(const QString &host)
{
    m_host = host;
}

void TNetConnection::SetPort(int port)
{
    m_port = port;
}

void TNetConnection::SetConnected(bool connected)
{
    if (connected)
        Open();
    else
        Close();
}

void TNetConnection::Open()
{
    if (m_connected)
        return;
    raise(BeforeConnect, this);
    d->token = m_token.isEmpty() ? WebToken() : m_token;
    d->operatorName = headerName(OperatorName());
    m_connected = true;
    raise(AfterConnect, this);
}

void TNetConnection::Close()
{
    if (!m_connected)
        return;
    raise(BeforeDisconnect, this);
    m_connected = false;
    d->idle.reset();
    raise(AfterDisconnect, this);
}

TNetConnection *TNetConnection::AppServer()
{
    Open();
    return this;
}

TServerResult TNetConnection::Call(const QString &method, const QVariantList &params)
{
    Open();
    emit called(method, params);
    QJsonArray jsonParams;
    for (const QVariant &p : params)
        jsonParams.append(toJsonParam(p));
    const QJsonObject request{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                              {QStringLiteral("id"), m_nextId++},
                              {QStringLiteral("method"), method},
                              {QStringLiteral("params"), jsonParams}};
    const QByteArray body = QJsonDocument(request).toJson(QJsonDocument::Compact);
    const std::string path = (QLatin1Char('/') + m_serverName).toStdString();
    const QString host = m_host;
    const int port = m_port;
    const bool throwException = m_throwException;
    // A handler run while waiting may destroy this connection (its screen closed by a timer).
    const QPointer<TNetConnection> self(this);
    const std::string token = d->token.toStdString();

    // A call made while another is waiting (from a timer, say) gets a client of its own.
    std::unique_ptr<HttpClient> client;
    if (d->idle && d->clientHost == host && d->clientPort == port)
        client = std::move(d->idle);
    if (!client)
        client = std::make_unique<HttpClient>(host.toStdString(), port, ConnectTimeoutSeconds,
                                              ReadTimeoutSeconds);

    HttpClient::Answer answer;
    const std::string operatorName = d->operatorName;
    const auto post = [&] {
        answer = client->postJson(path, token, body.toStdString(), operatorName);
    };

    host::RunBlockingCall(post);

    const auto unavailable = [&](const QString &cause) {
        TServerResult r;
        r.message = QStringLiteral("Servidor de aplicação indisponível (%1:%2): %3")
                        .arg(host)
                        .arg(port)
                        .arg(cause);
        return r;
    };
    TServerResult result;
    if (answer.failure != HttpClient::Failure::None) {
        result = unavailable(transportCause(answer.failure));
    } else if (answer.status != 200) {
        result = unavailable(answer.status == 401
                                 ? QStringLiteral("acesso não autorizado (HTTP 401)")
                                 : QStringLiteral("resposta HTTP %1").arg(answer.status));
    } else {
        QJsonParseError parseError;
        const QJsonDocument doc =
            QJsonDocument::fromJson(QByteArray::fromStdString(answer.body), &parseError);
        const QJsonObject reply = doc.object();
        if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
            result = unavailable(QStringLiteral("resposta ilegível"));
        } else if (reply.value(QStringLiteral("error")).isObject()) {
            const QJsonObject err = reply.value(QStringLiteral("error")).toObject();
            result.message = err.value(QStringLiteral("message")).toString();
            result.code = err.value(QStringLiteral("code")).toInt();
            if (result.message.isEmpty())
                result.message =
                    QStringLiteral("Erro no servidor de aplicação (%1).").arg(result.code);
        } else if (reply.contains(QStringLiteral("result"))) {
            result.ok = true;
            result.payload = reply.value(QStringLiteral("result"));
        } else {
            result = unavailable(QStringLiteral("resposta ilegível"));
        }
    }

    // Keep the client for the next call only if it still matches this connection.
    if (self && m_connected && m_host == host && m_port == port && !d->idle &&
        answer.failure == HttpClient::Failure::None) {
        d->idle = std::move(client);
        d->clientHost = host;
        d->clientPort = port;
    }

    if (!result.ok && throwException)
        throw EServerError(result.message, result.code);
    return result;
}

QJsonObject CheckResultServ(const TServerResult &result, bool raiseOnError, int helpContext)
{
    Q_UNUSED(helpContext);
    if (!result.ok) {
        if (raiseOnError)
            throw EServerError(result.message, result.code);
        return {};
    }
    return result.payload.toObject();
}
