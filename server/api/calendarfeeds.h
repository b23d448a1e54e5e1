#pragma once

#include "api/calendarreads.h"

#include <string>

namespace caleserver::api {

// An iCalendar (RFC 5545) of one all-day event per production day, written by libical. The same
// days and names always give the same bytes (UIDs and stamps come from the day and the codes), so
// that a subscriber's If-None-Match matches until the calendar changes.
std::string icsFeed(const std::string &branch, const std::string &periodicity,
                    const CalendarDays &calendar);

// "data" and one production day per line, CRLF-ended (RFC 4180).
std::string csvFeed(const CalendarDays &calendar);

} // namespace caleserver::api
