#pragma once

#include "methods.h"
#include "outcome.h"

#include <boost/json/array.hpp>

#include <string_view>

namespace fuzz {

// Stops the run with a message; libFuzzer keeps the input that got here as a crash.
[[noreturn]] void fail(const char *what, std::string_view detail = {});
inline void check(bool ok, const char *what, std::string_view detail = {})
{
    if (!ok)
        fail(what, detail);
}

// A source without a database: every well-formed call that needs one ends as -32001.
const caleserver::StorageSource &noStorage();
// An in-memory SQLite database with the schema, a few branches (one rescinded), periodicities
// and a holiday; made on first use and kept for the whole run.
const caleserver::StorageSource &memoryStorage();

// An answer body of answerRpc is a JSON-RPC 2.0 object with an "id" and either a result whose
// rows fit its fields or an error with a known code (the one reported beside it) and a message.
void checkAnswer(std::string_view body, int code);
// The same for an outcome of callMethod.
void checkOutcome(const caleserver::Outcome &outcome);

// The input as a string_view.
inline std::string_view text(const uint8_t *data, size_t size)
{
    return {reinterpret_cast<const char *>(data), size};
}

// Calls a method with a parameter list.
caleserver::Outcome call(const caleserver::StorageSource &storage, std::string_view method,
                         const boost::json::array &params);

} // namespace fuzz
