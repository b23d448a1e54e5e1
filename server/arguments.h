#pragma once

#include "date.h"
#include "outcome.h"

#include <boost/json/array.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace caleserver {

// At most a short prefix of text given by a caller, control characters escaped, for a message.
std::string excerpt(std::string_view text);

// The answer to a call whose parameters break a rule (-32602).
Outcome invalid(std::string message);

// The text without the blanks around it.
std::string_view trimmed(std::string_view text);

// A code as typed: completed with leading zeros, "" when empty; false when it cannot be a code.
bool normaliseCode(std::string_view text, size_t width, std::string *code);

// A year text: false when it is no integer; *year is 0 when the integer lies outside 1 ... 9999.
bool parseYear(std::string_view text, int *year);

// "MM/AAAA": the month, or 0 when the text has no such shape; *yearText is what follows the
// slash.
int monthOf(std::string_view text, std::string_view *yearText);

// Reads a method's positional parameters by their rules; the first problem found is the call's
// answer, and every read after it gives an empty value.
class Args
{
public:
    // `names` describe the parameters in the messages; a count other than theirs is a problem.
    Args(const char *method, const boost::json::array &params, std::vector<std::string> names);

    bool failed() const { return !m_error.empty(); }
    Outcome error() const { return invalid(m_error); }
    const std::string &message() const { return m_error; }

    std::string_view text(size_t i);
    // A branch (width 4) or periodicity (width 2) code, completed with leading zeros.
    std::string code(size_t i, size_t width);
    // A date written "YYYY-MM-DD" that exists.
    Date date(size_t i);
    int integer(size_t i);
    // 0 when the year selects nothing.
    int year(size_t i);
    // "T": every branch; " " or "": the one given.
    bool allSwitch(size_t i);
    // List text: codes joined by commas, each completed; sorted, without repeats.
    std::vector<std::string> codeList(size_t i, size_t width);

    // Records a problem unless one was found before.
    void fail(const std::string &message);

private:
    std::string m_method;
    const boost::json::array &m_params;
    std::vector<std::string> m_names;
    std::string m_error;
};

} // namespace caleserver
