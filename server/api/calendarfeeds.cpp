#include "api/calendarfeeds.h"

#include <libical/ical.h>

#include <memory>

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
    for (const std::string &day : calendar.days)
        icalcomponent_add_component(feed.get(),
                                    productionDay(Date::fromIso(day), uidSuffix, summary));

    char *text = icalcomponent_as_ical_string_r(feed.get());
    std::string out = text ? text : "";
    icalmemory_free_buffer(text);
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
