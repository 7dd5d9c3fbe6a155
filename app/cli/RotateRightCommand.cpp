// velmora-cli rotate-right: turns the image a quarter turn clockwise.

#include "app/cli/GeometryCommand.h"

namespace {

constexpr const char* kUsage = "rotate-right IN OUT [--quality Q]";

int Run(const cli::CommandArgs& args)
{
    return cli::RunGeometryCommand(cli::TArguments(args, {"quality"}), kUsage,
                                   [](TQpGraphicsImage& image, std::string& error) {
                                       if (image.RotateRight())
                                           return true;
                                       error = "not enough memory to turn the image";
                                       return false;
                                   });
}

} // namespace

VELMORA_CLI_COMMAND("rotate-right", kUsage, Run);
