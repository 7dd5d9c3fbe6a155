// velmora-cli flip: flips the image top to bottom.

#include "app/cli/GeometryCommand.h"

namespace {

constexpr const char* kUsage = "flip IN OUT [--quality Q]";

int Run(const cli::CommandArgs& args)
{
    return cli::RunGeometryCommand(cli::TArguments(args, {"quality"}), kUsage,
                                   [](TQpGraphicsImage& image, std::string& error) {
                                       if (image.FlipVertical())
                                           return true;
                                       error = "not enough memory to flip the image";
                                       return false;
                                   });
}

} // namespace

VELMORA_CLI_COMMAND("flip", kUsage, Run);
