#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace caleserver {

namespace ErrorCode {
constexpr int ParseError = -32700;
constexpr int InvalidRequest = -32600;
constexpr int MethodNotFound = -32601;
constexpr int InvalidParams = -32602;
constexpr int Refused = -32000;
constexpr int StorageFailure = -32001;
} // namespace ErrorCode

struct Field
{
    const char *name;
    const char *type; // "string", "date" or "float"
    int size = 0;
};

// A packet's columns, with their JSON description written once: most calls answer a handful of
// rows, and describing the columns again would cost more than reading them.
class Fields
{
public:
    Fields(std::initializer_list<Field> list);

    size_t size() const { return m_list.size(); }
    const Field &operator[](size_t i) const { return m_list[i]; }
    // [{"name":..,"size":..,"type":..},...]
    const std::string &json() const { return m_json; }

private:
    std::vector<Field> m_list;
    std::string m_json;
};

// The answer of one call: a packet (its columns and rows), or an error code with an operator's
// message. Rows arrive written as JSON, the way the answer carries them: building them as values
// first cost more than reading them.
struct Outcome
{
    int code = 0;
    std::string message;
    const Fields *fields = nullptr;
    std::string rows; // "[[...],...]" when there are fields
    size_t rowCount = 0;

    bool ok() const { return code == 0; }
    static Outcome success() { return {}; }
    static Outcome packet(const Fields &fields, std::string rows, size_t rowCount)
    {
        return {0, {}, &fields, std::move(rows), rowCount};
    }
    static Outcome failure(int code, std::string message)
    {
        return {code, std::move(message), nullptr, {}, 0};
    }
};

} // namespace caleserver
