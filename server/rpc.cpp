#include "rpc.h"

#include "methods.h"
#include "storage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace caleserver {

namespace {

RpcAnswer reply(const QJsonValue &id, const QString &method, const Outcome &outcome)
{
    if (!outcome.ok()) {
        const QJsonObject answer{
            {QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
            {QStringLiteral("id"), id},
            {QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), outcome.code},
                                                  {QStringLiteral("message"), outcome.message}}}};
        return {QJsonDocument(answer).toJson(QJsonDocument::Compact), method, outcome.code};
    }
    // The result is serialised where it stands instead of being copied into an answer object
    // first: a year of days is nearly all of the answer. Same text, same key order.
    QByteArray idText = QJsonDocument(QJsonArray{id}).toJson(QJsonDocument::Compact);
    idText = idText.mid(1, idText.size() - 2);
    QByteArray body;
    body.reserve(idText.size() + 64);
    body.append("{\"id\":").append(idText).append(",\"jsonrpc\":\"2.0\",\"result\":");
    body.append(QJsonDocument(outcome.payload).toJson(QJsonDocument::Compact)).append('}');
    return {body, method, 0};
}

RpcAnswer badRequest(const QJsonValue &id, const QString &message)
{
    return reply(id, QStringLiteral("-"), Outcome::failure(ErrorCode::InvalidRequest, message));
}

} // namespace

RpcAnswer answerRpc(const QByteArray &body, const std::function<Storage *(QString *)> &storage)
{
    // Wrapped in an array so that a bare scalar is read (and refused as a request) instead of
    // being reported as unreadable JSON.
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray("[") + body + QByteArray("]"), &parseError);
    if (parseError.error != QJsonParseError::NoError || document.array().size() != 1)
        return reply(QJsonValue::Null, QStringLiteral("-"),
                     Outcome::failure(ErrorCode::ParseError,
                                      QStringLiteral("Requisição ilegível: o corpo não é um JSON "
                                                     "válido.")));
    const QJsonValue request = document.array().at(0);
    if (request.isArray())
        return badRequest(QJsonValue::Null,
                          QStringLiteral("Requisição inválida: chamadas em lote não são aceitas; "
                                         "envie uma chamada por requisição."));
    if (!request.isObject())
        return badRequest(QJsonValue::Null,
                          QStringLiteral("Requisição inválida: o corpo deve ser um objeto "
                                         "JSON-RPC 2.0."));
    const QJsonObject object = request.toObject();
    const QJsonValue id = object.value(QStringLiteral("id"));
    const bool idUsable = id.isString() || id.isDouble() || id.isNull();
    const QJsonValue echoedId = idUsable && !id.isUndefined() ? id : QJsonValue(QJsonValue::Null);
    if (object.value(QStringLiteral("jsonrpc")).toString() != QLatin1String("2.0"))
        return badRequest(echoedId, QStringLiteral("Requisição inválida: informe \"jsonrpc\": "
                                                   "\"2.0\"."));
    if (id.isUndefined())
        return badRequest(QJsonValue::Null,
                          QStringLiteral("Requisição inválida: notificações (chamadas sem \"id\") "
                                         "não são aceitas."));
    if (!idUsable)
        return badRequest(QJsonValue::Null, QStringLiteral("Requisição inválida: o \"id\" deve ser "
                                                           "um número ou um texto."));
    const QJsonValue method = object.value(QStringLiteral("method"));
    if (!method.isString() || method.toString().isEmpty())
        return badRequest(id, QStringLiteral("Requisição inválida: informe o nome do método em "
                                             "\"method\"."));
    const QString name = method.toString();
    const QJsonValue params = object.value(QStringLiteral("params"));
    if (!params.isArray() && !params.isUndefined())
        return reply(id, name,
                     Outcome::failure(ErrorCode::InvalidParams,
                                      QStringLiteral("Parâmetros inválidos para %1: envie-os em "
                                                     "uma lista, na ordem do método.")
                                          .arg(name)));
    QString why;
    Storage *store = storage(&why);
    if (!store) {
        // An unknown name is still the caller's fault, even while the database is away.
        Outcome outcome = Outcome::failure(
            ErrorCode::StorageFailure, QStringLiteral("Banco de dados indisponível: %1").arg(why));
        return reply(id, name, outcome);
    }
    return reply(id, name, callMethod(*store, name, params.toArray()));
}

} // namespace caleserver
