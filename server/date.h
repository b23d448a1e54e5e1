#pragma once

#include <compare>
#include <string>
#include <string_view>

namespace caleserver {

// A day of the Gregorian calendar; the default value is no day at all.
struct Date
{
    int year = 0;
    int month = 0;
    int day = 0;

    Date() = default;
    Date(int y, int m, int d);

    bool isValid() const { return month != 0; }
    // "YYYY-MM-DD" (years 1 ... 9999); "" for any other day.
    std::string iso() const;
    // "DD/MM/YYYY", as the operator reads it.
    std::string shown() const;
    int daysInMonth() const;
    Date addDays(int days) const;
    // The same day in another month, or that month's last day when it is shorter.
    Date addMonths(int months) const;
    Date monthStart() const { return Date(year, month, 1); }
    Date monthEnd() const { return Date(year, month, daysInMonth()); }

    // A date written exactly as "YYYY-MM-DD"; invalid for any other text or a day that does not
    // exist.
    static Date fromIso(std::string_view text);
    static Date today();

    auto operator<=>(const Date &) const = default;
};

} // namespace caleserver
