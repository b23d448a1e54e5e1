#pragma once

#include "date.h"

#include <string>
#include <vector>

namespace caleserver {

struct Holiday
{
    Date date;
    std::string name;
};

// Easter Sunday of a Gregorian year.
Date easterSunday(int year);
// Brazil's national holidays of a year: the fixed dates and Good Friday.
std::vector<Holiday> nationalHolidays(int year);
// Fills the demo data; rows that exist are kept, so it is safe to run again.
bool seedDemo(const std::string &url, std::string *error);

} // namespace caleserver
