// velmora-cli resize: scales the image with the Lanczos filter, or point-sampled with --draft.

#include "app/cli/GeometryCommand.h"
#include "imaging/Resampler.h"

namespace {

constexpr const char* kUsage = "resize IN OUT --width W --height H [--draft] [--quality Q]";

int Run(const cli::CommandArgs& args)
{
    const cli::TArguments arguments(args, {"width", "height", "quality"}, {"draft"});
    if (!arguments.Ok())
        return cli::FailUsage(arguments.Error(), kUsage);
    int width = 0;
    int height = 0;
    std::string error;
    if (!arguments.Int("width", 1, kMaxImageSide, width, error) ||
        !arguments.Int("height", 1, kMaxImageSide, height, error))
        return cli::FailUsage(error, kUsage);
    const bool draft = arguments.Has("draft");
    return cli::RunGeometryCommand(arguments, kUsage, [&](TQpGraphicsImage& image, std::string& message) {
        QuickDraftResampling = draft;
        const bool done = image.ResizeImage(width, height, false, false);
        QuickDraftResampling = false;
        if (!done)
            message = image.SizeRefusal().empty() ? "not enough memory to resize the image to " +
                                                        std::to_string(width) + " x " + std::to_string(height)
                                                  : image.SizeRefusal();
        return done;
    });
}

} // namespace

VELMORA_CLI_COMMAND("resize", kUsage, Run);
