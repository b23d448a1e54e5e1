#pragma once

#include <string>
#include <string_view>

namespace caleserver {

// Writes one line of the server's log to stderr: "caleprodu.server: " and the text, control
// characters escaped and the whole bounded, so that no input can forge or flood a line.
void logLine(std::string_view text);

// Writes the lines still gathered before returning (a server that stops calls it).
void flushLog();

// The text with control characters and bytes that are not UTF-8 written as \xNN (and backslashes
// doubled), cut to at most `limit` bytes at a character boundary with "…" added when cut.
std::string printable(std::string_view text, size_t limit);

} // namespace caleserver
