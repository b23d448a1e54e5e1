#include "configfile.h"

#include <fstream>

namespace caleserver {

namespace {

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool refuse(std::string *error, const std::string &path, int line, const std::string &why)
{
    if (error)
        *error = path + ":" + std::to_string(line) + ": " + why;
    return false;
}

} // namespace

bool readConfigFile(const std::string &path, const std::set<std::string> &keys,
                    std::map<std::string, std::string> &values, std::string *error)
{
    std::ifstream in(path);
    if (!in) {
        if (error)
            *error = "não foi possível ler o arquivo de configuração " + path + ".";
        return false;
    }
    std::map<std::string, std::string> read;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        const std::string content = trimmed(text);
        if (content.empty() || content.front() == '#')
            continue;
        const auto equals = content.find('=');
        if (equals == std::string::npos)
            return refuse(error, path, line, "esperado \"chave = valor\".");
        const std::string key = trimmed(content.substr(0, equals));
        if (!keys.count(key))
            return refuse(error, path, line, "chave desconhecida \"" + key + "\".");
        if (read.count(key))
            return refuse(error, path, line, "chave \"" + key + "\" repetida.");
        read[key] = trimmed(content.substr(equals + 1));
    }
    for (auto &[key, value] : read)
        values[key] = value;
    return true;
}

bool parseConfigBool(const std::string &text, bool *value)
{
    if (text == "true" || text == "yes" || text == "1") {
        *value = true;
        return true;
    }
    if (text == "false" || text == "no" || text == "0") {
        *value = false;
        return true;
    }
    return false;
}

bool withConfigDefaults(const std::vector<std::string> &arguments, const std::string &path,
                        const std::set<std::string> &keys, const std::set<std::string> &switches,
                        std::vector<std::string> *out, std::string *error)
{
    std::set<std::string> allowed = keys;
    allowed.insert(switches.begin(), switches.end());
    std::map<std::string, std::string> values;
    if (!readConfigFile(path, allowed, values, error))
        return false;

    const auto given = [&arguments](const std::string &key) {
        const std::string flag = "--" + key;
        for (const std::string &argument : arguments) {
            if (argument == flag || argument.rfind(flag + "=", 0) == 0)
                return true;
        }
        return false;
    };
    std::vector<std::string> result;
    if (!arguments.empty())
        result.push_back(arguments.front());
    for (const auto &[key, value] : values) {
        if (given(key))
            continue;
        if (switches.count(key)) {
            bool on = false;
            if (!parseConfigBool(value, &on)) {
                if (error)
                    *error =
                        path + ": \"" + key + "\" aceita true ou false, não \"" + value + "\".";
                return false;
            }
            if (on)
                result.push_back("--" + key);
        } else {
            result.push_back("--" + key + "=" + value);
        }
    }
    if (!arguments.empty())
        result.insert(result.end(), arguments.begin() + 1, arguments.end());
    *out = std::move(result);
    return true;
}

std::string takeConfigOption(std::vector<std::string> &arguments)
{
    std::string path;
    for (size_t i = 1; i < arguments.size();) {
        if (arguments[i] == "--config" && i + 1 < arguments.size()) {
            path = arguments[i + 1];
            arguments.erase(arguments.begin() + i, arguments.begin() + i + 2);
        } else if (arguments[i].rfind("--config=", 0) == 0) {
            path = arguments[i].substr(9);
            arguments.erase(arguments.begin() + i);
        } else {
            ++i;
        }
    }
    return path;
}

} // namespace caleserver
