// velmora-cli mirror: mirrors the image left to right.

#include "app/cli/GeometryCommand.h"

namespace {

constexpr const char* kUsage = "mirror IN OUT [--quality Q]";

int Run(const cli::CommandArgs& args)
{
    return cli::RunGeometryCommand(cli::TArguments(args, {"quality"}), kUsage,
                                   [](TQpGraphicsImage& image, std::string& error) {
                                       if (image.FlipHorizontal())
                                           return true;
                                       error = "not enough memory to mirror the image";
                                       return false;
                                   });
}

} // namespace

VELMORA_CLI_COMMAND("mirror", kUsage, Run);
