#include "api/apirequest.h"

#include "arguments.h"
#include "jsontext.h"

#include <charconv>
#include <map>
#include <optional>

namespace caleserver::api {

namespace {

constexpr std::string_view prefix = "/api/v1/calendars";

using Refusal = std::optional<ApiAnswer>;

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

Refusal badRequest(const std::string &message)
{
    return errorAnswer(400, message);
}

Refusal notFound(const std::string &message)
{
    return errorAnswer(404, message);
}

// The resource named by what follows "/api/v1/calendars/{branch}/{periodicity}".
std::optional<Resource> resourceOf(std::string_view tail)
{
    static const std::map<std::string_view, Resource> names{{"/days", Resource::Days},
                                                            {"/count", Resource::Count},
                                                            {"/add", Resource::Add},
                                                            {".ics", Resource::Ics},
                                                            {".csv", Resource::Csv}};
    const auto found = names.find(tail);
    return found == names.end() ? std::nullopt : std::optional(found->second);
}

// "{branch}/{periodicity}{tail}" into the codes, completed with leading zeros as every method
// completes them, and the resource.
Refusal readPath(std::string_view path, ApiQuery *query)
{
    const std::string shown = excerpt(path);
    const auto unknown = [&]() { return notFound("Recurso não encontrado: " + shown + "."); };
    if (path == prefix) {
        query->resource = Resource::List;
        return {};
    }
    if (!path.starts_with(prefix) || path.size() == prefix.size() || path[prefix.size()] != '/')
        return unknown();
    std::string_view rest = path.substr(prefix.size() + 1);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return unknown();
    const std::string_view branchText = rest.substr(0, slash);
    rest.remove_prefix(slash + 1);
    const std::size_t end = rest.find_first_of("/.");
    if (end == std::string_view::npos)
        return unknown();
    const std::string_view periText = rest.substr(0, end);
    const std::optional<Resource> resource = resourceOf(rest.substr(end));
    if (!resource)
        return unknown();
    query->resource = *resource;

    std::string branch, periodicity;
    if (!percentDecoded(branchText, false, &branch) ||
        !percentDecoded(periText, false, &periodicity))
        return badRequest("Caminho com escape % malformado: " + shown + ".");
    if (!normaliseCode(branch, 4, &query->branch) || query->branch.empty())
        return notFound("Código de filial inválido: \"" + excerpt(branch) +
                        "\". Use até 4 dígitos.");
    if (!normaliseCode(periodicity, 2, &query->periodicity) || query->periodicity.empty())
        return notFound("Código de periodicidade inválido: \"" + excerpt(periodicity) +
                        "\". Use até 2 dígitos.");
    return {};
}

// The query string's values by name, each decoded; a name given twice is refused, since which
// one counts would be a guess. Names this interface does not read are left alone.
Refusal readParameters(std::string_view text, std::map<std::string, std::string> *values)
{
    while (!text.empty()) {
        const std::size_t amp = text.find('&');
        const std::string_view pair = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        if (pair.empty())
            continue;
        const std::size_t equals = pair.find('=');
        std::string name, value;
        if (!percentDecoded(pair.substr(0, equals), true, &name) ||
            (equals != std::string_view::npos &&
             !percentDecoded(pair.substr(equals + 1), true, &value)))
            return badRequest("Parâmetro com escape % malformado: \"" + excerpt(pair) + "\".");
        if (!values->emplace(name, std::move(value)).second)
            return badRequest("Parâmetro repetido: " + excerpt(name) + ".");
    }
    return {};
}

const std::string *valueOf(const std::map<std::string, std::string> &values, const char *name)
{
    const auto found = values.find(name);
    return found == values.end() ? nullptr : &found->second;
}

Refusal readDate(const std::map<std::string, std::string> &values, const char *name, Date fallback,
                 Date *date)
{
    const std::string *text = valueOf(values, name);
    *date = text ? Date::fromIso(*text) : fallback;
    if (!date->isValid())
        return badRequest(std::string("Data inválida em ") + name + ": \"" +
                          excerpt(text ? *text : std::string()) +
                          "\". Use uma data que exista, no formato AAAA-MM-DD.");
    return {};
}

// from and to, each defaulting to the current year's bounds, in order and at most maxYears apart.
Refusal readPeriod(const std::map<std::string, std::string> &values, Date today, ApiQuery *query)
{
    if (Refusal refusal = readDate(values, "from", Date(today.year, 1, 1), &query->from))
        return refusal;
    if (Refusal refusal = readDate(values, "to", Date(today.year, 12, 31), &query->to))
        return refusal;
    if (query->from > query->to)
        return badRequest("O período começa (" + query->from.iso() + ") depois de terminar (" +
                          query->to.iso() + ").");
    const Date limit = query->from.addMonths(12 * maxYears);
    if (limit.isValid() && query->to >= limit)
        return badRequest("O período de " + query->from.iso() + " a " + query->to.iso() +
                          " passa de " + std::to_string(maxYears) + " anos: peça no máximo " +
                          std::to_string(maxYears) + " anos de cada vez.");
    return {};
}

Refusal readShift(const std::map<std::string, std::string> &values, ApiQuery *query)
{
    const std::string *date = valueOf(values, "date");
    if (!date)
        return badRequest("Informe a data de partida: date=AAAA-MM-DD.");
    if (Refusal refusal = readDate(values, "date", {}, &query->date))
        return refusal;
    const std::string range =
        " Use um inteiro de -" + std::to_string(maxShift) + " a " + std::to_string(maxShift) + ".";
    const std::string *n = valueOf(values, "n");
    if (!n)
        return badRequest("Informe quantos dias de produção somar: n=N." + range);
    const char *end = n->data() + n->size();
    const auto [stop, error] =
        std::from_chars(n->data() + (n->starts_with('+') ? 1 : 0), end, query->n);
    if (n->empty() || error != std::errc() || stop != end || query->n < -maxShift ||
        query->n > maxShift)
        return badRequest("Número de dias inválido: \"" + excerpt(*n) + "\"." + range);
    return {};
}

} // namespace

bool isApiPath(std::string_view path)
{
    return path == "/api" || path.starts_with("/api/");
}

ApiAnswer errorAnswer(int status, std::string_view message)
{
    ApiAnswer answer;
    answer.status = status;
    answer.body = "{\"error\":";
    appendJsonString(answer.body, message);
    answer.body += '}';
    return answer;
}

bool percentDecoded(std::string_view text, bool inQuery, std::string *decoded)
{
    decoded->clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            const bool whole = i + 2 < text.size();
            const int high = whole ? hexDigit(text[i + 1]) : -1;
            const int low = whole ? hexDigit(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                return false;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        } else if (c == '+' && inQuery) {
            c = ' ';
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
        *decoded += c;
    }
    return true;
}

std::variant<ApiQuery, ApiAnswer> readApiRequest(std::string_view method, std::string_view target,
                                                 bool hasBody, std::string_view ifNoneMatch,
                                                 Date today)
{
    if (method != "GET" && method != "HEAD")
        return errorAnswer(405, "Método não permitido: esta interface só responde a GET e HEAD.");
    if (target.size() > maxTarget)
        return errorAnswer(414, "Endereço longo demais: no máximo " + std::to_string(maxTarget) +
                                    " caracteres.");
    if (hasBody)
        return errorAnswer(400, "Uma consulta GET não leva corpo.");

    const std::size_t mark = target.find('?');
    ApiQuery query;
    query.ifNoneMatch = std::string(ifNoneMatch);
    if (Refusal refusal = readPath(target.substr(0, mark), &query))
        return *refusal;
    std::map<std::string, std::string> values;
    if (mark != std::string_view::npos) {
        if (Refusal refusal = readParameters(target.substr(mark + 1), &values))
            return *refusal;
    }
    Refusal refusal;
    if (query.resource == Resource::Add)
        refusal = readShift(values, &query);
    else if (query.resource != Resource::List)
        refusal = readPeriod(values, today, &query);
    if (refusal)
        return *refusal;
    return query;
}

} // namespace caleserver::api
