#include "journal.h"

#include "arguments.h"
#include "yearcounts.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <ctime>
#include <set>

namespace caleserver {

namespace {

// Rows of a journal insert sent in one statement: few round trips on PostgreSQL, well under
// either engine's limit of bound values.
constexpr size_t monthsPerInsert = 200;

int monthNumber(Date day)
{
    return day.year * 100 + day.month;
}

Date monthOf(int number)
{
    return Date(number / 100, number % 100, 1);
}

std::string placeholders(size_t count)
{
    std::string marks;
    for (size_t i = 0; i < count; ++i)
        marks += i == 0 ? "?" : ", ?";
    return marks;
}

// The moment of a change set, in UTC, as "YYYY-MM-DDTHH:MM:SS".
std::string utcNow()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    return text;
}

// The moment before which change sets are pruned.
std::string cutoff(int days)
{
    const std::time_t then = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() -
                                                                  std::chrono::hours(24) * days);
    std::tm parts{};
    gmtime_r(&then, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    return text;
}

Param optional(const std::string &text)
{
    return text.empty() ? Param(nullptr) : Param(text);
}

} // namespace

bool validOperatorName(std::string_view name)
{
    if (name.empty() || name.size() > maxOperatorName)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

int daysIn(uint32_t mask, int month, Date first, Date last)
{
    const Date start = monthOf(month);
    int count = 0;
    for (int day = 1; day <= start.daysInMonth(); ++day) {
        const Date date(start.year, start.month, day);
        if ((mask >> (day - 1) & 1u) && date >= first && date <= last)
            ++count;
    }
    return count;
}

Journal::Journal(Storage &storage, const Caller &caller, std::string method, std::string branch,
                 std::string periodicity)
    : m_storage(storage)
    , m_caller(caller)
    , m_method(std::move(method))
    , m_branch(std::move(branch))
    , m_periodicity(std::move(periodicity))
{}

bool Journal::watch(const std::vector<std::string> &branches, const std::string &periodicity,
                    Date first, Date last)
{
    if (branches.empty() || periodicity.empty() || first > last)
        return true;
    // Whole months are read: a month is recorded, and put back by an undo, as a whole.
    Range range{branches, periodicity, first.monthStart(), last.monthEnd()};
    for (const std::string &branch : branches)
        for (Date month = first.monthStart(); month <= last;
             month = month.addMonths(1).monthStart()) {
            m_before.try_emplace({branch, periodicity, monthNumber(month)}, 0u);
            if (month.year == 9999 && month.month == 12)
                break;
        }
    m_ranges.push_back(std::move(range));
    m_failed = m_failed || !read(m_ranges.back(), &m_before);
    return !m_failed;
}

bool Journal::read(const Range &range, MonthMasks *masks)
{
    // Params hold views: the texts they bind stay here.
    const std::string first = range.first.iso();
    const std::string last = range.last.iso();
    std::vector<Param> binds{range.periodicity, first, last};
    binds.insert(binds.end(), range.branches.begin(), range.branches.end());
    const std::string sql = "SELECT CDFILIAL, DTPRODUCAO FROM CALEPRODUCAO WHERE CDPERIPRODU = ? "
                            "AND DTPRODUCAO BETWEEN ? AND ? AND CDFILIAL IN (" +
                            placeholders(range.branches.size()) + ")";
    Rows *rows = range.branches.size() == 1 ? m_storage.exec(sql, Params(binds))
                                            : m_storage.execOnce(sql, Params(binds));
    if (!rows)
        return false;
    while (rows->next()) {
        const Date day = Date::fromIso(rows->text(1).substr(0, 10));
        if (!day.isValid())
            continue;
        (*masks)[{std::string(trimmed(rows->text(0))), range.periodicity, monthNumber(day)}] |=
            1u << (day.day - 1);
    }
    return !rows->failed();
}

Outcome Journal::record(int *number)
{
    if (number)
        *number = 0;
    if (m_failed)
        return m_storage.storageFailure();
    MonthMasks after;
    for (const auto &[key, mask] : m_before)
        after.emplace(key, 0u);
    for (const Range &range : m_ranges)
        if (!read(range, &after))
            return m_storage.storageFailure();
    for (auto month = after.begin(); month != after.end();)
        month = month->second == m_before[month->first] ? after.erase(month) : std::next(month);
    if (m_caller.preview)
        return collectPreview(after);
    if (after.empty())
        return Outcome::success();
    // The overview's counts change with the days, in the same transaction.
    if (!storeMonthCounts(m_storage, after))
        return m_storage.storageFailure();
    return insertSet(after, number);
}

Outcome Journal::collectPreview(const MonthMasks &after)
{
    Preview &preview = *m_caller.preview;
    preview.reached = true;
    std::set<std::string> branches;
    for (const auto &[key, mask] : after)
        branches.insert(key.branch);
    std::map<std::string, std::string> names;
    if (!branches.empty()) {
        const std::vector<Param> binds(branches.begin(), branches.end());
        Rows *rows =
            m_storage.execOnce("SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE CDFILIAL IN (" +
                                   placeholders(binds.size()) + ")",
                               Params(binds));
        if (!rows)
            return m_storage.storageFailure();
        while (rows->next())
            names[std::string(trimmed(rows->text(0)))] = std::string(trimmed(rows->text(1)));
    }
    for (const auto &[key, mask] : after) {
        const uint32_t before = m_before[key];
        const Date start = monthOf(key.month);
        for (int day = 1; day <= start.daysInMonth(); ++day) {
            const uint32_t bit = 1u << (day - 1);
            if ((before ^ mask) & bit)
                preview.days.push_back({key.branch, names[key.branch],
                                        Date(start.year, start.month, day),
                                        mask & bit ? 'I' : 'E'});
        }
    }
    // Rolls the write back: a preview keeps nothing.
    return Outcome::failure(ErrorCode::Refused, "prévia");
}

Outcome Journal::insertSet(const MonthMasks &after, int *number)
{
    const std::string now = utcNow(); // Params hold views
    const std::vector<Param> header{now,
                                    m_caller.operatorName,
                                    m_method,
                                    optional(m_branch),
                                    optional(m_periodicity),
                                    m_undoes ? Param(m_undoes) : Param(nullptr)};
    Rows *inserted = m_storage.exec(
        "INSERT INTO ALTERACAO (DTHRALTERACAO, NMOPERADOR, NMMETODO, CDFILIAL, CDPERIPRODU, "
        "NRDESFAZ) VALUES (?, ?, ?, ?, ?, ?) RETURNING NRALTERACAO",
        Params(header));
    if (!inserted || !inserted->next())
        return m_storage.storageFailure();
    const int set = std::stoi(std::string(inserted->text(0)));
    inserted->finish();

    std::vector<Param> binds;
    auto flush = [&]() {
        if (binds.empty())
            return true;
        const size_t rows = binds.size() / 6;
        std::string sql = "INSERT INTO ALTERACAOMES (NRALTERACAO, CDFILIAL, CDPERIPRODU, "
                          "NRANOMES, NRDIASANTES, NRDIASDEPOIS) VALUES ";
        for (size_t i = 0; i < rows; ++i)
            sql += i == 0 ? "(?, ?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?, ?)";
        const bool ok = m_storage.execOnce(sql, Params(binds)) != nullptr;
        binds.clear();
        return ok;
    };
    for (const auto &[key, mask] : after) {
        binds.insert(binds.end(),
                     {Param(set), Param(key.branch), Param(key.periodicity), Param(key.month),
                      Param(static_cast<int>(m_before[key])), Param(static_cast<int>(mask))});
        if (binds.size() / 6 >= monthsPerInsert && !flush())
            return m_storage.storageFailure();
    }
    if (!flush() || !prune())
        return m_storage.storageFailure();
    if (number)
        *number = set;
    return Outcome::success();
}

bool Journal::prune()
{
    // Numbers grow with time: the oldest sets are the lowest numbers, so a look at the first few
    // finds what is due without an index on the time. Each write prunes a few, which keeps up
    // with the one set it adds.
    const std::string before = cutoff(std::max(1, m_caller.journalDays));
    Rows *due = m_storage.exec("SELECT MAX(NRALTERACAO) FROM (SELECT NRALTERACAO, DTHRALTERACAO "
                               "FROM ALTERACAO ORDER BY NRALTERACAO LIMIT 200) OLDEST WHERE "
                               "DTHRALTERACAO < ?",
                               {before});
    if (!due || !due->next())
        return false;
    if (due->isNull(0)) {
        due->finish();
        return true;
    }
    const std::string last(due->text(0));
    due->finish();
    return m_storage.exec("DELETE FROM ALTERACAOMES WHERE NRALTERACAO <= CAST(? AS INTEGER)",
                          {last}) &&
           m_storage.exec("DELETE FROM ALTERACAO WHERE NRALTERACAO <= CAST(? AS INTEGER)", {last});
}

} // namespace caleserver
