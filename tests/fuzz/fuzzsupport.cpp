#include "fuzzsupport.h"

#include "storage/schema.h"
#include "storage/storage.h"

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace fuzz {

namespace json = boost::json;
using namespace caleserver;

void fail(const char *what, std::string_view detail)
{
    std::fprintf(stderr, "fuzz check failed: %s\n%.*s\n", what,
                 int(std::min<size_t>(detail.size(), 4000)), detail.data());
    std::abort();
}

const StorageSource &noStorage()
{
    static const StorageSource source = [](Storage::Mode, std::string *why) -> Storage * {
        *why = "sem banco nesta execução.";
        return nullptr;
    };
    return source;
}

namespace {

std::unique_ptr<Storage> openMemoryDatabase()
{
    std::string error;
    std::unique_ptr<Storage> storage = Storage::create("sqlite::memory:", &error);
    check(storage && storage->open(&error) && createSchema(*storage, &error), "in-memory database",
          error);
    for (const char *sql :
         {"INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC) VALUES ('0001', 'Matriz', 'N'), "
          "('0002', 'Centro', 'N'), ('0003', 'Porto', 'S'), ('0010', 'Serra', 'N')",
          "INSERT INTO PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU, IDDIANUTILP, IDTIPODIAP) VALUES "
          "('01', 'Diária', 'N', 'S'), ('02', 'Dias úteis', 'S', 'S'), ('03', 'Mensal', 'N', "
          "'M')",
          "INSERT INTO DIASPRODUCAO (CDPERIPRODU, NRDIAPRODU) VALUES ('01', 1), ('01', 2), "
          "('01', 3), ('01', 4), ('01', 5), ('01', 6), ('01', 7), ('02', 2), ('02', 3), "
          "('02', 4), ('02', 5), ('02', 6), ('03', 1), ('03', 15), ('03', 31)",
          "INSERT INTO FERIADO (CDFILIAL, DTFERICOMP, NMFERIADO) VALUES (NULL, '2026-12-25', "
          "'Natal'), ('0002', '2026-03-19', 'São José')",
          "INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) VALUES ('0001', '01', "
          "'2026-01-05'), ('0001', '02', '2026-01-06'), ('0010', '03', '2026-02-15')"})
        check(storage->execDirect(sql), "seeding the in-memory database", sql);
    return storage;
}

} // namespace

const StorageSource &memoryStorage()
{
    static const std::unique_ptr<Storage> storage = openMemoryDatabase();
    static const StorageSource source = [](Storage::Mode, std::string *) { return storage.get(); };
    return source;
}

namespace {

bool knownCode(int64_t code)
{
    for (const int known :
         {ErrorCode::ParseError, ErrorCode::InvalidRequest, ErrorCode::MethodNotFound,
          ErrorCode::InvalidParams, ErrorCode::Refused, ErrorCode::StorageFailure})
        if (code == known)
            return true;
    return false;
}

void checkPacket(const json::value &result, std::string_view body)
{
    const json::object *packet = result.if_object();
    check(packet, "result is an object", body);
    if (packet->empty())
        return;
    const json::value *fields = packet->if_contains("fields");
    const json::value *rows = packet->if_contains("rows");
    check(packet->size() == 2 && fields && fields->is_array() && rows && rows->is_array(),
          "result packet has fields and rows", body);
    for (const json::value &field : fields->get_array())
        check(field.is_object() && field.get_object().contains("name") &&
                  field.get_object().at("name").is_string(),
              "every field has a name", body);
    for (const json::value &row : rows->get_array())
        check(row.is_array() && row.get_array().size() == fields->get_array().size(),
              "every row has one value per field", body);
}

} // namespace

void checkAnswer(std::string_view body, int code)
{
    json::error_code error;
    const json::value answer = json::parse(body, error);
    check(!error, "answer is valid JSON", body);
    const json::object *object = answer.if_object();
    check(object && object->size() == 3, "answer is an object of three members", body);
    const json::value *version = object->if_contains("jsonrpc");
    check(version && version->is_string() && version->get_string() == "2.0", "jsonrpc is 2.0",
          body);
    const json::value *id = object->if_contains("id");
    check(id && (id->is_string() || id->is_number() || id->is_null()), "answer has an id", body);
    if (const json::value *result = object->if_contains("result")) {
        check(code == 0, "a result answers a call that succeeded", body);
        checkPacket(*result, body);
        return;
    }
    const json::value *failure = object->if_contains("error");
    check(failure && failure->is_object(), "answer has a result or an error", body);
    const json::value *errorCode = failure->get_object().if_contains("code");
    const json::value *message = failure->get_object().if_contains("message");
    check(errorCode && errorCode->is_int64() && errorCode->get_int64() == code && knownCode(code),
          "error has the known code reported", body);
    check(message && message->is_string() && !message->get_string().empty(), "error has a message",
          body);
}

void checkOutcome(const Outcome &outcome)
{
    if (!outcome.ok()) {
        check(knownCode(outcome.code) && !outcome.message.empty() && outcome.rows.empty(),
              "failure has a known code and a message", outcome.message);
        return;
    }
    if (!outcome.fields)
        return;
    json::error_code error;
    const json::value rows = json::parse(outcome.rows, error);
    check(!error && rows.is_array() && rows.get_array().size() == outcome.rowCount,
          "rows are a JSON list of rowCount rows", outcome.rows);
    for (const json::value &row : rows.get_array())
        check(row.is_array() && row.get_array().size() == outcome.fields->size(),
              "every row has one value per field", json::serialize(row));
}

Outcome call(const StorageSource &storage, std::string_view method, const json::array &params)
{
    Outcome outcome = callMethod(storage, method, params);
    checkOutcome(outcome);
    return outcome;
}

} // namespace fuzz
