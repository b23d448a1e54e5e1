#include "calendarlocks.h"

namespace caleserver {

void CalendarLocks::add(const std::string &branch, const std::string &periodicity, bool exclusive)
{
    if (branch.empty() || periodicity.empty())
        return;
    bool &mode = m_keys[std::stoi(branch) * 100 + std::stoi(periodicity)];
    mode = mode || exclusive;
}

Outcome CalendarLocks::take(Storage &storage) const
{
    const std::string sql = storage.calendarLock();
    if (sql.empty() || m_keys.empty())
        return Outcome::success();
    std::string keys, modes;
    for (const auto &[key, exclusive] : m_keys) {
        keys += (keys.empty() ? "{" : ",") + std::to_string(key);
        modes += (modes.empty() ? "{" : ",") + std::string(exclusive ? "t" : "f");
    }
    keys += '}';
    modes += '}';
    Rows *locked = storage.exec(sql, {keys, modes});
    if (!locked)
        return storage.storageFailure();
    locked->finish();
    return Outcome::success();
}

} // namespace caleserver
