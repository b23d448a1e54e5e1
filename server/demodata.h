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

/// Easter Sunday of a Gregorian year.
Date easterSunday(int year);
/// Brazil's national holidays of a year: the fixed dates and Good Friday.
std::vector<Holiday> nationalHolidays(int year);

} // namespace caleserver
