#include "logging.h"

#include <cstdio>
#include <mutex>

namespace caleserver {

namespace {

constexpr size_t maxLine = 2000;

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

void logLine(std::string_view text)
{
    static std::mutex mutex;
    const std::string line = "caleprodu.server: " + printable(text, maxLine) + '\n';
    std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace caleserver
