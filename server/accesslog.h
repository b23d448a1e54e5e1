#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace caleserver {

/// The server's log lines on stderr, one per call. Lines are gathered in memory and written by a
/// thread of their own: a write per call on the serving threads costs a measurable share of the
/// throughput.
class AccessLog
{
public:
    AccessLog();
    /// Writes what is still gathered.
    ~AccessLog();
    AccessLog(const AccessLog &) = delete;
    AccessLog &operator=(const AccessLog &) = delete;

    /// Adds one line (without its end of line); written within a fraction of a second.
    void write(std::string_view line);
    /// Writes everything gathered so far before returning.
    void flush();

    /// Text from a request made safe for one log line: control characters, quotes and
    /// backslashes escaped, and at most `limit` bytes of the original kept.
    static std::string escaped(std::string_view text, std::size_t limit = 80);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_written;
    std::string m_pending;
    std::size_t m_requested = 0; // flushes asked for
    std::size_t m_done = 0;      // flushes done
    bool m_stopping = false;
    std::thread m_thread; // last: started once the members it uses exist
};

} // namespace caleserver
