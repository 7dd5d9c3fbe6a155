#pragma once
// Subcommands of velmora-cli. Each lives in its own source file and registers itself
// with a static VELMORA_CLI_COMMAND, so adding one never touches the others.

#include <string>
#include <vector>

namespace cli {

using CommandArgs = std::vector<std::string>;

struct Command
{
    const char* name;
    const char* usage;
    int (*run)(const CommandArgs& args);
};

bool RegisterCommand(const Command& command);
const std::vector<Command>& Commands();

// Prints "velmora-cli: <message>" to stderr and returns the failing exit code.
int Fail(const std::string& message);

} // namespace cli

#define VELMORA_CLI_CONCAT2(a, b) a##b
#define VELMORA_CLI_CONCAT(a, b) VELMORA_CLI_CONCAT2(a, b)
#define VELMORA_CLI_COMMAND(name, usage, fn)                                                                   \
    static const bool VELMORA_CLI_CONCAT(kRegistered_, __LINE__) = cli::RegisterCommand({name, usage, fn})
