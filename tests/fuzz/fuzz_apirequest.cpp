// The read-only interface's request reader: a method, a target with its query string, a body or
// none. The first byte picks the method ('G' GET, 'H' HEAD, 'g' get, 'D' DELETE, else POST; its
// high bit: a body came); the rest is the target.
#include "fuzzsupport.h"

#include "api/apirequest.h"

#include <boost/json/parse.hpp>

#include <algorithm>
#include <cstdio>
#include <variant>

using namespace caleserver;
using namespace caleserver::api;
namespace json = boost::json;

namespace {

const Date today(2026, 6, 15);

bool digitsOnly(const std::string &text, std::size_t width)
{
    return text.size() == width &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The target that names this query in its plainest form.
std::string canonicalTarget(const ApiQuery &query)
{
    static const char *const tails[] = {"", "/days", "/count", "/add", ".ics", ".csv"};
    std::string target = "/api/v1/calendars";
    if (query.resource == Resource::List)
        return target;
    target += "/" + query.branch + "/" + query.periodicity + tails[int(query.resource)];
    if (query.resource == Resource::Add)
        return target + "?n=" + std::to_string(query.n) + "&date=" + query.date.iso();
    return target + "?to=" + query.to.iso() + "&from=" + query.from.iso();
}

bool sameQuery(const ApiQuery &a, const ApiQuery &b)
{
    return a.resource == b.resource && a.branch == b.branch && a.periodicity == b.periodicity &&
           a.from == b.from && a.to == b.to && a.date == b.date && a.n == b.n;
}

void checkQuery(const ApiQuery &query, std::string_view target)
{
    if (query.resource == Resource::List)
        return;
    fuzz::check(digitsOnly(query.branch, 4) && digitsOnly(query.periodicity, 2),
                "codes are completed to their width", target);
    if (query.resource == Resource::Add) {
        fuzz::check(query.date.isValid() && query.n >= -maxShift && query.n <= maxShift,
                    "a shift has a real date and a bounded n", target);
    } else {
        const Date limit = query.from.addMonths(12 * maxYears);
        fuzz::check(query.from.isValid() && query.to.isValid() && query.from <= query.to &&
                        (!limit.isValid() || query.to < limit),
                    "a period is real, in order and at most ten years", target);
    }
    const auto again = readApiRequest("GET", canonicalTarget(query), false, {}, today);
    fuzz::check(std::holds_alternative<ApiQuery>(again) &&
                    sameQuery(std::get<ApiQuery>(again), query),
                "a query read back from its plain form is the same query",
                canonicalTarget(query) + " <- " + std::string(target));
}

void checkRefusal(const ApiAnswer &answer, std::string_view method, std::string_view target,
                  bool hasBody)
{
    const int expected = method != "GET" && method != "HEAD" ? 405
                         : target.size() > maxTarget         ? 414
                         : hasBody                           ? 400
                                                             : 0;
    fuzz::check(expected ? answer.status == expected : answer.status == 400 || answer.status == 404,
                "a refusal has the status of its first fault", target);
    fuzz::check(answer.contentType == "application/json" && answer.etag.empty(),
                "a refusal is JSON with no ETag", target);
    json::error_code error;
    const json::value body = json::parse(answer.body, error);
    fuzz::check(!error && body.is_object() && body.as_object().size() == 1 &&
                    body.as_object().contains("error") &&
                    body.as_object().at("error").is_string() &&
                    !body.as_object().at("error").as_string().empty(),
                "a refusal's body is {\"error\": text}", answer.body);
}

// Decoding never lets a control character through, and every byte written as %XX decodes back.
void checkDecoding(std::string_view text)
{
    for (const bool inQuery : {false, true}) {
        std::string decoded;
        if (!percentDecoded(text, inQuery, &decoded))
            continue;
        fuzz::check(
            std::none_of(decoded.begin(), decoded.end(),
                         [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }),
            "no control character is decoded", text);
        std::string escaped;
        for (const char c : decoded) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            escaped += hex;
        }
        std::string again;
        fuzz::check(percentDecoded(escaped, inQuery, &again) && again == decoded,
                    "escaped bytes decode back", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const char pick = static_cast<char>(data[0] & 0x7F);
    const std::string_view method = pick == 'G'   ? "GET"
                                    : pick == 'H' ? "HEAD"
                                    : pick == 'g' ? "get"
                                    : pick == 'D' ? "DELETE"
                                                  : "POST";
    const bool hasBody = (data[0] & 0x80) != 0;
    const std::string_view target = fuzz::text(data + 1, size - 1);
    const auto read = readApiRequest(method, target, hasBody, {}, today);
    if (const auto *query = std::get_if<ApiQuery>(&read)) {
        fuzz::check((method == "GET" || method == "HEAD") && !hasBody && target.size() <= maxTarget,
                    "only a bodiless GET or HEAD is answered", target);
        checkQuery(*query, target);
    } else {
        checkRefusal(std::get<ApiAnswer>(read), method, target, hasBody);
    }
    checkDecoding(target);
    return 0;
}
