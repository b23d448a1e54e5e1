#include "arguments.h"

#include "logging.h"

#include <boost/json/string.hpp>
#include <boost/json/value.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

namespace caleserver {

namespace json = boost::json;

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
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

} // namespace

std::string excerpt(std::string_view text)
{
    // Enough to recognise what was sent, never enough to flood a message or a log.
    return printable(text, 40);
}

Outcome invalid(std::string message)
{
    return Outcome::failure(ErrorCode::InvalidParams, std::move(message));
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool normaliseCode(std::string_view text, size_t width, std::string *code)
{
    if (text.size() > width || !std::all_of(text.begin(), text.end(), isDigit))
        return false;
    *code =
        text.empty() ? std::string() : std::string(width - text.size(), '0') + std::string(text);
    return true;
}

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

Args::Args(const char *method, const json::array &params, std::vector<std::string> names)
    : m_method(method)
    , m_params(params)
    , m_names(std::move(names))
{
    if (params.size() != m_names.size())
        fail("O método " + m_method + " espera " + std::to_string(m_names.size()) +
             " parâmetro(s) (" + joined(m_names, ", ") + ") e recebeu " +
             std::to_string(params.size()) + ".");
}

std::string_view Args::text(size_t i)
{
    if (failed())
        return {};
    const json::string *value = m_params.at(i).if_string();
    if (!value) {
        fail("O parâmetro " + std::to_string(i + 1) + " (" + m_names.at(i) + ") de " + m_method +
             " deve ser um texto.");
        return {};
    }
    return *value;
}

std::string Args::code(size_t i, size_t width)
{
    const std::string_view raw = text(i);
    std::string code;
    if (!failed() && !normaliseCode(raw, width, &code))
        fail(std::string("Código de ") + codeLabel(width) + " inválido: \"" + excerpt(raw) +
             "\". Use até " + std::to_string(width) + " dígitos.");
    return code;
}

Date Args::date(size_t i)
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

int Args::integer(size_t i)
{
    if (failed())
        return 0;
    const json::value &value = m_params.at(i);
    const double number = value.is_number() ? value.to_number<double>() : 0.5;
    if (!value.is_number() || number != std::trunc(number) || std::abs(number) > 1e9) {
        fail("O parâmetro " + std::to_string(i + 1) + " (" + m_names.at(i) + ") de " + m_method +
             " deve ser um número inteiro.");
        return 0;
    }
    return static_cast<int>(number);
}

int Args::year(size_t i)
{
    const std::string_view raw = text(i);
    int year = 0;
    if (!failed() && !parseYear(raw, &year))
        fail("Ano inválido: \"" + excerpt(raw) + "\" não é um número inteiro.");
    return year;
}

bool Args::allSwitch(size_t i)
{
    const std::string_view raw = text(i);
    const std::string_view value = trimmed(raw);
    if (!failed() && !value.empty() && value != "T")
        fail("Indicador de todas as filiais inválido: \"" + excerpt(raw) +
             "\". Use \"T\" para todas ou \" \" para a filial informada.");
    return value == "T";
}

std::vector<std::string> Args::codeList(size_t i, size_t width)
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
            fail("Lista de filiais inválida: \"" + excerpt(element) + "\" não é um código de até " +
                 std::to_string(width) + " dígitos. Separe os códigos por vírgulas, sem espaços.");
            return {};
        }
        codes.insert(std::move(code));
        if (comma == std::string_view::npos)
            break;
        from = comma + 1;
    }
    return {codes.begin(), codes.end()};
}

void Args::fail(const std::string &message)
{
    if (m_error.empty())
        m_error = message;
}

} // namespace caleserver
