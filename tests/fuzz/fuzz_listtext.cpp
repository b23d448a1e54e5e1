// The list of destination branches of a copy: codes separated by commas.
#include "fuzzsupport.h"

#include <algorithm>

using namespace caleserver;
namespace json = boost::json;

namespace {

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// What the list should be, worked out on its own: empty, well formed or not.
enum class Expected { Empty, Valid, Invalid };

Expected expected(std::string_view text)
{
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return Expected::Empty;
    size_t digits = 0;
    for (const char c : text) {
        if (c == ',') {
            if (digits == 0)
                return Expected::Invalid;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 4) {
            ++digits;
        } else {
            return Expected::Invalid;
        }
    }
    return digits == 0 ? Expected::Invalid : Expected::Valid;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view list = fuzz::text(data, size);
    const json::array params{"0001", "01", json::string(list), " ", "2026-01-01", "2026-12-31"};
    const Outcome offline = fuzz::call(fuzz::noStorage(), "GetInsDel", params);
    switch (expected(list)) {
    case Expected::Empty:
        fuzz::check(offline.code == ErrorCode::Refused, "an empty list copies nothing",
                    offline.message);
        break;
    case Expected::Invalid:
        fuzz::check(offline.code == ErrorCode::InvalidParams, "a malformed list is refused",
                    offline.message);
        break;
    case Expected::Valid: {
        fuzz::check(offline.code == ErrorCode::StorageFailure, "a list of codes is accepted",
                    offline.message);
        // The codes go to the database as bound values; an empty period writes nothing.
        json::array reversed = params;
        reversed[4] = "2026-12-01";
        reversed[5] = "2026-01-01";
        const Outcome online = fuzz::call(fuzz::memoryStorage(), "GetInsDel", reversed);
        fuzz::check(online.code == 0 || online.code == ErrorCode::Refused,
                    "listed branches are looked up", online.message);
        break;
    }
    }
    return 0;
}
