#pragma once

#include "storage/storage.h"

#include <map>
#include <string>

namespace caleserver {

// The calendars (branch × periodicity) a write touches. Two writes of one calendar take turns:
// at PostgreSQL's default isolation the second would otherwise delete only the days it saw before
// the first committed, and both sets of days would stay.
class CalendarLocks
{
public:
    void add(const std::string &branch, const std::string &periodicity, bool exclusive = true);
    // Takes every lock in key order, so that two writes never wait on each other crosswise.
    Outcome take(Storage &storage) const;

private:
    std::map<int, bool> m_keys; // branch * 100 + periodicity -> exclusive
};

} // namespace caleserver
