#include "api/apianswer.h"

#include "api/calendarfeeds.h"
#include "api/calendarreads.h"
#include "arguments.h"
#include "jsontext.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>

namespace caleserver::api {

namespace {

const char *const calendarType = "text/calendar; charset=utf-8";
const char *const csvType = "text/csv; charset=utf-8; header=present";

ApiAnswer failed(const Outcome &outcome)
{
    return errorAnswer(outcome.code == ErrorCode::StorageFailure ? 503 : 404, outcome.message);
}

ApiAnswer ok(std::string body, const char *type = "application/json")
{
    ApiAnswer answer;
    answer.contentType = type;
    answer.body = std::move(body);
    return answer;
}

void appendMember(std::string &out, const char *name, std::string_view value)
{
    if (out.back() != '{')
        out += ',';
    out += '"';
    out += name;
    out += "\":";
    appendJsonString(out, value);
}

std::string daysJson(const ApiQuery &query, const CalendarDays &calendar)
{
    std::string out = "{";
    appendMember(out, "branch", query.branch);
    appendMember(out, "periodicity", query.periodicity);
    appendMember(out, "from", query.from.iso());
    appendMember(out, "to", query.to.iso());
    out += ",\"days\":[";
    for (std::size_t i = 0; i < calendar.days.size(); ++i) {
        if (i > 0)
            out += ',';
        appendJsonString(out, calendar.days[i]);
    }
    out += "]}";
    return out;
}

std::string listJson(const std::vector<CalendarSummary> &calendars)
{
    std::string out = "{\"calendars\":[";
    for (std::size_t i = 0; i < calendars.size(); ++i) {
        const CalendarSummary &c = calendars[i];
        out += i > 0 ? ",{" : "{";
        appendMember(out, "branch", c.branch);
        appendMember(out, "branchName", c.branchName);
        appendMember(out, "periodicity", c.periodicity);
        appendMember(out, "periodicityName", c.periodicityName);
        appendMember(out, "first", c.first);
        appendMember(out, "last", c.last);
        out += ",\"count\":" + c.count + '}';
    }
    out += "]}";
    return out;
}

// Feeds are kept by everything they are written from, so an unchanged calendar is not written
// again. That key also gives the feed's tag: it changes exactly when the feed does, and is a
// fortieth of the feed's length to digest.
class FeedCache
{
public:
    ApiAnswer feed(const ApiQuery &query, const CalendarDays &calendar)
    {
        std::string key = query.branch + '|' + query.periodicity + '|' + calendar.branchName + '|' +
                          calendar.periodicityName;
        for (const std::string &day : calendar.days)
            key += day;
        {
            std::lock_guard lock(m_mutex);
            const auto found = m_feeds.find(key);
            if (found != m_feeds.end())
                return found->second;
        }
        ApiAnswer answer = ok(icsFeed(query.branch, query.periodicity, calendar), calendarType);
        answer.etag = entityTag("ics|" + key);
        std::lock_guard lock(m_mutex);
        if (m_feeds.emplace(key, answer).second)
            m_order.push_back(std::move(key));
        if (m_order.size() > capacity) {
            m_feeds.erase(m_order.front());
            m_order.pop_front();
        }
        return answer;
    }

private:
    static constexpr std::size_t capacity = 32; // a year's feed is about 100 KB
    std::mutex m_mutex;
    std::map<std::string, ApiAnswer> m_feeds;
    std::deque<std::string> m_order;
};

// Reads and writes the answer of one query in a read of its own.
ApiAnswer answerFrom(Storage &storage, const ApiQuery &query)
{
    static FeedCache feeds;
    ApiAnswer answer;
    const Outcome outcome = storage.transaction(Storage::Mode::Read, [&]() {
        const std::string &b = query.branch;
        const std::string &p = query.periodicity;
        std::string value;
        Outcome read;
        switch (query.resource) {
        case Resource::List: {
            std::vector<CalendarSummary> calendars;
            read = listCalendars(storage, &calendars);
            answer = ok(listJson(calendars));
            break;
        }
        case Resource::Count:
            read = countDays(storage, b, p, query.from, query.to, &value);
            answer = ok("{\"count\":" + value + '}');
            break;
        case Resource::Add:
            read = shiftDays(storage, b, p, query.date, query.n, &value);
            answer = ok("{\"date\":\"" + value + "\"}");
            break;
        case Resource::Days:
        case Resource::Ics:
        case Resource::Csv: {
            CalendarDays calendar;
            read = readDays(storage, b, p, query.from, query.to, &calendar);
            if (query.resource == Resource::Days)
                answer = ok(daysJson(query, calendar));
            else if (query.resource == Resource::Ics)
                answer = feeds.feed(query, calendar);
            else
                answer = ok(csvFeed(calendar), csvType);
            break;
        }
        }
        return read;
    });
    if (!outcome.ok())
        return failed(outcome);
    return answer;
}

} // namespace

std::string entityTag(std::string_view body)
{
    // FNV-1a, 64 bits: a tag needs to change with the body, not to resist a forger.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : body) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    char text[24];
    std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return text;
}

bool matchesTag(std::string_view ifNoneMatch, std::string_view etag)
{
    while (!ifNoneMatch.empty()) {
        const std::size_t comma = ifNoneMatch.find(',');
        std::string_view tag = trimmed(ifNoneMatch.substr(0, comma));
        ifNoneMatch =
            comma == std::string_view::npos ? std::string_view() : ifNoneMatch.substr(comma + 1);
        if (tag == "*")
            return true;
        // If-None-Match compares weakly: a weak tag of the same value matches.
        if (tag.starts_with("W/"))
            tag.remove_prefix(2);
        if (tag == etag)
            return true;
    }
    return false;
}

ApiAnswer answerApi(const ApiQuery &query, const StorageSource &storage)
{
    std::string why;
    Storage *opened = storage(Storage::Mode::Read, &why);
    if (!opened)
        return errorAnswer(503, "Banco de dados indisponível: " + why);
    ApiAnswer answer = answerFrom(*opened, query);
    if (answer.storageFailed())
        return answer;
    if (answer.etag.empty())
        answer.etag = entityTag(answer.body);
    if (answer.status == 200 && matchesTag(query.ifNoneMatch, answer.etag)) {
        answer.status = 304;
        answer.body.clear();
        answer.contentType.clear();
    }
    return answer;
}

} // namespace caleserver::api
