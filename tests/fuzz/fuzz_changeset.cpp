// The change set of a post: a packet of fields and changes, decoded before anything is written.
#include "fuzzsupport.h"

#include <boost/json/parse.hpp>

using namespace caleserver;
namespace json = boost::json;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text = fuzz::text(data, size);
    json::error_code error;
    json::value delta = json::parse(text, error);
    if (error)
        delta = json::string(text); // bytes that are no JSON still arrive as some value
    const json::array params{delta};
    const Outcome offline = fuzz::call(fuzz::noStorage(), "SetCaleProdu", params);
    fuzz::check(offline.code == 0 || offline.code == ErrorCode::InvalidParams ||
                    offline.code == ErrorCode::StorageFailure,
                "a change set is decoded or refused as invalid", offline.message);
    const Outcome online = fuzz::call(fuzz::memoryStorage(), "SetCaleProdu", params);
    fuzz::check(online.code == 0 || online.code == ErrorCode::InvalidParams ||
                    online.code == ErrorCode::Refused,
                "a change set is written, refused or found invalid", online.message);
    if (offline.code == ErrorCode::InvalidParams)
        fuzz::check(online.code == offline.code && online.message == offline.message,
                    "an invalid change set never reaches the database", online.message);
    if (offline.code == 0)
        fuzz::check(online.code == 0, "a change set without changes does nothing", online.message);
    return 0;
}
