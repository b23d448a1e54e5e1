#include "requestparser.h"

#include <boost/json/basic_parser_impl.hpp>
#include <boost/json/value_stack.hpp>

namespace caleserver {

namespace json = boost::json;

namespace {

// Builds the value as boost::json::parse does, counting the members of every object as sent and
// keeping the text of a number given as the top-level "id".
class RequestHandler
{
public:
    static constexpr std::size_t max_object_size = json::object::max_size();
    static constexpr std::size_t max_array_size = json::array::max_size();
    static constexpr std::size_t max_key_size = json::string::max_size();
    static constexpr std::size_t max_string_size = json::string::max_size();

    RequestHandler(json::storage_ptr arena, unsigned char *scratch, std::size_t size)
        : stack({}, scratch, size)
    {
        stack.reset(std::move(arena));
    }

    json::value_stack stack;
    std::size_t membersSent = 0;
    std::string idText;

    bool on_document_begin(json::error_code &) { return true; }
    bool on_document_end(json::error_code &) { return true; }
    bool on_object_begin(json::error_code &)
    {
        if (m_depth == 0)
            m_topIsObject = true;
        ++m_depth;
        return true;
    }
    bool on_object_end(std::size_t n, json::error_code &)
    {
        --m_depth;
        membersSent += n;
        stack.push_object(n);
        return true;
    }
    bool on_array_begin(json::error_code &)
    {
        ++m_depth;
        return true;
    }
    bool on_array_end(std::size_t n, json::error_code &)
    {
        --m_depth;
        stack.push_array(n);
        return true;
    }
    bool on_key_part(json::string_view s, std::size_t, json::error_code &)
    {
        noteKey(s);
        stack.push_chars(s);
        return true;
    }
    bool on_key(json::string_view s, std::size_t n, json::error_code &)
    {
        noteKey(s);
        m_atId = atTop() && n == 2 && m_key == "id";
        m_key.clear();
        stack.push_key(s);
        return true;
    }
    bool on_string_part(json::string_view s, std::size_t, json::error_code &)
    {
        stack.push_chars(s);
        return true;
    }
    bool on_string(json::string_view s, std::size_t, json::error_code &)
    {
        stack.push_string(s);
        return true;
    }
    bool on_number_part(json::string_view s, json::error_code &)
    {
        if (isId())
            idText.append(s.data(), s.size());
        return true;
    }
    bool on_int64(std::int64_t i, json::string_view s, json::error_code &)
    {
        numberEnd(s);
        stack.push_int64(i);
        return true;
    }
    bool on_uint64(std::uint64_t u, json::string_view s, json::error_code &)
    {
        numberEnd(s);
        stack.push_uint64(u);
        return true;
    }
    bool on_double(double d, json::string_view s, json::error_code &)
    {
        numberEnd(s);
        stack.push_double(d);
        return true;
    }
    bool on_bool(bool b, json::error_code &)
    {
        stack.push_bool(b);
        return true;
    }
    bool on_null(json::error_code &)
    {
        stack.push_null();
        return true;
    }
    bool on_comment_part(json::string_view, json::error_code &) { return true; }
    bool on_comment(json::string_view, json::error_code &) { return true; }

private:
    bool atTop() const { return m_topIsObject && m_depth == 1; }
    bool isId() const { return atTop() && m_atId; }
    // Only whether the key is "id" matters: a longer one is not kept.
    void noteKey(json::string_view s)
    {
        if (atTop() && m_key.size() + s.size() <= 2)
            m_key.append(s.data(), s.size());
    }
    void numberEnd(json::string_view s)
    {
        if (isId())
            idText.append(s.data(), s.size());
    }

    std::size_t m_depth = 0;
    bool m_topIsObject = false;
    bool m_atId = false;
    std::string m_key;
};

std::size_t membersKept(const json::value &value)
{
    std::size_t count = 0;
    if (const json::object *object = value.if_object()) {
        count += object->size();
        for (const auto &member : *object)
            count += membersKept(member.value());
    } else if (const json::array *array = value.if_array()) {
        for (const json::value &element : *array)
            count += membersKept(element);
    }
    return count;
}

} // namespace

ParsedRequest parseRequest(std::string_view body, json::storage_ptr arena)
{
    ParsedRequest parsed;
    unsigned char scratch[4096];
    json::basic_parser<RequestHandler> parser(json::parse_options(), std::move(arena), scratch,
                                              sizeof scratch);
    const std::size_t used = parser.write_some(false, body.data(), body.size(), parsed.error);
    if (!parsed.error && used < body.size())
        parsed.error = json::error::extra_data;
    if (parsed.error)
        return parsed;
    RequestHandler &handler = parser.handler();
    parsed.value = handler.stack.release();
    parsed.repeatedMember = membersKept(parsed.value) != handler.membersSent;
    parsed.idText = std::move(handler.idText);
    return parsed;
}

} // namespace caleserver
