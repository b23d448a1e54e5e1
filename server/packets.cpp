#include "packets.h"

#include "arguments.h"
#include "jsontext.h"

#include <boost/json/string.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace caleserver {

namespace json = boost::json;

namespace {

const Fields noFields{};

json::value number(std::string_view text)
{
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    // Counts are whole numbers, written without a fraction or an exponent.
    if (std::abs(value) < 9e15 && value == std::floor(value))
        return json::value(static_cast<int64_t>(value));
    return json::value(value);
}

bool sameNameNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::string_view stringOr(const json::object &object, std::string_view key)
{
    const json::value *value = object.if_contains(key);
    const json::string *text = value ? value->if_string() : nullptr;
    return text ? std::string_view(*text) : std::string_view();
}

} // namespace

Outcome empty(const Fields &fields)
{
    return Outcome::packet(fields, "[]", 0);
}

Outcome ignored()
{
    return empty(noFields);
}

Outcome answerRows(Storage &storage, const Fields &fields, const std::string &sql,
                   const std::vector<Param> &binds, const std::vector<std::string> &leading)
{
    Rows *query = storage.exec(sql, Params(binds));
    if (!query)
        return storage.storageFailure();
    // What every row starts with, and how each read column is written, are settled once.
    std::string rowStart = "[";
    for (const std::string &value : leading) {
        if (rowStart.size() > 1)
            rowStart += ',';
        appendJsonString(rowStart, value);
    }
    enum class Kind { Text, Date, Number };
    std::vector<Kind> kinds;
    for (size_t column = leading.size(); column < fields.size(); ++column) {
        const std::string_view type = fields[column].type;
        kinds.push_back(type == "date" ? Kind::Date : type == "float" ? Kind::Number : Kind::Text);
    }
    std::string rows = "[";
    size_t count = 0;
    while (query->next()) {
        if (count++)
            rows += ',';
        rows += rowStart;
        for (size_t i = 0; i < kinds.size(); ++i) {
            if (i || !leading.empty())
                rows += ',';
            const std::string_view value = query->text(int(i));
            switch (kinds[i]) {
            case Kind::Date:
                appendJsonString(rows, value.substr(0, 10));
                break;
            case Kind::Number:
                appendJson(rows, number(value));
                break;
            case Kind::Text:
                appendJsonString(rows, value);
                break;
            }
        }
        rows += ']';
    }
    if (query->failed())
        return storage.storageFailure();
    rows += ']';
    return Outcome::packet(fields, std::move(rows), count);
}

Outcome readChangeSet(const char *method, const json::value &packet, std::vector<Change> *changes)
{
    const auto bad = [](const std::string &why) {
        return invalid("Conjunto de alterações inválido: " + why);
    };
    const json::object *delta = packet.if_object();
    const json::value *fieldsValue = delta ? delta->if_contains("fields") : nullptr;
    const json::value *changesValue = delta ? delta->if_contains("changes") : nullptr;
    if (!fieldsValue || !fieldsValue->is_array() || !changesValue || !changesValue->is_array())
        return bad("esperado um pacote com \"fields\" e \"changes\".");

    const json::array &fields = fieldsValue->get_array();
    const auto column = [&fields](const char *name) {
        for (size_t i = 0; i < fields.size(); ++i) {
            const json::object *field = fields[i].if_object();
            if (field && sameNameNoCase(stringOr(*field, "name"), name))
                return int(i);
        }
        return -1;
    };
    const int cBranch = column("CDFILIAL");
    const int cPeri = column("CDPERIPRODU");
    const int cDate = column("DTPRODUCAO");
    if (cBranch < 0 || cPeri < 0 || cDate < 0)
        return bad("faltam os campos CDFILIAL, CDPERIPRODU e DTPRODUCAO.");

    std::string problem;
    const auto readRow = [&](const json::value *value, bool insert, size_t n) {
        const json::array *row = value ? value->if_array() : nullptr;
        const size_t needed = size_t(std::max({cBranch, cPeri, cDate})) + 1;
        if (!row || row->size() < needed) {
            problem =
                "a alteração " + std::to_string(n) + " não traz uma linha com os campos do pacote.";
            return;
        }
        const json::array key{row->at(size_t(cBranch)), row->at(size_t(cPeri)),
                              row->at(size_t(cDate))};
        Args rowArgs(method, key, {"CDFILIAL", "CDPERIPRODU", "DTPRODUCAO"});
        Change change{insert, rowArgs.code(0, 4), rowArgs.code(1, 2), rowArgs.date(2)};
        if (!rowArgs.failed() && insert && (change.branch.empty() || change.periodicity.empty()))
            rowArgs.fail("um dia de produção novo exige filial e periodicidade.");
        if (rowArgs.failed())
            problem = "alteração " + std::to_string(n) + ": " + rowArgs.message();
        else
            changes->push_back(std::move(change));
    };
    const json::array &list = changesValue->get_array();
    for (size_t i = 0; i < list.size() && problem.empty(); ++i) {
        static const json::object none;
        const json::object &change = list[i].is_object() ? list[i].get_object() : none;
        const std::string_view op = stringOr(change, "op");
        if (op == "insert" || op == "delete") {
            readRow(change.if_contains("row"), op == "insert", i + 1);
        } else if (op == "update") {
            readRow(change.if_contains("old"), false, i + 1);
            if (problem.empty())
                readRow(change.if_contains("new"), true, i + 1);
        } else {
            problem = "a alteração " + std::to_string(i + 1) + " tem a operação \"" + excerpt(op) +
                      "\"; use insert, delete ou update.";
        }
    }
    if (!problem.empty())
        return bad(problem);
    return Outcome::success();
}

} // namespace caleserver
