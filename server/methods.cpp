#include "methods.h"

#include "date.h"
#include "jsontext.h"
#include "logging.h"

#include <boost/json/string.hpp>
#include <boost/json/value.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace caleserver {

namespace json = boost::json;

Fields::Fields(std::initializer_list<Field> list)
    : m_list(list)
{
    m_json = "[";
    for (const Field &field : m_list) {
        if (m_json.size() > 1)
            m_json += ',';
        m_json += std::string("{\"name\":\"") + field.name + '"';
        if (field.size > 0)
            m_json += ",\"size\":" + std::to_string(field.size);
        m_json += std::string(",\"type\":\"") + field.type + "\"}";
    }
    m_json += ']';
}

std::string excerpt(std::string_view text)
{
    // Enough to recognise what was sent, never enough to flood a message or a log.
    return printable(text, 40);
}

namespace {

const Fields calendarFields{
    {"CDFILIAL", "string", 4}, {"CDPERIPRODU", "string", 2}, {"DTPRODUCAO", "date"}};
const Fields branchFields{{"CDFILIAL", "string", 4}};
const Fields noFields{};

// One call: where its storage comes from.
struct Call
{
    const StorageSource &storage;
};

Outcome unavailable(const std::string &why)
{
    return Outcome::failure(ErrorCode::StorageFailure, "Banco de dados indisponível: " + why);
}

// Asks for the storage only now that the call is known to be well formed.
Outcome inTransaction(const Call &call, Storage::Mode mode,
                      const std::function<Outcome(Storage &)> &body)
{
    std::string why;
    Storage *storage = call.storage(mode, &why);
    if (!storage)
        return unavailable(why);
    return storage->transaction(mode, [&]() { return body(*storage); });
}

json::value number(std::string_view text)
{
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    // Counts are whole numbers, written without a fraction or an exponent.
    if (std::abs(value) < 9e15 && value == std::floor(value))
        return json::value(static_cast<int64_t>(value));
    return json::value(value);
}

// Runs one read and answers its rows as a packet, each column converted by its field's type.
// The first leading.size() columns are not read but given: values the WHERE clause fixes, which
// the database would otherwise convert again on every row.
Outcome readPacket(const Call &call, const Fields &fields, const std::string &sql,
                   const std::vector<Param> &binds, const std::vector<std::string> &leading = {})
{
    return inTransaction(call, Storage::Mode::Read, [&](Storage &storage) {
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
            kinds.push_back(type == "date"    ? Kind::Date
                            : type == "float" ? Kind::Number
                                              : Kind::Text);
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
    });
}

Outcome empty(const Fields &fields)
{
    return Outcome::packet(fields, "[]", 0);
}

Outcome ignored()
{
    return empty(noFields);
}

Outcome refused(std::string message)
{
    return Outcome::failure(ErrorCode::Refused, std::move(message));
}

Outcome invalid(std::string message)
{
    return Outcome::failure(ErrorCode::InvalidParams, std::move(message));
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A code as typed: completed with leading zeros, "" when empty; false when it cannot be a code.
bool normaliseCode(std::string_view text, size_t width, std::string *code)
{
    if (text.size() > width || !std::all_of(text.begin(), text.end(), isDigit))
        return false;
    *code =
        text.empty() ? std::string() : std::string(width - text.size(), '0') + std::string(text);
    return true;
}

// A year text: false when it is no integer; *year is 0 when the integer lies outside 1 ... 9999.
bool parseYear(std::string_view text, int *year)
{
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), isDigit))
        return false;
    // Leading zeros do not make a year larger.
    while (text.size() > 1 && text.front() == '0')
        text.remove_prefix(1);
    int value = 0;
    if (text.size() <= 6)
        std::from_chars(text.data(), text.data() + text.size(), value);
    *year = (negative || text.size() > 6 || value > 9999) ? 0 : value;
    return true;
}

const char *codeLabel(size_t width)
{
    return width == 4 ? "filial" : "periodicidade";
}

std::string joined(const std::vector<std::string> &parts, const char *separator)
{
    std::string out;
    for (const std::string &part : parts) {
        if (!out.empty())
            out += separator;
        out += part;
    }
    return out;
}

// Reads positional parameters; the first problem found is the call's answer.
class Args
{
public:
    Args(const char *method, const json::array &params, std::vector<std::string> names)
        : m_method(method)
        , m_params(params)
        , m_names(std::move(names))
    {
        if (params.size() != m_names.size())
            fail("O método " + m_method + " espera " + std::to_string(m_names.size()) +
                 " parâmetro(s) (" + joined(m_names, ", ") + ") e recebeu " +
                 std::to_string(params.size()) + ".");
    }

    bool failed() const { return !m_error.empty(); }
    Outcome error() const { return invalid(m_error); }
    const std::string &message() const { return m_error; }

    std::string_view text(size_t i)
    {
        if (failed())
            return {};
        const json::string *value = m_params.at(i).if_string();
        if (!value) {
            fail("O parâmetro " + std::to_string(i + 1) + " (" + m_names.at(i) + ") de " +
                 m_method + " deve ser um texto.");
            return {};
        }
        return *value;
    }

    std::string code(size_t i, size_t width)
    {
        const std::string_view raw = text(i);
        std::string code;
        if (!failed() && !normaliseCode(raw, width, &code))
            fail(std::string("Código de ") + codeLabel(width) + " inválido: \"" + excerpt(raw) +
                 "\". Use até " + std::to_string(width) + " dígitos.");
        return code;
    }

    Date date(size_t i)
    {
        const std::string_view raw = text(i);
        if (failed())
            return {};
        const Date date = Date::fromIso(raw);
        if (!date.isValid()) {
            fail("Data inválida no parâmetro " + std::to_string(i + 1) + " (" + m_names.at(i) +
                 ") de " + m_method + ": \"" + excerpt(raw) +
                 "\". Use uma data que exista, no formato AAAA-MM-DD.");
            return {};
        }
        return date;
    }

    int integer(size_t i)
    {
        if (failed())
            return 0;
        const json::value &value = m_params.at(i);
        const double number = value.is_number() ? value.to_number<double>() : 0.5;
        if (!value.is_number() || number != std::trunc(number) || std::abs(number) > 1e9) {
            fail("O parâmetro " + std::to_string(i + 1) + " (" + m_names.at(i) + ") de " +
                 m_method + " deve ser um número inteiro.");
            return 0;
        }
        return static_cast<int>(number);
    }

    // 0 when the year selects nothing.
    int year(size_t i)
    {
        const std::string_view raw = text(i);
        int year = 0;
        if (!failed() && !parseYear(raw, &year))
            fail("Ano inválido: \"" + excerpt(raw) + "\" não é um número inteiro.");
        return year;
    }

    // "T": every branch; " " or "": the one given.
    bool allSwitch(size_t i)
    {
        const std::string_view raw = text(i);
        const std::string_view value = trimmed(raw);
        if (!failed() && !value.empty() && value != "T")
            fail("Indicador de todas as filiais inválido: \"" + excerpt(raw) +
                 "\". Use \"T\" para todas ou \" \" para a filial informada.");
        return value == "T";
    }

    std::vector<std::string> codeList(size_t i, size_t width)
    {
        const std::string_view raw = trimmed(text(i));
        std::set<std::string> codes;
        if (failed() || raw.empty())
            return {};
        size_t from = 0;
        for (;;) {
            const size_t comma = raw.find(',', from);
            const std::string_view element = raw.substr(from, comma - from);
            std::string code;
            if (!normaliseCode(element, width, &code) || code.empty()) {
                fail("Lista de filiais inválida: \"" + excerpt(element) +
                     "\" não é um código de até " + std::to_string(width) +
                     " dígitos. Separe os códigos por vírgulas, sem espaços.");
                return {};
            }
            codes.insert(std::move(code));
            if (comma == std::string_view::npos)
                break;
            from = comma + 1;
        }
        return {codes.begin(), codes.end()};
    }

    void fail(const std::string &message)
    {
        if (m_error.empty())
            m_error = message;
    }

private:
    std::string m_method;
    const json::array &m_params;
    std::vector<std::string> m_names;
    std::string m_error;
};

struct Branch
{
    bool found = false;
    bool rescinded = false;
    std::string name;
};

struct Periodicity
{
    bool found = false;
    bool avoidHolidays = false;
    bool monthDays = false;
};

bool flag(std::string_view text, char value)
{
    text = trimmed(text);
    return text.size() == 1 && text.front() == value;
}

bool readBranch(Storage &storage, const std::string &code, Branch *branch)
{
    Rows *query = storage.exec(
        "SELECT NMFILIAL, IDCNTRRESC FROM FILIAL WHERE CDFILIAL = ?" + storage.shareLock(), {code});
    if (!query)
        return false;
    *branch = {};
    if (query->next())
        *branch = {true, flag(query->text(1), 'S'), std::string(trimmed(query->text(0)))};
    query->finish();
    return true;
}

bool readPeriodicity(Storage &storage, const std::string &code, Periodicity *periodicity)
{
    Rows *query =
        storage.exec("SELECT IDDIANUTILP, IDTIPODIAP FROM PERIPRODUCAO WHERE CDPERIPRODU = ?" +
                         storage.shareLock(),
                     {code});
    if (!query)
        return false;
    *periodicity = {};
    if (query->next())
        *periodicity = {true, flag(query->text(0), 'S'), flag(query->text(1), 'M')};
    query->finish();
    return true;
}

Outcome unknownBranch(const std::string &code, const char *role = "")
{
    return refused(std::string("A filial") + role + " " + code + " não está cadastrada.");
}

Outcome rescindedBranch(const std::string &code, const Branch &branch)
{
    return refused("A filial " + code + " (" + branch.name +
                   ") teve o contrato rescindido e não recebe novos dias de produção.");
}

Outcome unknownPeriodicity(const std::string &code)
{
    return refused("A periodicidade " + code + " não está cadastrada.");
}

// Branch and periodicity that may receive new production days; sets *periodicity.
Outcome checkWriteTarget(Storage &storage, const std::string &branchCode,
                         const std::string &periCode, Periodicity *periodicity)
{
    Branch branch;
    if (!readBranch(storage, branchCode, &branch))
        return storage.storageFailure();
    if (!branch.found)
        return unknownBranch(branchCode);
    if (branch.rescinded)
        return rescindedBranch(branchCode, branch);
    if (!readPeriodicity(storage, periCode, periodicity))
        return storage.storageFailure();
    if (!periodicity->found)
        return unknownPeriodicity(periCode);
    return Outcome::success();
}

Outcome deleteRange(const Call &call, const std::string &b, const std::string &p, Date first,
                    Date last)
{
    if (b.empty() || p.empty() || first > last)
        return ignored();
    return inTransaction(call, Storage::Mode::Write, [&](Storage &storage) {
        if (!storage.exec("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? AND "
                          "DTPRODUCAO BETWEEN ? AND ?",
                          {b, p, first.iso(), last.iso()}))
            return storage.storageFailure();
        return ignored();
    });
}

// ---------------------------------------------------------------------------------------------

Outcome getCaleProdu(const Call &call, const json::array &params)
{
    Args args("GetCaleProdu", params, {"filial", "periodicidade", "ano"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const int year = args.year(2);
    if (args.failed())
        return args.error();
    if (b.empty() || p.empty() || year == 0)
        return empty(calendarFields);
    // A year is up to 366 rows whose branch and periodicity are the ones asked for.
    return readPacket(call, calendarFields,
                      "SELECT DTPRODUCAO FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? "
                      "AND DTPRODUCAO BETWEEN ? AND ? ORDER BY DTPRODUCAO",
                      {b, p, Date(year, 1, 1).iso(), Date(year, 12, 31).iso()}, {b, p});
}

struct Change
{
    bool insert = false;
    std::string branch;
    std::string periodicity;
    Date date;
};

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

Outcome setCaleProdu(const Call &call, const json::array &params)
{
    Args args("SetCaleProdu", params, {"conjunto de alterações"});
    if (args.failed())
        return args.error();
    const auto bad = [](const std::string &why) {
        return invalid("Conjunto de alterações inválido: " + why);
    };
    const json::object *delta = params.at(0).if_object();
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

    std::vector<Change> changes;
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
        Args rowArgs("SetCaleProdu", key, {"CDFILIAL", "CDPERIPRODU", "DTPRODUCAO"});
        Change change{insert, rowArgs.code(0, 4), rowArgs.code(1, 2), rowArgs.date(2)};
        if (!rowArgs.failed() && insert && (change.branch.empty() || change.periodicity.empty()))
            rowArgs.fail("um dia de produção novo exige filial e periodicidade.");
        if (rowArgs.failed())
            problem = "alteração " + std::to_string(n) + ": " + rowArgs.message();
        else
            changes.push_back(std::move(change));
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
    if (changes.empty())
        return ignored();
    // One key order for every writer, so that two change sets never wait on each other's rows
    // crosswise; changes of one day keep their order, and days are independent of each other.
    std::stable_sort(changes.begin(), changes.end(), [](const Change &x, const Change &y) {
        return std::tie(x.branch, x.periodicity, x.date) <
               std::tie(y.branch, y.periodicity, y.date);
    });

    return inTransaction(call, Storage::Mode::Write, [&](Storage &storage) {
        std::map<std::string, Periodicity> checked; // "branch/periodicity" allowed in this call
        for (const Change &change : changes) {
            const std::string day = change.date.iso();
            if (!change.insert) {
                if (!change.branch.empty() && !change.periodicity.empty() &&
                    !storage.exec("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = "
                                  "? AND DTPRODUCAO = ?",
                                  {change.branch, change.periodicity, day}))
                    return storage.storageFailure();
                continue;
            }
            const std::string target = change.branch + '/' + change.periodicity;
            auto allowed = checked.find(target);
            if (allowed == checked.end()) {
                Periodicity periodicity;
                const Outcome check =
                    checkWriteTarget(storage, change.branch, change.periodicity, &periodicity);
                if (!check.ok())
                    return check;
                allowed = checked.emplace(target, periodicity).first;
            }
            if (allowed->second.avoidHolidays) {
                Rows *holiday = storage.exec("SELECT NMFERIADO FROM FERIADO WHERE DTFERICOMP = ? "
                                             "AND (CDFILIAL = ? OR CDFILIAL IS NULL)",
                                             {day, change.branch});
                if (!holiday)
                    return storage.storageFailure();
                if (holiday->next()) {
                    const std::string name(trimmed(holiday->text(0)));
                    holiday->finish();
                    return refused("Feriado nesta data: " + change.date.shown() + " (" + name +
                                   ") na filial " + change.branch + "; a periodicidade " +
                                   change.periodicity + " não produz em feriados.");
                }
            }
            if (!storage.exec("INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) "
                              "VALUES (?, ?, ?) ON CONFLICT DO NOTHING",
                              {change.branch, change.periodicity, day}))
                return storage.storageFailure();
        }
        return ignored();
    });
}

Outcome getDelCaleProdu(const Call &call, const json::array &params)
{
    Args args("GetDelCaleProdu", params, {"filial", "periodicidade", "data"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date day = args.date(2);
    if (args.failed())
        return args.error();
    return deleteRange(call, b, p, day, day);
}

// "MM/AAAA": the month, or 0 when the text has no such shape.
int monthOf(std::string_view text, std::string_view *yearText)
{
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos || slash == 0 || slash > 2 ||
        !std::all_of(text.begin(), text.begin() + long(slash), isDigit))
        return 0;
    *yearText = text.substr(slash + 1);
    int month = 0;
    std::from_chars(text.data(), text.data() + slash, month);
    return month;
}

Outcome getDelCaleProduMes(const Call &call, const json::array &params)
{
    Args args("GetDelCaleProduMes", params,
              {"filial", "periodicidade", "data de processamento", "mês (MM/AAAA)"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date proc = args.date(2);
    const std::string_view monthText = args.text(3);
    if (args.failed())
        return args.error();
    std::string_view yearText;
    const int month = monthOf(monthText, &yearText);
    int year = 0;
    if (month < 1 || month > 12 || !parseYear(yearText, &year))
        return invalid("Mês inválido: \"" + excerpt(monthText) +
                       "\". Use MM/AAAA, por exemplo 03/2026.");
    if (year == 0)
        return ignored();
    const Date first(year, month, 1);
    return deleteRange(call, b, p, std::max(first, proc), first.monthEnd());
}

Outcome getDelCaleProduAno(const Call &call, const json::array &params)
{
    Args args("GetDelCaleProduAno", params,
              {"filial", "periodicidade", "data de processamento", "ano"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date proc = args.date(2);
    const int year = args.year(3);
    if (args.failed())
        return args.error();
    if (year == 0)
        return ignored();
    return deleteRange(call, b, p, std::max(Date(year, 1, 1), proc), Date(year, 12, 31));
}

Outcome calculaProducao(const Call &call, const json::array &params)
{
    Args args(
        "CalculaProducao", params,
        {"filial", "periodicidade", "primeiro dia", "número de meses", "data de processamento"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date first = args.date(2);
    const int months = args.integer(3);
    const Date proc = args.date(4);
    if (args.failed())
        return args.error();
    if (months != 1 && months != 12)
        return invalid("Número de meses inválido: " + std::to_string(months) +
                       ". Calcule 1 (um mês) ou 12 (o ano).");
    if (b.empty() || p.empty())
        return invalid("Informe a filial e a periodicidade para calcular a produção.");
    // Dates on the wire stop at 9999; a year calculated from December 9999 ends there too.
    const Date monthsLater = first.addMonths(months - 1);
    const Date last = monthsLater.isValid() ? monthsLater.monthEnd() : Date(9999, 12, 31);
    const Date start = std::max(first, proc);

    return inTransaction(call, Storage::Mode::Write, [&](Storage &storage) {
        Periodicity periodicity;
        const Outcome allowed = checkWriteTarget(storage, b, p, &periodicity);
        if (!allowed.ok() || start > last)
            return allowed.ok() ? ignored() : allowed;
        storage.markBulk();
        const std::string from = start.iso();
        const std::string to = last.iso();
        if (!storage.exec("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? AND "
                          "DTPRODUCAO BETWEEN ? AND ?",
                          {b, p, from, to}))
            return storage.storageFailure();
        const std::string dayNumber =
            periodicity.monthDays ? storage.dayOfMonthOf("DIA") : storage.weekdayOf("DIA");
        std::string sql = storage.daySeries() +
                          "INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) SELECT "
                          "CAST(? AS CHAR(4)), CAST(? AS CHAR(2)), DIA FROM DIAS WHERE " +
                          dayNumber +
                          " IN (SELECT NRDIAPRODU FROM DIASPRODUCAO WHERE CDPERIPRODU = ?)";
        std::vector<Param> binds{from, to, b, p, p};
        if (periodicity.avoidHolidays) {
            sql += " AND NOT EXISTS (SELECT 1 FROM FERIADO F WHERE F.DTFERICOMP = DIAS.DIA AND "
                   "(F.CDFILIAL = ? OR F.CDFILIAL IS NULL))";
            binds.emplace_back(b);
        }
        sql += " ON CONFLICT DO NOTHING";
        if (!storage.exec(sql, Params(binds)))
            return storage.storageFailure();
        return ignored();
    });
}

Outcome getCaleProduAux(const Call &call, const json::array &params)
{
    Args args("GetCaleProduAux", params, {"filial", "periodicidade", "data"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date day = args.date(2);
    if (args.failed())
        return args.error();
    static const Fields fields{{"TOTAL", "float"}};
    if (b.empty() || p.empty())
        return empty(fields);
    // Two key probes (the day, then any day of its year) instead of counting the whole year:
    // this call runs on every click in the calendar.
    return readPacket(
        call, fields,
        "SELECT COUNT(*) FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? AND DTPRODUCAO "
        "= ? HAVING EXISTS (SELECT 1 FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? AND "
        "DTPRODUCAO BETWEEN ? AND ?)",
        {b, p, day.iso(), b, p, Date(day.year, 1, 1).iso(), Date(day.year, 12, 31).iso()});
}

Outcome getVerificaDiaUtil(const Call &call, const json::array &params)
{
    Args args("GetVerificaDiaUtil", params, {"filial", "data"});
    const std::string b = args.code(0, 4);
    const Date day = args.date(1);
    if (args.failed())
        return args.error();
    static const Fields fields{{"DTFERICOMP", "date"}};
    if (b.empty())
        return empty(fields);
    return readPacket(call, fields,
                      "SELECT DTFERICOMP FROM FERIADO WHERE DTFERICOMP = ? AND (CDFILIAL = ? OR "
                      "CDFILIAL IS NULL)",
                      {day.iso(), b});
}

Outcome getPesqCaleProdu(const Call &call, const json::array &params)
{
    Args args("GetPesqCaleProdu", params, {"filial"});
    const std::string b = args.code(0, 4);
    if (args.failed())
        return args.error();
    if (b.empty())
        return empty(branchFields);
    return readPacket(call, branchFields,
                      "SELECT CDFILIAL FROM CALEPRODUCAO WHERE CDFILIAL = ? LIMIT 1", {b});
}

Outcome getExpCaleProdu(const Call &call, const json::array &params)
{
    Args args("GetExpCaleProdu", params, {"filial", "todas (\"T\" ou \" \")"});
    const std::string b = args.code(0, 4);
    const bool all = args.allSwitch(1);
    if (args.failed())
        return args.error();
    static const Fields fields{{"CDFILIAL", "string", 4}, {"NMFILIAL", "string", 30}};
    if (!all && b.empty())
        return empty(fields);
    const std::string sql = "SELECT F.CDFILIAL, F.NMFILIAL FROM FILIAL F WHERE EXISTS (SELECT 1 "
                            "FROM CALEPRODUCAO C WHERE C.CDFILIAL = F.CDFILIAL)";
    if (all)
        return readPacket(call, fields, sql + " ORDER BY F.CDFILIAL", {});
    return readPacket(call, fields, sql + " AND F.CDFILIAL = ?", {b});
}

Outcome getVerifica(const Call &call, const json::array &params)
{
    Args args("GetVerifica", params, {"filial", "periodicidade", "primeira data", "última data"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date first = args.date(2);
    const Date last = args.date(3);
    if (args.failed())
        return args.error();
    if (b.empty() || p.empty())
        return empty(branchFields);
    return readPacket(call, branchFields,
                      "SELECT CDFILIAL FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? "
                      "AND DTPRODUCAO BETWEEN ? AND ? LIMIT 1",
                      {b, p, first.monthStart().iso(), last.monthEnd().iso()});
}

std::string placeholders(size_t count)
{
    std::string marks;
    for (size_t i = 0; i < count; ++i)
        marks += i == 0 ? "?" : ", ?";
    return marks;
}

// The branches a copy writes to, each checked to exist and to be allowed new days.
Outcome copyTargets(Storage &storage, const std::string &source, bool all,
                    const std::vector<std::string> &listed, std::vector<std::string> *targets)
{
    if (all) {
        Rows *query = storage.exec("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL <> ? AND "
                                   "IDCNTRRESC <> 'S' ORDER BY CDFILIAL" +
                                       storage.shareLock(),
                                   {source});
        if (!query)
            return storage.storageFailure();
        while (query->next())
            targets->emplace_back(query->text(0));
        return Outcome::success();
    }
    std::copy_if(listed.begin(), listed.end(), std::back_inserter(*targets),
                 [&source](const std::string &code) { return code != source; });
    if (targets->empty())
        return Outcome::success();
    const std::vector<Param> binds(targets->begin(), targets->end());
    Rows *query = storage.execOnce("SELECT CDFILIAL, NMFILIAL, IDCNTRRESC FROM FILIAL WHERE "
                                   "CDFILIAL IN (" +
                                       placeholders(targets->size()) + ")" + storage.shareLock(),
                                   Params(binds));
    if (!query)
        return storage.storageFailure();
    std::map<std::string, Branch> found;
    while (query->next())
        found.emplace(std::string(query->text(0)), Branch{true, flag(query->text(2), 'S'),
                                                          std::string(trimmed(query->text(1)))});
    for (const std::string &code : *targets) {
        const auto branch = found.find(code);
        if (branch == found.end())
            return refused("A filial de destino " + code +
                           " não está cadastrada; nada foi copiado.");
        if (branch->second.rescinded)
            return refused("A filial de destino " + code + " (" + branch->second.name +
                           ") teve o contrato rescindido; nada foi copiado.");
    }
    return Outcome::success();
}

Outcome getInsDel(const Call &call, const json::array &params)
{
    Args args("GetInsDel", params,
              {"filial de origem", "periodicidade", "lista de destino", "todas (\"T\" ou \" \")",
               "primeira data", "última data"});
    const std::string source = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const std::vector<std::string> listed = args.codeList(2, 4);
    const bool all = args.allSwitch(3);
    const Date first = args.date(4).monthStart();
    const Date last = args.date(5).monthEnd();
    if (args.failed())
        return args.error();
    if (source.empty() || p.empty())
        return invalid("Informe a filial de origem e a periodicidade da cópia.");
    if (!all && listed.empty())
        return refused("Nenhuma filial de destino foi informada para a cópia.");

    return inTransaction(call, Storage::Mode::Write, [&](Storage &storage) {
        Branch branch;
        if (!readBranch(storage, source, &branch))
            return storage.storageFailure();
        if (!branch.found)
            return unknownBranch(source, " de origem");
        Periodicity periodicity;
        if (!readPeriodicity(storage, p, &periodicity))
            return storage.storageFailure();
        if (!periodicity.found)
            return unknownPeriodicity(p);

        std::vector<std::string> targets;
        const Outcome checked = copyTargets(storage, source, all, listed, &targets);
        if (!checked.ok())
            return checked;
        if (targets.empty() || first > last)
            return ignored();

        storage.markBulk();
        const std::string in = placeholders(targets.size());
        const std::string from = first.iso();
        const std::string to = last.iso();
        std::vector<Param> binds{p, from, to};
        binds.insert(binds.end(), targets.begin(), targets.end());
        if (!storage.execOnce("DELETE FROM CALEPRODUCAO WHERE CDPERIPRODU = ? AND DTPRODUCAO "
                              "BETWEEN ? AND ? AND CDFILIAL IN (" +
                                  in + ")",
                              Params(binds)))
            return storage.storageFailure();
        binds.insert(binds.begin(), Param(source));
        std::string sql = "INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) SELECT "
                          "D.CDFILIAL, C.CDPERIPRODU, C.DTPRODUCAO FROM CALEPRODUCAO C CROSS JOIN "
                          "FILIAL D WHERE C.CDFILIAL = ? AND C.CDPERIPRODU = ? AND C.DTPRODUCAO "
                          "BETWEEN ? AND ? AND D.CDFILIAL IN (" +
                          in + ")";
        if (periodicity.avoidHolidays)
            sql += " AND NOT EXISTS (SELECT 1 FROM FERIADO F WHERE F.DTFERICOMP = C.DTPRODUCAO "
                   "AND (F.CDFILIAL = D.CDFILIAL OR F.CDFILIAL IS NULL))";
        sql += " ON CONFLICT DO NOTHING";
        if (!storage.execOnce(sql, Params(binds)))
            return storage.storageFailure();
        return ignored();
    });
}

using Method = Outcome (*)(const Call &, const json::array &);

Method findMethod(std::string_view name)
{
    static const std::map<std::string, Method, std::less<>> table{
        {"GetCaleProdu", getCaleProdu},
        {"SetCaleProdu", setCaleProdu},
        {"GetDelCaleProdu", getDelCaleProdu},
        {"GetDelCaleProduMes", getDelCaleProduMes},
        {"GetDelCaleProduAno", getDelCaleProduAno},
        {"CalculaProducao", calculaProducao},
        {"GetCaleProduAux", getCaleProduAux},
        {"GetVerificaDiaUtil", getVerificaDiaUtil},
        {"GetPesqCaleProdu", getPesqCaleProdu},
        {"GetExpCaleProdu", getExpCaleProdu},
        {"GetVerifica", getVerifica},
        {"GetInsDel", getInsDel},
    };
    const auto found = table.find(name);
    return found == table.end() ? nullptr : found->second;
}

} // namespace

Outcome callMethod(const StorageSource &storage, std::string_view method, const json::array &params)
{
    const Method handler = findMethod(method);
    if (!handler)
        return Outcome::failure(ErrorCode::MethodNotFound,
                                "Método desconhecido no servidor: \"" + excerpt(method) + "\".");
    return handler(Call{storage}, params);
}

Outcome callMethod(Storage &storage, std::string_view method, const json::array &params)
{
    const StorageSource source = [&storage](Storage::Mode, std::string *) { return &storage; };
    return callMethod(source, method, params);
}

} // namespace caleserver
