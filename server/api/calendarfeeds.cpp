#include "api/calendarfeeds.h"

#include <libical/ical.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace caleserver::api {

namespace {

struct ComponentFree
{
    void operator()(icalcomponent *component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

icaltimetype dateValue(Date date)
{
    icaltimetype value = icaltime_null_date();
    value.year = date.year;
    value.month = date.month;
    value.day = date.day;
    return value;
}

// The start of the day in UTC: a stamp that does not change from one request to the next.
icaltimetype stampOf(Date date)
{
    // Built once, before any loop may ask for it concurrently.
    static icaltimezone *const utc = icaltimezone_get_utc_timezone();
    icaltimetype value = icaltime_null_time();
    value.year = date.year;
    value.month = date.month;
    value.day = date.day;
    value.zone = utc;
    return value;
}

icalproperty *extension(const char *name, const std::string &text)
{
    icalproperty *property = icalproperty_new_x(text.c_str());
    icalproperty_set_x_name(property, name);
    return property;
}

std::string calendarName(const std::string &branch, const std::string &periodicity,
                         const CalendarDays &calendar)
{
    return "Produção " + branch + " " + calendar.branchName + " — " + periodicity + " " +
           calendar.periodicityName;
}

icalcomponent *productionDay(Date day, const std::string &uidSuffix, const std::string &summary)
{
    const std::string iso = day.iso();
    const std::string uid = iso.substr(0, 4) + iso.substr(5, 2) + iso.substr(8, 2) + uidSuffix;
    icalcomponent *event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
    icalcomponent_add_property(event, icalproperty_new_uid(uid.c_str()));
    icalcomponent_add_property(event, icalproperty_new_dtstamp(stampOf(day)));
    icalcomponent_add_property(event, icalproperty_new_dtstart(dateValue(day)));
    icalcomponent_add_property(event, icalproperty_new_dtend(dateValue(day.addDays(1))));
    icalcomponent_add_property(event, icalproperty_new_summary(summary.c_str()));
    // A production day is no appointment: it must not show the planner as busy.
    icalcomponent_add_property(event, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
    return event;
}

// The day as iCalendar writes a date: YYYYMMDD.
void putCompact(Date date, char *out)
{
    const int year = date.year;
    const char text[8] = {char('0' + year / 1000 % 10), char('0' + year / 100 % 10),
                          char('0' + year / 10 % 10),   char('0' + year % 10),
                          char('0' + date.month / 10),  char('0' + date.month % 10),
                          char('0' + date.day / 10),    char('0' + date.day % 10)};
    std::memcpy(out, text, sizeof text);
}

std::string compact(Date date)
{
    std::string text(8, '0');
    putCompact(date, text.data());
    return text;
}

// One day's event as libical wrote it, with where its dates go: a year's feed copies it once per
// day and puts each day's dates in, instead of building and writing every event through the
// library (which cost most of a feed's time, nearly all of it allocations).
struct EventPattern
{
    std::string text;
    struct Slot
    {
        std::size_t offset;
        bool nextDay; // DTEND: the day after
    };
    std::vector<Slot> slots;
};

// Where the date of `name`'s value starts in the event text, which must hold `expected` there;
// npos when libical wrote the property otherwise (folded, or another form).
std::size_t dateOffset(const std::string &event, std::string_view name, const std::string &expected)
{
    const std::size_t line = event.find("\r\n" + std::string(name));
    if (line == std::string::npos)
        return std::string::npos;
    const std::size_t colon = event.find(':', line + 2);
    const std::size_t end = event.find("\r\n", line + 2);
    if (colon == std::string::npos || colon > end || event.compare(colon + 1, 8, expected) != 0)
        return std::string::npos;
    return colon + 1;
}

// The only event of the calendar text, the one of `day`, with the end of its text in *end; nothing
// when its dates are not where the pattern expects them, and the feed then builds every event
// with libical.
std::optional<EventPattern> patternOf(const std::string &calendar, Date day, std::size_t *end)
{
    const std::size_t begin = calendar.find("BEGIN:VEVENT\r\n");
    const std::string_view close = "END:VEVENT\r\n";
    const std::size_t last = calendar.find(close);
    if (begin == std::string::npos || last == std::string::npos || last < begin ||
        calendar.find("BEGIN:VEVENT", begin + 1) != std::string::npos)
        return std::nullopt;
    *end = last + close.size();
    EventPattern pattern;
    pattern.text = calendar.substr(begin, *end - begin);
    const std::string today = compact(day), tomorrow = compact(day.addDays(1));
    for (const auto &[name, nextDay] : {std::pair<std::string_view, bool>{"UID", false},
                                        {"DTSTAMP", false},
                                        {"DTSTART", false},
                                        {"DTEND", true}}) {
        const std::size_t offset = dateOffset(pattern.text, name, nextDay ? tomorrow : today);
        if (offset == std::string::npos)
            return std::nullopt;
        pattern.slots.push_back({offset, nextDay});
    }
    return pattern;
}

} // namespace

std::string icsFeed(const std::string &branch, const std::string &periodicity,
                    const CalendarDays &calendar)
{
    const std::string name = calendarName(branch, periodicity, calendar);
    Component feed(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(feed.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(feed.get(),
                               icalproperty_new_prodid("-//caleprodu//Calendário de produção//PT"));
    icalcomponent_add_property(feed.get(), icalproperty_new_calscale("GREGORIAN"));
    icalcomponent_add_property(feed.get(), icalproperty_new_method(ICAL_METHOD_PUBLISH));
    icalcomponent_add_property(feed.get(), icalproperty_new_name(name.c_str()));
    // What calendar applications show and how often they poll, before they read NAME.
    icalcomponent_add_property(feed.get(), extension("X-WR-CALNAME", name));
    icalcomponent_add_property(feed.get(), extension("X-PUBLISHED-TTL", "PT1H"));

    const std::string uidSuffix = "-" + branch + "-" + periodicity + "@caleprodu";
    const std::string summary = "Dia de produção — filial " + branch + " " + calendar.branchName +
                                ", periodicidade " + periodicity + " " + calendar.periodicityName;
    const auto written = [&feed]() {
        char *text = icalcomponent_as_ical_string_r(feed.get());
        std::string out = text ? text : "";
        icalmemory_free_buffer(text);
        return out;
    };
    if (calendar.days.empty())
        return written();

    // The first day's event, written by libical, is the pattern of every other day's.
    const Date first = Date::fromIso(calendar.days.front());
    icalcomponent_add_component(feed.get(), productionDay(first, uidSuffix, summary));
    const std::string text = written();
    std::size_t end = 0;
    const std::optional<EventPattern> pattern = patternOf(text, first, &end);
    if (!pattern) {
        for (std::size_t i = 1; i < calendar.days.size(); ++i)
            icalcomponent_add_component(
                feed.get(), productionDay(Date::fromIso(calendar.days[i]), uidSuffix, summary));
        return written();
    }
    std::string out;
    out.reserve(text.size() + (calendar.days.size() - 1) * pattern->text.size());
    out.append(text, 0, end);
    for (std::size_t i = 1; i < calendar.days.size(); ++i) {
        const Date day = Date::fromIso(calendar.days[i]);
        char dates[2][8]; // the day, the day after
        putCompact(day, dates[0]);
        if (day.day < 28) {
            // Most days are followed by one of the same month: only the last digits change.
            std::memcpy(dates[1], dates[0], 6);
            dates[1][6] = char('0' + (day.day + 1) / 10);
            dates[1][7] = char('0' + (day.day + 1) % 10);
        } else {
            putCompact(day.addDays(1), dates[1]);
        }
        const std::size_t at = out.size();
        out += pattern->text;
        for (const EventPattern::Slot &slot : pattern->slots)
            std::memcpy(out.data() + at + slot.offset, dates[slot.nextDay], 8);
    }
    out.append(text, end);
    return out;
}

std::string csvFeed(const CalendarDays &calendar)
{
    std::string out = "data\r\n";
    out.reserve(out.size() + calendar.days.size() * 12);
    for (const std::string &day : calendar.days) {
        out += day;
        out += "\r\n";
    }
    return out;
}

} // namespace caleserver::api
