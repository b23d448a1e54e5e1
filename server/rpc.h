#pragma once

#include "methods.h"

#include <string>
#include <string_view>

namespace caleserver {

// What one JSON-RPC call produced: the answer body and what the log line needs.
struct RpcAnswer
{
    std::string body;
    std::string method; // a bounded prefix of the name, as sent: log it through logLine()
    int code = 0;
};

// Answers one JSON-RPC 2.0 request body. The storage is asked for only when a well-formed call
// of a known method needs the database; nullptr (with a reason) makes the call a storage
// failure. The caller names the operator whose writes are journaled.
RpcAnswer answerRpc(std::string_view body, const StorageSource &storage, const Caller &caller = {});

} // namespace caleserver
