#pragma once
// Argument parsing shared by the subcommands: positional arguments plus "--name value" and "--flag"
// options, with integer and integer-list readers that say exactly what was wrong.

#include "app/cli/CliCommand.h"

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace cli {

class TArguments
{
public:
    // `valueOptions` take the next argument as their value, `flagOptions` take none (names without "--").
    TArguments(const CommandArgs& args, std::initializer_list<const char*> valueOptions,
               std::initializer_list<const char*> flagOptions = {});

    // False when an option is unknown, repeated or lacks its value; Error() says which.
    bool Ok() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }

    const std::vector<std::string>& Positional() const { return m_positional; }
    bool Has(const std::string& name) const { return m_values.count(name) != 0; }
    // The option's value, empty when absent.
    std::string Value(const std::string& name) const;

    // Reads the option as an integer in [low, high]. A missing option fails with "missing --name" unless
    // `required` is false, in which case `out` keeps its value and the call succeeds.
    bool Int(const std::string& name, int low, int high, int& out, std::string& error,
             bool required = true) const;

private:
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_values;
    std::string m_error;
};

// A whole decimal integer in [low, high], nothing else.
bool ParseInt(const std::string& text, int low, int high, int& out);
// Exactly `count` comma-separated integers, e.g. "10,20,300,400".
bool ParseIntList(const std::string& text, std::size_t count, std::vector<int>& out);

} // namespace cli
