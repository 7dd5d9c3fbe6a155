#include "app/cli/Arguments.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace cli {

namespace {
bool Contains(std::initializer_list<const char*> names, const std::string& name)
{
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}
} // namespace

TArguments::TArguments(const CommandArgs& args, std::initializer_list<const char*> valueOptions,
                       std::initializer_list<const char*> flagOptions)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            m_positional.push_back(arg);
            continue;
        }
        const std::string name = arg.substr(2);
        if (m_values.count(name)) {
            m_error = "option --" + name + " given twice";
            return;
        }
        if (Contains(flagOptions, name)) {
            m_values[name] = "";
        } else if (Contains(valueOptions, name)) {
            if (i + 1 >= args.size()) {
                m_error = "option --" + name + " needs a value";
                return;
            }
            m_values[name] = args[++i];
        } else {
            m_error = "unknown option --" + name;
            return;
        }
    }
}

std::string TArguments::Value(const std::string& name) const
{
    const auto it = m_values.find(name);
    return it == m_values.end() ? std::string() : it->second;
}

bool TArguments::Int(const std::string& name, int low, int high, int& out, std::string& error,
                     bool required) const
{
    if (!Has(name)) {
        if (required)
            error = "missing --" + name;
        return !required;
    }
    if (!ParseInt(Value(name), low, high, out)) {
        error = "--" + name + " must be a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not \"" + Value(name) + "\"";
        return false;
    }
    return true;
}

bool ParseInt(const std::string& text, int low, int high, int& out)
{
    if (text.empty() || std::strchr("+-0123456789", text[0]) == nullptr)
        return false;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || value < low || value > high)
        return false;
    out = int(value);
    return true;
}

bool ParseIntList(const std::string& text, std::size_t count, std::vector<int>& out)
{
    std::vector<int> values;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        int value = 0;
        if (!ParseInt(text.substr(start, comma - start), -2147483647 - 1, 2147483647, value))
            return false;
        values.push_back(value);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (values.size() != count)
        return false;
    out = std::move(values);
    return true;
}

} // namespace cli
