// Whole request bodies, as the HTTP front hands them over.
#include "fuzzsupport.h"

#include "rpc.h"

using namespace caleserver;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view body = fuzz::text(data, size);
    const RpcAnswer offline = answerRpc(body, fuzz::noStorage());
    fuzz::checkAnswer(offline.body, offline.code);
    const RpcAnswer online = answerRpc(body, fuzz::memoryStorage());
    fuzz::checkAnswer(online.body, online.code);
    fuzz::check(online.code != ErrorCode::StorageFailure, "no request makes a statement fail",
                online.body);
    // A call is judged before the database is asked for: whatever did not need it is answered
    // the same with one.
    if (offline.code != ErrorCode::StorageFailure)
        fuzz::check(online.body == offline.body, "answer without the database is the same",
                    offline.body + "\n" + online.body);
    return 0;
}
