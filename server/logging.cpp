#include "logging.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

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
        write(batch);
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
    static void write(const std::string &text)
    {
        if (!text.empty()) {
            std::fwrite(text.data(), 1, text.size(), stderr);
            std::fflush(stderr);
            // A reader that went away fails the write; the next one may find another.
            std::clearerr(stderr);
        }
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

std::string printable(std::string_view text, size_t limit)
{
    std::string out;
    out.reserve(std::min(text.size(), limit) + 8);
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // Never cut inside a multi-byte character: stop at the lead byte that does not fit.
        if (out.size() >= limit && (c & 0xC0) != 0x80)
            break;
        if (c < 0x20 || c == 0x7F) {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += char(c);
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
