#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace caleserver {

// Reads a configuration file of "key = value" lines ("#" starts a comment, blank lines are
// skipped) into values. Only the given keys are accepted; an unknown key, a line without "=" or a
// key given twice is refused with a message that names the file and the line. A missing file is
// an error too: callers decide whether the file is optional.
bool readConfigFile(const std::string &path, const std::set<std::string> &keys,
                    std::map<std::string, std::string> &values, std::string *error);

// "true"/"false" (also "yes"/"no", "1"/"0"); false with nothing changed for any other text.
bool parseConfigBool(const std::string &text, bool *value);

// The command line with a configuration file's values put in as flags ("--key=value") for each
// key the command line does not give itself, so that flags always override the file. A key in
// switches is a flag without a value: added as "--key" when its value is true. arguments[0] is
// the program and stays first. False with the file's error, and out unchanged, when the file is
// refused or a switch holds no true/false value.
bool withConfigDefaults(const std::vector<std::string> &arguments, const std::string &path,
                        const std::set<std::string> &keys, const std::set<std::string> &switches,
                        std::vector<std::string> *out, std::string *error);

// Takes "--config FILE" or "--config=FILE" out of arguments; the file's path, or "" when none.
std::string takeConfigOption(std::vector<std::string> &arguments);

} // namespace caleserver
