#include "logging.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace caleserver {

namespace {

constexpr size_t maxLine = 2000;
constexpr size_t flushAt = 16 * 1024;
// What may wait for a reader that stopped reading; past it, lines are dropped and counted.
constexpr size_t maxPending = 1024 * 1024;

// Lines are gathered and written by a thread of their own, a few at a time: a write to stderr on
// every call costs the serving threads a system call each. What is pending is written at exit.
class LogWriter
{
public:
    ~LogWriter()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
        flush();
    }

    // Writes what is pending now, in order with what the thread writes.
    void flush()
    {
        std::lock_guard writing(m_writing);
        std::string batch;
        {
            std::lock_guard lock(m_mutex);
            batch.swap(m_pending);
            if (m_dropped > 0) {
                batch += "caleprodu.server: " + std::to_string(m_dropped) +
                         " linhas do log descartadas: quem lê o log parou de ler\n";
                m_dropped = 0;
            }
        }
        if (const size_t lost = write(batch); lost > 0) {
            std::lock_guard lock(m_mutex);
            m_dropped += lost;
        }
    }

    void add(const std::string &line)
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        // A reader that stalls must not make the server grow without limit.
        if (m_pending.size() + line.size() > maxPending) {
            ++m_dropped;
            return;
        }
        m_pending += line;
        if (m_pending.size() >= flushAt)
            m_wake.notify_one();
    }

private:
    // Writes text to stderr and answers how many of its lines did not go out. A reader that
    // takes nothing for two seconds is given up on for the rest of the text, so that neither this
    // thread nor the server's stop waits on it for ever.
    static size_t write(std::string_view text)
    {
        std::fflush(stderr);
        auto progress = std::chrono::steady_clock::now();
        while (!text.empty()) {
            pollfd out{STDERR_FILENO, POLLOUT, 0};
            const int ready = ::poll(&out, 1, 100);
            if (ready < 0 && errno != EINTR)
                break;
            if (ready > 0) {
                // A reader that went away ends the text; the next one may find another.
                if (out.revents & (POLLERR | POLLNVAL))
                    break;
                // At most what a pipe that polls writable takes without blocking.
                const ssize_t written =
                    ::write(STDERR_FILENO, text.data(), std::min<size_t>(text.size(), PIPE_BUF));
                if (written > 0) {
                    text.remove_prefix(size_t(written));
                    progress = std::chrono::steady_clock::now();
                    continue;
                }
                if (written < 0 && errno != EINTR && errno != EAGAIN)
                    break;
            }
            if (std::chrono::steady_clock::now() - progress > std::chrono::seconds(2))
                break;
        }
        return size_t(std::count(text.begin(), text.end(), '\n'));
    }

    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            m_wake.wait_for(lock, std::chrono::milliseconds(20),
                            [this] { return m_stopping || m_pending.size() >= flushAt; });
            lock.unlock();
            flush();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::mutex m_writing; // held while a batch is taken and written, so batches keep their order
    std::condition_variable m_wake;
    std::string m_pending;
    size_t m_dropped = 0;
    std::thread m_thread;
    bool m_stopping = false;
};

} // namespace

namespace {

// The length of the well-formed UTF-8 character that starts at text[i]; 0 when none does (a stray
// continuation byte, an overlong form, a surrogate, a cut sequence).
size_t characterLength(std::string_view text, size_t i)
{
    const auto byte = [text](size_t k) {
        return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u;
    };
    const unsigned lead = byte(i);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF; // the second byte's range, narrower after some leads
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

} // namespace

std::string printable(std::string_view text, size_t limit)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(std::min(text.size(), limit) + 8);
    size_t i = 0;
    // Whole characters only, so a cut never splits one.
    while (i < text.size() && out.size() < limit) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = characterLength(text, i);
        // Bytes that are no text go out escaped: what is shown stays valid UTF-8 (a JSON answer
        // carries it) and a line cannot be forged.
        if (length == 0 || c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
            ++i;
        } else if (c == '\\') {
            out += "\\\\";
            ++i;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    if (i < text.size())
        out += "…";
    return out;
}

LogWriter &logWriter()
{
    static LogWriter writer;
    return writer;
}

void logLine(std::string_view text)
{
    logWriter().add("caleprodu.server: " + printable(text, maxLine) + '\n');
}

void flushLog()
{
    logWriter().flush();
}

} // namespace caleserver
