#pragma once

#include "date.h"
#include "storage/storage.h"

#include <compare>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace caleserver {

// A day a write would add ('I') or remove ('E'), as a preview answers it.
struct PreviewDay
{
    std::string branch;
    std::string name;
    Date date;
    char action = 'I';
};

// Collects what a write would change instead of keeping it: the write is rolled back.
struct Preview
{
    bool reached = false; // the write got as far as its journal
    std::vector<PreviewDay> days;
};

// Who makes the calls of one request, and how long their change sets are kept.
struct Caller
{
    std::string operatorName = "desconhecido";
    int journalDays = 400;
    Preview *preview = nullptr;
};

// The longest operator name a request may send.
constexpr size_t maxOperatorName = 64;
// Whether a request's X-Operador may name its operator: bounded, valid UTF-8 is not checked here
// but control characters are refused (they would forge lines of the log and of the history).
bool validOperatorName(std::string_view name);

// One month of one calendar.
struct MonthKey
{
    std::string branch;
    std::string periodicity;
    int month = 0; // year * 100 + month

    auto operator<=>(const MonthKey &) const = default;
};

// A month's days as a mask: bit d - 1 for day d.
using MonthMasks = std::map<MonthKey, uint32_t>;

// The change set of one write call: the days of every month it may touch are read before the
// write and again after it, in the write's transaction; the months that differ are recorded with
// their days before and after.
class Journal
{
public:
    Journal(Storage &storage, const Caller &caller, std::string method, std::string branch = {},
            std::string periodicity = {});

    // The months of [first, last] of these calendars may change: their days are read now. A
    // failed read fails record() too.
    bool watch(const std::vector<std::string> &branches, const std::string &periodicity, Date first,
               Date last);
    // The change set this one takes back (an undo).
    void setUndoes(int number) { m_undoes = number; }
    // Records the months that changed as one change set (none when nothing changed; *number
    // is then 0). In a preview, collects the days instead and fails, so that the write is
    // rolled back.
    Outcome record(int *number = nullptr);

private:
    struct Range
    {
        std::vector<std::string> branches;
        std::string periodicity;
        Date first;
        Date last;
    };
    bool read(const Range &range, MonthMasks *masks);
    Outcome collectPreview(const MonthMasks &after);
    Outcome insertSet(const MonthMasks &after, int *number);
    bool prune();

    Storage &m_storage;
    const Caller &m_caller;
    std::string m_method;
    std::string m_branch;
    std::string m_periodicity;
    int m_undoes = 0;
    bool m_failed = false; // a read of the days before failed
    std::vector<Range> m_ranges;
    MonthMasks m_before;
};

// The days of a mask within [first, last] of its month, counted.
int daysIn(uint32_t mask, int month, Date first, Date last);

} // namespace caleserver
