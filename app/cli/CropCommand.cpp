// velmora-cli crop: keeps the part of the image inside a rectangle (left and top included, right and
// bottom excluded).

#include "app/cli/GeometryCommand.h"

namespace {

constexpr const char* kUsage = "crop IN OUT --rect L,T,R,B [--quality Q]";

int Run(const cli::CommandArgs& args)
{
    const cli::TArguments arguments(args, {"rect", "quality"});
    if (!arguments.Ok())
        return cli::FailUsage(arguments.Error(), kUsage);
    if (!arguments.Has("rect"))
        return cli::FailUsage("missing --rect", kUsage);
    std::vector<int> values;
    if (!cli::ParseIntList(arguments.Value("rect"), 4, values))
        return cli::FailUsage(
            "--rect must be four whole numbers L,T,R,B, not \"" + arguments.Value("rect") + "\"", kUsage);
    const TQpRect rect{values[0], values[1], values[2], values[3]};
    return cli::RunGeometryCommand(arguments, kUsage, [&](TQpGraphicsImage& image, std::string& error) {
        const TQpRect bounds{0, 0, image.Width(), image.Height()};
        if (IntersectRect(rect, bounds).IsEmpty()) {
            error = "the rectangle " + arguments.Value("rect") + " does not overlap the " +
                    std::to_string(bounds.Right) + " x " + std::to_string(bounds.Bottom) + " image";
            return false;
        }
        image.Crop(rect);
        if (image.Width() == IntersectRect(rect, bounds).Width() &&
            image.Height() == IntersectRect(rect, bounds).Height())
            return true;
        error = "not enough memory to crop the image";
        return false;
    });
}

} // namespace

VELMORA_CLI_COMMAND("crop", kUsage, Run);
