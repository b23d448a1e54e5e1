#pragma once

#include "date.h"
#include "outcome.h"
#include "storage/storage.h"

#include <string>
#include <vector>

namespace caleserver::api {

// The production days of one branch and periodicity in a period, with both names.
struct CalendarDays
{
    std::string branchName;
    std::string periodicityName;
    std::vector<std::string> days; // "YYYY-MM-DD", ascending
};

// One branch x periodicity that holds production days.
struct CalendarSummary
{
    std::string branch;
    std::string branchName;
    std::string periodicity;
    std::string periodicityName;
    std::string first;
    std::string last;
    std::string count;
};

// Each read is one statement, so it needs no transaction to be consistent. An unknown branch or
// periodicity is refused (-32000) with a message naming it; a failed statement is the storage's
// failure.
Outcome readDays(Storage &storage, const std::string &branch, const std::string &periodicity,
                 Date from, Date to, CalendarDays *calendar);
Outcome countDays(Storage &storage, const std::string &branch, const std::string &periodicity,
                  Date from, Date to, std::string *count);
// The n-th production day after `date` (n > 0), the |n|-th before it (n < 0), or `date` itself
// or the next one (n = 0); refused when the stored days run out first.
Outcome shiftDays(Storage &storage, const std::string &branch, const std::string &periodicity,
                  Date date, int n, std::string *day);
Outcome listCalendars(Storage &storage, std::vector<CalendarSummary> *calendars);

} // namespace caleserver::api
