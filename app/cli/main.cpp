// velmora-cli: the editor's operations without a window, one subcommand per operation.

#include "app/cli/CliCommand.h"

#include <QCoreApplication>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <iostream>

namespace cli {

namespace {
std::vector<Command>& Registry()
{
    static std::vector<Command> commands;
    return commands;
}
} // namespace

bool RegisterCommand(const Command& command)
{
    Registry().push_back(command);
    return true;
}

const std::vector<Command>& Commands()
{
    return Registry();
}

int Fail(const std::string& message)
{
    std::cerr << "velmora-cli: " << message << '\n';
    return 1;
}

} // namespace cli

static void PrintUsage()
{
    std::vector<cli::Command> commands = cli::Commands();
    std::sort(commands.begin(), commands.end(),
              [](const cli::Command& a, const cli::Command& b) { return std::string(a.name) < b.name; });
    std::cerr << "usage: velmora-cli <command> [arguments]\n\ncommands:\n";
    for (const cli::Command& command : commands)
        std::cerr << "  " << command.usage << '\n';
}

int main(int argc, char** argv)
{
    // Image plug-ins (TIFF and others) are found through the core application.
    QCoreApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        PrintUsage();
        return argc < 2 ? 2 : 0;
    }
    const std::string name = argv[1];
    for (const cli::Command& command : cli::Commands()) {
        if (name == command.name)
            return command.run(cli::CommandArgs(argv + 2, argv + argc));
    }
    std::cerr << "velmora-cli: unknown command \"" << name << "\"\n";
    PrintUsage();
    return 2;
}
