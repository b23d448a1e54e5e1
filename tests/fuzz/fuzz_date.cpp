// Dates ("AAAA-MM-DD"), years and months ("MM/AAAA") as the calls receive them.
#include "fuzzsupport.h"

#include "date.h"

#include <algorithm>
#include <chrono>

using namespace caleserver;
namespace json = boost::json;

namespace {

bool digits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view text)
{
    int value = 0;
    for (const char c : text)
        value = value * 10 + (c - '0');
    return value;
}

// Whether the text names a real day of years 1 ... 9999, worked out through the standard library.
bool realDay(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !digits(text.substr(0, 4)) ||
        !digits(text.substr(5, 2)) || !digits(text.substr(8, 2)))
        return false;
    const int year = number(text.substr(0, 4));
    const std::chrono::year_month_day day{std::chrono::year(year),
                                          std::chrono::month(unsigned(number(text.substr(5, 2)))),
                                          std::chrono::day(unsigned(number(text.substr(8, 2))))};
    return year >= 1 && day.ok();
}

void checkDate(std::string_view text)
{
    const Date date = Date::fromIso(text);
    fuzz::check(date.isValid() == realDay(text), "a date is read when it is a real day", text);
    if (!date.isValid())
        return;
    fuzz::check(date.iso() == text, "a date prints back as it was read", text);
    fuzz::check(date.shown() == std::string(text.substr(8, 2)) + '/' +
                                    std::string(text.substr(5, 2)) + '/' +
                                    std::string(text.substr(0, 4)),
                "a date is shown day first", text);
    fuzz::check(date.monthStart() <= date && date <= date.monthEnd(), "a date lies in its month",
                text);
    if (date < Date(9999, 12, 31))
        fuzz::check(date.addDays(1) > date && date.addDays(1).addDays(-1) == date,
                    "the next day and back is the same day", text);
    const Date next = date.addMonths(1);
    fuzz::check(next.isValid() ? next.day <= date.day && next > date
                               : date.year == 9999 && date.month == 12,
                "a month later is within the next month", text);
}

// A year as the calls read it: false when it is no integer; *year 0 outside 1 ... 9999.
bool year(std::string_view text, int *value)
{
    const auto blank = [](char c) {
        return std::string_view(" \t\n\v\f\r").find(c) != std::string_view::npos;
    };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    if (!digits(text))
        return false;
    while (text.size() > 1 && text.front() == '0')
        text.remove_prefix(1);
    *value = negative || text.size() > 4 ? 0 : number(text);
    return true;
}

void checkYear(std::string_view text)
{
    const Outcome outcome = fuzz::call(fuzz::noStorage(), "GetCaleProdu",
                                       json::array{"0001", "01", json::string(text)});
    int value = 0;
    const bool integer = year(text, &value);
    const int expected = !integer     ? ErrorCode::InvalidParams
                         : value == 0 ? 0
                                      : ErrorCode::StorageFailure;
    fuzz::check(outcome.code == expected, "a year is read as an integer", text);
}

void checkMonth(std::string_view text)
{
    const Outcome outcome = fuzz::call(fuzz::noStorage(), "GetDelCaleProduMes",
                                       json::array{"0001", "01", "0001-01-01", json::string(text)});
    const size_t slash = text.find('/');
    int value = 0;
    int expected = ErrorCode::InvalidParams;
    if ((slash == 1 || slash == 2) && digits(text.substr(0, slash)) &&
        number(text.substr(0, slash)) >= 1 && number(text.substr(0, slash)) <= 12 &&
        year(text.substr(slash + 1), &value))
        expected = value == 0 ? 0 : ErrorCode::StorageFailure;
    fuzz::check(outcome.code == expected, "a month is read as MM/AAAA", text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text = fuzz::text(data, size);
    checkDate(text);
    checkYear(text);
    checkMonth(text);
    return 0;
}
