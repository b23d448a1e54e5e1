#include "outcome.h"

namespace caleserver {

Fields::Fields(std::initializer_list<Field> list)
    : m_list(list)
{
    m_json = "[";
    for (const Field &field : m_list) {
        if (m_json.size() > 1)
            m_json += ',';
        m_json += std::string("{\"name\":\"") + field.name + '"';
        if (field.size > 0)
            m_json += ",\"size\":" + std::to_string(field.size);
        m_json += std::string(",\"type\":\"") + field.type + "\"}";
    }
    m_json += ']';
}

} // namespace caleserver
