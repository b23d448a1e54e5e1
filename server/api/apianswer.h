#pragma once

#include "api/apirequest.h"
#include "methods.h"

#include <string>
#include <string_view>

namespace caleserver::api {

// Answers a well-formed query from the database, asked for only now: JSON, iCalendar or CSV with
// its ETag, 304 when If-None-Match names that tag, 404 for an unknown branch or periodicity or an
// `add` past the stored days, 503 when the database cannot be read. Knows no socket.
ApiAnswer answerApi(const ApiQuery &query, const StorageSource &storage);

// The strong entity tag of a body: a digest, so that every server over one database gives the
// same tag for the same answer.
std::string entityTag(std::string_view body);

// Whether an If-None-Match value (a list of tags, weak or strong, or "*") names `etag`.
bool matchesTag(std::string_view ifNoneMatch, std::string_view etag);

} // namespace caleserver::api
