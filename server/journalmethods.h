#pragma once

#include "methods.h"

#include <boost/json/array.hpp>

#include <string_view>

namespace caleserver {

// A method of the journal: the history of a calendar, the undo of a change set and the previews
// of the bulk writes.
using JournalMethod = Outcome (*)(const StorageSource &, const Caller &,
                                  const boost::json::array &);

// The journal method of that name; nullptr for any other.
JournalMethod findJournalMethod(std::string_view name);

} // namespace caleserver
