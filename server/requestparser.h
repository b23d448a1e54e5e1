#pragma once

#include <boost/json/error.hpp>
#include <boost/json/storage_ptr.hpp>
#include <boost/json/value.hpp>

#include <string>
#include <string_view>

namespace caleserver {

// A request body read as JSON, with what the value alone cannot tell.
struct ParsedRequest
{
    boost::json::value value;
    boost::json::error_code error;
    // Some object named a member twice: the value kept only the last, which another reader of
    // the same text (a proxy, a log) may not have taken for the request.
    bool repeatedMember = false;
    // The top-level "id" when it is a number, as its text was sent: a double would round a large
    // integer, a "-0" or an exponent.
    std::string idText;
};

// Parses `body` (standard JSON, at most 32 levels deep) into `arena`.
ParsedRequest parseRequest(std::string_view body, boost::json::storage_ptr arena);

} // namespace caleserver
