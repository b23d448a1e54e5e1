#include "date.h"

#include <chrono>
#include <ctime>

namespace caleserver {

namespace {

std::chrono::year_month_day parts(const Date &date)
{
    return std::chrono::year(date.year) / std::chrono::month(unsigned(date.month)) /
           std::chrono::day(unsigned(date.day));
}

Date fromParts(std::chrono::year_month_day ymd)
{
    return Date(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())));
}

} // namespace

Date::Date(int y, int m, int d)
{
    // Anything that is no real day stays invalid instead of rolling over.
    const std::chrono::year_month_day ymd =
        std::chrono::year(y) / std::chrono::month(unsigned(m)) / std::chrono::day(unsigned(d));
    if (y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= 31 && ymd.ok()) {
        year = y;
        month = m;
        day = d;
    }
}

// Dates cross every call as ISO text, so the conversion is written out digit by digit.
std::string Date::iso() const
{
    if (!isValid())
        return {};
    std::string text(10, '-');
    const int digits[] = {year / 1000, year / 100 % 10, year / 10 % 10, year % 10};
    for (int i = 0; i < 4; ++i)
        text[i] = char('0' + digits[i]);
    text[5] = char('0' + month / 10);
    text[6] = char('0' + month % 10);
    text[8] = char('0' + day / 10);
    text[9] = char('0' + day % 10);
    return text;
}

std::string Date::shown() const
{
    const std::string text = iso();
    if (text.empty())
        return {};
    return text.substr(8, 2) + '/' + text.substr(5, 2) + '/' + text.substr(0, 4);
}

int Date::daysInMonth() const
{
    if (!isValid())
        return 0;
    const auto last =
        std::chrono::year(year) / std::chrono::month(unsigned(month)) / std::chrono::last;
    return int(unsigned(last.day()));
}

Date Date::addDays(int days) const
{
    if (!isValid())
        return {};
    return fromParts(std::chrono::sys_days(parts(*this)) + std::chrono::days(days));
}

Date Date::addMonths(int months) const
{
    if (!isValid())
        return {};
    const int index = year * 12 + (month - 1) + months;
    const Date first(index / 12, index % 12 + 1, 1);
    if (!first.isValid())
        return {};
    return Date(first.year, first.month, std::min(day, first.daysInMonth()));
}

Date Date::fromIso(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return {};
    const auto number = [text](size_t from, size_t count) {
        int value = 0;
        for (size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    return Date(number(0, 4), number(5, 2), number(8, 2));
}

Date Date::today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return Date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

} // namespace caleserver
