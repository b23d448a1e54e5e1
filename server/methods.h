#pragma once

#include "journal.h"
#include "storage/storage.h"

#include <boost/json/array.hpp>

#include <functional>
#include <string>
#include <string_view>

namespace caleserver {

// Gives the calling thread's open storage for a transaction of the given mode, or nullptr with a
// reason.
using StorageSource = std::function<Storage *(Storage::Mode, std::string *)>;

// Runs one method of the calendar's remote data module with its positional parameters. The
// parameters are checked before the storage is asked for, so a malformed call never waits on the
// database. Unknown names give -32601; every other failure is an Outcome too, never an
// exception. Every write is journaled under the caller's name.
Outcome callMethod(const StorageSource &storage, std::string_view method,
                   const boost::json::array &params, const Caller &caller = {});
// The same on a storage at hand.
Outcome callMethod(Storage &storage, std::string_view method, const boost::json::array &params,
                   const Caller &caller = {});

} // namespace caleserver
