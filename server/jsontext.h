#pragma once

#include <boost/json/serializer.hpp>
#include <boost/json/value.hpp>

#include <algorithm>
#include <string>
#include <string_view>

namespace caleserver {

// Serialises onto the end of `out`, a chunk at a time.
template <typename Json> void appendJson(std::string &out, const Json &value)
{
    boost::json::serializer serializer;
    serializer.reset(&value);
    char chunk[4096];
    while (!serializer.done())
        out.append(serializer.read(chunk, sizeof chunk));
}

// Appends `text` as a JSON string. Codes and dates, nearly every value an answer carries, need no
// escape and are copied as they stand; anything else goes through the serializer.
inline void appendJsonString(std::string &out, std::string_view text)
{
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != '\\';
    });
    if (!plain)
        return appendJson(out, boost::json::value(boost::json::string_view(text)));
    out += '"';
    out += text;
    out += '"';
}

} // namespace caleserver
