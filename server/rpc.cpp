#include "rpc.h"

#include "arguments.h"
#include "jsontext.h"
#include "logging.h"
#include "methods.h"
#include "requestparser.h"

#include <boost/json/monotonic_resource.hpp>
#include <boost/json/value.hpp>

#include <cmath>

namespace caleserver {

namespace json = boost::json;

namespace {

// The id as the answer writes it: a number as its text was sent, anything else as JSON.
std::string idJson(const json::value &id, std::string_view numberText)
{
    if (id.is_number() && !numberText.empty())
        return std::string(numberText);
    std::string out;
    appendJson(out, id);
    return out;
}

RpcAnswer reply(std::string_view id, std::string method, const Outcome &outcome)
{
    std::string body;
    if (!outcome.ok()) {
        body.reserve(outcome.message.size() + 96);
        body += "{\"error\":{\"code\":" + std::to_string(outcome.code) + ",\"message\":";
        appendJson(body, json::value(json::string_view(outcome.message)));
        body += "},\"id\":";
        body += id;
        body += ",\"jsonrpc\":\"2.0\"}";
        return {std::move(body), std::move(method), outcome.code};
    }
    // Rows and the column description come written already.
    body.reserve(96 + outcome.rows.size() + (outcome.fields ? outcome.fields->json().size() : 0));
    body += "{\"id\":";
    body += id;
    body += ",\"jsonrpc\":\"2.0\",\"result\":";
    if (outcome.fields) {
        body += "{\"fields\":";
        body += outcome.fields->json();
        body += ",\"rows\":";
        body += outcome.rows;
        body += '}';
    } else {
        body += "{}";
    }
    body += '}';
    return {std::move(body), std::move(method), 0};
}

// The method name for the log line: at most a short prefix, cut at a character boundary; the log
// escapes what it holds.
std::string logName(std::string_view name)
{
    size_t size = std::min<size_t>(name.size(), 64);
    while (size < name.size() && size > 0 &&
           (static_cast<unsigned char>(name[size]) & 0xC0) == 0x80)
        --size;
    return std::string(name.substr(0, size));
}

RpcAnswer badRequest(std::string_view id, std::string message)
{
    return reply(id, "-", Outcome::failure(ErrorCode::InvalidRequest, std::move(message)));
}

} // namespace

RpcAnswer answerRpc(std::string_view body, const StorageSource &storage, const Caller &caller)
{
    // The request lives in one arena, freed at once with the call.
    unsigned char initial[8192];
    json::monotonic_resource arena(initial, sizeof initial);
    const ParsedRequest parsed = parseRequest(body, &arena);
    const json::value &request = parsed.value;
    constexpr std::string_view null = "null";
    if (parsed.error)
        return reply(null, "-",
                     Outcome::failure(ErrorCode::ParseError,
                                      "Requisição ilegível: o corpo não é um JSON válido."));
    if (request.is_array())
        return badRequest(null, "Requisição inválida: chamadas em lote não são aceitas; envie "
                                "uma chamada por requisição.");
    const json::object *object = request.if_object();
    if (!object)
        return badRequest(null, "Requisição inválida: o corpo deve ser um objeto JSON-RPC 2.0.");
    // Which of two members of one name counts is for each reader to guess: none is taken.
    if (parsed.repeatedMember)
        return badRequest(null, "Requisição inválida: um objeto repete o nome de um membro.");
    const json::value *id = object->if_contains("id");
    // A number too large for a double reads as infinity, which no JSON answer can echo.
    const bool idUsable = id && (id->is_string() || id->is_null() ||
                                 (id->is_number() && std::isfinite(id->to_number<double>())));
    const std::string echoedId = idUsable ? idJson(*id, parsed.idText) : std::string(null);
    const json::value *version = object->if_contains("jsonrpc");
    if (!version || !version->is_string() || version->get_string() != "2.0")
        return badRequest(echoedId, "Requisição inválida: informe \"jsonrpc\": \"2.0\".");
    if (!id)
        return badRequest(null, "Requisição inválida: notificações (chamadas sem \"id\") não "
                                "são aceitas.");
    if (!idUsable)
        return badRequest(null, "Requisição inválida: o \"id\" deve ser um número ou um texto.");
    const json::value *method = object->if_contains("method");
    if (!method || !method->is_string() || method->get_string().empty())
        return badRequest(echoedId, "Requisição inválida: informe o nome do método em \"method\".");
    const std::string_view name = method->get_string();
    const json::value *params = object->if_contains("params");
    if (params && !params->is_array())
        return reply(echoedId, logName(name),
                     Outcome::failure(ErrorCode::InvalidParams,
                                      "Parâmetros inválidos para " + excerpt(name) +
                                          ": envie-os em uma lista, na ordem do método."));
    static const json::array none;
    return reply(echoedId, logName(name),
                 callMethod(storage, name, params ? params->get_array() : none, caller));
}

} // namespace caleserver
