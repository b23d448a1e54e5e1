#pragma once

#include "date.h"

#include <string>
#include <string_view>
#include <variant>

namespace caleserver::api {

// What a request to the read-only calendar interface is answered with.
struct ApiAnswer
{
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    // A digest of the body for answers that come from the data; "" for refusals of the request
    // itself.
    std::string etag;

    // The database could not be read: a read on an event loop is tried again by a worker.
    bool storageFailed() const { return status == 503; }
};

enum class Resource { List, Days, Count, Add, Ics, Csv };

// A well-formed request: codes completed with leading zeros, dates read and checked.
struct ApiQuery
{
    Resource resource = Resource::List;
    std::string branch;
    std::string periodicity;
    Date from; // Days, Count, Ics, Csv
    Date to;
    Date date; // Add
    int n = 0;
    std::string ifNoneMatch;
};

// Longest target accepted, query string included.
constexpr std::size_t maxTarget = 2048;
// Widest period one request may ask for, and the matching bound of `n`.
constexpr int maxYears = 10;
constexpr int maxShift = 3660;

// Whether a request path belongs to this interface.
bool isApiPath(std::string_view path);

// A JSON error answer {"error": message}.
ApiAnswer errorAnswer(int status, std::string_view message);

// Reads a request's method and target; `today` gives the default period (its year). Either the
// query to answer from the database or the refusal that needs no database: 405, 414, 400 or 404.
std::variant<ApiQuery, ApiAnswer> readApiRequest(std::string_view method, std::string_view target,
                                                 bool hasBody, std::string_view ifNoneMatch,
                                                 Date today);

// The text of a path segment or query value with its %XX escapes (and, in a query, '+')
// decoded; false when an escape is malformed or decodes to a control character.
bool percentDecoded(std::string_view text, bool inQuery, std::string *decoded);

} // namespace caleserver::api
