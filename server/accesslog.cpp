#include "accesslog.h"

#include <chrono>
#include <cstdio>

namespace caleserver {

namespace {

constexpr std::string_view prefix = "caleprodu.server: ";
constexpr std::size_t eagerSize = 32 * 1024;

} // namespace

AccessLog::AccessLog()
    : m_thread([this] { run(); })
{}

AccessLog::~AccessLog()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void AccessLog::write(std::string_view line)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_pending.append(prefix).append(line).push_back('\n');
        wake = m_pending.size() >= eagerSize;
    }
    if (wake)
        m_wake.notify_one();
}

void AccessLog::flush()
{
    std::unique_lock lock(m_mutex);
    const std::size_t ticket = ++m_requested;
    m_wake.notify_one();
    m_written.wait(lock, [&] { return m_done >= ticket || m_stopping; });
}

void AccessLog::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait_for(lock, std::chrono::milliseconds(100), [this] {
            return m_stopping || m_requested > m_done || m_pending.size() >= eagerSize;
        });
        std::string text;
        text.swap(m_pending);
        const std::size_t requested = m_requested;
        const bool stopping = m_stopping;
        lock.unlock();
        if (!text.empty()) {
            std::fwrite(text.data(), 1, text.size(), stderr);
            std::fflush(stderr);
        }
        lock.lock();
        m_done = requested;
        m_written.notify_all();
        if (stopping && m_pending.empty())
            return;
    }
}

std::string AccessLog::escaped(std::string_view text, std::size_t limit)
{
    const bool cut = text.size() > limit;
    if (cut)
        text = text.substr(0, limit);
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20 || byte == 0x7f) {
            static constexpr char hex[] = "0123456789abcdef";
            out.append("\\x");
            out.push_back(hex[byte >> 4]);
            out.push_back(hex[byte & 0xf]);
        } else {
            out.push_back(c);
        }
    }
    if (cut)
        out.append("...");
    return out;
}

} // namespace caleserver
